// The real program's command line on the private desktop: a running instance shown, toggled and
// ended from a second launch, a start by --show, the mistakes, and the notices.
#include "support/Desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <xcb/xcb.h>

using namespace quillstow::test;

namespace {

const QString program = QStringLiteral(QUILLSTOW_PROGRAM);

struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

Outcome launch(const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    Outcome run;
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(3000);
        return run;
    }
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

// The tray icon's window is called "Quillstow" too: the picker is the visible one of its size.
bool pickerShown()
{
    const QStringList ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--name"), QStringLiteral("^Quillstow$")})
                                .split(u'\n', Qt::SkipEmptyParts);
    for (const QString& id : ids) {
        const auto size = QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)"))
                              .match(xdotool({QStringLiteral("getwindowgeometry"), id}));
        if (size.hasMatch() && size.captured(1).toInt() >= 200)
            return true;
    }
    return false;
}

bool waitForPicker(bool shown, int timeoutMs = 5000)
{
    return QTest::qWaitFor([&] { return pickerShown() == shown; }, timeoutMs);
}

// The program, started for a test.
class Instance : public Program
{
public:
    explicit Instance(const QStringList& args = {}) : Program(program, args) {}
    // Up and answering on the bus: a second launch finds it.
    static bool waitUntilUp()
    {
        return QTest::qWaitFor(
            [] {
                return runTool(QStringLiteral("dbus-send"),
                               {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                                QStringLiteral("--dest=org.freedesktop.DBus"),
                                QStringLiteral("/org/freedesktop/DBus"),
                                QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                                QStringLiteral("string:org.quillstow.Quillstow")})
                    .contains(QStringLiteral("boolean true"));
            },
            10000);
    }
};

} // namespace

TEST(CommandLineDesktop, HelpVersionAndMistakesAnswerAtOnce)
{
    const Outcome help = launch({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: quillstow"))) << help.out.toStdString();
    for (const char* option : {"--show", "--toggle", "--quit", "--version"})
        EXPECT_TRUE(help.out.contains(QString::fromLatin1(option))) << option;

    const Outcome version = launch({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("quillstow "))) << version.out.toStdString();

    const Outcome unknown = launch({QStringLiteral("--frobnicate")});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("frobnicate"))) << unknown.err.toStdString();
    EXPECT_TRUE(unknown.out.isEmpty());

    const Outcome quit = launch({QStringLiteral("--quit")});
    EXPECT_EQ(quit.status, 1);
    EXPECT_TRUE(quit.err.contains(QStringLiteral("not running"))) << quit.err.toStdString();
    // None of these started the program.
    EXPECT_FALSE(pickerShown());
}

TEST(CommandLineDesktop, ALaterLaunchShowsTogglesAndEndsTheRunningInstance)
{
    NotificationWatch notices;
    Instance running;
    ASSERT_TRUE(running.waitUntilUp());
    ASSERT_FALSE(pickerShown());

    const struct
    {
        QStringList args;
        bool shownAfter;
    } steps[] = {
        {{QStringLiteral("--toggle")}, true},
        {{QStringLiteral("--toggle")}, false},
        {{QStringLiteral("--show")}, true},
        {{QStringLiteral("--show")}, true}, // shown stays shown
        {{QStringLiteral("--toggle")}, false},
        {{}, true}, // a plain second launch shows the picker, as before
    };
    for (const auto& step : steps) {
        const QString name = step.args.join(u' ');
        const Outcome run = launch(step.args);
        EXPECT_EQ(run.status, 0) << name.toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(waitForPicker(step.shownAfter)) << name.toStdString();
        QTest::qWait(300); // a stray second toggle would show by now
        EXPECT_EQ(pickerShown(), step.shownAfter) << name.toStdString();
    }
    EXPECT_TRUE(running.isRunning());

    // With the tray and the hot key in place there is nothing to tell at start-up.
    EXPECT_FALSE(notices.output().contains(QStringLiteral("Super+Shift+V")))
        << notices.output().toStdString();

    // --quit returns once the instance is gone.
    const Outcome quit = launch({QStringLiteral("--quit")});
    EXPECT_EQ(quit.status, 0) << quit.err.toStdString();
    EXPECT_TRUE(running.waitForExit(1000));
    EXPECT_EQ(running.exitCode(), 0);
    EXPECT_FALSE(pickerShown());
}

TEST(CommandLineDesktop, ShowWithNoneRunningStartsItWithThePickerShown)
{
    for (const QString& option : {QStringLiteral("--show"), QStringLiteral("--toggle")}) {
        Instance started({option});
        EXPECT_TRUE(waitForPicker(true, 10000)) << option.toStdString();
        EXPECT_TRUE(started.isRunning()) << option.toStdString();
        EXPECT_EQ(launch({QStringLiteral("--quit")}).status, 0);
        EXPECT_TRUE(started.waitForExit()) << option.toStdString();
    }
}

