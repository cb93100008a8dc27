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

QStringList contents(const QList<ClipItem>& items)
{
    QStringList out;
    for (const ClipItem& item : items)
        out << item.content;
    return out;
}

class HistoryStoreTest : public ::testing::Test
{
protected:
    test::TempSettings temp;
    ObsidianService vault{temp.settings()};
    HistoryStore store{temp.settings(), vault};

    QJsonArray stored()
    {
        return QJsonDocument::fromJson(
                   temp.settings().value(HistoryStore::storageKey).toByteArray())
            .array();
    }
    void add(double copiedAt, const QString& text) { store.add(ClipItem::create(text, copiedAt)); }
};

} // namespace

TEST_F(HistoryStoreTest, ARestartShowsTheSameHistoryFromAPrivateFile)
{
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_FALSE(temp.settings().contains(HistoryStore::storageKey));
    for (int i = 0; i < 5; ++i)
        add(100 - i, QStringLiteral("item %1").arg(i));
    store.togglePin(store.items()[2]);
    ASSERT_EQ(stored().size(), 5);
    EXPECT_EQ(test::modeOf(temp.settings().fileName()), 0600u);
    HistoryStore again(temp.reopen(), vault);
    EXPECT_EQ(again.items(), store.items());
    EXPECT_TRUE(again.backupPath().isEmpty());
}

