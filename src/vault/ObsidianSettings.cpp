#include "vault/ObsidianSettings.h"

#include "platform/FolderChooser.h"

#include <QDir>

namespace quillstow {

ObsidianSettings::ObsidianSettings(ObsidianService& service, platform::FolderChooser& chooser,
                                   QString homePath, QObject* parent)
    : QObject(parent), service_(service), chooser_(chooser),
      homePath_(homePath.isEmpty() ? QDir::homePath() : std::move(homePath)),
      vaultPath_(pathOf(service.vaultURL())), saveMode_(service.saveMode()),
      savesEveryCopy_(service.savesEveryCopy())
{}

std::optional<QString> ObsidianSettings::pathOf(const std::optional<QUrl>& url)
{
    if (!url)
        return std::nullopt;
    const QString path = url->toLocalFile();
    return path.isEmpty() ? path : QDir::cleanPath(path);
}

void ObsidianSettings::setVaultPath(const std::optional<QString>& path)
{
    Q_EMIT aboutToChange();
    vaultPath_ = path;
    service_.setVaultURL(path ? std::optional<QUrl>(QUrl::fromLocalFile(*path)) : std::nullopt);
    Q_EMIT changed();
}

void ObsidianSettings::setSaveMode(SaveMode mode)
{
    Q_EMIT aboutToChange();
    saveMode_ = mode;
    service_.setSaveMode(mode);
    Q_EMIT changed();
}

void ObsidianSettings::setSavesEveryCopy(bool enabled)
{
    Q_EMIT aboutToChange();
    savesEveryCopy_ = enabled;
    service_.setSavesEveryCopy(enabled);
    Q_EMIT changed();
}

void ObsidianSettings::setVault(const QUrl& folder)
{
    // The service stores and flushes; the path shown is the one read back.
    service_.setVaultURL(folder);
    setVaultPath(pathOf(service_.vaultURL()));
}

void ObsidianSettings::pickVault()
{
    const std::optional<QUrl> chosen =
        chooser_.chooseFolder(tr("Select Vault"), vaultPath_.value_or(QString()));
    // A folder elsewhere than on this machine has no path the vault writer could use.
    if (!chosen || !chosen->isLocalFile() || chosen->toLocalFile().isEmpty())
        return;
    setVault(*chosen);
}

std::optional<QUrl> ObsidianSettings::iCloudVaultBase() const
{
    return ObsidianService::iCloudVaultBase(homePath_);
}

QUrl ObsidianSettings::iCloudVaultIn(const QUrl& base, const QStringList& names)
{
    for (const QString& name : names) {
        if (!name.startsWith(u'.'))
            return QUrl::fromLocalFile(QDir(base.toLocalFile()).filePath(name));
    }
    return base;
}

void ObsidianSettings::useICloudVault()
{
    const std::optional<QUrl> base = iCloudVaultBase();
    if (!base)
        return;
    // An unreadable folder lists as empty, which makes the folder itself the vault.
    const QStringList names =
        QDir(base->toLocalFile())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Unsorted);
    setVault(iCloudVaultIn(*base, names));
}

} // namespace quillstow
