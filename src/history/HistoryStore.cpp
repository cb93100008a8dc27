#include "history/HistoryStore.h"

#include "platform/DebugLog.h"
#include "platform/SettingsStore.h"
#include "vault/ObsidianService.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace quillstow {

int historyCapacity(const QVariant& stored)
{
    bool ok = false;
    const double value = stored.toDouble(&ok);
    if (!stored.isValid() || !ok || std::isnan(value))
        return HistoryStore::defaultMaxItems;
    const double clamped =
        std::clamp(value, double(HistoryStore::minMaxItems), double(HistoryStore::maxMaxItems));
    const double steps = std::round(clamped / HistoryStore::maxItemsStep);
    return static_cast<int>(steps) * HistoryStore::maxItemsStep;
}

QString historyNotSavedMessage(const QString& reason)
{
    return QCoreApplication::translate("HistoryStore", "History is not being saved: %1")
        .arg(reason);
}

QString historyMovedAsideMessage(const QString& path)
{
    return QCoreApplication::translate(
               "HistoryStore", "The history file could not be read. It was moved to %1 and a new "
                               "history was begun.")
        .arg(path);
}

HistoryStore::HistoryStore(QSettings& defaults, ObsidianService& vault, const QString& databasePath,
                           QObject* parent)
    : QObject(parent), defaults_(defaults), vault_(vault), db_(databasePath)
{
    load();
}

int HistoryStore::maxItems() const
{
    return historyCapacity(defaults_.value(maxItemsKey));
}

void HistoryStore::load()
{
    if (!openDatabase()) {
        // Nothing is known of the file: once it opens, what it holds goes below what is in
        // memory by then. The settings file's history stays where it is until that happens.
        failedToSave();
        return;
    }
    if (behind_)
        persist(nullptr);
}

bool HistoryStore::openDatabase()
{
    HistoryDatabase::Contents stored;
    QString movedTo;
    const bool opened = db_.open(stored, &movedTo);
    if (!movedTo.isEmpty()) {
        debuglog::write(QStringLiteral("The history database could not be read; moved to ") +
                        movedTo);
        movedAsidePath_ = movedTo;
        Q_EMIT movedAside(movedTo);
    }
    if (opened)
        adoptStored(stored);
    return opened;
}

void HistoryStore::adoptStored(HistoryDatabase::Contents& stored)
{
    QList<ClipItem> below = std::move(stored.items);
    QList<HistoryDatabase::Row> rows = std::move(stored.rows);
    if (!stored.importedSettingsHistory && defaults_.contains(storageKey)) {
        // Imported whole, in one transaction with the mark that it was done: a start that
        // stopped halfway does it again.
        if (std::optional<QList<ClipItem>> imported = settingsHistory()) {
            below = std::move(*imported);
            rows.clear();
            importPending_ = true;
            behind_ = true;
        }
    } else if (stored.importedSettingsHistory && defaults_.contains(storageKey)) {
        // Imported before, but the key outlived it.
        defaults_.remove(storageKey);
        platform::syncPrivately(defaults_);
    }
    if (!stillUnread_)
        return;
    stillUnread_ = false;
    if (items_.isEmpty()) {
        items_ = std::move(below);
        rows_ = std::move(rows);
        return;
    }
    Q_EMIT itemsAboutToChange();
    items_.append(below);
    items_.resize(std::min(items_.size(), qsizetype(maxItems())));
    behind_ = true;
}

std::optional<QList<ClipItem>> HistoryStore::settingsHistory()
{
    const QVariant stored = defaults_.value(storageKey);
    QByteArray bytes;
    if (stored.typeId() == QMetaType::QByteArray)
        bytes = stored.toByteArray();
    else if (stored.typeId() == QMetaType::QString)
        bytes = stored.toString().toUtf8();
    else if (stored.typeId() == QMetaType::QStringList)
        bytes = stored.toStringList().join(QStringLiteral(", ")).toUtf8();
    if (std::optional<QList<ClipItem>> decoded = decodeHistory(bytes))
        return decoded;
    // Kept as a file before the key goes; while it cannot be kept, the key stays.
    if (backUpUnreadable(bytes)) {
        defaults_.remove(storageKey);
        platform::syncPrivately(defaults_);
    }
    return std::nullopt;
}

bool HistoryStore::backUpUnreadable(const QByteArray& bytes)
{
    const QString folder = QFileInfo(defaults_.fileName()).absolutePath();
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd'T'HH-mm-ss"));
    for (int n = 1; n < 1000; ++n) {
        const QString suffix = n == 1 ? QString() : QStringLiteral("-%1").arg(n);
        const QString path = QDir(folder).filePath(
            QStringLiteral("clip_history-unreadable-%1%2.json").arg(stamp, suffix));
        if (QFileInfo::exists(path))
            continue;
        QDir().mkpath(folder);
        if (!platform::writePrivateFile(path, bytes))
            return false;
        backupPath_ = path;
        return true;
    }
    return false;
}

