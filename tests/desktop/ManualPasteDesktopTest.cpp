// The paste on a display without the XTEST extension: the text stays on the clipboard and a
// notification asks the user to paste by hand.
#include "PasteDesktopSupport.h"
#include "picker/PasteSequence.h"
#include "platform/Desktop.h"
#include "platform/x11/X11KeyInjector.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QSignalSpy>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using namespace quillstow;
using namespace quillstow::test;

// Whether the application's X connection still works: a round trip answers.
bool connectionAlive()
{
    xcb_connection_t* c = qtConnection();
    if (xcb_connection_has_error(c) != 0)
        return false;
    xcb_get_input_focus_reply_t* reply =
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const bool answered = reply != nullptr;
    std::free(reply);
    return answered;
}

TEST(ManualPasteDesktop, KnowsThatThereIsNoSyntheticInput)
{
    EXPECT_FALSE(platform::isSyntheticInputAvailable());
    // Nothing the key injector is asked reaches the server.
    platform::X11KeyInjector keys(qtConnection());
    EXPECT_FALSE(keys.isModifierHeld());
    keys.releaseModifiers();
    EXPECT_FALSE(keys.press({platform::Key::Control, platform::Key::V}));
    keys.release({platform::Key::Control, platform::Key::V});
    EXPECT_TRUE(connectionAlive());
}

TEST(ManualPasteDesktop, LeavesTheTextOnTheClipboardAndNotifies)
{
    auto windows = qtWindowSystem();
    auto sequence = PasteSequence::forDesktop(windows);
    StandInPicker picker(*windows);
    TargetProgram target(QStringLiteral("zenity"),
                         {QStringLiteral("--entry"), QStringLiteral("--title=Paste target")});
    const quint64 id = waitForWindowOfClass(QStringLiteral("zenity"));
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(waitUntilActive(*windows, id));
    const auto ref = windows->activeWindow();
    ASSERT_TRUE(ref);

    // Everything said to the notification service on the session bus.
    QProcess monitor;
    monitor.start(QStringLiteral("dbus-monitor"),
                  {QStringLiteral("--session"),
                   QStringLiteral("interface='org.freedesktop.Notifications',member='Notify'")});
    ASSERT_TRUE(monitor.waitForStarted(5000));
    QTest::qWait(300); // let it subscribe

    ASSERT_TRUE(picker.takeFocus());
    picker.close();
    const QString content = QStringLiteral("copied by hand\nsecond line");
    QSignalSpy done(sequence.get(), &PasteSequence::finished);
    sequence->deliver(content, *ref);
    ASSERT_TRUE(done.wait(10000));

    // The target was still brought forward.
    EXPECT_TRUE(waitUntilActive(*windows, id));
    const QString body = QString::fromUtf8(
        "Content copied \u2014 press Ctrl+V to paste. (Grant Accessibility for auto-paste)");
    QString seen;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            seen += QString::fromUtf8(monitor.readAllStandardOutput());
            return seen.contains(body);
        },
        5000))
        << seen.toStdString();
    EXPECT_TRUE(seen.contains(QStringLiteral("string \"Quillstow\"")));
    monitor.terminate();
    monitor.waitForFinished(3000);
    // The notification daemon shows it.
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return runTool(QStringLiteral("dunstctl"),
                           {QStringLiteral("count"), QStringLiteral("displayed")})
                       .toInt() >= 1;
        },
        5000));

    // Another program reads the text from our clipboard.
    QProcess reader;
    reader.start(QStringLiteral("xclip"),
                 {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return reader.state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(QString::fromUtf8(reader.readAllStandardOutput()), content);
    EXPECT_TRUE(connectionAlive());
}

} // namespace
