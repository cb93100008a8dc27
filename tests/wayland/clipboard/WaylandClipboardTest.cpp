#include "platform/wayland/WaylandClipboard.h"

#include "platform/wayland/WaylandConnection.h"
#include "support/TestSupport.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quillstow::platform;
using Outcome = ClipboardRead::Outcome;

namespace {

std::unique_ptr<WaylandClipboard> connectClipboard()
{
    QString error;
    std::unique_ptr<WaylandClipboard> clipboard = WaylandClipboard::connect(&error);
    EXPECT_TRUE(clipboard) << error.toStdString();
    return clipboard;
}

// One read, waited for; counts how often `done` ran.
struct ReadResult
{
    std::optional<ClipboardRead> read;
    int calls = 0;
};

ReadResult readNow(WaylandClipboard& clipboard, Selection selection = Selection::clipboard)
{
    auto result = std::make_shared<ReadResult>();
    clipboard.readText(selection, [result](const ClipboardRead& read) {
        result->read = read;
        ++result->calls;
    });
    (void)QTest::qWaitFor([&] { return result->calls > 0; }, 5000);
    QTest::qWait(20); // a second call would come now
    return *result;
}

// What wl-paste gives, as bytes, waited for from the event loop, which serves our own texts.
QByteArray paste(const char* arguments)
{
    QProcess process;
    process.start(QStringLiteral("wl-paste"), QString::fromLatin1(arguments).split(u' '));
    EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 5000));
    return process.readAllStandardOutput();
}

} // namespace

TEST(WaylandConnection, NoCompositorAndASilentOneAreRefusedInTime)
{
    QString error;
    EXPECT_FALSE(WaylandConnection::connect("no-such-wayland-socket", &error));
    EXPECT_FALSE(error.isEmpty());

    // A socket that takes the connection and never answers, as a stuck compositor does.
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("silent")).toLocal8Bit();
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    QElapsedTimer clock;
    clock.start();
    error.clear();
    EXPECT_FALSE(WaylandConnection::connect(path, &error, std::chrono::milliseconds(300)));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(error.contains(QStringLiteral("did not answer"))) << error.toStdString();
    close(listener);
}

TEST(WaylandConnection, AProtocolErrorIsToldOnceAndEndsReading)
{
    const auto connection = WaylandConnection::connect();
    ASSERT_TRUE(connection);
    QSignalSpy lost(connection.get(), &WaylandConnection::lost);
    auto* manager = static_cast<zwlr_data_control_manager_v1*>(
        connection->bind(zwlr_data_control_manager_v1_interface, 2));
    ASSERT_TRUE(manager);
    zwlr_data_control_device_v1* device =
        zwlr_data_control_manager_v1_get_data_device(manager, connection->seat());
    zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(manager);
    zwlr_data_control_source_v1_offer(source, "text/plain");
    // A source may be set once; the second time the compositor ends the connection.
    zwlr_data_control_device_v1_set_selection(device, source);
    zwlr_data_control_device_v1_set_selection(device, source);
    connection->flush();
    EXPECT_TRUE(lost.wait(5000));
    QTest::qWait(100);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_TRUE(connection->isLost());
    EXPECT_FALSE(connection->roundtrip(std::chrono::milliseconds(100)));
    zwlr_data_control_source_v1_destroy(source);
    zwlr_data_control_device_v1_destroy(device);
    zwlr_data_control_manager_v1_destroy(manager);
}

TEST(WaylandClipboard, ACopyByAnotherProgramIsSeenAndReadWithoutFocus)
{
    for (const QString& text : {QStringLiteral("plain words"), QStringLiteral("Grüße ✓ 🎉\nline")}) {
        const auto clipboard = connectClipboard();
        ASSERT_TRUE(clipboard);
        std::vector<ClipboardChange> changes;
        clipboard->setChangeListener([&](ClipboardChange c) { changes.push_back(c); });
        const qint64 before = clipboard->changeCount();
        QProcess::execute(QStringLiteral("wl-copy"), {text});
        ASSERT_TRUE(QTest::qWaitFor([&] { return !changes.empty(); }, 5000));
        EXPECT_EQ(changes, std::vector<ClipboardChange>{ClipboardChange::copied});
        EXPECT_EQ(clipboard->changeCount(), before + 1);
        const ReadResult result = readNow(*clipboard);
        ASSERT_EQ(result.calls, 1);
        EXPECT_EQ(result.read->outcome, Outcome::text);
        EXPECT_EQ(result.read->text, text);
    }
}

