// The real program on the private desktop: its command line against a running instance, what it
// tells at start-up and of copies too large to keep, a history or settings file it cannot use,
// and its picker as a screen reader hears it and on a small screen at double scale.
#include "support/Desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atspi/atspi.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quillstow::test;

namespace {

const QString program = QStringLiteral(QUILLSTOW_PROGRAM);

// The tray icon's window is called "Quillstow" too: the picker is the visible one of its size.
bool pickerShown()
{
    const QStringList ids =
        xdotool("search --onlyvisible --name ^Quillstow$").split(u'\n', Qt::SkipEmptyParts);
    return std::any_of(ids.begin(), ids.end(), [](const QString& id) {
        return windowFrame(id.toULongLong()).width() >= 200;
    });
}

bool waitForPicker(bool shown, int timeoutMs = 5000)
{
    return QTest::qWaitFor([&] { return pickerShown() == shown; }, timeoutMs);
}

// The program, started for a test, with its accessibility bridge on (Qt 6.4 finds the bus
// through the session bus); ended with SIGTERM when the test is done with it.
class Instance : public Program
{
public:
    explicit Instance(const QStringList& args = {}, const QStringList& environment = {})
        : Program(program, args,
                  words("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 AT_SPI_BUS_ADDRESS") + environment)
    {}
    // Ended the user's way, which runs its clean-up.
    bool quit() { return run(program, {QStringLiteral("--quit")}).status == 0 && waitForExit(); }
};

// How many entries the history database holds.
const QString historyDatabase =
    qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/quillstow/history.sqlite3");
int storedCount()
{
    return runTool(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), historyDatabase,
                                               QStringLiteral("SELECT count(*) FROM items")})
        .toInt();
}

} // namespace

TEST(CommandLineDesktop, TheVersionAndTheMistakesAnswerAtOnceWithoutStartingIt)
{
    const struct
    {
        QString arg;
        int status;
        const char* said;
        bool onError;
    } cases[] = {
        {QStringLiteral("--version"), 0, "quillstow ", false},
        {QStringLiteral("--frobnicate"), 2, "frobnicate", true},
        {QStringLiteral("--quit"), 1, "not running", true},
    };
    for (const auto& c : cases) {
        const Ran ran = run(program, {c.arg});
        EXPECT_EQ(ran.status, c.status) << c.arg.toStdString();
        EXPECT_TRUE((c.onError ? ran.err : ran.out).contains(QLatin1String(c.said)))
            << c.arg.toStdString() << ": " << ran.out.toStdString() << ran.err.toStdString();
    }
    EXPECT_FALSE(pickerShown());
}

TEST(CommandLineDesktop, ALaterLaunchShowsTogglesAndEndsTheRunningInstance)
{
    const LogTail log;
    NotificationWatch notices;
    // Started by --toggle with none running: up with the picker shown.
    Instance running({QStringLiteral("--toggle")});
    EXPECT_TRUE(waitForPicker(true, 10000));
    const struct
    {
        QStringList args;
        bool shownAfter;
    } steps[] = {
        {{QStringLiteral("--toggle")}, false}, {{QStringLiteral("--show")}, true},
        {{QStringLiteral("--show")}, true},                // shown stays shown
        {{QStringLiteral("--toggle")}, false}, {{}, true}, // a plain later launch shows the picker
    };
    for (const auto& step : steps) {
        const std::string name = step.args.join(u' ').toStdString();
        EXPECT_EQ(run(program, step.args).status, 0) << name;
        EXPECT_TRUE(waitForPicker(step.shownAfter)) << name;
        QTest::qWait(300); // a stray second toggle would show by now
        EXPECT_EQ(pickerShown(), step.shownAfter) << name;
    }

    // Copies too large to keep: logged each time, without their text, and told once.
    const auto skipped = [&] {
        return log.lines().join(u'\n').count(QStringLiteral("ClipboardMonitor: skipped a copy of"));
    };
    for (const qsizetype copies : {1, 2}) {
        ASSERT_TRUE(xclipCopy(QByteArray(5 * 1024 * 1024, 'x') + char('a' + copies)));
        EXPECT_TRUE(QTest::qWaitFor([&] { return skipped() == copies; }, 5000)) << copies;
    }
    const QString told = QStringLiteral("it is larger than 4 MB");
    EXPECT_TRUE(notices.waitForOutput(told));
    QTest::qWait(300);
    EXPECT_EQ(notices.output().count(told), 1) << notices.output().toStdString();
    EXPECT_FALSE(log.lines().join(u'\n').contains(QStringLiteral("xxxx")))
        << "the log holds no copied text";
    // With the tray and the hot key in place there was nothing else to tell at start-up.
    EXPECT_FALSE(notices.output().contains(QStringLiteral("Super+Shift+V")));

    // --quit returns once the instance is gone.
    EXPECT_EQ(run(program, {QStringLiteral("--quit")}).status, 0);
    EXPECT_TRUE(running.waitForExit(1000));
    EXPECT_EQ(running.exitCode(), 0);
}

