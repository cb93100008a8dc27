#include "history/HistoryStore.h"

#include "support/TestSupport.h"
#include "vault/ObsidianService.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using namespace quillstow;

namespace {

// The history a restart finds.
QList<ClipItem> restarted(const QSettings& settings, const QString& database)
{
    QSettings again(settings.fileName(), QSettings::IniFormat);
    ObsidianService vault(again);
    return HistoryStore(again, vault, database).items();
}

class HistoryStoreTest : public ::testing::Test
{
protected:
    test::TempSettings temp;
    ObsidianService vault{temp.settings()};
    HistoryStore store{temp.settings(), vault, temp.databasePath()};

    QList<ClipItem> stored() { return restarted(temp.settings(), temp.databasePath()); }
    void add(double copiedAt, const QString& text) { store.add(ClipItem::create(text, copiedAt)); }
};

} // namespace

TEST(HistoryStore, TheSettingsFileHistoryIsImportedOnceAndExactly)
{
    QList<ClipItem> old;
    for (int i = 0; i < 30; ++i)
        old.append(
            ClipItem::create(QStringLiteral("old \u00e9 \U0001F600 %1\n").arg(i), 1000.25 - i));
    old[3].isPinned = true;
    old[4].savedToObsidian = true;
    old.swapItemsAt(0, 7); // an order no rule would give
    old[9].id = old[8].id; // an id stored twice
    const QList<ClipItem> later{ClipItem::create(QStringLiteral("added after the import"), 2000)};
    // Whether an earlier start made the database, and whether it committed the import, before
    // it was killed.
    const std::tuple<const char*, bool, bool, QList<ClipItem>> cases[] = {
        {"first start", false, false, old},
        // The database lacks the mark, and the import is done again.
        {"import rolled back", true, false, old},
        // Killed between the commit and the removal of the key: not imported twice.
        {"key left behind", true, true, later + old},
    };
    for (const auto& [name, databaseMade, importCommitted, expected] : cases) {
        SCOPED_TRACE(name);
        test::TempSettings local;
        ObsidianService localVault(local.settings());
        if (databaseMade) {
            if (importCommitted)
                local.settings().setValue(HistoryStore::storageKey, encodeHistory(old));
            HistoryStore first(local.reopen(), localVault, local.databasePath());
            if (importCommitted)
                first.add(later[0]);
        }
        // Written out by the reopening that stands for the restart.
        local.settings().setValue(HistoryStore::storageKey, encodeHistory(old));
        HistoryStore imported(local.reopen(), localVault, local.databasePath());
        EXPECT_EQ(imported.items(), expected);
        EXPECT_FALSE(local.reopen().contains(HistoryStore::storageKey));
        EXPECT_EQ(restarted(local.settings(), local.databasePath()), expected);
    }
}

// Whatever makes it unreadable: what decodes and what does not is the items' own concern.
TEST(HistoryStore, UnreadableHistoryIsBackedUpBeforeItsKeyGoes)
{
    test::TempSettings local;
    local.settings().setValue(HistoryStore::storageKey, QByteArray("{not json"));
    ObsidianService localVault(local.settings());
    HistoryStore unreadable(local.reopen(), localVault, local.databasePath());
    EXPECT_TRUE(unreadable.items().isEmpty());
    const QString backup = unreadable.backupPath();
    EXPECT_EQ(QFileInfo(backup).absolutePath(), local.folder());
    EXPECT_EQ(test::modeOf(backup), 0600u);
    EXPECT_EQ(test::readFile(backup), QByteArray("{not json"));
    EXPECT_FALSE(local.reopen().contains(HistoryStore::storageKey));
}

TEST(HistoryStore, CapacityFollowsTheSettingWithinItsRange)
{
    EXPECT_EQ(historyCapacity(QVariant()), 500);
    EXPECT_EQ(historyCapacity(0), 50);
    EXPECT_EQ(historyCapacity(10000), 2000);
    EXPECT_EQ(historyCapacity(75), 100);
    EXPECT_EQ(historyCapacity(74), 50);
    EXPECT_EQ(historyCapacity(QStringLiteral("abc")), 500);
    EXPECT_EQ(historyCapacity(QStringLiteral("150")), 150);
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
    EXPECT_EQ(stored(), store.items());
    // The history is the user's alone.
    EXPECT_EQ(test::modeOf(temp.databasePath()), 0600u);
    EXPECT_EQ(test::modeOf(QFileInfo(temp.databasePath()).absolutePath()), 0700u);

    // The setting is read at every add.
    temp.settings().setValue(HistoryStore::maxItemsKey, 2000);
    add(1001, QStringLiteral("more"));
    EXPECT_EQ(store.items().size(), 51);
}

TEST_F(HistoryStoreTest, ManyPinsInAnyOrderAreStoredInTheOrderShown)
{
    temp.settings().setValue(HistoryStore::maxItemsKey, 100);
    // Copy times out of order, as after a clock change, so that a sort moves rows both ways.
    for (int i = 0; i < 120; ++i)
        add((i * 37) % 101, QStringLiteral("item %1").arg(i));
    for (int i = 0; i < 200; ++i) {
        store.togglePin(store.items()[(i * 53) % store.items().size()]);
        if (i % 7 == 0)
            add(50, QStringLiteral("between %1").arg(i));
    }
    EXPECT_EQ(stored(), store.items());
}

