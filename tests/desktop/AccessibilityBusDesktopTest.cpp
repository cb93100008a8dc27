// Finding the accessibility bus on the private desktop, with every wait bounded: where it is
// reachable, where its address is stale, and where it takes the connection but never answers.
#include "platform/atspi/AccessibilityBus.h"
#include "support/Desktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

using quillstow::platform::accessibilityBusProblem;

// The AT_SPI_BUS property of the root window, where libatspi looks for the bus before asking
// the session bus; the bus launcher sets it. An empty address removes it.
void setRootBusProperty(const QString& address)
{
    quillstow::test::runTool(QStringLiteral("xprop"),
                             address.isEmpty()
                                 ? quillstow::test::words("-root -remove AT_SPI_BUS")
                                 : quillstow::test::words("-root -f AT_SPI_BUS 8s -set AT_SPI_BUS")
                                       << address);
}

} // namespace

TEST(AccessibilityBus, TellsWhetherTheBusAnswersWithoutWaitingLong)
{
    const QDir scratch(qEnvironmentVariable("TESTBED_DIR"));
    const QString gone = QStringLiteral("unix:path=") + scratch.filePath(QStringLiteral("gone"));
    const QString realRootBus = quillstow::test::runTool(QStringLiteral("xprop"),
                                                         quillstow::test::words("-root AT_SPI_BUS"))
                                    .section(u'"', 1, 1);
    // A socket that takes connections and never answers, as a bus whose daemon is stopped: the
    // kernel completes connections to a listening socket that nobody accepts.
    const QString silentPath = scratch.filePath(QStringLiteral("silent-bus"));
    quillstow::test::Program silent(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import socket, sys, time\ns = socket.socket(socket.AF_UNIX)\n"
                        "s.bind(sys.argv[1])\ns.listen(16)\nprint('ready', flush=True)\n"
                        "time.sleep(600)"),
         silentPath});
    ASSERT_TRUE(silent.waitForOutput(QStringLiteral("ready")));

    const struct
    {
        const char* what;
        QByteArray environmentAddress;
        QString rootAddress;
        bool reachable;
    } cases[] = {
        {"the desktop's own bus", {}, realRootBus, true},
        // Without the name the bus launcher puts on the root window.
        {"found through the session bus", {}, {}, true},
        {"a stale address", gone.toLocal8Bit(), realRootBus, false},
        {"no address at all", "nonsense", realRootBus, false},
        // As for a second user on the display: the bus named there is not ours to reach.
        {"a root window naming a bus that is gone", {}, gone, false},
        // Last: the wait for it is left behind and blocks the next attempt.
        {"a bus that never answers", "unix:path=" + silentPath.toLocal8Bit(), realRootBus, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.environmentAddress.isEmpty())
            qunsetenv("AT_SPI_BUS_ADDRESS");
        else
            qputenv("AT_SPI_BUS_ADDRESS", c.environmentAddress);
        setRootBusProperty(c.rootAddress);

        constexpr int timeoutMs = 500;
        QElapsedTimer clock;
        clock.start();
        const auto problem = accessibilityBusProblem(timeoutMs);
        // Far below the 25 s libdbus waits for a bus by default.
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(!problem, c.reachable) << problem.value_or(QString()).toStdString();
        if (problem && !c.environmentAddress.isEmpty()) {
            EXPECT_TRUE(problem->contains(QString::fromLocal8Bit(c.environmentAddress)))
                << problem->toStdString();
        }
    }
    // The silent bus's wait is still under way: the next attempt says so at once.
    const auto again = accessibilityBusProblem(500);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->contains(QStringLiteral("still waits"))) << again->toStdString();
    qunsetenv("AT_SPI_BUS_ADDRESS");
    setRootBusProperty(realRootBus);
}
