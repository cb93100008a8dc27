#include "history/HistoryStore.h"

#include "support/TestSupport.h"
#include "vault/ObsidianService.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quillstow;

namespace {

class HistoryStoreTest : public ::testing::Test
{
protected:
    test::TempSettings temp;
    ObsidianService vault{temp.settings()};

    std::unique_ptr<HistoryStore> makeStore()
    {
        return std::make_unique<HistoryStore>(temp.settings(), vault);
    }
    std::unique_ptr<HistoryStore> restart()
    {
        return std::make_unique<HistoryStore>(temp.reopen(), vault);
    }
    QJsonArray stored()
    {
        return QJsonDocument::fromJson(
                   temp.settings().value(HistoryStore::storageKey).toByteArray())
            .array();
    }
    static ClipItem at(double copiedAt, const QString& text)
    {
        return ClipItem::create(text, copiedAt);
    }
};

QStringList contents(const QList<ClipItem>& items)
{
    QStringList out;
    for (const ClipItem& item : items)
        out << item.content;
    return out;
}

} // namespace

TEST_F(HistoryStoreTest, FirstRunIsEmptyAndTheFirstAddStoresOneItem)
{
    auto store = makeStore();
    EXPECT_TRUE(store->items().isEmpty());
    EXPECT_TRUE(store->backupPath().isEmpty());
    EXPECT_FALSE(temp.settings().contains(HistoryStore::storageKey));
    store->add(ClipItem::create(QStringLiteral("first")));
    ASSERT_EQ(stored().size(), 1);
    EXPECT_EQ(stored()[0][QStringLiteral("content")].toString(), QStringLiteral("first"));
}

TEST_F(HistoryStoreTest, ARestartShowsTheSameHistoryInStoredOrder)
{
    auto store = makeStore();
    for (int i = 0; i < 5; ++i)
        store->add(at(100 - i, QStringLiteral("item %1").arg(i)));
    store->togglePin(store->items()[2]);
    const QList<ClipItem> before = store->items();
    auto again = restart();
    EXPECT_EQ(again->items(), before);
    EXPECT_TRUE(again->backupPath().isEmpty());
    EXPECT_TRUE(
        QDir(temp.folder()).entryList(QDir::Files).filter(QStringLiteral("unreadable")).isEmpty());
}

