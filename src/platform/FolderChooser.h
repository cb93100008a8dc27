#pragma once

#include <QString>
#include <QUrl>
#include <optional>

class QWidget;

namespace quillstow::platform {

// A modal way of choosing exactly one existing folder.
class FolderChooser
{
public:
    virtual ~FolderChooser() = default;

    // Returns once the user has closed the chooser: the folder confirmed, or none when cancelled.
    // `acceptLabel` is the text of the confirm button; the chooser opens at `startFolder` when it
    // is given.
    virtual std::optional<QUrl> chooseFolder(const QString& acceptLabel,
                                             const QString& startFolder) = 0;
};

// The desktop's folder dialog, modal to `parent`.
class DialogFolderChooser : public FolderChooser
{
public:
    explicit DialogFolderChooser(QWidget* parent = nullptr) : parent_(parent) {}

    std::optional<QUrl> chooseFolder(const QString& acceptLabel,
                                     const QString& startFolder) override;

private:
    QWidget* parent_;
};

} // namespace quillstow::platform
