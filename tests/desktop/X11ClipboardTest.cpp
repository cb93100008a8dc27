// The X11 clipboard and the capture against real owners: xclip, Qt, and the tests' own owner
// (ClipboardOwner.cpp) for what xclip cannot offer.
#include "platform/x11/X11Clipboard.h"

#include "app/Backends.h"
#include "capture/CaptureSettings.h"
#include "capture/ClipboardMonitor.h"
#include "history/HistoryStore.h"
#include "platform/x11/XcbSupport.h"
#include "support/Desktop.h"
#include "vault/ObsidianService.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

using namespace quillstow;
using platform::ClipboardRead;
using platform::X11Clipboard;
using Outcome = ClipboardRead::Outcome;
using test::Program;

namespace {

// The tests' own owner, once it holds the clipboard.
std::unique_ptr<Program> startOwner(const QStringList& args)
{
    auto owner = std::make_unique<Program>(QStringLiteral(QUILLSTOW_CLIPBOARD_OWNER), args);
    return owner->waitForOutput(QLatin1String("ready\n")) ? std::move(owner) : nullptr;
}

const QStringList passwordManager = test::words("--text hunter2 --secret secret");

// Text of about `bytes` UTF-8 bytes, with characters of one to four bytes, so that chunks of
// any size split some of them.
QString largeText(qsizetype bytes)
{
    const QString line = QStringLiteral("line %1: gr\u00FC\u00DFe \u20AC \U0001F600 and ascii\n");
    QString text;
    for (qsizetype n = 0, size = 0; size < bytes; ++n) {
        text += line.arg(n);
        size += line.arg(n).toUtf8().size();
    }
    return text;
}

// This process's resident memory in MB, from the kernel's own account.
qint64 residentMb()
{
    for (const QByteArray& line : test::readFile(QStringLiteral("/proc/self/status")).split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() / 1024;
    }
    return -1;
}

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
        constexpr qint64 plentyMb = 5 * X11Clipboard::maxReadBytes / (1024 * 1024);
        const qint64 residentBefore = residentMb();
        std::optional<ClipboardRead> result;
        clipboard->readText(platform::Selection::clipboard,
                            [&result](const ClipboardRead& r) { result = r; });
        EXPECT_FALSE(result.has_value()) << "readText must return before the answer";
        // Waiting ends also when the memory runs away, long before the machine runs out of it.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return result.has_value() || residentMb() - residentBefore > plentyMb; }, 10000));
        EXPECT_LT(residentMb() - residentBefore, plentyMb);
        return result;
    }

    std::unique_ptr<X11Clipboard> clipboard;
};

class CaptureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(x11);
        monitor = std::make_unique<ClipboardMonitor>(*x11, store, temp.settings());
        monitor->start();
    }
    bool isAtHead(const QString& text) const
    {
        return !store.items().isEmpty() && store.items().first().content == text;
    }
    test::TempSettings temp;
    ObsidianService vault{temp.settings()};
    HistoryStore store{temp.settings(), vault, temp.databasePath()};
    std::unique_ptr<X11Clipboard> x11 = X11Clipboard::connect();
    std::unique_ptr<ClipboardMonitor> monitor;
};

// What `xclip -o` gets from the clipboard as `target`; nothing when it gets nothing.
std::optional<QString> paste(const char* target = "UTF8_STRING")
{
    const test::Ran ran =
        test::run(QStringLiteral("xclip"), test::words("-o -selection clipboard -t")
                                               << QLatin1String(target));
    return ran.status == 0 ? std::optional<QString>(ran.out.trimmed()) : std::nullopt;
}

} // namespace

