#include "platform/FolderChooser.h"

#include <QDir>
#include <QFileDialog>

namespace quillstow::platform {

std::optional<QUrl> DialogFolderChooser::chooseFolder(const QString& acceptLabel,
                                                      const QString& startFolder)
{
    QFileDialog dialog(parent_);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::Accept, acceptLabel);
    dialog.setDirectory(startFolder.isEmpty() ? QDir::homePath() : startFolder);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QList<QUrl> chosen = dialog.selectedUrls();
    if (chosen.size() != 1 || chosen.first().isEmpty())
        return std::nullopt;
    return chosen.first();
}

} // namespace quillstow::platform
