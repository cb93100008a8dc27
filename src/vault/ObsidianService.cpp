#include "vault/ObsidianService.h"

#include "history/TextRules.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimeZone>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillstow {

namespace {

constexpr qsizetype titleLength = 40;
// The longest file name Linux file systems take, in bytes.
constexpr qsizetype maxFileNameBytes = 255;
const QString notesFolder = QStringLiteral("Quillstow");
const QString logFileName = QStringLiteral("clipboard-history.md");
const QString noteSuffix = QStringLiteral(".md");

QDateTime utcFromCopiedAt(double copiedAt)
{
    const double seconds = std::floor(copiedAt + referenceDateOffset);
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds), QTimeZone::utc());
}

// `source` marked with QT_TRANSLATE_NOOP in the "ObsidianService" context.
QString translated(const char* source)
{
    return QCoreApplication::translate("ObsidianService", source);
}

QString describe(const QString& path, const QString& reason)
{
    return translated(QT_TRANSLATE_NOOP("ObsidianService", "Could not write “%1”: %2"))
        .arg(QDir::toNativeSeparators(path), reason);
}

QString describeErrno(const QString& path, int error)
{
    return describe(path, QString::fromLocal8Bit(std::strerror(error)));
}

ObsidianError leadsOutside(const QString& path)
{
    return ObsidianError::fileSystem(
        translated(
            QT_TRANSLATE_NOOP("ObsidianService",
                              "Nothing was written to “%1”: it is a symbolic link that does not "
                              "lead to a file inside the Obsidian vault."))
            .arg(QDir::toNativeSeparators(path)));
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// The path with every link resolved, or nullopt with errno set.
std::optional<QString> realPath(const QString& path)
{
    const QByteArray name = encoded(path);
    char* resolved = ::realpath(name.constData(), nullptr);
    if (!resolved)
        return std::nullopt;
    QString out = QFile::decodeName(resolved);
    std::free(resolved);
    return out;
}

bool isWithin(const QString& real, const QString& root)
{
    if (real == root)
        return true;
    const QString prefix = root.endsWith(u'/') ? root : root + u'/';
    return real.startsWith(prefix);
}

// Where a file of the vault really is: `folder` (inside the vault) and `name` joined, with links
// resolved. A link is followed only when it ends inside the vault's real path `root`; the path
// returned may not exist yet.
std::variant<QString, ObsidianError> resolveInVault(const QString& root, const QString& folder,
                                                    const QString& name)
{
    const QString wanted = QDir(folder).filePath(name);
    const std::optional<QString> realFolder = realPath(folder);
    if (!realFolder)
        return ObsidianError::fileSystem(describeErrno(wanted, errno));
    if (!isWithin(*realFolder, root))
        return leadsOutside(folder);
    const QString path = QDir(*realFolder).filePath(name);
    struct stat st
    {};
    if (::lstat(encoded(path).constData(), &st) != 0) {
        if (errno == ENOENT)
            return path;
        return ObsidianError::fileSystem(describeErrno(path, errno));
    }
    if (!S_ISLNK(st.st_mode))
        return path;
    // A dangling link fails here too: writing through it would create its target, wherever
    // that is.
    const std::optional<QString> target = realPath(path);
    if (!target || !isWithin(*target, root))
        return leadsOutside(path);
    return *target;
}

std::optional<QString> writeAll(int fd, const QByteArray& bytes, const QString& path)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return describeErrno(path, n < 0 ? errno : EIO);
        done += n;
    }
    return std::nullopt;
}

enum class Replace
{
    always,
    never
};

struct NameTaken
{};