void HistoryStore::persist(const std::function<bool()>& change)
{
    bool stored = false;
    if (!behind_ && db_.isOpen())
        stored = !change || db_.transaction(change);
    else
        stored = (db_.isOpen() || openDatabase()) && writeEverything();
    if (!stored) {
        failedToSave();
        return;
    }
    if (!saveFailure_.isEmpty()) {
        saveFailure_.clear();
        debuglog::write(QStringLiteral("The history is being saved again"));
        Q_EMIT saveStateChanged();
    }
}

void HistoryStore::failedToSave()
{
    behind_ = true;
    rows_.clear();
    const QString reason = db_.error();
    // Reopened at the next write: a file that went bad meanwhile is then moved aside.
    db_.close();
    debuglog::write(QStringLiteral("Writing the history failed: ") + reason);
    if (saveFailure_.isEmpty()) {
        saveFailure_ = reason;
        Q_EMIT saveStateChanged();
    }
}

bool HistoryStore::writeEverything()
{
    QList<HistoryDatabase::Row> rows;
    rows.reserve(items_.size());
    const bool written = db_.transaction([&] {
        if (!db_.removeAll())
            return false;
        for (qsizetype i = 0; i < items_.size(); ++i) {
            const double position = double(items_.size() - i);
            qint64 key = 0;
            if (!db_.insert(items_[i], position, &key))
                return false;
            rows.append(HistoryDatabase::Row{key, position});
        }
        return !importPending_ || db_.markSettingsHistoryImported();
    });
    if (!written)
        return false;
    rows_ = std::move(rows);
    behind_ = false;
    if (importPending_) {
        importPending_ = false;
        defaults_.remove(storageKey);
        platform::syncPrivately(defaults_);
    }
    return true;
}

void HistoryStore::add(const ClipItem& item)
{
    ClipItem copy = item;
    if (vault_.vaultURL() && vault_.savesEveryCopy())
        exportToVault(copy);

    Q_EMIT itemsAboutToChange();
    items_.prepend(copy);
    const qsizetype capacity = maxItems();
    if (items_.size() > capacity) {
        Q_EMIT itemsAboutToChange();
        for (qsizetype i = capacity; i < items_.size(); ++i)
            caches_.remove(items_[i].id);
        items_.resize(capacity);
    }
    persist([&] {
        // The rows still stand for the list before the new item.
        const double top = rows_.isEmpty() ? 1 : rows_.front().position + 1;
        qint64 key = 0;
        if (!db_.insert(copy, top, &key))
            return false;
        for (qsizetype i = capacity - 1; i < rows_.size(); ++i)
            if (!db_.removeRow(rows_[i].key))
                return false;
        rows_.resize(std::min(rows_.size(), capacity - 1));
        rows_.prepend(HistoryDatabase::Row{key, top});
        return true;
    });
    Q_EMIT itemsChanged();
}

void HistoryStore::exportToVault(ClipItem& copy)
{
    const SaveResult result = vault_.save(copy);
    if (result.isSuccess()) {
        copy.savedToObsidian = true;
        exportFailing_ = false;
        return;
    }
    // The description names the note's file, which comes from the clip's text: the log gets
    // only the item's id.
    debuglog::write(QStringLiteral("Saving new copy %1 to the vault failed")
                        .arg(copy.id.toString(QUuid::WithoutBraces)));
    if (!exportFailing_) {
        exportFailing_ = true;
        Q_EMIT vaultExportFailed(result.error().errorDescription());
    }
}

void HistoryStore::remove(const ClipItem& item)
{
    Q_EMIT itemsAboutToChange();
    QList<qsizetype> gone;
    for (qsizetype i = items_.size() - 1; i >= 0; --i)
        if (items_[i].id == item.id)
            gone.append(i);
    for (const qsizetype i : gone)
        items_.removeAt(i);
    caches_.remove(item.id);
    persist([&] {
        for (const qsizetype i : gone) {
            if (!db_.removeRow(rows_[i].key))
                return false;
            rows_.removeAt(i);
        }
        return true;
    });
    Q_EMIT itemsChanged();
}

void HistoryStore::togglePin(const ClipItem& item)
{
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [&](const ClipItem& each) { return each.id == item.id; });
    if (found == items_.end())
        return;
    const qsizetype toggled = found - items_.begin();
    Q_EMIT itemsAboutToChange();
    found->isPinned = !found->isPinned;
    const ClipItem changed = *found;
    Q_EMIT itemsAboutToChange();
    QList<qsizetype> order(items_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](qsizetype a, qsizetype b) {
        if (items_[a].isPinned != items_[b].isPinned)
            return items_[a].isPinned;
        return items_[a].copiedAt > items_[b].copiedAt;
    });
    QList<ClipItem> sorted;
    sorted.reserve(items_.size());
    for (const qsizetype i : order)
        sorted.append(items_[i]);
    items_ = std::move(sorted);
    persist([&] {
        if (!db_.setFlags(rows_[toggled].key, changed.isPinned, changed.savedToObsidian))
            return false;
        QList<HistoryDatabase::Row> rows;
        rows.reserve(rows_.size());
        for (const qsizetype i : order)
            rows.append(rows_[i]);
        if (!reposition(rows))
            return false;
        rows_ = std::move(rows);
        return true;
    });
    Q_EMIT itemsChanged();
}

