#include "capture/ClipboardMonitor.h"

#include "history/HistoryStore.h"
#include "support/ClipboardDoubles.h"
#include "support/ModalLoops.h"
#include "support/TestSupport.h"
#include "vault/ObsidianService.h"

#include <QDateTime>
#include <QDialog>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace quillstow;
using Read = platform::ClipboardRead;
using Outcome = platform::ClipboardRead::Outcome;

namespace {

constexpr std::chrono::milliseconds fastPolling{10};

QStringList contents(const QList<ClipItem>& items)
{
    QStringList out;
    for (const ClipItem& item : items)
        out << item.content;
    return out;
}

class ClipboardMonitorTest : public ::testing::Test
{
protected:
    test::TempSettings temp;
    ObsidianService vault{temp.settings()};
    HistoryStore store{temp.settings(), vault};
    test::FakeClipboard clipboard;
    std::unique_ptr<ClipboardMonitor> monitor;

    void startMonitor()
    {
        monitor = std::make_unique<ClipboardMonitor>(clipboard, store, fastPolling);
        monitor->start();
    }

    // Lets the monitor see the latest copy, read it and run the add it queued.
    void examine()
    {
        const int reads = clipboard.reads;
        ASSERT_TRUE(QTest::qWaitFor([&] { return clipboard.reads > reads; }, 5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !clipboard.pending.back(); }, 5000));
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
};

struct RulesCase
{
    const char* name;
    std::vector<QString> history; // added before the monitor starts, oldest first
    std::vector<QString> pinned;  // then pinned, in this order
    std::vector<Read> copies;     // each examined before the next
    QStringList expected;         // the history afterwards, newest first
};

Read text(const char* utf8)
{
    return Read::ofText(QString::fromUtf8(utf8));
}

} // namespace

TEST_F(ClipboardMonitorTest, FollowsTheCaptureRules)
{
    const Read image = Read::of(Outcome::noText);
    const Read secret = Read::of(Outcome::secret);
    const Read unanswered = Read::of(Outcome::failed);
    const std::vector<RulesCase> cases = {
        {"one copy", {}, {}, {text("hello")}, {QStringLiteral("hello")}},
        {"same text twice adds one item", {}, {}, {text("A"), text("A")}, {QStringLiteral("A")}},
        {"only the head is compared",
         {},
         {},
         {text("A"), text("B"), text("A")},
         {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("A")}},
        {"surrounding spaces make a new item and are kept",
         {},
         {},
         {text("A"), text("  A \n")},
         {QStringLiteral("  A \n"), QStringLiteral("A")}},
        {"equal under canonical equivalence",
         {},
         {},
         {text("caf\u00E9"), text("cafe\u0301")},
         {QString::fromUtf8("caf\u00E9")}},
        {"letter case differs",
         {},
         {},
         {text("a"), text("A")},
         {QStringLiteral("A"), QStringLiteral("a")}},
        {"the head is compared with the history from before the start",
         {QStringLiteral("old")},
         {},
         {text("old"), text("new")},
         {QStringLiteral("new"), QStringLiteral("old")}},
        {"blank text adds nothing", {}, {}, {text(" \t\n\r\u00A0\u2028\u3000"), text("")}, {}},
        {"no text, a secret or an unanswered read add nothing",
         {},
         {},
         {image, secret, unanswered},
         {}},
        {"a text after something that was not text",
         {},
         {},
         {text("A"), image, text("A")},
         {QStringLiteral("A")}},
        // History X then P, with X pinned: [X (pinned), P].
        {"after a re-sort the newest unpinned text is added again",
         {QStringLiteral("X"), QStringLiteral("P")},
         {QStringLiteral("X")},
         {text("P")},
         {QStringLiteral("P"), QStringLiteral("X"), QStringLiteral("P")}},
        {"the pinned head's own text adds nothing",
         {QStringLiteral("X"), QStringLiteral("P")},
         {QStringLiteral("X")},
         {text("X")},
         {QStringLiteral("X"), QStringLiteral("P")}},
    };

    for (const RulesCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempSettings caseSettings;
        ObsidianService caseVault{caseSettings.settings()};
        HistoryStore caseStore{caseSettings.settings(), caseVault};
        for (const QString& t : c.history)
            caseStore.add(ClipItem::create(t));
        for (const QString& t : c.pinned) {
            for (const ClipItem& item : caseStore.items()) {
                if (item.content == t) {
                    caseStore.togglePin(item);
                    break;
                }
            }
        }

        test::FakeClipboard caseClipboard;
        ClipboardMonitor caseMonitor(caseClipboard, caseStore, fastPolling);
        caseMonitor.start();
        for (const Read& copy : c.copies) {
            const int reads = caseClipboard.reads;
            caseClipboard.copy(copy);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return caseClipboard.reads > reads && !caseClipboard.pending.back(); },
                5000));
            QCoreApplication::processEvents();
        }
        // Each change was read exactly once.
        const int polls = caseClipboard.polls;
        ASSERT_TRUE(QTest::qWaitFor([&] { return caseClipboard.polls >= polls + 3; }, 5000));
        EXPECT_EQ(caseClipboard.reads, static_cast<int>(c.copies.size()));

        EXPECT_EQ(contents(caseStore.items()), c.expected);
    }
}