TEST_F(X11ClipboardTest, ReadsWhatEachKindOfOwnerOffers)
{
    const QString utf8 = QStringLiteral("gr\u00FC\u00DFe \u2713 \U0001F600\n  indented\n");
    const QString incrText = largeText(300 * 1024);
    const QString tooLarge = largeText(platform::maxTextBytes + 1);
    QTemporaryDir dir;
    const QString incrFile = dir.filePath(QStringLiteral("incr.txt"));
    ASSERT_TRUE(test::writeFile(incrFile, incrText.toUtf8()));
    std::unique_ptr<Program> owner;
    const auto ownerWith = [&](const QStringList& args) {
        return [&, args] {
            return (owner = startOwner(args)) != nullptr;
        };
    };
    const auto xclip = [](const QByteArray& bytes, const char* target = "") {
        return [=] {
            return test::xclipCopy(bytes, QString::fromLatin1(target));
        };
    };
    const struct
    {
        const char* name;
        std::function<bool()> copy;
        Outcome outcome;
        QString text;
        const char* ownerSays; // the tests' owner's account of the requests, when it is the owner
    } cases[] = {
        {"UTF-8 text", xclip(utf8.toUtf8()), Outcome::text, utf8, nullptr},
        {"only text/plain;charset=utf-8", xclip("na\xC3\xAFve", "text/plain;charset=utf-8"),
         Outcome::text, QStringLiteral("na\u00EFve"), nullptr},
        {"only Latin-1 STRING", xclip("caf\xE9", "STRING"), Outcome::text,
         QStringLiteral("caf\u00E9"), nullptr},
        {"an image", xclip("\x89PNG\r\n\x1A\n", "image/png"), Outcome::noText, QString(), nullptr},
        {"a text over the size limit", xclip(tooLarge.toUtf8()), Outcome::tooLarge, QString(),
         nullptr},
        {"an INCR transfer that never ends",
         ownerWith(test::words("--text x --endless --chunk 1048576")), Outcome::tooLarge, QString(),
         "sent a chunk"},
        {"this program's own copy through Qt",
         [] {
             QGuiApplication::clipboard()->setText(QStringLiteral("ours"));
             return true;
         },
         Outcome::text, QStringLiteral("ours"), nullptr},
        {"text in INCR chunks that split characters",
         ownerWith(test::words("--chunk 4093 --text-file") << incrFile), Outcome::text, incrText,
         "served UTF8_STRING"},
        // Recognised from the list of flavours: the text itself is never asked for.
        {"a password manager's secret", ownerWith(passwordManager), Outcome::secret, QString(),
         "served TARGETS"},
        {"an empty list of flavours", ownerWith(test::words("--text unlisted --no-targets-listed")),
         Outcome::noText, QString(), "served TARGETS"},
        {"an owner that stops halfway through an INCR transfer",
         ownerWith(test::words("--chunk 4096 --stall-after 3 --text-file") << incrFile),
         Outcome::failed, QString(), "stalled"},
        {"an owner that never answers", ownerWith(test::words("--silent")), Outcome::failed,
         QString(), "ignored TARGETS"},
        {"an owner that has left",
         [&] {
             return ownerWith(test::words("--text gone"))() &&
                    changes([&] { return owner->end(); });
         },
         Outcome::noText, QString(), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        owner.reset();
        ASSERT_TRUE(changes(c.copy));
        const test::LogTail log;
        const test::EventLoopWatch watch;
        QElapsedTimer waited;
        waited.start();
        const std::optional<ClipboardRead> result = read();
        ASSERT_TRUE(result);
        EXPECT_LT(waited.elapsed(), 5000);
        EXPECT_LT(watch.longestGapMs(), 400) << "the event loop stood still during the read";
        // Given up after about a second, which a coarse timer may shorten by 5 %.
        if (QLatin1String(c.ownerSays) == QLatin1String("ignored TARGETS")) {
            EXPECT_GE(waited.elapsed(), X11Clipboard::answerTimeout.count() * 9 / 10);
        }
        EXPECT_EQ(result->outcome, c.outcome);
        EXPECT_TRUE(result->text == c.text); // not printed: some are megabytes
        if (c.outcome == Outcome::tooLarge) {
            EXPECT_GT(result->bytes, platform::maxTextBytes);
            EXPECT_TRUE(log.lines().join(u'\n').contains(QLatin1String("given up at its limit")));
        }
        if (c.ownerSays) {
            EXPECT_TRUE(owner->waitForOutput(QLatin1String(c.ownerSays), 5000))
                << owner->output().toStdString();
            // Once the read is over the owner is asked for nothing more.
            QTest::qWait(300);
            const QString said = owner->output();
            QTest::qWait(300);
            EXPECT_EQ(owner->output(), said);
            if (c.outcome == Outcome::secret) {
                EXPECT_FALSE(said.contains(QLatin1String("UTF8_STRING")) ||
                             said.contains(QLatin1String("text/plain")));
            }
        }
    }
}

TEST_F(X11ClipboardTest, AReadIsDroppedWhenThePasswordManagerTakesTheClipboardMeanwhile)
{
    // The old owner answers the list of flavours only after the password manager has taken the
    // clipboard, so the text asked for next would be the password manager's.
    std::unique_ptr<Program> old;
    ASSERT_TRUE(changes([&] {
        old = startOwner(test::words("--text ordinary --late-targets"));
        return old != nullptr;
    }));
    std::optional<ClipboardRead> result;
    clipboard->readText(platform::Selection::clipboard,
                        [&result](const ClipboardRead& r) { result = r; });
    ASSERT_TRUE(old->waitForOutput(QLatin1String("held")));

    const std::unique_ptr<Program> manager = startOwner(passwordManager);
    ASSERT_TRUE(manager);
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
    EXPECT_TRUE(old->waitForOutput(QLatin1String("served")));
    QTest::qWait(200); // room for a text request to reach the password manager
    EXPECT_EQ(result->outcome, Outcome::failed);
    EXPECT_TRUE(result->text.isEmpty());
    EXPECT_FALSE(manager->output().contains(QLatin1String("UTF8_STRING")));

    // The password manager's own change is read next, and recognised.
    const std::optional<ClipboardRead> next = read();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->outcome, Outcome::secret);
}