bool HistoryStore::reposition(QList<HistoryDatabase::Row>& rows)
{
    // The rows stay in place that already stand in falling order (the longest such run, found
    // as in patience sorting); only the others get new positions between their neighbours, so
    // a pin writes about as many rows as actually moved.
    const qsizetype n = rows.size();
    if (n < 2)
        return true;
    QList<qsizetype> tails;
    QList<qsizetype> before(n, -1);
    for (qsizetype i = 0; i < n; ++i) {
        const auto at =
            std::lower_bound(tails.begin(), tails.end(), i, [&](qsizetype t, qsizetype) {
                return rows[t].position > rows[i].position;
            });
        if (at != tails.begin())
            before[i] = *(at - 1);
        if (at == tails.end())
            tails.append(i);
        else
            *at = i;
    }
    QList<bool> kept(n, false);
    for (qsizetype i = tails.isEmpty() ? -1 : tails.back(); i >= 0; i = before[i])
        kept[i] = true;

    QList<double> wanted(n);
    bool fits = true;
    qsizetype lastKept = -1;
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && !kept[i])
            continue;
        // Rows lastKept+1 .. i-1 move into the gap between the kept rows around them.
        const qsizetype count = i - lastKept - 1;
        for (qsizetype j = 1; j <= count; ++j) {
            double value = 0;
            if (lastKept < 0 && i == n)
                value = double(n - (lastKept + j) + 1);
            else if (lastKept < 0)
                value = rows[i].position + double(count - j + 1);
            else if (i == n)
                value = rows[lastKept].position - double(j);
            else
                value = rows[lastKept].position - (rows[lastKept].position - rows[i].position) *
                                                      double(j) / double(count + 1);
            wanted[lastKept + j] = value;
        }
        if (i < n)
            wanted[i] = rows[i].position;
        lastKept = i;
    }
    for (qsizetype i = 1; i < n && fits; ++i)
        fits = wanted[i] < wanted[i - 1];
    if (!fits) {
        // The gaps have worn too thin: every row is numbered afresh.
        for (qsizetype i = 0; i < n; ++i)
            wanted[i] = double(n - i);
    }
    for (qsizetype i = 0; i < n; ++i) {
        if (wanted[i] == rows[i].position)
            continue;
        if (!db_.setPosition(rows[i].key, wanted[i]))
            return false;
        rows[i].position = wanted[i];
    }
    return true;
}

void HistoryStore::markSavedToObsidian(const ClipItem& item)
{
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [&](const ClipItem& each) { return each.id == item.id; });
    if (found == items_.end())
        return;
    const qsizetype index = found - items_.begin();
    Q_EMIT itemsAboutToChange();
    found->savedToObsidian = true;
    persist([&] { return db_.setFlags(rows_[index].key, found->isPinned, true); });
    Q_EMIT itemsChanged();
}

void HistoryStore::clearAll(bool keepPinned)
{
    Q_EMIT itemsAboutToChange();
    QList<ClipItem> kept;
    QList<qsizetype> gone;
    for (qsizetype i = items_.size() - 1; i >= 0; --i) {
        if (keepPinned && items_[i].isPinned)
            kept.prepend(items_[i]);
        else
            gone.append(i);
    }
    items_ = std::move(kept);
    forgetCachesNotIn(items_);
    persist([&] {
        if (!keepPinned) {
            rows_.clear();
            return db_.removeAll();
        }
        for (const qsizetype i : gone) {
            if (!db_.removeRow(rows_[i].key))
                return false;
            rows_.removeAt(i);
        }
        return true;
    });
    Q_EMIT itemsChanged();
}

QList<ClipItem> HistoryStore::filtered(const QString& query) const
{
    if (query.isEmpty())
        return items_;
    const QLocale locale;
    if (locale != searchLocale_) {
        for (TextCache& cache : caches_)
            cache.search.reset();
        searchLocale_ = locale;
    }
    const SearchText needle(query, locale);
    QList<ClipItem> matches;
    for (const ClipItem& item : items_) {
        TextCache& cache = cacheFor(item);
        if (!cache.search)
            cache.search = SearchText(item.content, searchLocale_);
        if (cache.search->contains(needle))
            matches.append(item);
    }
    return matches;
}

HistoryStore::TextCache& HistoryStore::cacheFor(const ClipItem& item) const
{
    auto found = caches_.find(item.id);
    // A stored history may repeat an id with another text; the caches must not mix them up.
    if (found == caches_.end() || found->content.constData() != item.content.constData())
        found = caches_.insert(item.id, TextCache{item.content, std::nullopt});
    return found.value();
}

void HistoryStore::forgetCachesNotIn(const QList<ClipItem>& kept)
{
    QSet<QUuid> ids;
    for (const ClipItem& item : kept)
        ids.insert(item.id);
    caches_.removeIf([&](const auto& entry) { return !ids.contains(entry.key()); });
}

} // namespace quillstow
