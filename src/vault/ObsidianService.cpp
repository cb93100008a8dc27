#include "vault/ObsidianService.h"

#include "history/TextRules.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimeZone>
#include <cmath>

namespace quillstow {

namespace {

constexpr qsizetype titleLength = 40;
const QString notesFolder = QStringLiteral("Quillstow");
const QString logFileName = QStringLiteral("clipboard-history.md");

QDateTime utcFromCopiedAt(double copiedAt)
{
    const double seconds = std::floor(copiedAt + referenceDateOffset);
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds), QTimeZone::utc());
}

QString describe(const QString& path, const QString& reason)
{
    return QStringLiteral("Could not write \u201C%1\u201D: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

// Whole file in one step; a new file gets the folder's usual permissions.
std::optional<QString> writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return describe(path, file.errorString());
    return std::nullopt;
}

QByteArray readAll(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

} // namespace

ObsidianError ObsidianError::noVaultConfigured()
{
    return {Kind::noVaultConfigured,
            QStringLiteral("No Obsidian vault configured. Open Settings to choose one.")};
}

ObsidianError ObsidianError::fileSystem(const QString& description)
{
    return {Kind::fileSystem, description};
}

QString iso8601(double copiedAt)
{
    return utcFromCopiedAt(copiedAt).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + u'Z';
}

const QList<ObsidianService::SaveMode>& ObsidianService::allSaveModes()
{
    static const QList<SaveMode> modes{SaveMode::newNote, SaveMode::dailyNote,
                                       SaveMode::clipboardLog};
    return modes;
}

QString ObsidianService::rawValue(SaveMode mode)
{
    switch (mode) {
    case SaveMode::newNote:
        return QStringLiteral("New Note per Item");
    case SaveMode::dailyNote:
        return QStringLiteral("Append to Daily Note");
    case SaveMode::clipboardLog:
        return QStringLiteral("Clipboard Log File");
    }
    return {};
}

std::optional<ObsidianService::SaveMode> ObsidianService::saveModeFromRawValue(const QString& raw)
{
    for (SaveMode mode : allSaveModes()) {
        if (rawValue(mode) == raw)
            return mode;
    }
    return std::nullopt;
}

ObsidianService::ObsidianService(QSettings& defaults, Clock now)
    : defaults_(defaults),
      now_(now ? std::move(now) : Clock([] { return QDateTime::currentDateTime(); }))
{}

ObsidianService& ObsidianService::shared()
{
    static ObsidianService service(platform::userSettings());
    return service;
}

std::optional<QUrl> ObsidianService::vaultURL() const
{
    const QVariant stored = defaults_.value(vaultPathKey);
    if (!stored.isValid())
        return std::nullopt;
    return QUrl::fromLocalFile(stored.toString());
}

void ObsidianService::setVaultURL(const std::optional<QUrl>& url)
{
    if (url) {
        QString path = QDir::cleanPath(url->toLocalFile());
        defaults_.setValue(vaultPathKey, path);
    } else {
        defaults_.remove(vaultPathKey);
    }
    platform::syncPrivately(defaults_);
}

ObsidianService::SaveMode ObsidianService::saveMode() const
{
    return saveModeFromRawValue(defaults_.value(saveModeKey).toString())
        .value_or(SaveMode::newNote);
}

void ObsidianService::setSaveMode(SaveMode mode)
{
    defaults_.setValue(saveModeKey, rawValue(mode));
    platform::syncPrivately(defaults_);
}

bool ObsidianService::savesEveryCopy() const
{
    const QVariant stored = defaults_.value(saveEveryCopyKey);
    return !stored.isValid() || stored.toBool();
}

void ObsidianService::setSavesEveryCopy(bool enabled)
{
    defaults_.setValue(saveEveryCopyKey, enabled);
    platform::syncPrivately(defaults_);
}

std::optional<QUrl> ObsidianService::iCloudVaultBase()
{
    return iCloudVaultBase(QDir::homePath());
}

std::optional<QUrl> ObsidianService::iCloudVaultBase(const QString& homePath)
{
    const QString path = QDir(homePath).filePath(
        QStringLiteral("Library/Mobile Documents/iCloud~md~obsidian/Documents"));
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

SaveResult ObsidianService::save(const ClipItem& item)
{
    const std::optional<QUrl> vault = vaultURL();
    if (!vault)
        return SaveResult::failure(ObsidianError::noVaultConfigured());
    const QString folder = vault->toLocalFile();
    // A relative or empty path would write into whatever folder the program runs in.
    if (!QDir::isAbsolutePath(folder))
        return SaveResult::failure(ObsidianError::fileSystem(
            QStringLiteral("The Obsidian vault \u201C%1\u201D is not an absolute folder path. Open "
                           "Settings to choose the vault again.")
                .arg(defaults_.value(vaultPathKey).toString())));
    switch (saveMode()) {
    case SaveMode::newNote:
        return saveAsNewNote(item, std::nullopt, {}, folder);
    case SaveMode::dailyNote:
        return appendToDailyNote(item, folder);
    case SaveMode::clipboardLog:
        return appendToLog(item, folder);
    }
    return SaveResult::failure(ObsidianError::noVaultConfigured());
}

QString ObsidianService::defaultTitle(const ClipItem& item)
{
    const QString title =
        text::trimmedWhitespaceAndNewlines(text::graphemePrefix(item.preview(), titleLength));
    if (!title.isEmpty())
        return title;
    return QStringLiteral("Clip ") + iso8601(item.copiedAt);
}

SaveResult ObsidianService::saveAsNewNote(const ClipItem& item, const std::optional<QString>& title,
                                          const QStringList& tags, const QString& vault)
{
    QString safeName = title.value_or(defaultTitle(item));
    safeName.replace(u'/', u'-').replace(u':', u'-');

    const QString notes = QDir(vault).filePath(notesFolder);
    QDir().mkpath(notes); // a failure shows up as the write error below

    QString text = QStringLiteral("---\ncreated: ") + iso8601(item.copiedAt) +
                   QStringLiteral("\nsource: Quillstow\n");
    if (!tags.isEmpty())
        text += QStringLiteral("tags: [") + tags.join(QStringLiteral(", ")) + QStringLiteral("]\n");
    text += QStringLiteral("---\n\n") + item.content;
    const QByteArray bytes = text.toUtf8();

    // Never replace a different note: a taken name gets " 2", " 3", ... The same note saved
    // again lands on its own file.
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? safeName : QStringLiteral("%1 %2").arg(safeName).arg(n);
        const QString path = QDir(notes).filePath(name + QStringLiteral(".md"));
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink()) {
            bool readable = false;
            const QByteArray existing = info.isFile() ? readAll(path, &readable) : QByteArray();
            if (!readable || existing != bytes)
                continue;
        }
        if (const std::optional<QString> error = writeAtomically(path, bytes))
            return SaveResult::failure(ObsidianError::fileSystem(*error));
        return SaveResult::success(QUrl::fromLocalFile(path));
    }
}