TEST_F(CaptureTest, TheClipboardIsKeptWhenTheProgramThatCopiedQuitsWhileOthersTakeIt)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("copied.txt"));
    const QString chunked = largeText(1024 * 1024).trimmed();
    const struct
    {
        const char* name;
        QVariant keep;
        QString text;
    } cases[] = {
        {"turned off", false, QStringLiteral("not kept")},
        {"a short text, kept by default", {}, QStringLiteral("kept: caf\u00E9 \u2713")},
        {"a text sent in chunks", true, chunked},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.keep.isValid())
            temp.settings().setValue(capture::keepClipboardKey, c.keep);
        else
            temp.settings().remove(capture::keepClipboardKey);
        // Copied by an xclip in the foreground, which can be ended as a program that quits.
        ASSERT_TRUE(test::writeFile(file, c.text.toUtf8()));
        Program xclip(QStringLiteral("xclip"), test::words("-quiet -selection clipboard -i")
                                                   << file);
        ASSERT_TRUE(QTest::qWaitFor([&] { return isAtHead(c.text); }, 5000));
        const qint64 changes = x11->changeCount();
        ASSERT_TRUE(xclip.end());
        const bool isKept = !c.keep.isValid() || c.keep.toBool();
        EXPECT_EQ(QTest::qWaitFor([&] { return x11->isKeeping(); }, 2000), isKept);
        if (!isKept) {
            EXPECT_FALSE(paste().value_or(QString()).size());
            continue;
        }
        for (const char* target : {"UTF8_STRING", "text/plain;charset=utf-8"})
            EXPECT_TRUE(paste(target) == c.text) << target;
        EXPECT_TRUE(paste("STRING") == QString::fromUtf8(c.text.toLatin1()));
        EXPECT_TRUE(paste("TARGETS").value_or(QString()).contains(QLatin1String("TIMESTAMP")));
        // Our own taking is neither a change nor a copy.
        QTest::qWait(200);
        EXPECT_EQ(x11->changeCount(), changes + 1);
        EXPECT_TRUE(isAtHead(c.text));
    }

    // A requestor that is told the text comes in chunks, and never takes the first, is given up.
    const test::LogTail log;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window,
                      xcb_setup_roots_iterator(xcb_get_setup(c)).data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t clipboard = platform::xcb::internAtom(c, "CLIPBOARD");
    const xcb_atom_t utf8 = platform::xcb::internAtom(c, "UTF8_STRING");
    xcb_convert_selection(c, window, clipboard, utf8, utf8, XCB_CURRENT_TIME);
    xcb_flush(c);
    platform::xcb::Reply<xcb_generic_event_t> notified;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            while (platform::xcb::Reply<xcb_generic_event_t> e{xcb_poll_for_event(c)}) {
                if ((e->response_type & 0x7f) == XCB_SELECTION_NOTIFY)
                    notified = std::move(e);
            }
            return notified != nullptr;
        },
        5000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return log.lines().join(u'\n').contains(QLatin1String("gave up sending")); },
        int(X11Clipboard::transferTimeout.count()) + 3000));
    xcb_disconnect(c);
    EXPECT_TRUE(paste() == chunked) << "others are still served";

    // The next copy takes the clipboard back.
    ASSERT_TRUE(test::xclipCopy("copied anew"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return isAtHead(QStringLiteral("copied anew")); }, 5000));
    EXPECT_FALSE(x11->isKeeping());
    EXPECT_TRUE(paste() == QStringLiteral("copied anew"));
}