TEST(WaylandClipboard, OurTextIsPastedByOthersAndKnownWhenItComesBack)
{
    const auto clipboard = connectClipboard();
    ASSERT_TRUE(clipboard);
    struct Case
    {
        Selection selection;
        QString text;
        const char* pasteArguments;
    };
    for (const Case& c :
         {Case{Selection::clipboard, QStringLiteral("from us ✓"), "-n"},
          Case{Selection::primary, QStringLiteral("selected by us"), "-n -p"},
          Case{Selection::clipboard, QStringLiteral("Latin-1 é"), "-n -t STRING"}}) {
        const qint64 count = clipboard->changeCount();
        if (c.selection == Selection::primary)
            clipboard->setPrimaryText(c.text);
        else
            clipboard->setText(c.text);
        // Our own copy is a change like any other; the mouse selection is not counted.
        const qint64 expected = count + (c.selection == Selection::clipboard ? 1 : 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return clipboard->changeCount() == expected; }, 5000));
        QTest::qWait(50);
        EXPECT_EQ(clipboard->changeCount(), expected);
        const QByteArray pasted = paste(c.pasteArguments);
        EXPECT_EQ(QByteArray(c.pasteArguments).contains("STRING") ? QString::fromLatin1(pasted)
                                                                  : QString::fromUtf8(pasted),
                  c.text);
        const ReadResult again = readNow(*clipboard, c.selection);
        EXPECT_EQ(again.read->text, c.text);
    }
    EXPECT_EQ(clipboard->liveTransfers(), 0u);
}

TEST(WaylandClipboard, TheKeptTextOutlivesTheProgramThatCopied)
{
    const auto clipboard = connectClipboard();
    ASSERT_TRUE(clipboard);
    std::vector<ClipboardChange> changes;
    clipboard->setChangeListener([&](ClipboardChange c) { changes.push_back(c); });
    quillstow::test::Program copier(QStringLiteral("wl-copy"),
                                    {QStringLiteral("--foreground"), QStringLiteral("kept text")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes.size() == 1; }, 5000));
    ASSERT_TRUE(copier.end());
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes.size() == 2; }, 5000));
    EXPECT_EQ(changes.back(), ClipboardChange::abandoned);
    const qint64 count = clipboard->changeCount();
    clipboard->keepText(QStringLiteral("kept text"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clipboard->isKeeping(); }, 5000));
    EXPECT_EQ(paste("-n"), "kept text");
    EXPECT_EQ(clipboard->changeCount(), count);
    EXPECT_EQ(changes.size(), 2u);
}

// A later read abandons an earlier one; a secret offer is never asked for its text, and an owner
// that sends nothing is given up.
TEST(WaylandClipboard, ASecretOfferIsNeverAskedAndASilentOwnerIsGivenUp)
{
    const auto clipboard = connectClipboard();
    ASSERT_TRUE(clipboard);
    for (const auto& [mode, outcome] :
         {std::pair{"secret", Outcome::secret}, std::pair{"silent", Outcome::failed}}) {
        quillstow::test::Program owner(QStringLiteral(QUILLSTOW_WAYLAND_OWNER),
                                       {QString::fromLatin1(mode)});
        ASSERT_TRUE(owner.waitForOutput(QStringLiteral("ready\n"), 5000));
        QTest::qWait(50);
        int earlierCalls = 0;
        clipboard->readText(Selection::clipboard, [&](const ClipboardRead&) { ++earlierCalls; });
        const ReadResult result = readNow(*clipboard);
        ASSERT_EQ(result.calls, 1);
        EXPECT_EQ(result.read->outcome, outcome);
        EXPECT_EQ(earlierCalls, 0);
        QTest::qWait(200);
        EXPECT_EQ(owner.output().contains(QStringLiteral("send")), outcome == Outcome::failed);
    }
}

TEST(WaylandClipboard, ATextOverTheLimitIsSkipped)
{
    const auto clipboard = connectClipboard();
    ASSERT_TRUE(clipboard);
    ClipboardChange last{};
    clipboard->setChangeListener([&](ClipboardChange c) { last = c; });
    for (const qsizetype size : {maxTextBytes, maxTextBytes + 1}) {
        last = ClipboardChange::abandoned; // the copier before may yet be seen leaving
        QProcess copier;
        copier.start(QStringLiteral("wl-copy"), {QStringLiteral("--foreground")});
        copier.write(QByteArray(size, 'a'));
        copier.closeWriteChannel();
        ASSERT_TRUE(QTest::qWaitFor([&] { return last == ClipboardChange::copied; }, 5000));
        const ReadResult result = readNow(*clipboard);
        ASSERT_EQ(result.calls, 1);
        if (size <= maxTextBytes) {
            EXPECT_EQ(result.read->outcome, Outcome::text);
            EXPECT_EQ(result.read->text.size(), size);
        } else {
            EXPECT_EQ(result.read->outcome, Outcome::tooLarge);
            EXPECT_GT(result.read->bytes, maxTextBytes);
        }
        copier.kill();
        copier.waitForFinished();
    }
}

TEST(WaylandClipboard, ThousandsOfCopiesLeaveNothingBehind)
{
    const auto clipboard = connectClipboard();
    ASSERT_TRUE(clipboard);
    // One after another, as pastes come: a client that leaves the compositor's events unread
    // for thousands of requests is cut off by it.
    for (int i = 0; i < 2000; ++i) {
        clipboard->setText(QString::number(i));
        ASSERT_TRUE(clipboard->connection().roundtrip(std::chrono::milliseconds(1000)));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return clipboard->liveSources() == 1; }, 5000))
        << clipboard->liveSources();
    EXPECT_EQ(paste("-n"), "1999");
}
