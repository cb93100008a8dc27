#include "history/HistoryDatabase.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillstow {

namespace {

enum Statement
{
    insertItem,
    deleteRow,
    updateFlags,
    updatePosition,
    deleteAll,
    markImported
};

const char* const schema = R"sql(
CREATE TABLE items(
    row INTEGER PRIMARY KEY,
    id TEXT NOT NULL,
    content TEXT NOT NULL,
    copied_at REAL NOT NULL,
    is_pinned INTEGER NOT NULL,
    saved_to_obsidian INTEGER NOT NULL,
    position REAL NOT NULL);
CREATE INDEX items_by_position ON items(position);
CREATE TABLE meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID;
PRAGMA user_version = 1;
)sql";

const char* const importedKey = "imported_settings_history";

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

HistoryDatabase::HistoryDatabase(QString path) : path_(std::move(path)) {}

HistoryDatabase::~HistoryDatabase()
{
    close();
}

QString HistoryDatabase::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/quillstow/history.sqlite3");
}

void HistoryDatabase::close()
{
    for (sqlite3_stmt*& stmt : statements_) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
    }
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

void HistoryDatabase::fail(const QString& what)
{
    const int code = db_ ? sqlite3_extended_errcode(db_) : SQLITE_ERROR;
    QString reason;
    switch (code & 0xff) {
    case SQLITE_FULL:
        reason = QCoreApplication::translate("HistoryDatabase", "the disk is full");
        break;
    case SQLITE_READONLY:
        reason =
            QCoreApplication::translate("HistoryDatabase", "the history file cannot be written");
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        reason = QCoreApplication::translate("HistoryDatabase",
                                             "another program holds the history file locked");
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        reason = QCoreApplication::translate("HistoryDatabase", "the history file is damaged");
        break;
    case SQLITE_CANTOPEN:
        reason =
            QCoreApplication::translate("HistoryDatabase", "the history file cannot be opened");
        break;
    default:
        reason =
            db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(code));
        break;
    }
    error_ = what.isEmpty() ? reason : what + QStringLiteral(": ") + reason;
}

HistoryDatabase::Outcome HistoryDatabase::outcomeOfLastError() const
{
    const int code = db_ ? sqlite3_extended_errcode(db_) & 0xff : SQLITE_ERROR;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB ? Outcome::unreadable : Outcome::failed;
}

bool HistoryDatabase::exec(const char* sql)
{
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    fail(QString());
    return false;
}

