// The whole program on the private desktop: the hot key pressed with xdotool over a real text
// field opens the picker at its caret, with the focus in the picker, and the chosen entry is
// pasted back into the field; over a terminal, or without an accessibility bus, it opens at the
// pointer.
#include "platform/DebugLog.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString xdotool(const QStringList& args)
{
    return runTool(QStringLiteral("xdotool"), args);
}

QString activeWindowName()
{
    return xdotool({QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")});
}

bool waitUntilActive(const QString& title, int timeoutMs = 10000)
{
    return QTest::qWaitFor([&] { return activeWindowName() == title; }, timeoutMs);
}

QRect windowGeometry(const QString& id)
{
    const QString info = xdotool({QStringLiteral("getwindowgeometry"), id});
    const auto position =
        QRegularExpression(QStringLiteral("Position: (-?\\d+),(-?\\d+)")).match(info);
    const auto size = QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(info);
    return {position.captured(1).toInt(), position.captured(2).toInt(), size.captured(1).toInt(),
            size.captured(2).toInt()};
}

QStringList logLines()
{
    return QString::fromUtf8(quillstow::test::readFile(quillstow::debuglog::defaultPath))
        .split(u'\n', Qt::SkipEmptyParts);
}

// A program started for the test and ended, by its process id, when the test ends.
class Started
{
public:
    Started(const QString& program, const QStringList& args,
            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        process_.setProcessEnvironment(environment);
        process_.start(program, args);
        process_.waitForStarted(10000);
    }
    ~Started()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                process_.kill();
                process_.waitForFinished(3000);
            }
        }
    }
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;

    bool waitForExit(int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs);
    }
    QString output() { return QString::fromUtf8(process_.readAllStandardOutput()); }
    bool isRunning() const { return process_.state() == QProcess::Running; }
    QString errors() { return QString::fromUtf8(process_.readAllStandardError()); }

private:
    QProcess process_;
};

class HotkeyCaret : public ::testing::Test
{
protected:
    void SetUp() override { start(QProcessEnvironment::systemEnvironment()); }

    void start(const QProcessEnvironment& environment)
    {
        quillstow_ = std::make_unique<Started>(QStringLiteral(QUILLSTOW_PROGRAM), QStringList{},
                                               environment);
        // Up, with its tray icon, its hot key and its eye on the focus.
        QTest::qWait(1500);
    }

    // Presses the hot key and returns the picker's window once it is the active window.
    QString pressHotkeyForPicker()
    {
        linesBefore_ = static_cast<int>(logLines().size());
        xdotool({QStringLiteral("key"), QStringLiteral("super+shift+v")});
        if (!waitUntilActive(QStringLiteral("Quillstow")))
            return {};
        return xdotool({QStringLiteral("getactivewindow")});
    }

    // The lines the last lookup added to the log.
    QStringList newLogLines() const { return logLines().mid(linesBefore_); }

    std::unique_ptr<Started> quillstow_;
    int linesBefore_ = 0;
};

} // namespace

TEST_F(HotkeyCaret, OpensAtTheCaretOfAGtkFieldAndPastesBackIntoIt)
{
    // Two entries: the newer one is on top, so only a query typed into the picker's search
    // field makes Return choose the older one.
    for (const char* text : {"from history", "latest copy"}) {
        runTool(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("printf '%1' | xclip -selection clipboard").arg(QLatin1String(text))});
        QTest::qWait(1200); // two polls of the clipboard
    }

    Started zenity(QStringLiteral("zenity"),
                   {QStringLiteral("--entry"), QStringLiteral("--title=Hotkey target"),
                    QStringLiteral("--text=Name")});
    ASSERT_TRUE(waitUntilActive(QStringLiteral("Hotkey target")));
    // High on the screen, so the picker below the caret needs no pushing back inside it.
    xdotool({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^Hotkey target$"),
             QStringLiteral("windowmove"), QStringLiteral("--sync"), QStringLiteral("100"),
             QStringLiteral("60")});
    QTest::qWait(300);
    const QRect target = windowGeometry(xdotool({QStringLiteral("getactivewindow")}));
    xdotool({QStringLiteral("type"), QStringLiteral("abc ")});
    QTest::qWait(200);

    const QString picker = pressHotkeyForPicker();
    ASSERT_FALSE(picker.isEmpty()) << "the picker did not come up with the focus";
    const QStringList lines = newLogLines();
    ASSERT_EQ(lines.size(), 1) << lines.join(u'|').toStdString();
    const auto success =
        QRegularExpression(QStringLiteral("^caretScreenOrigin: success rect=\\(.*\\) -> "
                                          "origin=\\((-?[\\d.]+), (-?[\\d.]+)\\)$"))
            .match(lines.first());
    ASSERT_TRUE(success.hasMatch()) << lines.first().toStdString();
    const QPoint caret(qRound(success.captured(1).toDouble()),
                       qRound(success.captured(2).toDouble()));

    // The picker's top-left corner sits on the caret's lower-left corner: inside the field's
    // window, right of its left edge by the text typed.
    const QRect popup = windowGeometry(picker);
    EXPECT_EQ(popup.topLeft(), caret);
    EXPECT_GT(popup.x(), target.left() + 20);
    EXPECT_LT(popup.y(), target.bottom());

    // The search field has the keys: the query picks the entry, Return pastes it.
    xdotool({QStringLiteral("type"), QStringLiteral("history")});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    ASSERT_TRUE(waitUntilActive(QStringLiteral("Hotkey target")));
    QTest::qWait(1000); // the paste keys follow the activation
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    ASSERT_TRUE(zenity.waitForExit());
    EXPECT_EQ(zenity.output(), QStringLiteral("abc from history\n"));
}