TEST_F(HistoryStoreTest, ItemsAreFoundByIdAlone)
{
    add(1, QStringLiteral("a"));
    // A lone item pinned and unpinned: nothing to reorder, and both stored.
    for (const bool pinned : {true, false}) {
        store.togglePin(store.items().front());
        EXPECT_EQ(stored().front().isPinned, pinned);
    }
    const QList<ClipItem> before = store.items();
    const ClipItem stranger = ClipItem::create(QStringLiteral("a"), 1);
    store.togglePin(stranger);
    store.markSavedToObsidian(stranger);
    store.remove(stranger);
    EXPECT_EQ(stored(), before);

    ClipItem stale = store.items().front();
    stale.isPinned = true; // a copy held elsewhere, out of date
    store.markSavedToObsidian(stale);
    store.markSavedToObsidian(stale); // never set back
    EXPECT_TRUE(store.items().front().savedToObsidian);
    EXPECT_FALSE(store.items().front().isPinned);
    store.remove(stale);
    EXPECT_EQ(stored().size(), 0);
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
        EXPECT_EQ(stored().front().savedToObsidian, c.saved);
        EXPECT_EQ(told.count(), c.told) << text.toStdString();
    }
    EXPECT_EQ(QDir(vaultDir.filePath(QStringLiteral("Quillstow"))).entryList(QDir::Files).size(),
              2);
    EXPECT_FALSE(told[0][0].toString().isEmpty());
}

namespace {

// Another program's connection to the history file.
struct OtherConnection
{
    sqlite3* db = nullptr;
    explicit OtherConnection(const QString& path)
    {
        sqlite3_open(QFile::encodeName(path).constData(), &db);
    }
    ~OtherConnection() { sqlite3_close(db); }
    bool exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == 0; }
};

} // namespace

TEST_F(HistoryStoreTest, AFailedWriteKeepsTheItemTellsOnceAndIsStoredByTheNextWrite)
{
    add(1, QStringLiteral("before"));
    QSignalSpy told(&store, &HistoryStore::saveStateChanged);
    OtherConnection other(temp.databasePath());
    // Another program holds the write lock; the store waits a bounded time, then gives up.
    ASSERT_TRUE(other.exec("BEGIN IMMEDIATE"));
    add(2, QStringLiteral("while locked"));
    store.togglePin(store.items()[1]);
    store.remove(store.items()[0]);
    add(3, QStringLiteral("still locked"));
    EXPECT_EQ(test::contents(store.items()),
              (QStringList{QStringLiteral("still locked"), QStringLiteral("while locked")}));
    EXPECT_EQ(told.count(), 1);
    EXPECT_EQ(store.saveFailure(), QStringLiteral("another program holds the history file locked"));
    ASSERT_TRUE(other.exec("COMMIT"));

    add(4, QStringLiteral("after"));
    EXPECT_EQ(told.count(), 2);
    EXPECT_TRUE(store.saveFailure().isEmpty());
    EXPECT_EQ(stored(), store.items());
}

TEST(HistoryStore, AHistoryThatCannotBeOpenedIsKeptInMemoryUntilItCan)
{
    // A file where the history's folder should be.
    test::TempSettings local;
    const QString folder = local.filePath(QStringLiteral("data"));
    ASSERT_TRUE(test::writeFile(folder, "in the way"));
    ObsidianService localVault(local.settings());
    HistoryStore blocked(local.settings(), localVault, local.databasePath());
    EXPECT_FALSE(blocked.saveFailure().isEmpty());
    QSignalSpy told(&blocked, &HistoryStore::saveStateChanged);
    blocked.add(ClipItem::create(QStringLiteral("kept in memory"), 1));
    EXPECT_EQ(told.count(), 0);
    ASSERT_TRUE(QFile::remove(folder));
    blocked.add(ClipItem::create(QStringLiteral("stored with the first"), 2));
    EXPECT_EQ(told.count(), 1);
    EXPECT_TRUE(blocked.saveFailure().isEmpty());
    EXPECT_EQ(blocked.items().size(), 2);
    EXPECT_EQ(restarted(local.settings(), local.databasePath()), blocked.items());
}