HistoryDatabase::Outcome HistoryDatabase::openFile()
{
    error_.clear();
    const QFileInfo info(path_);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder)) {
        error_ = QCoreApplication::translate("HistoryDatabase", "the folder %1 cannot be made")
                     .arg(folder);
        return Outcome::failed;
    }
    ::chmod(nativePath(folder).constData(), 0700);

    // Something other than a file (a folder, a pipe, a link) is never opened: a pipe would
    // block the first read for good.
    struct stat st
    {};
    if (::lstat(nativePath(path_).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error_ = QCoreApplication::translate(
            "HistoryDatabase", "something other than a file is in the history's place");
        return Outcome::unreadable;
    }
    // A file that is not a database is never handed to SQLite, which would empty the journal
    // beside it on closing.
    QFile existing(path_);
    if (existing.open(QIODevice::ReadOnly)) {
        const QByteArray head = existing.read(16);
        if (!head.isEmpty() && head != QByteArray("SQLite format 3", 16)) {
            error_ = QCoreApplication::translate("HistoryDatabase",
                                                 "the history file is not a database");
            return Outcome::unreadable;
        }
    }
    // Made here so that it is private from the first byte; SQLite gives the journal files the
    // same mode.
    const int fd =
        ::open(nativePath(path_).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error_ =
            QCoreApplication::translate("HistoryDatabase", "the history file cannot be opened: %1")
                .arg(systemError(errno));
        return Outcome::failed;
    }
    ::fchmod(fd, 0600);
    ::close(fd);

    if (sqlite3_open_v2(nativePath(path_).constData(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK) {
        fail(QString());
        return Outcome::failed;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs);
    // WAL: a commit appends only the pages it changed. NORMAL: a commit is in the file when it
    // returns, so the program being killed loses nothing; only a power cut may lose the last
    // commits, never the file. A sync per copy would hold the GUI thread for milliseconds.
    // A small page cache: the list lives in memory already, and a change touches a few pages.
    if (!exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; PRAGMA cache_size = -512;"))
        return outcomeOfLastError();
    return Outcome::ok;
}

HistoryDatabase::Outcome HistoryDatabase::prepareSchema()
{
    sqlite3_stmt* stmt = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    if (version < 0) {
        fail(QString());
        return outcomeOfLastError();
    }
    if (version == schemaVersion)
        return Outcome::ok;
    if (version > schemaVersion) {
        error_ = QCoreApplication::translate("HistoryDatabase",
                                             "the history file was written by a newer Quillstow");
        return Outcome::failed;
    }
    // Each step from one layout to the next goes here, each in its own transaction.
    const bool made = transaction([this] { return exec(schema); });
    return made ? Outcome::ok : outcomeOfLastError();
}

HistoryDatabase::Outcome HistoryDatabase::read(Contents& contents)
{
    contents = Contents();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_,
                           "SELECT row, id, content, copied_at, is_pinned, saved_to_obsidian, "
                           "position FROM items ORDER BY position DESC",
                           -1, &stmt, nullptr) != SQLITE_OK) {
        fail(QString());
        return outcomeOfLastError();
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto text = [stmt](int column) {
            return QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                sqlite3_column_bytes(stmt, column));
        };
        // The id is ASCII: parsed from the row's bytes, with no string made for it.
        const QUuid id = QUuid::fromString(
            QLatin1StringView(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)),
                              sqlite3_column_bytes(stmt, 1)));
        contents.items.append(ClipItem{id, text(2), sqlite3_column_double(stmt, 3),
                                       sqlite3_column_int(stmt, 4) != 0,
                                       sqlite3_column_int(stmt, 5) != 0});
        contents.rows.append(Row{sqlite3_column_int64(stmt, 0), sqlite3_column_double(stmt, 6)});
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        fail(QString());
        return outcomeOfLastError();
    }
    stmt = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT value FROM meta WHERE key = ?1", -1, &stmt, nullptr) !=
        SQLITE_OK) {
        fail(QString());
        return outcomeOfLastError();
    }
    sqlite3_bind_text(stmt, 1, importedKey, -1, SQLITE_STATIC);
    rc = sqlite3_step(stmt);
    contents.importedSettingsHistory = rc == SQLITE_ROW;
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        fail(QString());
        return outcomeOfLastError();
    }
    // The pages read for the list are not needed again.
    sqlite3_db_release_memory(db_);
    return Outcome::ok;
}

bool HistoryDatabase::open(Contents& contents, QString* movedTo)
{
    close();
    Outcome outcome = openFile();
    if (outcome == Outcome::ok)
        outcome = prepareSchema();
    if (outcome == Outcome::ok)
        outcome = read(contents);
    if (outcome == Outcome::ok)
        return true;
    close();
    if (outcome == Outcome::failed || !moveAside(movedTo))
        return false;
    contents = Contents();
    outcome = openFile();
    if (outcome == Outcome::ok)
        outcome = prepareSchema();
    if (outcome == Outcome::ok)
        outcome = read(contents);
    if (outcome == Outcome::ok)
        return true;
    close();
    return false;
}

bool HistoryDatabase::moveAside(QString* movedTo)
{
    const QFileInfo info(path_);
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd'T'HH-mm-ss"));
    QString target;
    for (int n = 1; n < 1000 && target.isEmpty(); ++n) {
        const QString suffix = n == 1 ? QString() : QStringLiteral("-%1").arg(n);
        const QString candidate = info.dir().filePath(
            QStringLiteral("history-unreadable-%1%2.sqlite3").arg(stamp, suffix));
        struct stat st
        {};
        if (::lstat(nativePath(candidate).constData(), &st) != 0)
            target = candidate;
    }
    if (target.isEmpty() ||
        ::rename(nativePath(path_).constData(), nativePath(target).constData()) != 0) {
        error_ = QCoreApplication::translate("HistoryDatabase",
                                             "the damaged history file cannot be moved aside: %1")
                     .arg(systemError(errno));
        return false;
    }
    // Its journal belongs to it: left behind, it would be read into the new file.
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")})
        ::rename(nativePath(path_ + suffix).constData(), nativePath(target + suffix).constData());
    if (movedTo)
        *movedTo = target;
    return true;
}

