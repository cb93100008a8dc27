// Finding the accessibility bus on the private desktop, with every wait bounded: where it is
// reachable, where its address is stale, and where it takes the connection but never answers.
#include "platform/atspi/AccessibilityBus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using quillstow::platform::accessibilityBusProblem;

QString xprop(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xprop"), QStringList{QStringLiteral("-root")} + args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// A socket that takes connections and never answers, as a bus whose daemon is stopped.
class SilentBus
{
public:
    explicit SilentBus(const QString& path) : path_(path.toLocal8Bit())
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (static_cast<size_t>(path_.size()) >= sizeof(address.sun_path))
            return;
        std::copy(path_.begin(), path_.end(), address.sun_path);
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd_ >= 0 &&
            (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
             ::listen(fd_, 16) != 0)) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~SilentBus()
    {
        if (fd_ >= 0) {
            ::close(fd_);
            ::unlink(path_.constData());
        }
    }
    SilentBus(const SilentBus&) = delete;
    SilentBus& operator=(const SilentBus&) = delete;

    bool isListening() const { return fd_ >= 0; }
    QByteArray address() const { return QByteArrayLiteral("unix:path=") + path_; }

private:
    QByteArray path_;
    int fd_ = -1;
};

} // namespace

TEST(AccessibilityBus, TellsWhetherTheBusAnswersWithoutWaitingLong)
{
    const QDir scratch(qEnvironmentVariable("TESTBED_DIR"));
    const SilentBus silent(scratch.filePath(QStringLiteral("silent-bus")));
    ASSERT_TRUE(silent.isListening());

    const struct
    {
        const char* what;
        QByteArray environmentAddress;
        bool withoutRootProperty;
        bool reachable;
    } cases[] = {
        {"the desktop's own bus", {}, false, true},
        // Without the name the bus launcher puts on the root window.
        {"found through the session bus", {}, true, true},
        {"a stale address", "unix:path=" + scratch.filePath(QStringLiteral("gone")).toLocal8Bit(),
         false, false},
        {"no address at all", "nonsense", false, false},
        {"a bus that never answers", silent.address(), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.environmentAddress.isEmpty())
            qunsetenv("AT_SPI_BUS_ADDRESS");
        else
            qputenv("AT_SPI_BUS_ADDRESS", c.environmentAddress);
        if (c.withoutRootProperty)
            xprop({QStringLiteral("-remove"), QStringLiteral("AT_SPI_BUS")});

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
    qunsetenv("AT_SPI_BUS_ADDRESS");
}
