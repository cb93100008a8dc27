// The caret locator against real applications on the private desktop: GTK 3 (zenity), GTK 4 and
// Qt text fields, windows without accessible text, and an application that stopped answering.
#include "app/CaretLocator.h"
#include "platform/DebugLog.h"
#include "platform/x11/ActiveWindowFrame.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

using namespace quillstow;

namespace {

QByteArray run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
}

// The active window's frame on the screen, as the X server reports it.
QRect activeWindowGeometry()
{
    const QString id =
        QString::fromLatin1(run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}))
            .trimmed();
    const QString info =
        QString::fromLatin1(run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id}));
    auto field = [&](const char* name) {
        const QRegularExpression re(QLatin1String(name) + QStringLiteral(":\\s+(-?\\d+)"));
        return re.match(info).captured(1).toInt();
    };
    return {field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
            field("Height")};
}

struct SuccessLine
{
    double x, y, width, height, originX, originY;
};

// Reads a success line back; nothing when the line is anything else.
std::optional<SuccessLine> parseSuccess(const QString& line)
{
    static const QRegularExpression re(QStringLiteral(
        "^caretScreenOrigin: success rect=\\((-?\\d+\\.\\d+), (-?\\d+\\.\\d+), (\\d+\\.\\d+), "
        "(\\d+\\.\\d+)\\) -> origin=\\((-?\\d+\\.\\d+), (-?\\d+\\.\\d+)\\)$"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    return SuccessLine{m.captured(1).toDouble(), m.captured(2).toDouble(),
                       m.captured(3).toDouble(), m.captured(4).toDouble(),
                       m.captured(5).toDouble(), m.captured(6).toDouble()};
}

class CaretDesktop : public ::testing::Test
{
protected:
    void SetUp() override { debuglog::setPath(dir_.filePath(QStringLiteral("log"))); }

    void TearDown() override
    {
        for (auto& p : processes_) {
            ::kill(static_cast<pid_t>(p->processId()), SIGCONT);
            p->kill();
            p->waitForFinished(5000);
        }
        debuglog::setPath(debuglog::defaultPath);
    }

    // Starts `program` and waits until its window titled `title` is in front.
    QProcess* startWindow(const QString& program, const QStringList& args, const QString& title,
                          const QStringList& extraEnvironment = {})
    {
        auto process = std::make_unique<QProcess>();
        auto env = QProcessEnvironment::systemEnvironment();
        for (const auto& pair : extraEnvironment) {
            if (pair.contains(u'='))
                env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
            else
                env.remove(pair);
        }
        process->setProcessEnvironment(env);
        process->start(program, args);
        processes_.push_back(std::move(process));
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 15000) {
            const QString active = QString::fromUtf8(
                run(QStringLiteral("xdotool"),
                    {QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")}));
            if (active.trimmed() == title)
                break;
            QTest::qWait(100);
        }
        QTest::qWait(300); // let the toolkit settle its focus and accessibility tree
        return processes_.back().get();
    }

    void type(const QString& text)
    {
        run(QStringLiteral("xdotool"),
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
        QTest::qWait(200);
    }

    void key(const QString& name)
    {
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), name});
        QTest::qWait(200);
    }

    QStringList logLines() const
    {
        return QString::fromUtf8(test::readFile(dir_.filePath(QStringLiteral("log"))))
            .split(u'\n', Qt::SkipEmptyParts);
    }

    // One lookup that must succeed inside the active window; returns the rectangle it logged.
    SuccessLine expectCaretInFrontWindow()
    {
        const int linesBefore = static_cast<int>(logLines().size());
        const auto origin = locator_.caretScreenOrigin();
        const QStringList lines = logLines();
        EXPECT_EQ(lines.size(), linesBefore + 1);
        const auto line = parseSuccess(lines.value(lines.size() - 1));
        EXPECT_TRUE(line.has_value()) << lines.value(lines.size() - 1).toStdString();
        EXPECT_TRUE(origin.has_value());
        if (!origin || !line)
            return {};
        EXPECT_GT(line->height, 0.0);
        // The caret's line lies inside the window in front (its bottom may be the window's).
        const QRect window = activeWindowGeometry().adjusted(0, 0, 1, 1);
        EXPECT_TRUE(window.contains(origin->toPoint()))
            << "origin " << origin->x() << "," << origin->y() << " window " << window.x() << ","
            << window.y() << " " << window.width() << "x" << window.height();
        EXPECT_TRUE(window.contains(QPoint(static_cast<int>(line->x), static_cast<int>(line->y))));
        return *line;
    }

    QTemporaryDir dir_;
    CaretLocator locator_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

const QString zenity = QStringLiteral("zenity");

QStringList zenityEntry(const QString& title)
{
    return {QStringLiteral("--entry"), QStringLiteral("--title=") + title,
            QStringLiteral("--text=Name")};
}

} // namespace

TEST_F(CaretDesktop, FollowsTheCaretInAGtk3Entry)
{
    startWindow(zenity, zenityEntry(QStringLiteral("Caret GTK 3")), QStringLiteral("Caret GTK 3"));
    const SuccessLine empty = expectCaretInFrontWindow();

    type(QStringLiteral("hello world"));
    const SuccessLine atEnd = expectCaretInFrontWindow();
    EXPECT_GT(atEnd.x, empty.x + 20); // eleven characters further right
    EXPECT_EQ(atEnd.y, empty.y);      // on the same line

    key(QStringLiteral("Home"));
    EXPECT_EQ(expectCaretInFrontWindow().x, empty.x);
}

TEST_F(CaretDesktop, FollowsTheFocusFromOneApplicationToAnother)
{
    // Two fields in the same place, told apart by how far their carets stand to the right.
    startWindow(zenity, zenityEntry(QStringLiteral("Caret short")), QStringLiteral("Caret short"));
    type(QStringLiteral("ab"));
    startWindow(zenity, zenityEntry(QStringLiteral("Caret long")), QStringLiteral("Caret long"));
    type(QStringLiteral("abcdefghijklmnop"));
    const double longX = expectCaretInFrontWindow().x;
    run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("Caret short"),
         QStringLiteral("windowactivate"), QStringLiteral("--sync")});
    QTest::qWait(300);
    EXPECT_LT(expectCaretInFrontWindow().x, longX - 50);
}

