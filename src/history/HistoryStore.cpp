#include "history/HistoryStore.h"

#include "platform/DebugLog.h"
#include "platform/SettingsStore.h"
#include "vault/ObsidianService.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cmath>

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

HistoryStore::HistoryStore(QSettings& defaults, ObsidianService& vault, QObject* parent)
    : QObject(parent), defaults_(defaults), vault_(vault)
{
    load();
}

HistoryStore& HistoryStore::shared()
{
    static HistoryStore* store =
        new HistoryStore(platform::userSettings(), ObsidianService::shared());
    return *store;
}

int HistoryStore::maxItems() const
{
    return historyCapacity(defaults_.value(maxItemsKey));
}

void HistoryStore::load()
{
    const QVariant stored = defaults_.value(storageKey);
    if (!stored.isValid())
        return;
    QByteArray bytes;
    if (stored.typeId() == QMetaType::QByteArray)
        bytes = stored.toByteArray();
    else if (stored.typeId() == QMetaType::QString)
        bytes = stored.toString().toUtf8();
    else if (stored.typeId() == QMetaType::QStringList)
        bytes = stored.toStringList().join(QStringLiteral(", ")).toUtf8();
    if (std::optional<QList<ClipItem>> decoded = decodeHistory(bytes)) {
        items_ = std::move(*decoded);
        return;
    }
    // The program starts empty, but the first save must not destroy what the user had.
    backUpUnreadable(bytes);
}

void HistoryStore::backUpUnreadable(const QByteArray& bytes)
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
        if (platform::writePrivateFile(path, bytes))
            backupPath_ = path;
        return;
    }
}

void HistoryStore::save()
{
    const QByteArray json = encodeHistory(items_, [this](const ClipItem& item) {
        TextCache& cache = cacheFor(item);
        if (cache.json.isNull())
            cache.json = encodeJsonString(item.content);
        return cache.json;
    });
    defaults_.setValue(storageKey, json);
    platform::syncPrivately(defaults_);
}

void HistoryStore::add(const ClipItem& item)
{
    ClipItem copy = item;
    if (vault_.vaultURL() && vault_.savesEveryCopy())
        exportToVault(copy);

    Q_EMIT itemsAboutToChange();
    items_.prepend(copy);
    const int capacity = maxItems();
    if (items_.size() > capacity) {
        Q_EMIT itemsAboutToChange();
        for (qsizetype i = capacity; i < items_.size(); ++i)
            caches_.remove(items_[i].id);
        items_.resize(capacity);
    }
    save();
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
    items_.removeIf([&](const ClipItem& each) { return each.id == item.id; });
    if (!std::any_of(items_.cbegin(), items_.cend(),
                     [&](const ClipItem& each) { return each.id == item.id; }))
        caches_.remove(item.id);
    save();
    Q_EMIT itemsChanged();
}

void HistoryStore::togglePin(const ClipItem& item)
{
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [&](const ClipItem& each) { return each.id == item.id; });
    if (found == items_.end())
        return;
    Q_EMIT itemsAboutToChange();
    found->isPinned = !found->isPinned;
    Q_EMIT itemsAboutToChange();
    std::stable_sort(items_.begin(), items_.end(), [](const ClipItem& a, const ClipItem& b) {
        if (a.isPinned != b.isPinned)
            return a.isPinned;
        return a.copiedAt > b.copiedAt;
    });
    save();
    Q_EMIT itemsChanged();
}

void HistoryStore::markSavedToObsidian(const ClipItem& item)
{
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [&](const ClipItem& each) { return each.id == item.id; });
    if (found == items_.end())
        return;
    Q_EMIT itemsAboutToChange();
    found->savedToObsidian = true;
    save();
    Q_EMIT itemsChanged();
}

void HistoryStore::clearAll(bool keepPinned)
{
    Q_EMIT itemsAboutToChange();
    QList<ClipItem> kept;
    if (keepPinned)
        std::copy_if(items_.cbegin(), items_.cend(), std::back_inserter(kept),
                     [](const ClipItem& each) { return each.isPinned; });
    items_ = std::move(kept);
    forgetCachesNotIn(items_);
    save();
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
        found = caches_.insert(item.id, TextCache{item.content, std::nullopt, QByteArray()});
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