// The whole file in one step: a fresh file beside it (created, never opened through a link),
// then renamed over the name, which replaces a link rather than writing through it. A new file
// gets the folder's usual permissions. `Replace::never` leaves a file that appeared meanwhile
// alone and reports NameTaken.
std::variant<std::monostate, NameTaken, ObsidianError>
writeAtomically(const QString& path, const QByteArray& bytes, Replace replace)
{
    const QString folder = QFileInfo(path).path();
    QString temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = QDir(folder).filePath(
            QStringLiteral(".quillstow-%1.tmp")
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        fd = ::open(encoded(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return ObsidianError::fileSystem(describeErrno(path, errno));
    std::optional<QString> error = writeAll(fd, bytes, path);
    if (!error && ::fsync(fd) != 0)
        error = describeErrno(path, errno);
    if (::close(fd) != 0 && !error)
        error = describeErrno(path, errno);
    if (!error) {
        const QByteArray from = encoded(temp);
        const QByteArray to = encoded(path);
        int renamed = replace == Replace::always ? ::rename(from.constData(), to.constData())
                                                 : ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD,
                                                               to.constData(), RENAME_NOREPLACE);
        // Some file systems cannot refuse to replace; there the name is looked at first.
        if (renamed != 0 && (errno == EINVAL || errno == ENOSYS)) {
            struct stat st
            {};
            if (::lstat(to.constData(), &st) == 0)
                errno = EEXIST;
            else
                renamed = ::rename(from.constData(), to.constData());
        }
        if (renamed != 0) {
            const int renameError = errno;
            ::unlink(from.constData());
            if (renameError == EEXIST)
                return NameTaken{};
            return ObsidianError::fileSystem(describeErrno(path, renameError));
        }
        return std::monostate{};
    }
    ::unlink(encoded(temp).constData());
    return ObsidianError::fileSystem(*error);
}

// The contents of a regular file that is no link; nullopt for anything else.
std::optional<QByteArray> readRegularFile(const QString& path)
{
    const int fd =
        ::open(encoded(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st
    {};
    QFile file;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    return file.readAll();
}

// A title made fit for a file name: the characters Obsidian refuses in note names, controls
// and broken surrogates become "-", and leading dots go so the note is not hidden.
QString safeFileTitle(const QString& title)
{
    static const QString refused = QStringLiteral("*\"\\/<>:|?");
    QString safe = title;
    for (qsizetype i = 0; i < safe.size(); ++i) {
        const QChar c = safe[i];
        if (c.isHighSurrogate() && i + 1 < safe.size() && safe[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (refused.contains(c) || c.category() == QChar::Other_Control || c.isSurrogate())
            safe[i] = u'-';
    }
    qsizetype dots = 0;
    while (dots < safe.size() && safe[dots] == u'.')
        ++dots;
    return safe.sliced(dots);
}

// "<title>.md" or "<title> <n>.md", cut to fit the byte limit at a character boundary.
QString noteFileName(const QString& safeTitle, int n)
{
    const QString suffix = (n == 1 ? QString() : QStringLiteral(" %1").arg(n)) + noteSuffix;
    return text::utf8Prefix(safeTitle, maxFileNameBytes - suffix.toUtf8().size()) + suffix;
}

} // namespace

ObsidianError ObsidianError::noVaultConfigured()
{
    return {Kind::noVaultConfigured,
            translated(QT_TRANSLATE_NOOP(
                "ObsidianService", "No Obsidian vault configured. Open Settings to choose one."))};
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
        return QString::fromUtf8(QT_TRANSLATE_NOOP("ObsidianService", "New Note per Item"));
    case SaveMode::dailyNote:
        return QString::fromUtf8(QT_TRANSLATE_NOOP("ObsidianService", "Append to Daily Note"));
    case SaveMode::clipboardLog:
        return QString::fromUtf8(QT_TRANSLATE_NOOP("ObsidianService", "Clipboard Log File"));
    }
    return {};
}

QString ObsidianService::displayName(SaveMode mode)
{
    return translated(rawValue(mode).toUtf8().constData());
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
        platform::storeSetting(defaults_, vaultPathKey, path);
    } else {
        platform::removeSetting(defaults_, vaultPathKey);
    }
}

ObsidianService::SaveMode ObsidianService::saveMode() const
{
    return saveModeFromRawValue(defaults_.value(saveModeKey).toString())
        .value_or(SaveMode::newNote);
}

void ObsidianService::setSaveMode(SaveMode mode)
{
    platform::storeSetting(defaults_, saveModeKey, rawValue(mode));
}

bool ObsidianService::savesEveryCopy() const
{
    const QVariant stored = defaults_.value(saveEveryCopyKey);
    return !stored.isValid() || stored.toBool();
}

void ObsidianService::setSavesEveryCopy(bool enabled)
{
    platform::storeSetting(defaults_, saveEveryCopyKey, enabled);
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
            translated(
                QT_TRANSLATE_NOOP("ObsidianService",
                                  "The Obsidian vault “%1” is not an absolute folder path. Open "
                                  "Settings to choose the vault again."))
                .arg(defaults_.value(vaultPathKey).toString())));
    // Every file is written below the vault's real path. A vault that is gone (a drive not
    // plugged in) is not made again: the notes would land on the wrong disk, unseen.
    const std::optional<QString> root = realPath(folder);
    if (!root) {
        if (errno == ENOENT)
            return SaveResult::failure(ObsidianError::fileSystem(
                translated(
                    QT_TRANSLATE_NOOP("ObsidianService",
                                      "The Obsidian vault folder “%1” is missing. If it is on a "
                                      "drive, connect the drive; otherwise open Settings to "
                                      "choose the vault again."))
                    .arg(QDir::toNativeSeparators(folder))));
        return SaveResult::failure(ObsidianError::fileSystem(describeErrno(folder, errno)));
    }
    if (!QFileInfo(*root).isDir())
        return SaveResult::failure(ObsidianError::fileSystem(
            translated(
                QT_TRANSLATE_NOOP("ObsidianService",
                                  "The Obsidian vault “%1” is not a folder. Open Settings to "
                                  "choose the vault again."))
                .arg(QDir::toNativeSeparators(folder))));
    switch (saveMode()) {
    case SaveMode::newNote:
        return saveAsNewNote(item, std::nullopt, {}, *root);
    case SaveMode::dailyNote:
        return appendToDailyNote(item, *root);
    case SaveMode::clipboardLog:
        return appendToLog(item, *root);
    }
    return SaveResult::failure(ObsidianError::noVaultConfigured());
}

QString ObsidianService::defaultTitle(const ClipItem& item)
{
    const QString title =
        text::trimmedWhitespaceAndNewlines(text::graphemePrefix(item.preview(), titleLength));
    if (!title.isEmpty())
        return title;
    return clipTitle(item);
}

QString ObsidianService::clipTitle(const ClipItem& item)
{
    return QStringLiteral("Clip ") + iso8601(item.copiedAt);
}

SaveResult ObsidianService::saveAsNewNote(const ClipItem& item, const std::optional<QString>& title,
                                          const QStringList& tags, const QString& vault)
{
    QString safeTitle = safeFileTitle(title.value_or(defaultTitle(item)));
    if (safeTitle.isEmpty()) // a title of dots only
        safeTitle = safeFileTitle(clipTitle(item));

    const QString notes = QDir(vault).filePath(notesFolder);
    if (::mkdir(encoded(notes).constData(), 0777) != 0 && errno != EEXIST)
        return SaveResult::failure(ObsidianError::fileSystem(describeErrno(notes, errno)));

    QString text = QStringLiteral("---\ncreated: ") + iso8601(item.copiedAt) +
                   QStringLiteral("\nsource: Quillstow\n");
    if (!tags.isEmpty())
        text += QStringLiteral("tags: [") + tags.join(QStringLiteral(", ")) + QStringLiteral("]\n");
    text += QStringLiteral("---\n\n") + item.content;
    const QByteArray bytes = text.toUtf8();

    const auto realNotes = resolveInVault(vault, vault, notesFolder);
    if (const auto* error = std::get_if<ObsidianError>(&realNotes))
        return SaveResult::failure(*error);

    // Never replace a different note: a taken name gets " 2", " 3", ... The same note saved
    // again lands on its own file. A link is never written through, so a name a link holds is
    // taken too.
    for (int n = 1;; ++n) {
        const QString path =
            QDir(std::get<QString>(realNotes)).filePath(noteFileName(safeTitle, n));
        Replace replace = Replace::never;
        struct stat st
        {};
        if (::lstat(encoded(path).constData(), &st) == 0) {
            if (!S_ISREG(st.st_mode) || readRegularFile(path) != bytes)
                continue;
            replace = Replace::always;
        } else if (errno != ENOENT) {
            return SaveResult::failure(ObsidianError::fileSystem(describeErrno(path, errno)));
        }
        const auto written = writeAtomically(path, bytes, replace);
        if (const auto* error = std::get_if<ObsidianError>(&written))
            return SaveResult::failure(*error);
        if (std::holds_alternative<NameTaken>(written))
            continue;
        return SaveResult::success(QUrl::fromLocalFile(path));
    }
}

SaveResult ObsidianService::appendToDailyNote(const ClipItem& item, const QString& vault)
{
    const QString date = now_().toLocalTime().toString(QStringLiteral("yyyy-MM-dd"));
    const QString time =
        utcFromCopiedAt(item.copiedAt).toLocalTime().toString(QStringLiteral("HH:mm:ss"));
    const QString entry = QStringLiteral("\n## Clipboard \u2013 ") + time + QStringLiteral("\n\n") +
                          item.content + u'\n';
    return append(entry, vault, date + noteSuffix);
}

SaveResult ObsidianService::appendToLog(const ClipItem& item, const QString& vault)
{
    const QString entry = QStringLiteral("\n### ") + iso8601(item.copiedAt) +
                          QStringLiteral("\n\n") + item.content + u'\n';
    return append(entry, vault, logFileName);
}

SaveResult ObsidianService::append(const QString& text, const QString& vault, const QString& name)
{
    const QByteArray bytes = text.toUtf8();
    const auto resolved = resolveInVault(vault, vault, name);
    if (const auto* error = std::get_if<ObsidianError>(&resolved))
        return SaveResult::failure(*error);
    const QString& path = std::get<QString>(resolved);
    // Twice at most: a file that appears between the two steps is appended to after all.
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Not through a link put there since it was resolved, and never waiting on a pipe.
        const int fd = ::open(encoded(path).constData(),
                              O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            const auto written = writeAtomically(path, bytes, Replace::never);
            if (const auto* error = std::get_if<ObsidianError>(&written))
                return SaveResult::failure(*error);
            if (std::holds_alternative<NameTaken>(written))
                continue;
            return SaveResult::success(QUrl::fromLocalFile(path));
        }
        if (fd < 0)
            return SaveResult::failure(errno == ELOOP
                                           ? leadsOutside(path)
                                           : ObsidianError::fileSystem(describeErrno(path, errno)));
        struct stat st
        {};
        std::optional<QString> error;
        if (::fstat(fd, &st) != 0)
            error = describeErrno(path, errno);
        else if (!S_ISREG(st.st_mode))
            error = describe(path, translated(QT_TRANSLATE_NOOP("ObsidianService",
                                                                "It is not a regular file.")));
        else
            error = writeAll(fd, bytes, path);
        // A failed write or close is a failed save: the entry is not in the note.
        if (::close(fd) != 0 && !error)
            error = describeErrno(path, errno);
        if (error)
            return SaveResult::failure(ObsidianError::fileSystem(*error));
        return SaveResult::success(QUrl::fromLocalFile(path));
    }
    return SaveResult::failure(ObsidianError::fileSystem(describeErrno(path, EEXIST)));
}

} // namespace quillstow