TEST_F(CaretDesktop, FindsAQtLineEditWithAccessibilitySwitchedOn)
{
    startWindow(QStringLiteral(QUILLSTOW_QT_TEXT_FIELD), {QStringLiteral("Caret Qt")},
                QStringLiteral("Caret Qt"),
                // Qt 6.4 misses the bus when it is handed over in AT_SPI_BUS_ADDRESS; it finds it
                // through the session bus, as it does on a real desktop.
                {QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"),
                 QStringLiteral("AT_SPI_BUS_ADDRESS")});
    const SuccessLine empty = expectCaretInFrontWindow();
    type(QStringLiteral("hello world"));
    EXPECT_GT(expectCaretInFrontWindow().x, empty.x + 20);
}

TEST_F(CaretDesktop, PlacesAGtk4EntryByItsWindowPosition)
{
    // GTK 4 answers relative to its window, which is far from the screen's corner here; only
    // the window's position added puts the point inside it.
    startWindow(QStringLiteral(QUILLSTOW_GTK4_TEXT_FIELD), {QStringLiteral("Caret GTK 4")},
                QStringLiteral("Caret GTK 4"));
    const QRect window = activeWindowGeometry();
    ASSERT_GT(window.x(), 100);
    ASSERT_GT(window.y(), 100);
    type(QStringLiteral("hello"));
    const SuccessLine atEnd = expectCaretInFrontWindow();
    // GTK 4.8 gives no character extents: a one-line field stands for its caret.
    key(QStringLiteral("Home"));
    const SuccessLine atStart = expectCaretInFrontWindow();
    EXPECT_EQ(atStart.x, atEnd.x);
    EXPECT_EQ(atStart.y, atEnd.y);
    EXPECT_LT(atEnd.height, window.height());
}

