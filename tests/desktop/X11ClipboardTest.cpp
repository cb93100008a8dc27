// The X11 clipboard backend against real owners: xclip, Qt, and the tests' own owner.
#include "platform/x11/X11Clipboard.h"

#include "ClipboardOwners.h"
#include "platform/DebugLog.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using namespace quillstow;
using platform::ClipboardRead;
using platform::X11Clipboard;
using Outcome = ClipboardRead::Outcome;

namespace {

class X11ClipboardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        clipboard = X11Clipboard::connect();
        ASSERT_TRUE(clipboard);
    }

    // Runs `change` and waits until the change count shows it.
    bool changes(const std::function<bool()>& change)
    {
        const qint64 before = clipboard->changeCount();
        return change() && QTest::qWaitFor([&] { return clipboard->changeCount() > before; }, 5000);
    }

    std::optional<ClipboardRead> read()
    {
        std::optional<ClipboardRead> result;
        bool isAnsweredAtOnce = false;
        clipboard->readText([&result](const ClipboardRead& r) { result = r; });
        isAnsweredAtOnce = result.has_value();
        EXPECT_FALSE(isAnsweredAtOnce) << "readText must return before the answer";
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
        return result;
    }

    std::unique_ptr<X11Clipboard> clipboard;
};

// This process's resident memory in MB, from the kernel's own account.
qint64 residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() / 1024;
    }
    return -1;
}

struct OwnerCase
{
    const char* name;
    QStringList ownerArgs; // the tests' own owner when given, otherwise xclip
    QByteArray xclipBytes;
    QString xclipTarget;
    Outcome outcome;
    QString text;
};

} // namespace

TEST_F(X11ClipboardTest, ReadsWhatEachKindOfOwnerOffers)
{
    const QString utf8 = QStringLiteral("gr\u00FC\u00DFe \u2713 \U0001F600\n  indented\n");
    const QString incrText = test::largeText(300 * 1024);
    QTemporaryDir dir;
    const QString incrFile = dir.filePath(QStringLiteral("incr.txt"));
    ASSERT_TRUE(test::writeFile(incrFile, incrText.toUtf8()));
    const QString xclipLarge = test::largeText(1024 * 1024);
    const QString xclipHuge = test::largeText(3 * 1024 * 1024);
    const std::vector<OwnerCase> cases = {
        {"UTF-8 text", {}, utf8.toUtf8(), {}, Outcome::text, utf8},
        {"only text/plain;charset=utf-8",
         {},
         QByteArray("na\xC3\xAFve"),
         QStringLiteral("text/plain;charset=utf-8"),
         Outcome::text,
         QStringLiteral("na\u00EFve")},
        {"only Latin-1 STRING",
         {},
         QByteArray("caf\xE9"),
         QStringLiteral("STRING"),
         Outcome::text,
         QStringLiteral("caf\u00E9")},
        {"an image",
         {},
         QByteArray("\x89PNG\r\n\x1A\n"),
         QStringLiteral("image/png"),
         Outcome::noText,
         {}},
        {"a 1 MB text", {}, xclipLarge.toUtf8(), {}, Outcome::text, xclipLarge},
        {"a 3 MB text", {}, xclipHuge.toUtf8(), {}, Outcome::text, xclipHuge},
        {"text in INCR chunks that split characters",
         {QStringLiteral("--text-file"), incrFile, QStringLiteral("--chunk"),
          QStringLiteral("4093")},
         {},
         {},
         Outcome::text,
         incrText},
        {"a password manager's secret",
         {QStringLiteral("--text"), QStringLiteral("hunter2"), QStringLiteral("--secret"),
          QStringLiteral("secret")},
         {},
         {},
         Outcome::secret,
         {}},
        {"an empty list of flavours",
         {QStringLiteral("--text"), QStringLiteral("unlisted"),
          QStringLiteral("--no-targets-listed")},
         {},
         {},
         Outcome::noText,
         {}},
    };
    for (const OwnerCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<test::OwnerProcess> owner;
        if (!c.ownerArgs.isEmpty()) {
            ASSERT_TRUE(changes([&] {
                owner = std::make_unique<test::OwnerProcess>(c.ownerArgs);
                return owner->waitUntilReady();
            }));
        } else {
            ASSERT_TRUE(changes([&] { return test::xclipCopy(c.xclipBytes, c.xclipTarget); }));
        }
        const std::optional<ClipboardRead> result = read();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->outcome, c.outcome);
        EXPECT_EQ(result->text.size(), c.text.size());
        EXPECT_TRUE(result->text == c.text);
        if (c.outcome == Outcome::secret) {
            // Recognised from the list of flavours: the text itself was never asked for.
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return owner->output().contains(QLatin1String("served TARGETS")); }));
            EXPECT_FALSE(owner->output().contains(QLatin1String("UTF8_STRING")));
            EXPECT_FALSE(owner->output().contains(QLatin1String("text/plain")));
        }
    }
}

TEST_F(X11ClipboardTest, ReadsWhatThisProgramCopiedThroughQt)
{
    const QString ours = QStringLiteral("copied by Quillstow itself");
    ASSERT_TRUE(changes([&] {
        QGuiApplication::clipboard()->setText(ours);
        return true;
    }));
    const std::optional<ClipboardRead> result = read();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outcome, Outcome::text);
    EXPECT_EQ(result->text, ours);
}