TEST_F(HistoryStoreTest, TheStoredFileIsPrivateToTheUser)
{
    auto store = makeStore();
    store->add(ClipItem::create(QStringLiteral("secret-ish")));
    struct stat st
    {};
    ASSERT_EQ(::stat(QFile::encodeName(temp.settings().fileName()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(HistoryStoreTest, UnreadableHistoryIsBackedUpBeforeTheFirstSave)
{
    QJsonObject noPin{{QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
                      {QStringLiteral("content"), QStringLiteral("x")},
                      {QStringLiteral("copiedAt"), 1},
                      {QStringLiteral("savedToObsidian"), false}};
    const QByteArray unreadable[] = {
        QByteArray("{not json"),
        QJsonDocument(QJsonArray{noPin}).toJson(QJsonDocument::Compact),
    };
    for (const QByteArray& bytes : unreadable) {
        test::TempSettings local;
        local.settings().setValue(HistoryStore::storageKey, bytes);
        local.settings().sync();
        ObsidianService localVault(local.settings());
        HistoryStore store(local.reopen(), localVault);
        EXPECT_TRUE(store.items().isEmpty());
        ASSERT_FALSE(store.backupPath().isEmpty());
        EXPECT_EQ(test::readFile(store.backupPath()), bytes);
        EXPECT_EQ(QFileInfo(store.backupPath()).absolutePath(),
                  QFileInfo(local.settings().fileName()).absolutePath());
        EXPECT_TRUE(QFileInfo(store.backupPath())
                        .fileName()
                        .contains(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
        struct stat st
        {};
        ASSERT_EQ(::stat(QFile::encodeName(store.backupPath()).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);

        store.add(ClipItem::create(QStringLiteral("new")));
        EXPECT_EQ(
            decodeHistory(local.settings().value(HistoryStore::storageKey).toByteArray())->size(),
            1);
        EXPECT_EQ(test::readFile(store.backupPath()), bytes);
    }
}

TEST_F(HistoryStoreTest, CapacityFollowsTheSettingWithinItsRange)
{
    const struct
    {
        QVariant stored;
        int capacity;
    } cases[] = {
        {QVariant(), 500},
        {50, 50},
        {2000, 2000},
        {0, 50},
        {10000, 2000},
        {75, 100},
        {74, 50},
        {QStringLiteral("abc"), 500},
        {QStringLiteral("150"), 150},
    };
    for (const auto& c : cases)
        EXPECT_EQ(historyCapacity(c.stored), c.capacity) << c.stored.toString().toStdString();
}

TEST_F(HistoryStoreTest, AddInsertsOnTopAndTrimsTheTailWhateverItsPin)
{
    temp.settings().setValue(HistoryStore::maxItemsKey, 50);
    auto store = makeStore();
    for (int i = 0; i < 50; ++i)
        store->add(at(i, QStringLiteral("item %1").arg(i)));
    // The oldest item is pinned, then drifts back to the end under newer copies.
    store->togglePin(store->items().back());
    ASSERT_TRUE(store->items().front().isPinned);
    for (int i = 0; i < 49; ++i)
        store->add(at(100 + i, QStringLiteral("later %1").arg(i)));
    ASSERT_EQ(store->items().back().content, QStringLiteral("item 0"));
    ASSERT_TRUE(store->items().back().isPinned);
    store->add(at(1000, QStringLiteral("newest")));
    EXPECT_EQ(store->items().size(), 50);
    EXPECT_EQ(store->items().front().content, QStringLiteral("newest"));
    EXPECT_EQ(store->items().back().content, QStringLiteral("later 0"));
    EXPECT_EQ(stored().size(), 50);

    // The setting is read at every add.
    temp.settings().setValue(HistoryStore::maxItemsKey, 2000);
    store->add(at(1001, QStringLiteral("more")));
    EXPECT_EQ(store->items().size(), 51);
}

TEST_F(HistoryStoreTest, PinningSortsPinnedFirstThenNewestAndAddStillGoesOnTop)
{
    auto store = makeStore();
    store->add(at(1, QStringLiteral("old")));
    store->add(at(3, QStringLiteral("newer")));
    store->add(at(2, QStringLiteral("middle"))); // added last, copied earlier
    EXPECT_EQ(
        contents(store->items()),
        (QStringList{QStringLiteral("middle"), QStringLiteral("newer"), QStringLiteral("old")}));
    store->togglePin(store->items()[2]);
    EXPECT_EQ(contents(store->items()), (QStringList{QStringLiteral("old"), QStringLiteral("newer"),
                                                     QStringLiteral("middle")}));
    EXPECT_TRUE(store->items()[0].isPinned);
    store->add(at(0, QStringLiteral("latest")));
    EXPECT_EQ(store->items()[0].content, QStringLiteral("latest"));
    // Un-pinning the only pinned item re-sorts the whole list by time.
    store->togglePin(store->items()[1]);
    EXPECT_EQ(contents(store->items()),
              (QStringList{QStringLiteral("newer"), QStringLiteral("middle"), QStringLiteral("old"),
                           QStringLiteral("latest")}));
}

TEST_F(HistoryStoreTest, PinningKeepsTheOrderOfEqualTimes)
{
    auto store = makeStore();
    for (const char* s : {"c", "b", "a"})
        store->add(at(5, QString::fromLatin1(s)));
    store->add(at(1, QStringLiteral("x")));
    store->togglePin(store->items()[0]);
    EXPECT_EQ(contents(store->items()), (QStringList{QStringLiteral("x"), QStringLiteral("a"),
                                                     QStringLiteral("b"), QStringLiteral("c")}));
}

TEST_F(HistoryStoreTest, OperationsOnAnUnknownItem)
{
    auto store = makeStore();
    store->add(ClipItem::create(QStringLiteral("a")));
    const QByteArray before = temp.settings().value(HistoryStore::storageKey).toByteArray();
    const ClipItem stranger = ClipItem::create(QStringLiteral("a"));
    store->togglePin(stranger);
    store->markSavedToObsidian(stranger);
    store->remove(stranger);
    EXPECT_EQ(store->items().size(), 1);
    EXPECT_EQ(temp.settings().value(HistoryStore::storageKey).toByteArray(), before);
}

TEST_F(HistoryStoreTest, ItemsAreFoundByIdAlone)
{
    auto store = makeStore();
    store->add(ClipItem::create(QStringLiteral("a")));
    ClipItem stale = store->items().front();
    stale.isPinned = true; // a copy held elsewhere, out of date
    store->markSavedToObsidian(stale);
    EXPECT_TRUE(store->items().front().savedToObsidian);
    EXPECT_FALSE(store->items().front().isPinned);
    store->markSavedToObsidian(stale); // never set back
    EXPECT_TRUE(store->items().front().savedToObsidian);
    store->remove(stale);
    EXPECT_TRUE(store->items().isEmpty());
    EXPECT_EQ(stored().size(), 0);
}

TEST_F(HistoryStoreTest, ClearAllKeepsPinnedOnlyWhenAsked)
{
    auto store = makeStore();
    for (int i = 0; i < 4; ++i)
        store->add(at(i, QString::number(i)));
    store->togglePin(store->items()[3]);
    store->togglePin(store->items()[3]);
    store->clearAll(true);
    EXPECT_EQ(contents(store->items()), (QStringList{QStringLiteral("1"), QStringLiteral("0")}));
    store->clearAll(false);
    EXPECT_TRUE(store->items().isEmpty());
    EXPECT_EQ(stored().size(), 0);

    store->add(ClipItem::create(QStringLiteral("unpinned")));
    store->clearAll(true);
    EXPECT_TRUE(store->items().isEmpty());
}

TEST_F(HistoryStoreTest, TheListHearsOnceOfEveryChange)
{
    auto store = makeStore();
    for (int i = 0; i < 4; ++i)
        store->add(at(i, QString::number(i)));
    QSignalSpy changed(store.get(), &HistoryStore::itemsChanged);
    const auto changesOnce = [&](const char* name, const std::function<void()>& op) {
        changed.clear();
        op();
        EXPECT_EQ(changed.count(), 1) << name;
    };
    changesOnce("add", [&] { store->add(at(100, QStringLiteral("x"))); });
    changesOnce("toggle pin", [&] { store->togglePin(store->items()[3]); });
    changesOnce("mark saved", [&] { store->markSavedToObsidian(store->items()[3]); });
    changesOnce("delete", [&] { store->remove(store->items()[3]); });
    changesOnce("clear", [&] { store->clearAll(true); });
}

TEST_F(HistoryStoreTest, AddExportsToAConfiguredVaultAndMarksSuccessOnly)
{
    QTemporaryDir vaultDir;
    vault.setVaultURL(QUrl::fromLocalFile(vaultDir.path()));
    auto store = makeStore();
    store->add(ClipItem::create(QStringLiteral("exported")));
    EXPECT_TRUE(store->items().front().savedToObsidian);
    EXPECT_TRUE(stored()[0][QStringLiteral("savedToObsidian")].toBool());
    EXPECT_TRUE(QFileInfo::exists(vaultDir.filePath(QStringLiteral("Quillstow/exported.md"))));

    // The daily note cannot be created in a vault folder that is gone: added, unmarked, and
    // the user is told once, not at every copy, until a save has worked again.
    QSignalSpy told(store.get(), &HistoryStore::vaultExportFailed);
    const QUrl gone = QUrl::fromLocalFile(vaultDir.filePath(QStringLiteral("gone")));
    vault.setVaultURL(gone);
    vault.setSaveMode(ObsidianService::SaveMode::dailyNote);
    store->add(ClipItem::create(QStringLiteral("not exported")));
    EXPECT_EQ(store->items().front().content, QStringLiteral("not exported"));
    EXPECT_FALSE(store->items().front().savedToObsidian);
    EXPECT_FALSE(stored()[0][QStringLiteral("savedToObsidian")].toBool());
    store->add(ClipItem::create(QStringLiteral("not exported either")));
    ASSERT_EQ(told.count(), 1);
    EXPECT_FALSE(told[0][0].toString().isEmpty());
    vault.setVaultURL(QUrl::fromLocalFile(vaultDir.path()));
    store->add(ClipItem::create(QStringLiteral("exported again")));
    vault.setVaultURL(gone);
    store->add(ClipItem::create(QStringLiteral("failing again")));
    EXPECT_EQ(told.count(), 2);

    vault.setVaultURL(std::nullopt);
    store->add(ClipItem::create(QStringLiteral("no vault")));
    EXPECT_FALSE(store->items().front().savedToObsidian);
}
