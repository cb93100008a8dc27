// When the X clipboard cannot be followed, that is logged and told to the user once, and Qt's
// clipboard stands in. Qt is connected already; the clipboard's own connection finds no display.
#include "platform/Clipboard.h"
#include "platform/DebugLog.h"
#include "platform/x11/X11Clipboard.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillstow;

TEST(ClipboardFallback, IsLoggedAndToldOnce)
{
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    QString error;
    EXPECT_FALSE(platform::X11Clipboard::connect({}, &error));
    EXPECT_FALSE(error.isEmpty());

    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("debug.log"));
    debuglog::setPath(log);
    QProcess monitor;
    monitor.start(QStringLiteral("dbus-monitor"),
                  {QStringLiteral("--session"),
                   QStringLiteral("interface='org.freedesktop.Notifications',member='Notify'")});
    ASSERT_TRUE(monitor.waitForStarted(5000));
    QTest::qWait(300); // let it subscribe

    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(dynamic_cast<platform::X11Clipboard*>(&platform::systemClipboard()), nullptr);
    qputenv("DISPLAY", display);

    QString seen;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            seen += QString::fromUtf8(monitor.readAllStandardOutput());
            return seen.contains(QLatin1String("cannot follow the clipboard"));
        },
        5000));
    QTest::qWait(300);
    seen += QString::fromUtf8(monitor.readAllStandardOutput());
    EXPECT_EQ(seen.count(QLatin1String("cannot follow the clipboard")), 1) << seen.toStdString();
    EXPECT_TRUE(seen.contains(error)) << seen.toStdString();
    monitor.terminate();
    monitor.waitForFinished(3000);
    const QByteArray logged = test::readFile(log);
    EXPECT_EQ(logged.count("cannot follow the X clipboard"), 1) << logged.toStdString();
    EXPECT_TRUE(logged.contains(error.toUtf8()));
}
