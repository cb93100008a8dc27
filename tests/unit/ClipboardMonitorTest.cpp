#include "capture/ClipboardMonitor.h"

#include "history/HistoryStore.h"
#include "support/ClipboardDoubles.h"
#include "support/ModalLoops.h"
#include "support/TestSupport.h"
#include "vault/ObsidianService.h"

#include <QDateTime>
#include <QHash>
#include <QTest>
#include <QTimer>
#include <functional>
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
        monitor =
            std::make_unique<ClipboardMonitor>(clipboard, store, std::chrono::milliseconds(10));
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
    // A few more polls go by without a read.
    void expectNoFurtherReads()
    {
        const int reads = clipboard.reads;
        const int polls = clipboard.polls;
        ASSERT_TRUE(QTest::qWaitFor([&] { return clipboard.polls >= polls + 3; }, 5000));
        QCoreApplication::processEvents();
        EXPECT_EQ(clipboard.reads, reads);
    }
    void waitForReads(int count)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return clipboard.reads == count; }, 5000));
    }
    QStringList contents() const
    {
        QStringList out;
        for (const ClipItem& item : store.items())
            out << item.content;
        return out;
    }
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
        RulesCase{"one copy", "", "", "hello", "hello"},
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

TEST_F(ClipboardMonitorTest, WhatTheClipboardHeldAtStartIsNotCaptured)
{
    clipboard.copyText(QStringLiteral("before the start"));
    startMonitor();
    expectNoFurtherReads();
    EXPECT_TRUE(store.items().isEmpty());
}

TEST_F(ClipboardMonitorTest, OnlyTheStateAtThePollCounts)
{
    startMonitor();
    clipboard.copyText(QStringLiteral("replaced before the poll"));
    copyAndExamine(Read::ofText(QStringLiteral("there at the poll")));
    expectNoFurtherReads();
    EXPECT_EQ(clipboard.reads, 1);
    EXPECT_EQ(contents(), QStringList{QStringLiteral("there at the poll")});
}

TEST_F(ClipboardMonitorTest, TheAddIsQueuedAfterTheRead)
{
    clipboard.holdAnswers = true;
    startMonitor();
    clipboard.copyText(QStringLiteral("queued"));
    waitForReads(1);
    clipboard.answer(0, Read::ofText(QStringLiteral("queued")));
    EXPECT_TRUE(store.items().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(contents(), QStringList{QStringLiteral("queued")});
}

TEST_F(ClipboardMonitorTest, ANewerChangeSupersedesAPendingRead)
{
    clipboard.holdAnswers = true;
    startMonitor();
    clipboard.copyText(QStringLiteral("slow owner"));
    waitForReads(1);
    clipboard.copyText(QStringLiteral("next copy"));
    waitForReads(2);
    clipboard.answer(1, Read::ofText(QStringLiteral("next copy")));
    QCoreApplication::processEvents();
    // The first owner answers at last: too late, the clipboard has moved on.
    clipboard.answer(0, Read::ofText(QStringLiteral("slow owner")));
    QCoreApplication::processEvents();
    expectNoFurtherReads();
    EXPECT_EQ(contents(), QStringList{QStringLiteral("next copy")});
}

TEST_F(ClipboardMonitorTest, AnAnswerAfterTheMonitorIsGoneIsDropped)
{
    clipboard.holdAnswers = true;
    startMonitor();
    clipboard.copyText(QStringLiteral("orphan"));
    waitForReads(1);
    monitor.reset();
    clipboard.answer(0, Read::ofText(QStringLiteral("orphan")));
    QCoreApplication::processEvents();
    EXPECT_TRUE(store.items().isEmpty());
}

TEST_F(ClipboardMonitorTest, KeepsPollingWhileAModalDialogOrAMenuIsOpen)
{
    startMonitor();
    for (const test::ModalLoop& modal : test::modalLoops(QPoint(20, 20))) {
        SCOPED_TRACE(modal.name);
        const QString copied = QString::fromLatin1(modal.name);
        bool isCapturedWhileOpen = false;
        const qint64 giveUpAt = QDateTime::currentMSecsSinceEpoch() + 5000;
        std::function<void()> close;
        QTimer::singleShot(20, [&] { clipboard.copyText(copied); });
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (!close)
                return;
            isCapturedWhileOpen =
                !store.items().isEmpty() && store.items().first().content == copied;
            if (isCapturedWhileOpen || QDateTime::currentMSecsSinceEpoch() > giveUpAt)
                close();
        });
        watcher.start(10);
        modal.run(close);
        EXPECT_TRUE(isCapturedWhileOpen);
    }
}

} // namespace
