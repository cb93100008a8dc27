// The paste into real applications on the private desktop: PasteDesktop with synthetic input,
// ManualPasteDesktop on a display without the XTEST extension, where the text stays on the
// clipboard and a notification asks the user to paste by hand.
#include "app/Backends.h"
#include "app/PasteSequence.h"
#include "platform/x11/X11KeyInjector.h"
#include "platform/x11/X11WindowSystem.h"
#include "support/Desktop.h"

#include <QDir>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QWidget>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using namespace quillstow;
using namespace quillstow::test;

const QString zenity = QStringLiteral("zenity");
const QStringList zenityEntry = words("--entry --text=Type")
                                << QStringLiteral("--title=Paste target");

std::shared_ptr<platform::X11WindowSystem> qtWindowSystem()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return std::make_shared<platform::X11WindowSystem>(x11->connection(), x11->display());
}

// The paste as the program wires it on X11, remembering windows through `windows`.
std::unique_ptr<PasteSequence> x11Sequence(std::shared_ptr<platform::WindowSystem> windows)
{
    const Backends backends = makeBackends(SessionKind::x11);
    return std::make_unique<PasteSequence>(PasteServices{
        backends.clipboardWriter, std::move(windows), backends.keys, backends.notifier});
}

// Delivers `content` to `target` as a Return in the picker would: from a window of ours in front,
// brought there by the window system as the picker brings itself.
bool deliverFromPicker(platform::WindowSystem& windows, PasteSequence& sequence,
                       const QString& content, const platform::WindowRef& target)
{
    QWidget picker;
    picker.resize(200, 100);
    picker.show();
    if (!QTest::qWaitForWindowExposed(&picker))
        return false;
    const quint64 id = picker.winId();
    windows.activate(platform::WindowRef{id, {}, {}, 0});
    const bool isInFront = QTest::qWaitFor(
        [&] {
            const auto active = windows.activeWindow();
            return active && active->handle == id;
        },
        5000);
    picker.hide();
    QSignalSpy done(&sequence, &PasteSequence::finished);
    sequence.deliver(content, target);
    return isInFront && done.wait(10000);
}

