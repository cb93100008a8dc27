#pragma once

#include "platform/Autostart.h"
#include "platform/FolderChooser.h"

#include <QString>
#include <QUrl>
#include <optional>

namespace quillstow::test {

// Answers every folder request with `answer` (none: the user cancelled) and remembers the request.
class FakeFolderChooser : public platform::FolderChooser
{
public:
    std::optional<QUrl> chooseFolder(const QString& acceptLabel,
                                     const QString& startFolder) override
    {
        lastAcceptLabel = acceptLabel;
        lastStartFolder = startFolder;
        return answer;
    }

    std::optional<QUrl> answer;
    QString lastAcceptLabel;
    QString lastStartFolder;
};

// An autostart switch in memory; `failure` makes the next changes fail with that reason.
class FakeAutostart : public platform::Autostart
{
public:
    bool isEnabled() const override { return enabled; }
    std::optional<QString> setEnabled(bool value) override
    {
        if (failure)
            return failure;
        enabled = value;
        return std::nullopt;
    }

    bool enabled = false;
    std::optional<QString> failure;
};

} // namespace quillstow::test