TEST_F(CaretDesktop, WithoutATextFieldInFrontLogsTheFailureAndYieldsNothing)
{
    struct Case
    {
        const char* name;
        QString program;
        QStringList args;
        QString title;
        const char* line;
    };
    const Case cases[] = {
        {"nothing in front", {}, {}, {}, "caretScreenOrigin: no focused element (err=0)"},
        {"a terminal without accessibility",
         QStringLiteral("xterm"),
         {QStringLiteral("-title"), QStringLiteral("Caret xterm")},
         QStringLiteral("Caret xterm"),
         "caretScreenOrigin: no focused element (err=0)"},
        {"a dialog whose focus is on a button",
         zenity,
         {QStringLiteral("--question"), QStringLiteral("--title=Caret question"),
          QStringLiteral("--text=Really?")},
         QStringLiteral("Caret question"),
         "caretScreenOrigin: no text range (err=-3)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir_.filePath(QStringLiteral("log")));
        if (!c.program.isEmpty())
            startWindow(c.program, c.args, c.title);
        EXPECT_EQ(locator_.caretScreenOrigin(), std::nullopt);
        EXPECT_EQ(logLines(), QStringList{QString::fromLatin1(c.line)});
    }
}

TEST_F(CaretDesktop, AStoppedApplicationCannotHoldTheLookupUp)
{
    QProcess* entry = startWindow(zenity, zenityEntry(QStringLiteral("Caret stopped")),
                                  QStringLiteral("Caret stopped"));
    type(QStringLiteral("abc"));
    expectCaretInFrontWindow();

    ASSERT_EQ(::kill(static_cast<pid_t>(entry->processId()), SIGSTOP), 0);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(locator_.caretScreenOrigin(), std::nullopt);
    // D-Bus would wait 25 s for an answer; the lookup gives up after a fraction of a second.
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(logLines().value(logLines().size() - 1),
              QStringLiteral("caretScreenOrigin: no focused element (err=-2)"));

    ASSERT_EQ(::kill(static_cast<pid_t>(entry->processId()), SIGCONT), 0);
    QTest::qWait(300);
    expectCaretInFrontWindow();
}

TEST_F(CaretDesktop, FindsTheFieldWhileAnotherClientHoldsTheKeyboard)
{
    // A keyboard grab, as the hot key's, makes GTK drop its window's active state and its
    // field's focus; the field that last gained the focus still has the caret.
    locator_.followFocus();
    startWindow(zenity, zenityEntry(QStringLiteral("Caret grabbed")),
                QStringLiteral("Caret grabbed"));
    type(QStringLiteral("abc"));
    const SuccessLine free = expectCaretInFrontWindow();

    xcb_connection_t* grabber = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(grabber));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(grabber)).data->root;
    std::unique_ptr<xcb_grab_keyboard_reply_t, decltype(&std::free)> grab(
        xcb_grab_keyboard_reply(grabber,
                                xcb_grab_keyboard(grabber, 0, root, XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr),
        &std::free);
    ASSERT_TRUE(grab && grab->status == XCB_GRAB_STATUS_SUCCESS);
    QTest::qWait(300); // zenity hears of the grab and drops its focus

    const SuccessLine grabbed = expectCaretInFrontWindow();
    EXPECT_EQ(grabbed.x, free.x);
    EXPECT_EQ(grabbed.y, free.y);
    xcb_ungrab_keyboard(grabber, XCB_CURRENT_TIME);
    xcb_flush(grabber);
    xcb_disconnect(grabber);

    // A field of another application that had the focus earlier is not taken for the one in
    // front: with a terminal in front and the keyboard held, nothing is found.
    startWindow(QStringLiteral("xterm"), {QStringLiteral("-title"), QStringLiteral("Caret term")},
                QStringLiteral("Caret term"));
    grabber = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(grabber));
    std::free(xcb_grab_keyboard_reply(grabber,
                                      xcb_grab_keyboard(grabber, 0, root, XCB_CURRENT_TIME,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                      nullptr));
    QTest::qWait(200);
    EXPECT_EQ(locator_.caretScreenOrigin(), std::nullopt);
    EXPECT_EQ(logLines().value(logLines().size() - 1),
              QStringLiteral("caretScreenOrigin: no focused element (err=0)"));
    xcb_disconnect(grabber);
}

TEST_F(CaretDesktop, LeavesItsOwnWindowsAlone)
{
    // This program is on the accessibility bus too, and cannot answer while it asks: a
    // question to itself would only wait out the time limit.
    QLineEdit own;
    own.setWindowTitle(QStringLiteral("Caret own"));
    own.show();
    run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("Caret own"),
         QStringLiteral("windowactivate"), QStringLiteral("--sync")});
    QTest::qWait(500);
    ASSERT_TRUE(own.hasFocus());
    EXPECT_EQ(locator_.caretScreenOrigin(), std::nullopt);
    // Not err=-2: nothing waited for an answer.
    EXPECT_EQ(logLines(),
              QStringList{QStringLiteral("caretScreenOrigin: no focused element (err=0)")});
}

TEST(ActiveWindowFrame, NamesTheProcessAndLeavesOutTheClientSideShadow)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Caret frame"));
    window.resize(300, 200);
    window.show();
    const QString id = QString::number(window.winId());
    run(QStringLiteral("xdotool"),
        {QStringLiteral("windowactivate"), QStringLiteral("--sync"), id});
    QTest::qWait(300);

    const auto plain = platform::x11::activeWindowFrame();
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->pid, static_cast<quint32>(::getpid()));
    const QRect geometry = activeWindowGeometry();
    EXPECT_EQ(plain->contentOrigin, geometry.topLeft());

    // GTK's shadow widths: left, right, top, bottom.
    run(QStringLiteral("xprop"),
        {QStringLiteral("-id"), id, QStringLiteral("-f"), QStringLiteral("_GTK_FRAME_EXTENTS"),
         QStringLiteral("32c"), QStringLiteral("-set"), QStringLiteral("_GTK_FRAME_EXTENTS"),
         QStringLiteral("7, 9, 11, 13")});
    const auto shadowed = platform::x11::activeWindowFrame();
    ASSERT_TRUE(shadowed.has_value());
    EXPECT_EQ(shadowed->contentOrigin, geometry.topLeft() + QPoint(7, 11));
}
