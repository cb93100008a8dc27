// The caret locator against real applications on the private desktop: GTK 3 (zenity), GTK 4 and
// Qt text fields, windows without accessible text, and an application that stopped answering.
#include "app/CaretLocator.h"
#include "platform/x11/ActiveWindowFrame.h"
#include "support/Desktop.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

using namespace quillstow;
using test::Program;

namespace {

const QString zenity = QStringLiteral("zenity");

QStringList zenityEntry(const QString& title)
{
    return test::words("--entry --text=Name") << QStringLiteral("--title=") + title;
}

class CaretDesktop : public ::testing::Test
{
protected:
    // Starts `program` and waits until its window titled `title` is in front.
    Program& startWindow(const QString& program, const QStringList& args, const QString& title,
                         const QStringList& environment = {})
    {
        programs_.push_back(std::make_unique<Program>(program, args, environment));
        EXPECT_NE(test::waitForActiveWindow(title), 0u) << title.toStdString();
        return *programs_.back();
    }
    bool waitForCaret()
    {
        return QTest::qWaitFor([&] { return locator_.caretScreenOrigin().has_value(); }, 10000);
    }

    void xdotool(const char* line)
    {
        test::xdotool(line);
        QTest::qWait(200);
    }

    // One lookup that must succeed, with one line, inside the active window; returns the
    // caret's lower-left corner.
    QPointF expectCaretInFrontWindow()
    {
        const test::LogTail log;
        const auto origin = locator_.caretScreenOrigin();
        const QStringList lines = log.lines();
        EXPECT_EQ(lines.size(), 1) << lines.join(u'|').toStdString();
        EXPECT_TRUE(origin &&
                    lines.value(0).startsWith(QLatin1String("caretScreenOrigin: success")))
            << lines.value(0).toStdString();
        // The caret's line lies inside the window in front (its bottom may be the window's).
        const QRect window = test::windowFrame(test::activeWindow()).adjusted(0, 0, 1, 1);
        EXPECT_TRUE(window.contains(origin.value_or(QPointF(-1, -1)).toPoint()))
            << lines.value(0).toStdString();
        return origin.value_or(QPointF());
    }

    // Lookups that find nothing, until one logs `expected` alone: a dialog's focus, say, may
    // still be on its way over the bus.
    void expectNothing(const char* expected)
    {
        const QStringList wanted = {QString::fromLatin1(expected)};
        QStringList lines;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const test::LogTail log;
                const bool isNothing = !locator_.caretScreenOrigin();
                lines = log.lines();
                return isNothing && lines == wanted;
            },
            10000))
            << lines.join(u'|').toStdString();
    }

    CaretLocator locator_;
    std::vector<std::unique_ptr<Program>> programs_;
};

} // namespace