TEST(PasteDesktop, PastesIntoEachKindOfWindowUnderAnotherLayoutAndWithTheKeysHeld)
{
    EXPECT_TRUE(makeBackends(SessionKind::x11).keys->isAvailable());
    // Nothing in front yet: no window to paste back into.
    EXPECT_EQ(qtWindowSystem()->activeWindow(), std::nullopt);
    const QString outFile =
        QDir(qEnvironmentVariable("TESTBED_DIR")).filePath(QStringLiteral("out"));
    // cat -v shows every byte it is given: an arrow key would show as ^[[C.
    const QStringList catInto = {QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                                 QStringLiteral("cat -v > \"$0\""), outFile};
    const QString text = QStringLiteral("Gr\u00fc\u00dfe aus \u6771\u4eac \u2014 \"quoted\" \\ ok");
    const QString command = QStringLiteral("echo 'it works' | tr a-z A-Z");
    runTool(QStringLiteral("setxkbmap"), {QStringLiteral("dvorak")}); // V is elsewhere
    const struct
    {
        const char* name;
        QString program;
        QStringList args;
        QString content;
        bool holdsModifiers; // the hot key's, let go of only after a while
    } cases[] = {
        // With the modifiers still held, Control+V would not paste.
        {"a GTK entry, modifiers held", zenity, zenityEntry, text, true},
        // A stock xterm: Shift+Insert pastes the primary selection, Control+Shift+V nothing.
        {"XTerm", QStringLiteral("xterm"),
         QStringList{QStringLiteral("-title"), QStringLiteral("Paste target")} + catInto, command,
         false},
        // The same program under the class of a terminal that pastes the clipboard on
        // Control+Shift+V, and made to do so.
        {"Alacritty", QStringLiteral("xterm"),
         QStringList{QStringLiteral("-title"), QStringLiteral("Paste target"),
                     QStringLiteral("-class"), QStringLiteral("Alacritty"), QStringLiteral("-xrm"),
                     QStringLiteral("Alacritty*VT100.translations: #override Ctrl Shift <Key>V: "
                                    "insert-selection(CLIPBOARD)")} +
             catInto,
         command, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto windows = qtWindowSystem();
        auto sequence = x11Sequence(windows);
        Program target(c.program, c.args);
        const quint64 id = waitForActiveWindow(QStringLiteral("Paste target"));
        ASSERT_NE(id, 0u);
        // The window in front, as the hot key finds it; the paste brings it back there.
        const auto ref = windows->activeWindow();
        ASSERT_TRUE(ref);
        EXPECT_EQ(ref->handle, id);
        EXPECT_EQ(ref->name, QStringLiteral("Paste target"));

        bool isLetGo = !c.holdsModifiers;
        bool isLetGoBeforePaste = false;
        if (c.holdsModifiers) {
            xdotool("keydown super+shift");
            QTimer::singleShot(700, [&] {
                xdotool("keyup super+shift");
                isLetGo = true;
            });
        }
        QObject::connect(sequence.get(), &PasteSequence::finished,
                         [&] { isLetGoBeforePaste = isLetGo; });
        ASSERT_TRUE(deliverFromPicker(*windows, *sequence, c.content, *ref));
        EXPECT_TRUE(isLetGoBeforePaste) << "pasted before the modifiers were let go of";
        // The target fetches the text from us after the keys; let it.
        QTest::qWait(500);
        ASSERT_EQ(waitForActiveWindow(QStringLiteral("Paste target")), id);
        xdotool("key Return");
        if (c.program == zenity) {
            EXPECT_EQ(ref->pid, target.pid()); // xterm does not name its process
            ASSERT_TRUE(target.waitForExit());
            EXPECT_EQ(target.output(), c.content + u'\n');
        } else {
            xdotool("key ctrl+d");
            ASSERT_TRUE(target.waitForExit());
            EXPECT_EQ(QString::fromUtf8(readFile(outFile)), c.content + u'\n');
        }
    }
    runTool(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
}

// Whether the application's X connection still works: a round trip answers.
bool connectionAlive(xcb_connection_t* c)
{
    xcb_get_input_focus_reply_t* reply =
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    std::free(reply);
    return xcb_connection_has_error(c) == 0 && reply != nullptr;
}

TEST(ManualPasteDesktop, LeavesTheTextOnTheClipboardAndNotifies)
{
    EXPECT_FALSE(makeBackends(SessionKind::x11).keys->isAvailable());
    // Nothing the key injector is asked reaches the server.
    xcb_connection_t* connection =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    platform::X11KeyInjector keys(connection);
    EXPECT_FALSE(keys.isModifierHeld());
    keys.releaseModifiers();
    EXPECT_FALSE(keys.press({platform::Key::Control, platform::Key::V}));
    keys.release({platform::Key::Control, platform::Key::V});
    EXPECT_TRUE(connectionAlive(connection));

    auto windows = qtWindowSystem();
    auto sequence = x11Sequence(windows);
    Program target(zenity, zenityEntry);
    const quint64 id = waitForActiveWindow(QStringLiteral("Paste target"));
    ASSERT_NE(id, 0u);
    const auto ref = windows->activeWindow();
    ASSERT_TRUE(ref);

    NotificationWatch monitor;

    const QString content = QStringLiteral("copied by hand\nsecond line");
    ASSERT_TRUE(deliverFromPicker(*windows, *sequence, content, *ref));
    // The target was still brought forward.
    EXPECT_EQ(waitForActiveWindow(QStringLiteral("Paste target"), 5000), id);
    EXPECT_TRUE(monitor.waitForOutput(QStringLiteral("Content copied \u2014 press Ctrl+V to paste. "
                                                     "(Grant Accessibility for auto-paste)"),
                                      5000))
        << monitor.output().toStdString();
    EXPECT_TRUE(monitor.output().contains(QStringLiteral("string \"Quillstow\"")));

    // Another program reads the text from our clipboard.
    EXPECT_EQ(runTool(QStringLiteral("xclip"), words("-o -selection clipboard")), content);
    EXPECT_TRUE(connectionAlive(connection));
}

} // namespace
