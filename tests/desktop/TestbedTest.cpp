// The private desktop every desktop test relies on.
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(Testbed, OffersARealDisplayWithAWindowManagerAndATray)
{
    EXPECT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    EXPECT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY"));
    EXPECT_TRUE(run(QStringLiteral("xprop"),
                    {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                    .contains(QStringLiteral("window id")));
    EXPECT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
    EXPECT_TRUE(run(QStringLiteral("xdpyinfo"), {}).contains(QStringLiteral("XTEST")));
}

TEST(Testbed, OffersPrivateBusesAndAPrivateHome)
{
    EXPECT_TRUE(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS")
                    .contains(qEnvironmentVariable("TESTBED_DIR")));
    EXPECT_TRUE(run(QStringLiteral("dbus-send"),
                    {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                     QStringLiteral("--dest=org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                     QStringLiteral("org.a11y.Bus.GetAddress")})
                    .contains(QStringLiteral("unix:")));
    EXPECT_TRUE(qEnvironmentVariable("HOME").startsWith(qEnvironmentVariable("TESTBED_DIR")));
    EXPECT_TRUE(run(QStringLiteral("dbus-send"),
                    {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                     QStringLiteral("--dest=org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                     QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                     QStringLiteral("string:org.a11y.Status"), QStringLiteral("string:IsEnabled")})
                    .contains(QStringLiteral("true")));
}
