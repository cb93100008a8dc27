// When the X clipboard cannot be followed, that is logged and told to the user once, and Qt's
// clipboard stands in. Qt is connected already; the clipboard's own connection finds no display.
#include "app/Backends.h"
#include "platform/x11/X11Clipboard.h"
#include "support/Desktop.h"

#include <gtest/gtest.h>

using namespace quillstow;

TEST(ClipboardFallback, IsLoggedAndToldOnce)
{
    const test::LogTail log;
    test::NotificationWatch monitor;

    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    QString error;
    EXPECT_FALSE(platform::X11Clipboard::connect({}, &error));
    EXPECT_FALSE(error.isEmpty());
    const Backends backends = makeBackends(SessionKind::x11);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(dynamic_cast<platform::X11Clipboard*>(&backends.clipboard()), nullptr);
    qputenv("DISPLAY", display);

    const QString told = QStringLiteral("cannot follow the clipboard");
    EXPECT_TRUE(monitor.waitForOutput(told, 5000));
    QTest::qWait(300);
    EXPECT_EQ(monitor.output().count(told), 1) << monitor.output().toStdString();
    EXPECT_TRUE(monitor.output().contains(error)) << monitor.output().toStdString();
    const QStringList logged = log.lines();
    EXPECT_EQ(logged,
              QStringList{QStringLiteral("Clipboard: cannot follow the X clipboard: ") + error});
}
