#pragma once

#include "history/ClipItem.h"

#include <QList>
#include <QString>
#include <functional>

struct sqlite3;
struct sqlite3_stmt;

namespace quillstow {

// The history's file: an SQLite database with one row per item. Statements only; which rows
// change and in what order the items stand are HistoryStore's rules.
class HistoryDatabase
{
public:
    static constexpr int schemaVersion = 1;
    // A write that meets a lock held by another program waits this long, then fails.
    static constexpr int busyTimeoutMs = 100;

    // One stored item: its row key and its place in the list (higher stands higher).
    struct Row
    {
        qint64 key = 0;
        double position = 0;
    };
    struct Contents
    {
        QList<ClipItem> items; // highest position first
        QList<Row> rows;       // one per item, in the same order
        bool importedSettingsHistory = false;
    };

    explicit HistoryDatabase(QString path);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    // `$XDG_DATA_HOME/quillstow/history.sqlite3`.
    static QString defaultPath();

    const QString& path() const { return path_; }
    bool isOpen() const { return db_ != nullptr; }
    // Why the last open, read or write failed, in plain words.
    const QString& error() const { return error_; }

    // Opens or creates the file (folder 0700, file 0600) and brings its layout up to date, then
    // reads every item. Something in the way that is not a readable database is moved aside,
    // with its companions, and a new one is started; `movedTo` then names where it went.
    bool open(Contents& contents, QString* movedTo);
    void close();

    // Runs `body` as one transaction: all of it is stored, or none of it.
    bool transaction(const std::function<bool()>& body);

    // Statements for use inside `transaction`.
    bool insert(const ClipItem& item, double position, qint64* key);
    bool removeRow(qint64 key);
    bool setFlags(qint64 key, bool isPinned, bool savedToObsidian);
    bool setPosition(qint64 key, double position);
    bool removeAll();
    bool markSettingsHistoryImported();

private:
    enum class Outcome
    {
        ok,
        unreadable,
        failed
    };
    Outcome openFile();
    Outcome prepareSchema();
    Outcome read(Contents& contents);
    bool moveAside(QString* movedTo);
    bool exec(const char* sql);
    sqlite3_stmt* statement(int which, const char* sql);
    bool step(sqlite3_stmt* stmt);
    void fail(const QString& what);
    Outcome outcomeOfLastError() const;

    QString path_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* statements_[6] = {};
    QString error_;
};

} // namespace quillstow
