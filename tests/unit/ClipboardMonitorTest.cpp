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

// A history, a clipboard under the test's control and a monitor between them.
class ClipboardMonitorTest : public ::testing::Test
{
protected:
    test::TempSettings temp;
    ObsidianService vault{temp.settings()};
    HistoryStore store{temp.settings(), vault, temp.databasePath()};
    test::FakeClipboard clipboard;
    std::unique_ptr<ClipboardMonitor> monitor;

    void startMonitor()
    {
        monitor = std::make_unique<ClipboardMonitor>(clipboard, store, temp.settings());
        monitor->start();
    }
    // Copies `read` and lets the monitor see it, read it and run the add it queued.
    void copyAndExamine(const Read& read)
    {
        const int reads = clipboard.reads;
        clipboard.copy(read);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return clipboard.reads > reads && !clipboard.pending.back(); }, 5000));
        QCoreApplication::processEvents();
    }
    // A while goes by without a read.
    void expectNoFurtherReads()
    {
        const int reads = clipboard.reads;
        QTest::qWait(50);
        EXPECT_EQ(clipboard.reads, reads);
    }
    void waitForReads(int count)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return clipboard.reads == count; }, 5000));
    }
    QStringList contents() const { return test::contents(store.items()); }
};

struct RulesCase
{
    const char* name;
    const char* history;  // added before the monitor starts, oldest first
    const char* pinned;   // then pinned
    const char* copies;   // each examined before the next; [image], [secret], [failed] hold no text
    const char* expected; // the history afterwards, newest first
};

class CaptureRules : public ClipboardMonitorTest, public ::testing::WithParamInterface<RulesCase>
{};