TEST(HistoryStore, AnUnreadableDatabaseIsMovedAsideWholeAndANewOneBegun)
{
    const struct
    {
        const char* name;
        std::function<void(const QString&)> spoil;
        QByteArray journal = {};
    } cases[] = {
        {"not a database with its journal",
         [](const QString& path) {
             test::writeFile(path, QByteArray(8192, 'x'));
             test::writeFile(path + QStringLiteral("-wal"), "journal");
         },
         "journal"},
        {"a damaged page",
         [](const QString& path) {
             {
                 OtherConnection made(path);
                 made.exec("CREATE TABLE items(x); PRAGMA user_version = 1;");
             }
             QFile file(path);
             file.open(QIODevice::ReadWrite);
             file.seek(100);
             file.write(QByteArray(4000, '\xff'));
         }},
        {"a folder",
         [](const QString& path) {
             QDir().mkpath(path);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempSettings local;
        QDir().mkpath(QFileInfo(local.databasePath()).absolutePath());
        c.spoil(local.databasePath());
        ObsidianService localVault(local.settings());
        HistoryStore fresh(local.settings(), localVault, local.databasePath());
        const QString aside = fresh.movedAsidePath();
        EXPECT_EQ(QFileInfo(aside).absolutePath(), QFileInfo(local.databasePath()).absolutePath());
        EXPECT_TRUE(QFileInfo::exists(aside));
        EXPECT_EQ(test::readFile(aside + QStringLiteral("-wal")), c.journal);
        EXPECT_TRUE(fresh.saveFailure().isEmpty());
        fresh.add(ClipItem::create(QStringLiteral("new")));
        EXPECT_EQ(restarted(local.settings(), local.databasePath()), fresh.items());
    }
}

TEST(HistoryFullDisk, NothingStoredIsLostTheUserIsToldOnceAndRoomAgainStoresTheRest)
{
    test::SmallDisk disk(512);
    if (!disk.mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    // Taken up now, given back at the end: the disk fills while copies come in.
    const QString ballast = disk.filePath(QStringLiteral("ballast"));
    ASSERT_TRUE(test::writeFile(ballast, QByteArray(320 * 1024, 'b')));
    test::TempSettings local;
    ObsidianService localVault(local.settings());
    const QString path = disk.filePath(QStringLiteral("data/history.sqlite3"));
    HistoryStore store(local.settings(), localVault, path);
    QSignalSpy told(&store, &HistoryStore::saveStateChanged);
    int copies = 0;
    while (store.saveFailure().isEmpty() && copies < 60) {
        store.add(ClipItem::create(QString(16 * 1024, QChar(u'a' + copies % 26)), copies));
        ++copies;
    }
    ASSERT_FALSE(store.saveFailure().isEmpty()) << "the disk never filled";
    EXPECT_TRUE(store.saveFailure().contains(QStringLiteral("full")))
        << store.saveFailure().toStdString();
    store.add(ClipItem::create(QStringLiteral("while full"), 100));
    EXPECT_EQ(told.count(), 1);
    EXPECT_EQ(store.items().size(), copies + 1);
    // Every copy before the one that found the disk full is still there, readable.
    EXPECT_EQ(restarted(local.settings(), path), store.items().mid(2));

    ASSERT_TRUE(QFile::remove(ballast));
    store.add(ClipItem::create(QStringLiteral("room again"), 101));
    EXPECT_TRUE(store.saveFailure().isEmpty());
    EXPECT_EQ(told.count(), 2);
    EXPECT_EQ(restarted(local.settings(), path), store.items());
}

TEST(HistoryDurability, KillingTheWriterLosesNoCommittedItem)
{
    test::TempSettings temp;
    temp.settings().setValue(HistoryStore::maxItemsKey, HistoryStore::maxMaxItems);
    // How many items the child has added and seen committed, shared with it.
    auto* committed = static_cast<std::atomic<int>*>(::mmap(nullptr, sizeof(std::atomic<int>),
                                                            PROT_READ | PROT_WRITE,
                                                            MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(committed, MAP_FAILED);
    const auto text = [](int i) {
        return QStringLiteral("copy %1 ").arg(i).repeated(1 + i % 50);
    };
    const pid_t writer = ::fork();
    if (writer == 0) {
        // Copies without pause until it is killed.
        ObsidianService vault(temp.settings());
        HistoryStore store(temp.settings(), vault, temp.databasePath());
        for (int i = 0; store.saveFailure().isEmpty(); ++i) {
            store.add(ClipItem::create(text(i)));
            if (store.saveFailure().isEmpty())
                committed->store(i + 1);
        }
        ::_exit(1);
    }
    ASSERT_GT(writer, 0);
    const bool wrote = QTest::qWaitFor([&] { return committed->load() >= 300; }, 10000);
    ::kill(writer, SIGKILL); // wherever it is in a transaction
    ::waitpid(writer, nullptr, 0);
    ASSERT_TRUE(wrote);
    const int count = committed->load();

    OtherConnection check(temp.databasePath());
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(check.db, "PRAGMA integrity_check", -1, &stmt, nullptr);
    EXPECT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "ok");
    sqlite3_finalize(stmt);
    ObsidianService vault(temp.settings());
    HistoryStore reopened(temp.reopen(), vault, temp.databasePath());
    EXPECT_TRUE(reopened.saveFailure().isEmpty());
    EXPECT_TRUE(reopened.movedAsidePath().isEmpty());
    // Every item counted was committed; the one being written at the kill may be there too.
    ASSERT_GE(reopened.items().size(), count);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(reopened.items()[reopened.items().size() - 1 - i].content, text(i)) << i;
}