TEST(CommandLineDesktop, TheStoredHotKeyIsTakenAndAnUnusableSettingsFileOrAHeldKeyIsTold)
{
    // The test desktop's own config folder (this test program's QStandardPaths are in test mode).
    const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Quillstow");
    const QString path = folder + QStringLiteral("/Quillstow.conf");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray stored("[General]\nhotkey=Ctrl+Alt+J\n");
    ASSERT_TRUE(writeFile(path, stored));
    {
        Instance running;
        // Up and answering on the bus; the hot key is taken before the bus name.
        ASSERT_TRUE(QTest::qWaitFor(
            [] {
                return runTool(QStringLiteral("dbus-send"),
                               words("--session --print-reply --dest=org.freedesktop.DBus "
                                     "/org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "
                                     "string:org.quillstow.Quillstow"))
                    .contains(QStringLiteral("boolean true"));
            },
            10000));
        xdotool("key ctrl+alt+j");
        EXPECT_TRUE(waitForPicker(true)) << "the stored hot key opens the picker";
        EXPECT_TRUE(running.quit());
    }
    EXPECT_EQ(readFile(path), stored) << "nothing changed, so nothing was written";

    // A named pipe would block a reader for good; and the hot key, back to Super+Shift+V, is
    // another program's.
    QFile::remove(path);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const KeyboardHold held(XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4, 55);
    NotificationWatch notices;
    Instance running({QStringLiteral("--show")});
    EXPECT_TRUE(notices.waitForOutput(QStringLiteral("because it is a named pipe")))
        << notices.output().toStdString();
    EXPECT_TRUE(notices.waitForOutput(
        QStringLiteral("Super+Shift+V could not be taken: another program holds the combination. "
                       "Open the picker from the tray icon")))
        << notices.output().toStdString();
    EXPECT_TRUE(waitForPicker(true));
    EXPECT_TRUE(running.quit()); // without touching the pipe
    EXPECT_EQ(notices.output().count(QStringLiteral("could not be taken")), 1);
    EXPECT_FALSE(QFileInfo(path).isFile());
    EXPECT_TRUE(QFileInfo::exists(path));
    QFile::remove(path);
}

TEST(HistoryFileDesktop, AnUnusableHistoryFileIsToldOfOnce)
{
    const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/quillstow");
    const struct
    {
        const char* name;
        std::function<void()> spoil;
        QString told;
    } cases[] = {
        {"a damaged file",
         [&] {
             QDir().mkpath(folder);
             writeFile(historyDatabase, QByteArray(4096, 'x'));
         },
         QStringLiteral("The history file could not be read. It was moved to ") + folder +
             QStringLiteral("/history-unreadable-")},
        {"a file where its folder belongs", [&] { writeFile(folder, "in the way"); },
         QStringLiteral("History is not being saved: ")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder).removeRecursively();
        QFile::remove(folder);
        c.spoil();
        NotificationWatch notices;
        Instance running;
        EXPECT_TRUE(notices.waitForOutput(c.told)) << notices.output().toStdString();
        QTest::qWait(500);
        EXPECT_EQ(notices.output().count(c.told), 1);
        EXPECT_TRUE(running.quit());
    }
    QFile::remove(folder);
}