TEST(CommandLineDesktop, AHotKeyHeldByAnotherProgramIsToldOnceAtStartUp)
{
    // Another client holds Super+Shift+V first (keycode 55 is V in the test server's keymap).
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    ASSERT_EQ(xcb_request_check(
                  other, xcb_grab_key_checked(other, 0, root, XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4,
                                              55, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
              nullptr);

    NotificationWatch notices;
    Instance running;
    const QString told = QStringLiteral(
        "Super+Shift+V could not be taken: another program holds the combination. Open the "
        "picker from the tray icon");
    EXPECT_TRUE(notices.waitForOutput(told)) << notices.output().toStdString();
    QTest::qWait(2500);
    EXPECT_EQ(notices.output().count(QStringLiteral("could not be taken")), 1);

    // The way the notice names works.
    EXPECT_EQ(launch({QStringLiteral("--show")}).status, 0);
    EXPECT_TRUE(waitForPicker(true));
    EXPECT_EQ(launch({QStringLiteral("--quit")}).status, 0);
    EXPECT_TRUE(running.waitForExit());
    xcb_disconnect(other);
}

TEST(CommandLineDesktop, TheStoredHotKeyIsTakenAndAnUnusableSettingsFileIsLeftAndTold)
{
    // The test desktop's own config folder (this test program's QStandardPaths are in test mode).
    const QString folder =
        QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/Quillstow");
    const QString path = folder + QStringLiteral("/Quillstow.conf");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray stored("[General]\nhotkey=Ctrl+Alt+J\n");
    ASSERT_TRUE(writeFile(path, stored));
    {
        Instance running;
        // Taken before the tray is up; xdotool is at most a moment later.
        QTest::qWait(1000);
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+j")});
        EXPECT_TRUE(waitForPicker(true)) << "the stored hot key opens the picker";
        EXPECT_EQ(launch({QStringLiteral("--quit")}).status, 0);
        EXPECT_TRUE(running.waitForExit());
    }
    EXPECT_EQ(readFile(path), stored) << "nothing changed, so nothing was written";

    // A named pipe would block a reader for good.
    QFile::remove(path);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    NotificationWatch notices;
    Instance running;
    EXPECT_TRUE(notices.waitForOutput(QStringLiteral("because it is a named pipe")))
        << notices.output().toStdString();
    EXPECT_EQ(launch({QStringLiteral("--show")}).status, 0);
    EXPECT_TRUE(waitForPicker(true));
    EXPECT_EQ(launch({QStringLiteral("--quit")}).status, 0);
    EXPECT_TRUE(running.waitForExit());
    EXPECT_EQ(QFileInfo(path).isFile(), false);
    EXPECT_TRUE(QFileInfo::exists(path));
    QFile::remove(path);
}

TEST(CommandLineDesktop, CopiesTooLargeToKeepAreLoggedAndToldOnce)
{
    const LogTail log;
    NotificationWatch notices;
    Instance running;
    ASSERT_TRUE(Instance::waitUntilUp());
    for (const char end : {'a', 'b'}) {
        ASSERT_TRUE(xclipCopy(QByteArray(5 * 1024 * 1024, 'x') + end));
        QTest::qWait(1000);
    }
    const QString told = QStringLiteral("it is larger than 4 MB");
    EXPECT_EQ(notices.output().count(told), 1) << notices.output().toStdString();
    const QString logged = log.lines().join(u'\n');
    EXPECT_EQ(logged.count(QStringLiteral("ClipboardMonitor: skipped a copy of")), 2);
    EXPECT_FALSE(logged.contains(QStringLiteral("xxxx"))) << "the log holds no copied text";
    EXPECT_EQ(launch({QStringLiteral("--quit")}).status, 0);
    EXPECT_TRUE(running.waitForExit());
}

// Run on a desktop without a tray (TESTBED_TRAY=0), as on stock GNOME.
TEST(CommandLineNoTray, TheNoticeSaysHowToOpenThePickerAndTheProgramRunsOn)
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "this desktop has a tray";
    NotificationWatch notices;
    Instance running;
    EXPECT_TRUE(notices.waitForOutput(QStringLiteral("no system tray")))
        << notices.output().toStdString();
    EXPECT_TRUE(notices.output().contains(QStringLiteral("with Super+Shift+V or by running")));
    EXPECT_TRUE(notices.output().contains(QStringLiteral("quillstow --show")));
    QTest::qWait(2500);
    EXPECT_EQ(notices.output().count(QStringLiteral("no system tray")), 1);

    EXPECT_TRUE(running.isRunning());
    xdotool({QStringLiteral("key"), QStringLiteral("super+shift+v")});
    EXPECT_TRUE(waitForPicker(true)) << "the hot key opens the picker";
    EXPECT_EQ(launch({QStringLiteral("--toggle")}).status, 0);
    EXPECT_TRUE(waitForPicker(false));
    EXPECT_EQ(launch({QStringLiteral("--quit")}).status, 0);
    EXPECT_TRUE(running.waitForExit());
}
