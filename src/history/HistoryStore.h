#pragma once

#include "history/ClipItem.h"
#include "history/HistoryDatabase.h"
#include "history/TextSearch.h"

#include <QHash>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

namespace quillstow {

class ObsidianService;

// The clipboard history: one ordered list, newest first, kept in memory and in an SQLite file.
// Every change is one transaction of its own; a change that cannot be stored stays in memory and
// is stored with the next write that succeeds.
class HistoryStore : public QObject
{
    Q_OBJECT

public:
    static inline const QString storageKey = QStringLiteral("clip_history");
    static inline const QString maxItemsKey = QStringLiteral("max_history_items");
    static constexpr int defaultMaxItems = 500;
    static constexpr int minMaxItems = 50;
    static constexpr int maxMaxItems = 2000;
    static constexpr int maxItemsStep = 50;

    // Loads the history from the database at `databasePath`, first importing a history that
    // older versions kept in `defaults`. `vault` receives every added item while a vault is
    // configured and set to take every copy.
    HistoryStore(QSettings& defaults, ObsidianService& vault, const QString& databasePath,
                 QObject* parent = nullptr);

    const QList<ClipItem>& items() const { return items_; }
    // The capacity that `add` trims to, from the "max_history_items" setting.
    int maxItems() const;

    void add(const ClipItem& item);
    void remove(const ClipItem& item);
    void togglePin(const ClipItem& item);
    void markSavedToObsidian(const ClipItem& item);
    void clearAll(bool keepPinned);
    QList<ClipItem> filtered(const QString& query) const;

    // Where an unreadable history from the settings file was copied, or empty when there was
    // none.
    const QString& backupPath() const { return backupPath_; }
    // Why changes are not reaching the disk, or empty while they are.
    const QString& saveFailure() const { return saveFailure_; }
    // Where an unreadable database was moved before a new one was begun, or empty.
    const QString& movedAsidePath() const { return movedAsidePath_; }
    const QString& databasePath() const { return db_.path(); }

Q_SIGNALS:
    // Just before each change to `items` takes effect; twice for a two-step change.
    void itemsAboutToChange();
    // After an operation has changed `items` and saved them.
    void itemsChanged();
    // A new copy could not be written into the vault. Sent for the first failure only, and
    // again after a save has succeeded, so the user is told once and not at every copy.
    void vaultExportFailed(const QString& reason);
    // Writes began to fail (saveFailure() says why) or work again. Sent once per change of
    // state, not at every write.
    void saveStateChanged();
    // An unreadable database was moved to `path` and a new one begun.
    void movedAside(const QString& path);

private:
    void load();
    std::optional<QList<ClipItem>> settingsHistory();
    bool backUpUnreadable(const QByteArray& bytes);
    // Stores one change: `change` runs in a transaction while the file is up to date, else the
    // whole list is written anew.
    void persist(const std::function<bool()>& change);
    void failedToSave();
    bool openDatabase();
    bool writeEverything();
    void adoptStored(HistoryDatabase::Contents& stored);
    bool reposition(QList<HistoryDatabase::Row>& rows);
    void exportToVault(ClipItem& copy);
    // The search form of an item's text, made on first use.
    struct TextCache
    {
        QString content; // keeps the text shared, so its data pointer identifies it
        std::optional<SearchText> search;
    };
    TextCache& cacheFor(const ClipItem& item) const;
    void forgetCachesNotIn(const QList<ClipItem>& kept);

    QSettings& defaults_;
    ObsidianService& vault_;
    HistoryDatabase db_;
    QList<ClipItem> items_;
    // The database row of each item, in the same order, while `behind_` is false.
    QList<HistoryDatabase::Row> rows_;
    // The file lacks changes made in memory: the next write stores the whole list.
    bool behind_ = false;
    // The file has not been read yet: what it holds goes below what is in memory.
    bool stillUnread_ = true;
    // The settings file's history is to be removed once the database holds it.
    bool importPending_ = false;
    QString backupPath_;
    QString saveFailure_;
    QString movedAsidePath_;
    bool exportFailing_ = false;
    mutable QHash<QUuid, TextCache> caches_;
    mutable QLocale searchLocale_;
};

// A stored capacity made valid: 50 to 2000 in steps of 50, 500 when missing or unreadable.
int historyCapacity(const QVariant& stored);

// What the user is told while the history does not reach the disk.
QString historyNotSavedMessage(const QString& reason);
// What the user is told when an unreadable history file was moved to `path`.
QString historyMovedAsideMessage(const QString& path);

} // namespace quillstow