SaveResult ObsidianService::appendToDailyNote(const ClipItem& item, const QString& vault)
{
    const QString date = now_().toLocalTime().toString(QStringLiteral("yyyy-MM-dd"));
    const QString file = QDir(vault).filePath(date + QStringLiteral(".md"));
    const QString time =
        utcFromCopiedAt(item.copiedAt).toLocalTime().toString(QStringLiteral("HH:mm:ss"));
    const QString entry = QStringLiteral("\n## Clipboard \u2013 ") + time + QStringLiteral("\n\n") +
                          item.content + u'\n';
    return append(entry, file);
}

SaveResult ObsidianService::appendToLog(const ClipItem& item, const QString& vault)
{
    const QString file = QDir(vault).filePath(logFileName);
    const QString entry = QStringLiteral("\n### ") + iso8601(item.copiedAt) +
                          QStringLiteral("\n\n") + item.content + u'\n';
    return append(entry, file);
}

SaveResult ObsidianService::append(const QString& text, const QString& path)
{
    const QByteArray bytes = text.toUtf8();
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return SaveResult::failure(
                ObsidianError::fileSystem(describe(path, file.errorString())));
        // A failed write or flush is a failed save: the entry is not in the note.
        const bool written = file.write(bytes) == bytes.size() && file.flush();
        const QString reason = file.errorString();
        file.close();
        if (!written)
            return SaveResult::failure(ObsidianError::fileSystem(describe(path, reason)));
        return SaveResult::success(QUrl::fromLocalFile(path));
    }
    if (const std::optional<QString> error = writeAtomically(path, bytes))
        return SaveResult::failure(ObsidianError::fileSystem(*error));
    return SaveResult::success(QUrl::fromLocalFile(path));
}

} // namespace quillstow
