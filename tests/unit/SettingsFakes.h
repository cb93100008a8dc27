#pragma once

#include "platform/Autostart.h"
#include "platform/FolderChooser.h"
#include "platform/GlobalHotkey.h"

#include <QString>
#include <QUrl>
#include <optional>

namespace quillstow::test {

// Answers every folder request with `answer` (none: the user cancelled) and remembers the request.
struct FakeFolderChooser : platform::FolderChooser
{
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
struct FakeAutostart : platform::Autostart
{
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

// Hands out every combination but those in `held`, which another program holds; remembers the
// one taken and its press handler.
struct FakeHotkey : platform::GlobalHotkey
{
    QList<QKeyCombination> held;
    std::optional<QKeyCombination> taken;
    std::function<void()> press;
    int grabs = 0;
    platform::HotkeyMechanism kind = platform::HotkeyMechanism::KeyGrab;

    platform::HotkeyMechanism mechanism() const override { return kind; }

    bool grab(Qt::Key key, Qt::KeyboardModifiers modifiers, std::function<void()> onPress,
              QString* error) override
    {
        ++grabs;
        if (held.contains(QKeyCombination(modifiers, key))) {
            *error = QStringLiteral("another program holds the combination");
            return false;
        }
        taken = QKeyCombination(modifiers, key);
        press = std::move(onPress);
        return true;
    }
    void release(Qt::Key key, Qt::KeyboardModifiers modifiers) override
    {
        if (taken == QKeyCombination(modifiers, key))
            taken.reset();
    }
};

} // namespace quillstow::test
