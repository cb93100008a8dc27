// Capture of real copies on the private desktop: xclip, the tests' own owner and Qt itself.
#include "ClipboardOwners.h"
#include "capture/ClipboardMonitor.h"
#include "history/HistoryStore.h"
#include "platform/x11/X11Clipboard.h"
#include "support/ClipboardDoubles.h"
#include "support/ModalLoops.h"
#include "support/TestSupport.h"
#include "vault/ObsidianService.h"

#include <QBuffer>
#include <QClipboard>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace quillstow;
using platform::X11Clipboard;
using Outcome = platform::ClipboardRead::Outcome;

namespace {

// One poll interval, and room for a loaded machine to start xclip and answer.
constexpr int captureDeadlineMs = int(ClipboardMonitor::pollingInterval.count()) + 500;

QStringList contents(const QList<ClipItem>& items)
{
    QStringList out;
    for (const ClipItem& item : items)
        out << item.content;
    return out;
}

QByteArray pngBytes()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class CaptureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        x11 = X11Clipboard::connect();
        ASSERT_TRUE(x11);
        clipboard = std::make_unique<test::ObservedClipboard>(*x11);
    }

    void startMonitor()
    {
        monitor = std::make_unique<ClipboardMonitor>(*clipboard, store);
        monitor->start();
    }

    bool isAtHead(const QString& text) const
    {
        return !store.items().isEmpty() && store.items().first().content == text;
    }
    bool waitForHead(const QString& text, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return isAtHead(text); }, timeoutMs);
    }

    // Runs `change`, then waits until the monitor has read the clipboard once more and its
    // queued add, if any, has run. The read's answer, or nothing when there was none in time.
    std::optional<platform::ClipboardRead> examined(const std::function<bool()>& change)
    {
        const std::size_t before = clipboard->answers.size();
        if (!change())
            return std::nullopt;
        if (!QTest::qWaitFor([&] { return clipboard->answers.size() > before; }, 5000))
            return std::nullopt;
        QCoreApplication::processEvents();
        return clipboard->answers.back();
    }

    // A few polls go by and none of them reads the clipboard.
    void expectNotLookedAtAgain()
    {
        const int reads = clipboard->reads;
        const int polls = clipboard->polls;
        ASSERT_TRUE(QTest::qWaitFor([&] { return clipboard->polls >= polls + 3; }, 5000));
        EXPECT_EQ(clipboard->reads, reads);
    }

    // The history as a restart would read it from the settings file.
    QStringList storedContents()
    {
        QSettings fresh(temp.filePath(QStringLiteral("Quillstow.conf")), QSettings::IniFormat);
        const std::optional<QList<ClipItem>> items =
            decodeHistory(fresh.value(HistoryStore::storageKey).toByteArray());
        return items ? contents(*items) : QStringList{QStringLiteral("<unreadable>")};
    }

    test::TempSettings temp;
    ObsidianService vault{temp.settings()};
    HistoryStore store{temp.settings(), vault};
    std::unique_ptr<X11Clipboard> x11;
    std::unique_ptr<test::ObservedClipboard> clipboard;
    std::unique_ptr<ClipboardMonitor> monitor;
};

} // namespace

TEST_F(CaptureTest, ACopyEntersTheHistoryWithinAPollAndIsStored)
{
    startMonitor();
    const QString text = QStringLiteral("copied with xclip \u2713");
    ASSERT_TRUE(test::xclipCopy(text.toUtf8()));
    QElapsedTimer sinceCopy;
    sinceCopy.start();
    ASSERT_TRUE(waitForHead(text));
    EXPECT_LT(sinceCopy.elapsed(), captureDeadlineMs);
    EXPECT_EQ(storedContents(), QStringList{text});
}