TEST_F(CaptureTest, TheMouseSelectionIsCapturedWhenAskedOnceTheButtonIsUp)
{
    const auto select = [](const char* text) {
        return test::xclipCopy(text, {}, "primary");
    };
    const qint64 settled = ClipboardMonitor::selectionSettleTime.count() + 600;

    temp.settings().setValue(capture::capturePrimaryKey, true);
    ASSERT_TRUE(select("selected while on"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return isAtHead(QStringLiteral("selected while on")); },
                                int(settled) + 2000));

    // A drag still going on: the button is down.
    test::xdotool("mousemove 5 5 mousedown 1");
    ASSERT_TRUE(select("selected by a drag"));
    QTest::qWait(int(settled));
    EXPECT_TRUE(isAtHead(QStringLiteral("selected while on")));
    test::xdotool("mouseup 1");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return isAtHead(QStringLiteral("selected by a drag")); }, 2000));
    EXPECT_EQ(store.items().size(), 2);
    // The clipboard was never touched.
    EXPECT_EQ(x11->changeCount(), 0);
}

// When the X clipboard cannot be followed, that is logged and told to the user once, and Qt's
// clipboard stands in. Qt is connected already; the clipboard's own connection finds no display.
TEST(ClipboardFallback, IsLoggedAndToldOnce)
{
    const test::LogTail log;
    test::NotificationWatch monitor;

    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    QString error;
    EXPECT_FALSE(platform::X11Clipboard::connect({}, &error));
    EXPECT_FALSE(error.isEmpty());
    const Backends backends = makeBackends(SessionKind::x11);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(dynamic_cast<platform::X11Clipboard*>(&backends.clipboard()), nullptr);
    qputenv("DISPLAY", display);

    const QString told = QStringLiteral("cannot follow the clipboard");
    EXPECT_TRUE(monitor.waitForOutput(told, 5000));
    QTest::qWait(300);
    EXPECT_EQ(monitor.output().count(told), 1) << monitor.output().toStdString();
    EXPECT_TRUE(monitor.output().contains(error)) << monitor.output().toStdString();
    EXPECT_EQ(log.lines(),
              QStringList{QStringLiteral("Clipboard: cannot follow the X clipboard: ") + error});
}
