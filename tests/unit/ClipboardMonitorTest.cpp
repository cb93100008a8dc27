#include "capture/ClipboardMonitor.h"

#include "capture/CaptureSettings.h"
#include "history/HistoryStore.h"
#include "support/ClipboardDoubles.h"
#include "support/TestSupport.h"
#include "vault/ObsidianService.h"

#include <QHash>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace quillstow;
using Read = platform::ClipboardRead;
using Outcome = platform::ClipboardRead::Outcome;

namespace {

// "a|b|c" as a list; the empty string as none.
QStringList listOf(const char* utf8)
{
    const QString s = QString::fromUtf8(utf8);
    return s.isEmpty() ? QStringList() : s.split(u'|');
}

// What a copy of `copy` holds: the text itself, or none for [image], [secret] and [failed].
Read readOf(const QString& copy)
{
    const QHash<QString, Read> noText{{QStringLiteral("[image]"), Read::of(Outcome::noText)},
                                      {QStringLiteral("[secret]"), Read::of(Outcome::secret)},
                                      {QStringLiteral("[failed]"), Read::of(Outcome::failed)}};
    return noText.value(copy, Read::ofText(copy));
}

// A history, a clipboard under the test's control and a monitor between them.
struct Monitored
{
    test::TempSettings temp;
    ObsidianService vault{temp.settings()};
    HistoryStore store{temp.settings(), vault, temp.databasePath()};
    test::FakeClipboard clipboard;
    std::unique_ptr<ClipboardMonitor> monitor =
        std::make_unique<ClipboardMonitor>(clipboard, store, temp.settings());

    Monitored() { monitor->start(); }
    // Copies `read` and lets the monitor see it, read it and run the add it queued.
    void copyAndExamine(const Read& read)
    {
        const int reads = clipboard.reads;
        clipboard.copy(read);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return clipboard.reads > reads && !clipboard.pending.back(); }, 5000));
        QCoreApplication::processEvents();
    }
    // A while goes by, and the reads made are `count` in all.
    void expectReadsAfterAWhile(int count)
    {
        QTest::qWait(50);
        EXPECT_EQ(clipboard.reads, count);
    }
    void waitForReads(int count)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return clipboard.reads == count; }, 5000));
    }
    QStringList contents() const { return test::contents(store.items()); }
};

class ClipboardMonitorTest : public ::testing::Test, protected Monitored
{};