namespace {

constexpr const char* focusEvent = "object:state-changed:focused";

// The elements that gained the focus on the accessibility bus, as "name (role)", in order.
class FocusWatch
{
public:
    FocusWatch()
    {
        atspi_init();
        atspi_event_listener_register(listener_, focusEvent, nullptr);
    }
    ~FocusWatch()
    {
        atspi_event_listener_deregister(listener_, focusEvent, nullptr);
        g_object_unref(listener_);
    }
    FocusWatch(const FocusWatch&) = delete;
    FocusWatch& operator=(const FocusWatch&) = delete;

    void expectLast(const QString& element)
    {
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return gained_.value(gained_.size() - 1) == element; }, 5000))
            << gained_.join(u'|').toStdString();
    }

private:
    static void onEvent(AtspiEvent* event, void* data)
    {
        if (event->detail1 != 0 && event->source) {
            gchar* name = atspi_accessible_get_name(event->source, nullptr);
            gchar* role = atspi_accessible_get_role_name(event->source, nullptr);
            static_cast<FocusWatch*>(data)->gained_
                << QString::fromUtf8(name) + QStringLiteral(" (") + QString::fromUtf8(role) + u')';
            g_free(name);
            g_free(role);
        }
        g_boxed_free(ATSPI_TYPE_EVENT, event);
    }

    AtspiEventListener* listener_ = atspi_event_listener_new(&FocusWatch::onEvent, this, nullptr);
    QStringList gained_;
};

// Copies `texts` one after another into the running program's history and opens the picker.
bool openPickerOver(const QStringList& texts)
{
    // The capture starts once the history is loaded; a copy before that is what it finds.
    if (!QTest::qWaitFor([] { return QFileInfo::exists(historyDatabase); }, 10000))
        return false;
    QTest::qWait(300);
    for (const QString& text : texts) {
        const int before = storedCount();
        if (!xclipCopy(text.toUtf8()) ||
            !QTest::qWaitFor([&] { return storedCount() > before; }, 5000))
            return false;
    }
    return run(program, {QStringLiteral("--show")}).status == 0 &&
           waitForActiveWindow(QStringLiteral("Quillstow"));
}

} // namespace

TEST(PickerAccessibility, TheSelectedRowGainsTheFocusWithItsText)
{
    FocusWatch watch;
    Instance running;
    // Newest first: "gamma three" on top.
    ASSERT_TRUE(openPickerOver(
        {QStringLiteral("alpha one"), QStringLiteral("beta two"), QStringLiteral("gamma three")}));
    const QString row = QStringLiteral(" (list item)");
    const QString search = QStringLiteral("Search clipboard history (text)");
    watch.expectLast(search);
    const struct
    {
        const char* key;
        QString focused;
    } steps[] = {
        // Typing in the search field, the selected row is told all the same.
        {"Down", QStringLiteral("beta two") + row},
        // The list takes the focus on its selected row; there the list tells of it itself.
        {"Tab", QStringLiteral("beta two") + row},
        {"Down", QStringLiteral("alpha one") + row},
        {"shift+Tab", search},
        {"Up", QStringLiteral("beta two") + row},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.key);
        xdotool({QStringLiteral("key"), QString::fromLatin1(step.key)});
        watch.expectLast(step.focused);
    }
}

// Run on a 1440 by 900 screen (TESTBED_SCREEN): at scale 2 the picker's natural height is
// 1040 pixels.
TEST(PickerScaled, FitsASmallScreenAtDoubleScale)
{
    Instance running({}, {QStringLiteral("QT_SCALE_FACTOR=2")});
    ASSERT_TRUE(openPickerOver({QStringLiteral("one entry")}));
    const QRect frame = windowFrame(activeWindow());
    EXPECT_TRUE(QRect(0, 0, 1440, 900).contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    EXPECT_GT(frame.height(), 700); // shrunk to the screen, not to nothing
    EXPECT_EQ(frame.width(), 960);
}