TEST_F(CaptureTest, TheSameTextAgainAddsNothing)
{
    startMonitor();
    const QString text = QStringLiteral("copied twice");
    ASSERT_TRUE(test::xclipCopy(text.toUtf8()));
    ASSERT_TRUE(waitForHead(text));
    const auto again = examined([&] { return test::xclipCopy(text.toUtf8()); });
    ASSERT_TRUE(again);
    EXPECT_EQ(again->text, text);
    EXPECT_EQ(contents(store.items()), QStringList{text});
    EXPECT_EQ(storedContents(), QStringList{text});
}

TEST_F(CaptureTest, ABAAddsThreeItems)
{
    startMonitor();
    const QString a = QStringLiteral("A");
    const QString b = QStringLiteral("B");
    for (const QString& text : {a, b, a}) {
        ASSERT_TRUE(test::xclipCopy(text.toUtf8()));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return isAtHead(text) && store.items().size() > 0; }, 5000));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return clipboard->answers.size() == std::size_t(store.items().size()); }, 5000));
    }
    EXPECT_EQ(contents(store.items()), (QStringList{a, b, a}));
    EXPECT_EQ(storedContents(), (QStringList{a, b, a}));
}

TEST_F(CaptureTest, BlankTextImagesAndSecretsAddNothingAndAreNotLookedAtAgain)
{
    startMonitor();
    ASSERT_TRUE(test::xclipCopy("before"));
    ASSERT_TRUE(waitForHead(QStringLiteral("before")));

    struct Case
    {
        const char* name;
        std::function<bool()> copy;
        Outcome outcome;
    };
    std::unique_ptr<test::OwnerProcess> passwordManager;
    const QByteArray png = pngBytes();
    const std::vector<Case> cases = {
        {"blank text", [] { return test::xclipCopy(" \t\n  \n"); }, Outcome::text},
        {"an image", [&] { return test::xclipCopy(png, QStringLiteral("image/png")); },
         Outcome::noText},
        {"a password manager's secret",
         [&] {
             passwordManager = std::make_unique<test::OwnerProcess>(
                 QStringList{QStringLiteral("--text"), QStringLiteral("hunter2"),
                             QStringLiteral("--secret"), QStringLiteral("secret")});
             return passwordManager->waitUntilReady();
         },
         Outcome::secret},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = examined(c.copy);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->outcome, c.outcome);
        expectNotLookedAtAgain();
        EXPECT_EQ(contents(store.items()), QStringList{QStringLiteral("before")});
        EXPECT_EQ(storedContents(), QStringList{QStringLiteral("before")});

        // The next copy of anything is examined as usual.
        const QString next = QStringLiteral("after %1").arg(QLatin1String(c.name));
        ASSERT_TRUE(test::xclipCopy(next.toUtf8()));
        ASSERT_TRUE(waitForHead(next));
        store.remove(store.items().first());
    }
    // The secret's text was never asked for, so it cannot have reached the history.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return passwordManager->output().contains(QLatin1String("served TARGETS")); }));
    EXPECT_FALSE(passwordManager->output().contains(QLatin1String("UTF8_STRING")));
    EXPECT_FALSE(
        test::readFile(temp.filePath(QStringLiteral("Quillstow.conf"))).contains("hunter2"));
}

TEST_F(CaptureTest, ALargeTextIsCapturedWhole)
{
    startMonitor();
    const QString text = test::largeText(1024 * 1024);
    ASSERT_GE(text.toUtf8().size(), 1024 * 1024);
    ASSERT_TRUE(test::xclipCopy(text.toUtf8()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store.items().isEmpty(); }, 10000));
    EXPECT_EQ(store.items().first().content.size(), text.size());
    EXPECT_TRUE(store.items().first().content == text);
    EXPECT_TRUE(storedContents() == QStringList{text});
}