bool HistoryDatabase::transaction(const std::function<bool()>& body)
{
    if (!db_) {
        if (error_.isEmpty())
            error_ = QCoreApplication::translate("HistoryDatabase", "the history file is not open");
        return false;
    }
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    if (body() && exec("COMMIT"))
        return true;
    // Keeps the first failure's reason.
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

sqlite3_stmt* HistoryDatabase::statement(int which, const char* sql)
{
    sqlite3_stmt*& stmt = statements_[which];
    if (!stmt &&
        sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        fail(QString());
        stmt = nullptr;
    }
    return stmt;
}

bool HistoryDatabase::step(sqlite3_stmt* stmt)
{
    if (!stmt)
        return false;
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        fail(QString());
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
}

bool HistoryDatabase::insert(const ClipItem& item, double position, qint64* key)
{
    sqlite3_stmt* stmt =
        statement(insertItem, "INSERT INTO items(id, content, copied_at, is_pinned, "
                              "saved_to_obsidian, position) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    if (!stmt)
        return false;
    const QByteArray id = item.id.toString(QUuid::WithoutBraces).toUpper().toLatin1();
    const QByteArray content = item.content.toUtf8();
    sqlite3_bind_text(stmt, 1, id.constData(), int(id.size()), SQLITE_STATIC);
    sqlite3_bind_text64(stmt, 2, content.constData(), quint64(content.size()), SQLITE_STATIC,
                        SQLITE_UTF8);
    sqlite3_bind_double(stmt, 3, item.copiedAt);
    sqlite3_bind_int(stmt, 4, item.isPinned ? 1 : 0);
    sqlite3_bind_int(stmt, 5, item.savedToObsidian ? 1 : 0);
    sqlite3_bind_double(stmt, 6, position);
    if (!step(stmt))
        return false;
    *key = sqlite3_last_insert_rowid(db_);
    return true;
}

bool HistoryDatabase::removeRow(qint64 key)
{
    sqlite3_stmt* stmt = statement(deleteRow, "DELETE FROM items WHERE row = ?1");
    if (!stmt)
        return false;
    sqlite3_bind_int64(stmt, 1, key);
    return step(stmt);
}

bool HistoryDatabase::setFlags(qint64 key, bool isPinned, bool savedToObsidian)
{
    sqlite3_stmt* stmt = statement(
        updateFlags, "UPDATE items SET is_pinned = ?2, saved_to_obsidian = ?3 WHERE row = ?1");
    if (!stmt)
        return false;
    sqlite3_bind_int64(stmt, 1, key);
    sqlite3_bind_int(stmt, 2, isPinned ? 1 : 0);
    sqlite3_bind_int(stmt, 3, savedToObsidian ? 1 : 0);
    return step(stmt);
}

bool HistoryDatabase::setPosition(qint64 key, double position)
{
    sqlite3_stmt* stmt = statement(updatePosition, "UPDATE items SET position = ?2 WHERE row = ?1");
    if (!stmt)
        return false;
    sqlite3_bind_int64(stmt, 1, key);
    sqlite3_bind_double(stmt, 2, position);
    return step(stmt);
}

bool HistoryDatabase::removeAll()
{
    return step(statement(deleteAll, "DELETE FROM items"));
}

bool HistoryDatabase::markSettingsHistoryImported()
{
    sqlite3_stmt* stmt =
        statement(markImported, "INSERT OR REPLACE INTO meta(key, value) VALUES (?1, 1)");
    if (!stmt)
        return false;
    sqlite3_bind_text(stmt, 1, importedKey, -1, SQLITE_STATIC);
    return step(stmt);
}

} // namespace quillstow
