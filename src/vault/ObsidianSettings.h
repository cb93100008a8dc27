#pragma once

#include "vault/ObsidianService.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace quillstow {

namespace platform {
class FolderChooser;
}

// The vault folder, save mode and automatic saving as the settings show them. Loaded once at
// creation; every change is written through to the settings at once, so the next save uses it.
class ObsidianSettings : public QObject
{
    Q_OBJECT

public:
    using SaveMode = ObsidianService::SaveMode;

    // `homePath` is where the iCloud Obsidian folder is looked for; the user's home by default.
    ObsidianSettings(ObsidianService& service, platform::FolderChooser& chooser,
                     QString homePath = {}, QObject* parent = nullptr);

    // None while no vault is configured.
    const std::optional<QString>& vaultPath() const { return vaultPath_; }
    // Stores the path as the vault, or forgets the vault when none. Nothing in the vault is
    // touched.
    void setVaultPath(const std::optional<QString>& path);

    SaveMode saveMode() const { return saveMode_; }
    void setSaveMode(SaveMode mode);

    // Every new copy saved into the vault as it is captured, or only what the user saves.
    bool savesEveryCopy() const { return savesEveryCopy_; }
    void setSavesEveryCopy(bool enabled);

    // Lets the user choose the vault folder; cancelling changes nothing.
    void pickVault();
    // Takes the first visible entry of the iCloud Obsidian folder as the vault (the folder itself
    // when it has none); does nothing while that folder does not exist.
    void useICloudVault();
    // Stores `folder` as the vault and shows the path as stored.
    void setVault(const QUrl& folder);

    // The iCloud Obsidian folder, when it exists now.
    std::optional<QUrl> iCloudVaultBase() const;
    // The vault that `useICloudVault` takes from an iCloud folder whose entries are listed as
    // `names`, in listing order.
    static QUrl iCloudVaultIn(const QUrl& base, const QStringList& names);

Q_SIGNALS:
    // Just before `vaultPath`, `saveMode` or `savesEveryCopy` changes.
    void aboutToChange();
    // After the change has been stored.
    void changed();

private:
    static std::optional<QString> pathOf(const std::optional<QUrl>& url);

    ObsidianService& service_;
    platform::FolderChooser& chooser_;
    QString homePath_;
    std::optional<QString> vaultPath_;
    SaveMode saveMode_;
    bool savesEveryCopy_;
};

} // namespace quillstow