TEST_F(X11ClipboardTest, AnOwnerThatLeavesLeavesNoText)
{
    test::OwnerProcess owner({QStringLiteral("--text"), QStringLiteral("short-lived")});
    ASSERT_TRUE(changes([&] { return owner.waitUntilReady(); }));
    ASSERT_TRUE(changes([&] { return owner.end(); }));
    const std::optional<ClipboardRead> result = read();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outcome, Outcome::noText);
}

TEST_F(X11ClipboardTest, ASilentOwnerIsGivenUpWhileTheEventLoopRuns)
{
    test::OwnerProcess owner({QStringLiteral("--silent")});
    ASSERT_TRUE(changes([&] { return owner.waitUntilReady(); }));

    const test::EventLoopWatch watch;

    QElapsedTimer waited;
    waited.start();
    const std::optional<ClipboardRead> result = read();
    const qint64 elapsed = waited.elapsed();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outcome, Outcome::failed);
    // "About a second": a coarse timer may fire up to 5 % early.
    EXPECT_GE(elapsed, X11Clipboard::answerTimeout.count() * 9 / 10);
    EXPECT_LT(elapsed, 5000);
    EXPECT_LT(watch.longestGapMs(), 400)
        << "the event loop stood still while the owner did not answer";
    EXPECT_TRUE(owner.output().contains(QLatin1String("ignored TARGETS")));

    // The next owner is read normally.
    ASSERT_TRUE(changes([] { return test::xclipCopy("after the silent one"); }));
    const std::optional<ClipboardRead> next = read();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->text, QStringLiteral("after the silent one"));
}

TEST(SystemClipboard, IsTheX11OneOnAnX11Desktop)
{
    EXPECT_NE(dynamic_cast<X11Clipboard*>(&platform::systemClipboard()), nullptr);
}

TEST_F(X11ClipboardTest, AnOwnerThatStopsHalfwayThroughAnIncrTransferIsGivenUp)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("text.txt"));
    ASSERT_TRUE(test::writeFile(file, test::largeText(64 * 1024).toUtf8()));
    test::OwnerProcess owner({QStringLiteral("--text-file"), file, QStringLiteral("--chunk"),
                              QStringLiteral("4096"), QStringLiteral("--stall-after"),
                              QStringLiteral("3")});
    ASSERT_TRUE(changes([&] { return owner.waitUntilReady(); }));
    const std::optional<ClipboardRead> result = read();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outcome, Outcome::failed);
    EXPECT_TRUE(QTest::qWaitFor([&] { return owner.output().contains(QLatin1String("stalled")); }));
}

TEST_F(X11ClipboardTest, AReadIsDroppedWhenThePasswordManagerTakesTheClipboardMeanwhile)
{
    // The old owner answers the list of flavours only after the password manager has taken the
    // clipboard, so the text asked for next would be the password manager's.
    test::OwnerProcess old({QStringLiteral("--text"), QStringLiteral("an ordinary copy"),
                            QStringLiteral("--late-targets")});
    ASSERT_TRUE(changes([&] { return old.waitUntilReady(); }));
    std::optional<ClipboardRead> result;
    clipboard->readText([&result](const ClipboardRead& r) { result = r; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return old.output().contains(QLatin1String("held")); }));

    test::OwnerProcess passwordManager({QStringLiteral("--text"), QStringLiteral("hunter2"),
                                        QStringLiteral("--secret"), QStringLiteral("secret")});
    ASSERT_TRUE(passwordManager.waitUntilReady());
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return old.output().contains(QLatin1String("served")); }));
    QTest::qWait(200); // room for a text request to reach the password manager
    EXPECT_EQ(result->outcome, Outcome::failed);
    EXPECT_TRUE(result->text.isEmpty());
    EXPECT_FALSE(passwordManager.output().contains(QLatin1String("UTF8_STRING")));

    // The password manager's own change is read next, and recognised.
    const std::optional<ClipboardRead> next = read();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->outcome, Outcome::secret);
}

TEST_F(X11ClipboardTest, AnEndlessIncrTransferIsGivenUpAtTheSizeLimit)
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("debug.log"));
    const QString logBefore = debuglog::path();
    debuglog::setPath(log);
    test::OwnerProcess owner({QStringLiteral("--text"), QStringLiteral("x"),
                              QStringLiteral("--endless"), QStringLiteral("--chunk"),
                              QStringLiteral("1048576")});
    ASSERT_TRUE(changes([&] { return owner.waitUntilReady(); }));

    const test::EventLoopWatch watch;
    const qint64 residentBefore = residentMb();
    constexpr qint64 plentyMb = 5 * X11Clipboard::maxReadBytes / (1024 * 1024);
    std::optional<ClipboardRead> result;
    clipboard->readText([&result](const ClipboardRead& r) { result = r; });
    // Waiting ends also when the memory runs away, long before the machine runs out of it.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return result.has_value() || residentMb() - residentBefore > plentyMb; }, 30000));
    debuglog::setPath(logBefore);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outcome, Outcome::failed);
    EXPECT_LT(residentMb() - residentBefore, plentyMb);
    EXPECT_LT(watch.longestGapMs(), 400) << "the event loop stood still during the transfer";
    EXPECT_TRUE(test::readFile(log).contains("given up at its limit"));

    // The owner gets nowhere to send to any more, and the next copy is read normally.
    QTest::qWait(300);
    const QString sent = owner.output();
    QTest::qWait(300);
    EXPECT_EQ(owner.output(), sent);
    ASSERT_TRUE(changes([] { return test::xclipCopy("after the endless one"); }));
    const std::optional<ClipboardRead> next = read();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->text, QStringLiteral("after the endless one"));
}