TEST_P(CaptureRules, Follow)
{
    const RulesCase& c = GetParam();
    SCOPED_TRACE(c.name);
    for (const QString& t : listOf(c.history))
        store.add(ClipItem::create(t));
    for (const QString& t : listOf(c.pinned)) {
        const QList<ClipItem> items = store.items();
        for (const ClipItem& item : items) {
            if (item.content == t)
                store.togglePin(item);
        }
    }
    startMonitor();
    const QHash<QString, Outcome> noText{{QStringLiteral("[image]"), Outcome::noText},
                                         {QStringLiteral("[secret]"), Outcome::secret},
                                         {QStringLiteral("[failed]"), Outcome::failed}};
    for (const QString& copy : listOf(c.copies))
        copyAndExamine(noText.contains(copy) ? Read::of(noText[copy]) : Read::ofText(copy));
    // Each change was read exactly once.
    expectNoFurtherReads();
    EXPECT_EQ(clipboard.reads, listOf(c.copies).size());
    EXPECT_EQ(contents(), listOf(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    ClipboardMonitor, CaptureRules,
    ::testing::Values(
        RulesCase{"same text twice adds one item", "", "", "A|A", "A"},
        RulesCase{"only the head is compared", "", "", "A|B|A", "A|B|A"},
        RulesCase{"surrounding spaces make a new item and are kept", "", "", "A|  A \n",
                  "  A \n|A"},
        RulesCase{"equal under canonical equivalence", "", "", "caf\u00E9|cafe\u0301", "caf\u00E9"},
        RulesCase{"letter case differs", "", "", "a|A", "A|a"},
        RulesCase{"compared with the history from before the start", "old", "", "old|new",
                  "new|old"},
        RulesCase{"blank text adds nothing", "", "", " \t\n\r\u00A0\u2028\u3000|", ""},
        RulesCase{"no text, a secret or a failed read add nothing", "", "",
                  "[image]|[secret]|[failed]", ""},
        RulesCase{"a text after something that was not text", "", "", "A|[image]|A", "A"},
        // History X then P, with X pinned: [X (pinned), P].
        RulesCase{"after a re-sort the newest unpinned text is added again", "X|P", "X", "P",
                  "P|X|P"},
        RulesCase{"the pinned head's own text adds nothing", "X|P", "X", "X", "X|P"}));

TEST_F(ClipboardMonitorTest, ABurstOfCopiesCostsOneReadOfTheLast)
{
    startMonitor();
    for (int i = 0; i < 100; ++i)
        clipboard.copyText(QStringLiteral("copy %1").arg(i));
    waitForReads(1);
    QCoreApplication::processEvents();
    expectNoFurtherReads();
    EXPECT_EQ(contents(), QStringList{QStringLiteral("copy 99")});
}

TEST_F(ClipboardMonitorTest, AnAnswerThatComesTooLateIsDropped)
{
    clipboard.holdAnswers = true;
    startMonitor();
    clipboard.copyText(QStringLiteral("slow owner"));
    waitForReads(1);
    clipboard.copyText(QStringLiteral("next copy"));
    waitForReads(2);
    clipboard.answer(1, Read::ofText(QStringLiteral("next copy")));
    QCoreApplication::processEvents();
    // The first owner answers at last, when the clipboard has moved on.
    clipboard.answer(0, Read::ofText(QStringLiteral("slow owner")));
    QCoreApplication::processEvents();
    expectNoFurtherReads();
    // And an answer after the monitor is gone.
    clipboard.copyText(QStringLiteral("orphan"));
    waitForReads(3);
    monitor.reset();
    clipboard.answer(2, Read::ofText(QStringLiteral("orphan")));
    QCoreApplication::processEvents();
    EXPECT_EQ(contents(), QStringList{QStringLiteral("next copy")});
}

struct KeepCase
{
    const char* name;
    QVariant setting;     // keep_clipboard; unset by default
    const char* copies;   // examined one by one; [secret], [image], [too large] hold no text
    const char* unread;   // then copied and quit before it is read
    const char* expected; // the texts offered when the owner quits
};

class KeepingTheClipboard : public ClipboardMonitorTest,
                            public ::testing::WithParamInterface<KeepCase>
{};

TEST_P(KeepingTheClipboard, OffersTheLastTextRead)
{
    const KeepCase& c = GetParam();
    if (c.setting.isValid())
        temp.settings().setValue(capture::keepClipboardKey, c.setting);
    startMonitor();
    const QHash<QString, Read> noText{{QStringLiteral("[image]"), Read::of(Outcome::noText)},
                                      {QStringLiteral("[secret]"), Read::of(Outcome::secret)},
                                      {QStringLiteral("[too large]"), Read::ofSize(5 << 20)}};
    for (const QString& copy : listOf(c.copies))
        copyAndExamine(noText.value(copy, Read::ofText(copy)));
    for (const QString& copy : listOf(c.unread))
        clipboard.copyText(copy);
    const int reads = clipboard.reads;
    clipboard.abandon();
    expectNoFurtherReads();
    EXPECT_EQ(clipboard.reads, reads) << "an abandoned clipboard has nothing to read";
    EXPECT_EQ(QStringList(clipboard.kept.begin(), clipboard.kept.end()), listOf(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    ClipboardMonitor, KeepingTheClipboard,
    ::testing::Values(KeepCase{"on by default", {}, "A|B", "", "B"},
                      KeepCase{"a text already at the head", true, "A|A", "", "A"},
                      KeepCase{"blank text as it was", true, " ", "", " "},
                      KeepCase{"turned off", false, "A", "", ""},
                      KeepCase{"a secret is never offered, nor what came before", true,
                               "A|[secret]", "", ""},
                      KeepCase{"nor an image's predecessor", true, "A|[image]", "", ""},
                      KeepCase{"nor a text too large to read", true, "A|[too large]", "", ""},
                      KeepCase{"a copy never read leaves nothing to offer", true, "A", "B", ""}));

struct SelectionCase
{
    const char* name;
    bool isOn;            // capture_primary
    const char* steps;    // the selection at each step of a drag, 50 ms apart
    const char* expected; // the history afterwards
    int reads;
};

class CapturingTheSelection : public ClipboardMonitorTest,
                              public ::testing::WithParamInterface<SelectionCase>
{};

TEST_P(CapturingTheSelection, TakesOnlyWhereTheDragEnds)
{
    const SelectionCase& c = GetParam();
    startMonitor();
    // Read where it is needed: a change in the settings window applies at once.
    temp.settings().setValue(capture::capturePrimaryKey, c.isOn);
    for (const QString& step : listOf(c.steps)) {
        clipboard.select(Read::ofText(step));
        QTest::qWait(50);
    }
    QTest::qWait(int(ClipboardMonitor::selectionSettleTime.count()) + 200);
    EXPECT_EQ(clipboard.reads, c.reads);
    EXPECT_EQ(contents(), listOf(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    ClipboardMonitor, CapturingTheSelection,
    ::testing::Values(SelectionCase{"off by default", false, "selected", "", 0},
                      SelectionCase{"a drag is read once, at its end", true, "s|se|sel|sele",
                                    "sele", 1},
                      SelectionCase{"blank selections add nothing", true, " \n", "", 1}));

TEST_F(ClipboardMonitorTest, ACopyTooLargeIsSkippedAndToldOnce)
{
    startMonitor();
    QSignalSpy told(monitor.get(), &ClipboardMonitor::skippedTooLarge);
    copyAndExamine(Read::ofSize(9 << 20));
    copyAndExamine(Read::ofSize(7 << 20));
    copyAndExamine(Read::ofText(QStringLiteral("small")));
    EXPECT_EQ(contents(), QStringList{QStringLiteral("small")});
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told.first().first().toLongLong(), 9 << 20);
}

} // namespace