TEST_F(HotkeyCaret, OverATerminalOpensAtThePointer)
{
    Started xterm(QStringLiteral("xterm"),
                  {QStringLiteral("-title"), QStringLiteral("Hotkey term")});
    ASSERT_TRUE(waitUntilActive(QStringLiteral("Hotkey term")));
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("300"),
             QStringLiteral("200")});
    QTest::qWait(200);

    const QString picker = pressHotkeyForPicker();
    ASSERT_FALSE(picker.isEmpty()) << "the picker did not come up with the focus";
    EXPECT_EQ(windowGeometry(picker).topLeft(), QPoint(300, 200));
    EXPECT_EQ(newLogLines(),
              QStringList{QStringLiteral("caretScreenOrigin: no focused element (err=0)")});

    // A second press closes it and gives the terminal its focus back.
    xdotool({QStringLiteral("key"), QStringLiteral("super+shift+v")});
    EXPECT_TRUE(waitUntilActive(QStringLiteral("Hotkey term")));
}

namespace {

// The AT_SPI_BUS property of the root window, where libatspi looks for the bus before asking the
// session bus; the bus launcher sets it.
QString rootBusProperty()
{
    const QString line =
        runTool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("AT_SPI_BUS")});
    const auto value = QRegularExpression(QStringLiteral("= \"(.*)\"$")).match(line);
    return value.hasMatch() ? value.captured(1) : QString();
}

void setRootBusProperty(const QString& address)
{
    if (address.isEmpty())
        runTool(QStringLiteral("xprop"),
                {QStringLiteral("-root"), QStringLiteral("-remove"), QStringLiteral("AT_SPI_BUS")});
    else
        runTool(QStringLiteral("xprop"),
                {QStringLiteral("-root"), QStringLiteral("-f"), QStringLiteral("AT_SPI_BUS"),
                 QStringLiteral("8s"), QStringLiteral("-set"), QStringLiteral("AT_SPI_BUS"),
                 address});
}

} // namespace

TEST_F(HotkeyCaret, WithoutAnAccessibilityBusOpensAtThePointerAndKeepsRunning)
{
    quillstow_.reset(); // started again below, each time without a bus
    const QDir scratch(qEnvironmentVariable("TESTBED_DIR"));
    const QString goneBus =
        QStringLiteral("unix:path=") + scratch.filePath(QStringLiteral("gone-bus"));
    const QString realRootBus = rootBusProperty();

    const struct
    {
        const char* what;
        QString environmentAddress;
        QString rootAddress;
    } cases[] = {
        {"a stale AT_SPI_BUS_ADDRESS", goneBus, realRootBus},
        // As for a second user on the display: the bus named there is not ours to reach.
        {"a root window naming a bus that is gone", {}, goneBus},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!c.environmentAddress.isEmpty())
            environment.insert(QStringLiteral("AT_SPI_BUS_ADDRESS"), c.environmentAddress);
        setRootBusProperty(c.rootAddress);
        start(environment);

        // A text field in front: with a bus the picker would open at its caret.
        Started zenity(QStringLiteral("zenity"),
                       {QStringLiteral("--entry"), QStringLiteral("--title=No bus target"),
                        QStringLiteral("--text=Name")});
        ASSERT_TRUE(waitUntilActive(QStringLiteral("No bus target")));
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("320"),
                 QStringLiteral("240")});
        QTest::qWait(200);

        for (int press = 0; press < 2; ++press) {
            SCOPED_TRACE(press);
            const QString picker = pressHotkeyForPicker();
            ASSERT_FALSE(picker.isEmpty())
                << "the picker did not come up: " << quillstow_->errors().toStdString();
            EXPECT_EQ(windowGeometry(picker).topLeft(), QPoint(320, 240));
            // Contains, not equals: the log file is shared with whatever else runs on the machine.
            EXPECT_TRUE(newLogLines().contains(
                QStringLiteral("caretScreenOrigin: no focused element (err=-4)")))
                << newLogLines().join(u'|').toStdString();
            xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
            EXPECT_TRUE(waitUntilActive(QStringLiteral("No bus target")));
            EXPECT_TRUE(quillstow_->isRunning());
        }
        quillstow_.reset();
    }
    setRootBusProperty(realRootBus);
}