TEST(ClipboardMonitor, CaptureRulesFollow)
{
    const struct
    {
        const char* name;
        const char* history;  // there before the copies, oldest first
        const char* pinned;   // then pinned
        const char* copies;   // each examined before the next
        const char* expected; // the history afterwards, newest first
    } cases[] = {
        {"same text twice adds one item", "", "", "A|A", "A"},
        {"only the head is compared", "", "", "A|B|A", "A|B|A"},
        {"surrounding spaces make a new item and are kept", "", "", "A|  A \n", "  A \n|A"},
        {"equal under canonical equivalence", "", "", "caf\u00E9|cafe\u0301", "caf\u00E9"},
        {"letter case differs", "", "", "a|A", "A|a"},
        {"compared with the history already there", "old", "", "old|new", "new|old"},
        {"blank text adds nothing", "", "", " \t\n\r\u00A0\u2028\u3000|", ""},
        {"no text, a secret or a failed read add nothing", "", "", "[image]|[secret]|[failed]", ""},
        {"a text after something that was not text", "", "", "A|[image]|A", "A"},
        // History X then P, with X pinned: [X (pinned), P].
        {"after a re-sort the newest unpinned text is added again", "X|P", "X", "P", "P|X|P"},
        {"the pinned head's own text adds nothing", "X|P", "X", "X", "X|P"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Monitored m;
        for (const QString& t : listOf(c.history))
            m.store.add(ClipItem::create(t));
        for (const ClipItem& item : QList<ClipItem>(m.store.items())) {
            if (listOf(c.pinned).contains(item.content))
                m.store.togglePin(item);
        }
        for (const QString& copy : listOf(c.copies))
            m.copyAndExamine(readOf(copy));
        // Each change was read exactly once.
        m.expectReadsAfterAWhile(int(listOf(c.copies).size()));
        EXPECT_EQ(m.contents(), listOf(c.expected));
    }
}

TEST_F(ClipboardMonitorTest, ABurstOfCopiesCostsOneReadOfTheLast)
{
    for (int i = 0; i < 100; ++i)
        clipboard.copyText(QStringLiteral("copy %1").arg(i));
    expectReadsAfterAWhile(1);
    EXPECT_EQ(contents(), QStringList{QStringLiteral("copy 99")});
}

TEST_F(ClipboardMonitorTest, AnAnswerThatComesTooLateIsDropped)
{
    clipboard.holdAnswers = true;
    clipboard.copyText(QStringLiteral("slow owner"));
    waitForReads(1);
    clipboard.copyText(QStringLiteral("next copy"));
    waitForReads(2);
    clipboard.answer(1, Read::ofText(QStringLiteral("next copy")));
    QCoreApplication::processEvents();
    // The first owner answers at last, when the clipboard has moved on.
    clipboard.answer(0, Read::ofText(QStringLiteral("slow owner")));
    expectReadsAfterAWhile(2);
    // And an answer after the monitor is gone.
    clipboard.copyText(QStringLiteral("orphan"));
    waitForReads(3);
    monitor.reset();
    clipboard.answer(2, Read::ofText(QStringLiteral("orphan")));
    QCoreApplication::processEvents();
    EXPECT_EQ(contents(), QStringList{QStringLiteral("next copy")});
}

// When the program that copied quits, the last text read from it is offered in its place.
TEST(ClipboardMonitor, KeepingTheClipboardOffersTheLastTextRead)
{
    const struct
    {
        const char* name;
        QVariant setting;     // keep_clipboard; unset by default
        const char* copies;   // examined one by one
        const char* unread;   // then copied and quit before it is read
        const char* expected; // the texts offered when the owner quits
    } cases[] = {
        {"on by default", {}, "A|B", "", "B"},
        {"a text already at the head", {}, "A|A", "", "A"},
        {"blank text as it was", {}, " ", "", " "},
        {"turned off", false, "A", "", ""},
        // Any copy without text leaves nothing to offer.
        {"a secret is never offered, nor what came before", {}, "A|[secret]", "", ""},
        {"a copy never read leaves nothing to offer", {}, "A", "B", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Monitored m;
        if (c.setting.isValid())
            m.temp.settings().setValue(capture::keepClipboardKey, c.setting);
        for (const QString& copy : listOf(c.copies))
            m.copyAndExamine(readOf(copy));
        for (const QString& copy : listOf(c.unread))
            m.clipboard.copyText(copy);
        // An abandoned clipboard has nothing to read.
        const int reads = m.clipboard.reads;
        m.clipboard.abandon();
        m.expectReadsAfterAWhile(reads);
        EXPECT_EQ(QStringList(m.clipboard.kept.begin(), m.clipboard.kept.end()),
                  listOf(c.expected));
    }
}

TEST_F(ClipboardMonitorTest, TheSelectionIsTakenWhereADragEndsOnceTurnedOn)
{
    for (const int reads : {0, 1}) {
        // Off by default; read where it is needed, so a change in the settings applies at once.
        if (reads > 0)
            temp.settings().setValue(capture::capturePrimaryKey, true);
        for (const QString& step : listOf("s|se|sel|sele")) {
            clipboard.select(Read::ofText(step));
            QTest::qWait(50);
        }
        QTest::qWait(int(ClipboardMonitor::selectionSettleTime.count()) + 200);
        EXPECT_EQ(clipboard.reads, reads);
    }
    EXPECT_EQ(contents(), QStringList{QStringLiteral("sele")});
}

TEST_F(ClipboardMonitorTest, ACopyTooLargeIsSkippedAndToldOnce)
{
    QSignalSpy told(monitor.get(), &ClipboardMonitor::skippedTooLarge);
    copyAndExamine(Read::ofSize(9 << 20));
    copyAndExamine(Read::ofSize(7 << 20));
    copyAndExamine(Read::ofText(QStringLiteral("small")));
    EXPECT_EQ(contents(), QStringList{QStringLiteral("small")});
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told.first().first().toLongLong(), 9 << 20);
}

} // namespace