TEST_F(HistoryStoreTest, UnreadableHistoryIsBackedUpBeforeTheFirstSave)
{
    QJsonObject noPin{{QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
                      {QStringLiteral("content"), QStringLiteral("x")},
                      {QStringLiteral("copiedAt"), 1},
                      {QStringLiteral("savedToObsidian"), false}};
    for (const QByteArray& bytes :
         {QByteArray("{not json"), QJsonDocument(QJsonArray{noPin}).toJson()}) {
        test::TempSettings local;
        local.settings().setValue(HistoryStore::storageKey, bytes);
        local.settings().sync();
        ObsidianService localVault(local.settings());
        HistoryStore unreadable(local.reopen(), localVault);
        EXPECT_TRUE(unreadable.items().isEmpty());
        const QString backup = unreadable.backupPath();
        EXPECT_EQ(QFileInfo(backup).absolutePath(), local.folder());
        EXPECT_TRUE(QFileInfo(backup).fileName().contains(
            QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
        EXPECT_EQ(test::modeOf(backup), 0600u);
        unreadable.add(ClipItem::create(QStringLiteral("new")));
        EXPECT_EQ(
            decodeHistory(local.settings().value(HistoryStore::storageKey).toByteArray())->size(),
            1);
        EXPECT_EQ(test::readFile(backup), bytes);
    }
}

TEST_F(HistoryStoreTest, CapacityFollowsTheSettingWithinItsRange)
{
    const struct
    {
        QVariant stored;
        int capacity;
    } cases[] = {{QVariant(), 500},
                 {0, 50},
                 {10000, 2000},
                 {75, 100},
                 {74, 50},
                 {QStringLiteral("abc"), 500},
                 {QStringLiteral("150"), 150}};
    for (const auto& c : cases)
        EXPECT_EQ(historyCapacity(c.stored), c.capacity) << c.stored.toString().toStdString();
}

TEST_F(HistoryStoreTest, AddInsertsOnTopAndTrimsTheTailWhateverItsPin)
{
    temp.settings().setValue(HistoryStore::maxItemsKey, 50);
    for (int i = 0; i < 50; ++i)
        add(i, QStringLiteral("item %1").arg(i));
    // The oldest item is pinned, then drifts back to the end under newer copies.
    store.togglePin(store.items().back());
    for (int i = 0; i < 49; ++i)
        add(100 + i, QStringLiteral("later %1").arg(i));
    ASSERT_TRUE(store.items().back().isPinned);
    add(1000, QStringLiteral("newest"));
    EXPECT_EQ(store.items().size(), 50);
    EXPECT_EQ(store.items().front().content, QStringLiteral("newest"));
    EXPECT_EQ(store.items().back().content, QStringLiteral("later 0"));
    EXPECT_EQ(stored().size(), 50);

    // The setting is read at every add.
    temp.settings().setValue(HistoryStore::maxItemsKey, 2000);
    add(1001, QStringLiteral("more"));
    EXPECT_EQ(store.items().size(), 51);
}

TEST_F(HistoryStoreTest, PinningSortsPinnedFirstThenNewestAndAddStillGoesOnTop)
{
    add(1, QStringLiteral("old"));
    add(3, QStringLiteral("newer"));
    add(2, QStringLiteral("middle")); // added last, copied earlier
    store.togglePin(store.items()[2]);
    EXPECT_EQ(contents(store.items()), QString::fromLatin1("old newer middle").split(u' '));
    add(0, QStringLiteral("latest"));
    EXPECT_EQ(store.items()[0].content, QStringLiteral("latest"));
    // Un-pinning the only pinned item re-sorts the whole list by time.
    store.togglePin(store.items()[1]);
    EXPECT_EQ(contents(store.items()), QString::fromLatin1("newer middle old latest").split(u' '));

    // Equal times keep their order.
    store.clearAll(false);
    for (const char* s : {"c", "b", "a"})
        add(5, QString::fromLatin1(s));
    add(1, QStringLiteral("x"));
    store.togglePin(store.items()[0]);
    EXPECT_EQ(contents(store.items()), QString::fromLatin1("x a b c").split(u' '));
}

TEST_F(HistoryStoreTest, ItemsAreFoundByIdAlone)
{
    add(1, QStringLiteral("a"));
    const QByteArray before = temp.settings().value(HistoryStore::storageKey).toByteArray();
    const ClipItem stranger = ClipItem::create(QStringLiteral("a"), 1);
    store.togglePin(stranger);
    store.markSavedToObsidian(stranger);
    store.remove(stranger);
    EXPECT_EQ(temp.settings().value(HistoryStore::storageKey).toByteArray(), before);

    ClipItem stale = store.items().front();
    stale.isPinned = true; // a copy held elsewhere, out of date
    store.markSavedToObsidian(stale);
    store.markSavedToObsidian(stale); // never set back
    EXPECT_TRUE(store.items().front().savedToObsidian);
    EXPECT_FALSE(store.items().front().isPinned);
    store.remove(stale);
    EXPECT_EQ(stored().size(), 0);
}

TEST_F(HistoryStoreTest, ClearAllKeepsPinnedOnlyWhenAsked)
{
    for (int i = 0; i < 4; ++i)
        add(i, QString::number(i));
    store.togglePin(store.items()[3]);
    store.togglePin(store.items()[3]);
    store.clearAll(true);
    EXPECT_EQ(contents(store.items()), (QStringList{QStringLiteral("1"), QStringLiteral("0")}));
    store.clearAll(false);
    EXPECT_EQ(stored().size(), 0);
}

TEST_F(HistoryStoreTest, TheListHearsOnceOfEveryChange)
{
    for (int i = 0; i < 4; ++i)
        add(i, QString::number(i));
    QSignalSpy changed(&store, &HistoryStore::itemsChanged);
    const auto changesOnce = [&](const char* name, const std::function<void()>& op) {
        changed.clear();
        op();
        EXPECT_EQ(changed.count(), 1) << name;
    };
    changesOnce("add", [&] { add(100, QStringLiteral("x")); });
    changesOnce("toggle pin", [&] { store.togglePin(store.items()[3]); });
    changesOnce("mark saved", [&] { store.markSavedToObsidian(store.items()[3]); });
    changesOnce("delete", [&] { store.remove(store.items()[3]); });
    changesOnce("clear", [&] { store.clearAll(true); });
}

TEST_F(HistoryStoreTest, AddExportsWhenAskedAndMarksSuccessOnly)
{
    QTemporaryDir vaultDir;
    const QUrl gone = QUrl::fromLocalFile(vaultDir.filePath(QStringLiteral("gone")));
    QSignalSpy told(&store, &HistoryStore::vaultExportFailed);
    // The user is told once of failing saves, not at every copy, until a save has worked again.
    const struct
    {
        std::optional<QUrl> vault;
        bool everyCopy;
        bool saved;
        int told;
    } cases[] = {
        {QUrl::fromLocalFile(vaultDir.path()), true, true, 0},
        {gone, true, false, 1},
        {gone, true, false, 1},
        {QUrl::fromLocalFile(vaultDir.path()), true, true, 1},
        {gone, true, false, 2},
        {QUrl::fromLocalFile(vaultDir.path()), false, false, 2},
        {std::nullopt, true, false, 2},
    };
    for (const auto& c : cases) {
        vault.setVaultURL(c.vault);
        vault.setSavesEveryCopy(c.everyCopy);
        const QString text = QStringLiteral("copy %1").arg(&c - cases);
        store.add(ClipItem::create(text));
        EXPECT_EQ(store.items().front().content, text);
        EXPECT_EQ(store.items().front().savedToObsidian, c.saved) << text.toStdString();
        EXPECT_EQ(stored()[0][QStringLiteral("savedToObsidian")].toBool(), c.saved);
        EXPECT_EQ(told.count(), c.told) << text.toStdString();
    }
    EXPECT_EQ(QDir(vaultDir.filePath(QStringLiteral("Quillstow"))).entryList(QDir::Files).size(),
              2);
    EXPECT_FALSE(told[0][0].toString().isEmpty());
}
