#pragma once

#include "history/ClipItem.h"
#include "history/TextSearch.h"

#include <QHash>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <optional>

namespace quillstow {

class ObsidianService;

// The clipboard history: one ordered list, newest first, saved whole after every change.
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

    // Loads the stored history from `defaults`. `vault` receives every added item while a vault
    // is configured and set to take every copy.
    HistoryStore(QSettings& defaults, ObsidianService& vault, QObject* parent = nullptr);

    static HistoryStore& shared();

    const QList<ClipItem>& items() const { return items_; }
    // The capacity that `add` trims to, from the "max_history_items" setting.
    int maxItems() const;

    void add(const ClipItem& item);
    void remove(const ClipItem& item);
    void togglePin(const ClipItem& item);
    void markSavedToObsidian(const ClipItem& item);
    void clearAll(bool keepPinned);
    QList<ClipItem> filtered(const QString& query) const;

    // Where unreadable stored history was copied at load, or empty when there was none.
    const QString& backupPath() const { return backupPath_; }

Q_SIGNALS:
    // Just before each change to `items` takes effect; twice for a two-step change.
    void itemsAboutToChange();
    // After an operation has changed `items` and saved them.
    void itemsChanged();
    // A new copy could not be written into the vault. Sent for the first failure only, and
    // again after a save has succeeded, so the user is told once and not at every copy.
    void vaultExportFailed(const QString& reason);

private:
    void load();
    void save();
    void exportToVault(ClipItem& copy);
    void backUpUnreadable(const QByteArray& bytes);
    // Per-item work that depends only on the text: its search form and its JSON form.
    struct TextCache
    {
        QString content; // keeps the text shared, so its data pointer identifies it
        std::optional<SearchText> search;
        QByteArray json;
    };
    TextCache& cacheFor(const ClipItem& item) const;
    void forgetCachesNotIn(const QList<ClipItem>& kept);

    QSettings& defaults_;
    ObsidianService& vault_;
    QList<ClipItem> items_;
    QString backupPath_;
    bool exportFailing_ = false;
    mutable QHash<QUuid, TextCache> caches_;
    mutable QLocale searchLocale_;
};

// A stored capacity made valid: 50 to 2000 in steps of 50, 500 when missing or unreadable.
int historyCapacity(const QVariant& stored);

} // namespace quillstow