TEST_F(CaretDesktop, FollowsTheCaretInEachToolkitsField)
{
    const struct
    {
        const char* title;
        QString program; // given the title (zenity, a GTK 3 entry, more arguments)
        QStringList environment;
        // GTK 4.8 gives no character extents: the one-line field stands for its caret.
        bool hasCharacterExtents;
    } cases[] = {
        {"Caret GTK 3", zenity, {}, true},
        // Qt 6.4 misses the bus when it is handed over in AT_SPI_BUS_ADDRESS; it finds it
        // through the session bus, as it does on a real desktop.
        {"Caret Qt", QStringLiteral(QUILLSTOW_QT_TEXT_FIELD),
         test::words("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 AT_SPI_BUS_ADDRESS"), true},
        {"Caret GTK 4", QStringLiteral(QUILLSTOW_GTK4_TEXT_FIELD), {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const QString title = QString::fromLatin1(c.title);
        startWindow(c.program, c.program == zenity ? zenityEntry(title) : QStringList{title}, title,
                    c.environment);
        // Far from the screen's corner: the window's position must be added to a position
        // given relative to it.
        xdotool("getactivewindow windowmove --sync 300 300");
        ASSERT_TRUE(waitForCaret());
        const QPointF empty = expectCaretInFrontWindow();
        xdotool("type --delay 30 hello_world");
        const QPointF atEnd = expectCaretInFrontWindow();
        xdotool("key Home");
        const QPointF atStart = expectCaretInFrontWindow();
        // An empty field may stand for its caret with its own, taller, extents.
        EXPECT_EQ(atEnd.y(), atStart.y());
        EXPECT_EQ(atStart.x(), empty.x());
        // Eleven characters further right: also, from the second field on, no earlier
        // application's caret (at the start of its text) is taken for the one in front.
        if (c.hasCharacterExtents)
            EXPECT_GT(atEnd.x(), empty.x() + 20);
        else
            EXPECT_EQ(atEnd.x(), empty.x());
    }
}

TEST_F(CaretDesktop, WithoutATextFieldInFrontLogsTheFailureAndYieldsNothing)
{
    expectNothing("caretScreenOrigin: no focused element (err=0)"); // nothing in front
    // A dialog whose focus is on a button.
    startWindow(zenity,
                test::words("--question --text=Really?")
                    << QStringLiteral("--title=Caret question"),
                QStringLiteral("Caret question"));
    expectNothing("caretScreenOrigin: no text range (err=-3)");
}

TEST_F(CaretDesktop, FindsTheFieldUnderAKeyboardGrabAndIsNotHeldUpByAStoppedApplication)
{
    // A keyboard grab, as the hot key's, makes GTK drop its window's active state and its
    // field's focus; the field that last gained the focus still has the caret.
    locator_.followFocus();
    Program& entry = startWindow(zenity, zenityEntry(QStringLiteral("Caret entry")),
                                 QStringLiteral("Caret entry"));
    ASSERT_TRUE(waitForCaret()); // its caret comes on the bus a while after its window
    xdotool("type --delay 30 abc");
    const QPointF free = expectCaretInFrontWindow();
    {
        const test::KeyboardHold grab;
        QTest::qWait(300); // the application hears of the grab and drops its focus
        // The field's focus event may still be on its way over the bus.
        EXPECT_TRUE(waitForCaret());
        EXPECT_EQ(expectCaretInFrontWindow(), free);
    }

    // D-Bus would wait 25 s for a stopped application; the lookup gives up after a fraction of a
    // second, and finds the field again once it goes on.
    ASSERT_EQ(::kill(static_cast<pid_t>(entry.pid()), SIGSTOP), 0);
    QElapsedTimer clock;
    clock.start();
    expectNothing("caretScreenOrigin: no focused element (err=-2)");
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_EQ(::kill(static_cast<pid_t>(entry.pid()), SIGCONT), 0);
    QTest::qWait(300);
    EXPECT_EQ(expectCaretInFrontWindow(), free);

    // A field of another application that had the focus earlier is not taken for the one in
    // front: with a terminal in front and the keyboard held, nothing is found.
    startWindow(QStringLiteral("xterm"), {QStringLiteral("-title"), QStringLiteral("Caret term")},
                QStringLiteral("Caret term"));
    const test::KeyboardHold grab;
    QTest::qWait(300);
    expectNothing("caretScreenOrigin: no focused element (err=0)");
}

// The frame of a window of this program, and no lookup in it: this program is on the
// accessibility bus too, and cannot answer while it asks, so a question to itself would only wait
// out the time limit (err=-2).
TEST_F(CaretDesktop, LeavesItsOwnWindowsAloneAndFindsTheirFrameWithoutTheShadow)
{
    QLineEdit window;
    window.setWindowTitle(QStringLiteral("Caret own"));
    window.resize(300, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(test::activateWindow(QStringLiteral("Caret own")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.hasFocus(); }, 5000));
    expectNothing("caretScreenOrigin: no focused element (err=0)");

    const auto plain = platform::x11::activeWindowFrame();
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->pid, static_cast<quint32>(::getpid()));
    const QRect geometry = test::windowFrame(window.winId());
    EXPECT_EQ(plain->contentOrigin, geometry.topLeft());

    // GTK's shadow widths: left, right, top, bottom.
    test::runTool(QStringLiteral("xprop"),
                  test::words("-f _GTK_FRAME_EXTENTS 32c -set _GTK_FRAME_EXTENTS 7,9,11,13 -id")
                      << QString::number(window.winId()));
    const auto shadowed = platform::x11::activeWindowFrame();
    ASSERT_TRUE(shadowed.has_value());
    EXPECT_EQ(shadowed->contentOrigin, geometry.topLeft() + QPoint(7, 11));
}