TEST_F(ClipboardMonitorTest, WhatTheClipboardHeldAtStartIsNotCaptured)
{
    clipboard.copyText(QStringLiteral("before the start"));
    startMonitor();
    expectNoFurtherReads();
    EXPECT_TRUE(store.items().isEmpty());

    clipboard.copyText(QStringLiteral("after the start"));
    examine();
    EXPECT_EQ(contents(store.items()), QStringList{QStringLiteral("after the start")});
}

TEST_F(ClipboardMonitorTest, OnlyTheStateAtThePollCounts)
{
    startMonitor();
    clipboard.copyText(QStringLiteral("replaced before the poll"));
    clipboard.copyText(QStringLiteral("there at the poll"));
    examine();
    expectNoFurtherReads();
    EXPECT_EQ(clipboard.reads, 1);
    EXPECT_EQ(contents(store.items()), QStringList{QStringLiteral("there at the poll")});
}

TEST_F(ClipboardMonitorTest, TheAddIsQueuedAfterTheRead)
{
    clipboard.holdAnswers = true;
    startMonitor();
    clipboard.copyText(QStringLiteral("queued"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clipboard.reads == 1; }, 5000));

    clipboard.answer(0, Read::ofText(QStringLiteral("queued")));
    EXPECT_TRUE(store.items().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(contents(store.items()), QStringList{QStringLiteral("queued")});
}

TEST_F(ClipboardMonitorTest, ANewerChangeSupersedesAPendingRead)
{
    clipboard.holdAnswers = true;
    startMonitor();
    clipboard.copyText(QStringLiteral("slow owner"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clipboard.reads == 1; }, 5000));
    clipboard.copyText(QStringLiteral("next copy"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clipboard.reads == 2; }, 5000));

    clipboard.answer(1, Read::ofText(QStringLiteral("next copy")));
    QCoreApplication::processEvents();
    // The first owner answers at last: too late, the clipboard has moved on.
    clipboard.answer(0, Read::ofText(QStringLiteral("slow owner")));
    QCoreApplication::processEvents();
    expectNoFurtherReads();
    EXPECT_EQ(contents(store.items()), QStringList{QStringLiteral("next copy")});
}

TEST_F(ClipboardMonitorTest, AnAnswerAfterTheMonitorIsGoneIsDropped)
{
    clipboard.holdAnswers = true;
    startMonitor();
    clipboard.copyText(QStringLiteral("orphan"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clipboard.reads == 1; }, 5000));
    monitor.reset();
    clipboard.answer(0, Read::ofText(QStringLiteral("orphan")));
    QCoreApplication::processEvents();
    EXPECT_TRUE(store.items().isEmpty());
}

TEST_F(ClipboardMonitorTest, KeepsPollingWhileAModalDialogOrAMenuIsOpen)
{
    startMonitor();
    const std::vector<test::ModalLoop> modals = test::modalLoops(QPoint(20, 20));
    for (const test::ModalLoop& modal : modals) {
        SCOPED_TRACE(modal.name);
        const QString copied =
            QStringLiteral("copied while a %1 is open").arg(QLatin1String(modal.name));
        bool isCapturedWhileOpen = false;
        const qint64 giveUpAt = QDateTime::currentMSecsSinceEpoch() + 5000;
        std::function<void()> close;
        QTimer::singleShot(20, [&] { clipboard.copyText(copied); });
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (!close)
                return;
            if (!store.items().isEmpty() && store.items().first().content == copied)
                isCapturedWhileOpen = true;
            if (isCapturedWhileOpen || QDateTime::currentMSecsSinceEpoch() > giveUpAt)
                close();
        });
        watcher.start(10);
        modal.run(close);
        EXPECT_TRUE(isCapturedWhileOpen);
    }
}