TEST_F(CaptureTest, APasswordCopiedWhileTheOldOwnerIsStillAnsweringIsNotCaptured)
{
    startMonitor();
    test::OwnerProcess old({QStringLiteral("--text"), QStringLiteral("an ordinary copy"),
                            QStringLiteral("--late-targets")});
    ASSERT_TRUE(old.waitUntilReady());
    // The monitor's read waits for the old owner's list of flavours, which comes only once the
    // password manager has the clipboard.
    ASSERT_TRUE(QTest::qWaitFor([&] { return old.output().contains(QLatin1String("held")); },
                                captureDeadlineMs));
    test::OwnerProcess passwordManager({QStringLiteral("--text"), QStringLiteral("hunter2"),
                                        QStringLiteral("--secret"), QStringLiteral("secret")});
    ASSERT_TRUE(passwordManager.waitUntilReady());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !clipboard->answers.empty() &&
                   clipboard->answers.back().outcome == Outcome::secret;
        },
        5000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_FALSE(passwordManager.output().contains(QLatin1String("UTF8_STRING")));
    EXPECT_FALSE(
        test::readFile(temp.filePath(QStringLiteral("Quillstow.conf"))).contains("hunter2"));
}

TEST_F(CaptureTest, AnOwnerThatNeverAnswersFreezesNothingAndTheNextCopyIsCaptured)
{
    startMonitor();
    const test::EventLoopWatch watch;

    test::OwnerProcess silent({QStringLiteral("--silent")});
    const auto read = examined([&] { return silent.waitUntilReady(); });
    ASSERT_TRUE(read);
    EXPECT_EQ(read->outcome, Outcome::failed);
    EXPECT_LT(watch.longestGapMs(), 400)
        << "the event loop stood still while the owner did not answer";
    expectNotLookedAtAgain();

    const QString next = QStringLiteral("after the silent owner");
    ASSERT_TRUE(test::xclipCopy(next.toUtf8()));
    ASSERT_TRUE(waitForHead(next, captureDeadlineMs));
    EXPECT_EQ(contents(store.items()), QStringList{next});
    EXPECT_LT(watch.longestGapMs(), 400);
}

TEST_F(CaptureTest, CopiesAreCapturedWhileAModalDialogOrAMenuIsOpen)
{
    startMonitor();
    const std::vector<test::ModalLoop> modals = test::modalLoops(QPoint(200, 200));
    for (const test::ModalLoop& modal : modals) {
        SCOPED_TRACE(modal.name);
        const QString copied =
            QStringLiteral("copied while a %1 is open").arg(QLatin1String(modal.name));
        bool isCapturedWhileOpen = false;
        const qint64 giveUpAt = QDateTime::currentMSecsSinceEpoch() + 5000;
        std::function<void()> close;
        QTimer::singleShot(100, [&] { EXPECT_TRUE(test::xclipCopy(copied.toUtf8())); });
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (!close)
                return;
            isCapturedWhileOpen = isAtHead(copied);
            if (isCapturedWhileOpen || QDateTime::currentMSecsSinceEpoch() > giveUpAt)
                close();
        });
        watcher.start(10);
        modal.run(close);
        EXPECT_TRUE(isCapturedWhileOpen);
    }
}

TEST_F(CaptureTest, OurOwnCopiesAreCapturedLikeAnyOther)
{
    startMonitor();
    const QString ours = QStringLiteral("written by Quillstow through QClipboard");
    const qint64 before = x11->changeCount();
    QGuiApplication::clipboard()->setText(ours);
    EXPECT_TRUE(waitForHead(ours))
        << "changes " << x11->changeCount() - before << ", reads " << clipboard->reads
        << ", last outcome "
        << (clipboard->answers.empty() ? -1 : int(clipboard->answers.back().outcome));
}

TEST_F(CaptureTest, WhatTheClipboardHeldAtStartIsNotCaptured)
{
    const qint64 before = x11->changeCount();
    ASSERT_TRUE(test::xclipCopy("held at start"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return x11->changeCount() > before; }, 5000));
    startMonitor();
    expectNotLookedAtAgain();
    EXPECT_TRUE(store.items().isEmpty());

    ASSERT_TRUE(test::xclipCopy("copied after the start"));
    EXPECT_TRUE(waitForHead(QStringLiteral("copied after the start")));
    EXPECT_EQ(store.items().size(), 1);
}
