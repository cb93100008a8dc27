#include "app/SessionKind.h"

#include "app/Backends.h"
#include "platform/QtClipboard.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

using namespace quillstow;

TEST(SessionKind, PlatformAndBackendsFollowTheSessionTheUserAndWhatAnswers)
{
    const QString none;
    const QString wl = QStringLiteral("wayland-1");
    const QString x = QStringLiteral(":0");
    const QString wayland = QStringLiteral("wayland");
    const QString xcb = QStringLiteral("xcb");
    const struct
    {
        const char* name;
        SessionEnvironment environment;
        PlatformChoice choice;
        SessionKind kind; // once Qt runs on the chosen plugin, or on the user's
    } cases[] = {
        {"X11 desktop",
         {none, none, QStringLiteral("x11"), x, false},
         {xcb, true},
         SessionKind::x11},
        {"Wayland with XWayland",
         {none, wl, wayland, x, true},
         {wayland, true},
         SessionKind::wayland},
        {"Wayland only", {none, wl, wayland, none, true}, {wayland, true}, SessionKind::wayland},
        {"Wayland without Qt's plugin",
         {none, wl, wayland, x, false},
         {xcb, true},
         SessionKind::wayland},
        {"compositor gone", {none, wl, wayland, none, false}, {none, false}, SessionKind::none},
        {"no desktop at all", {none, none, none, none, false}, {none, false}, SessionKind::none},
        {"nested compositor on X11",
         {none, wl, QStringLiteral("x11"), x, false},
         {xcb, true},
         SessionKind::x11},
        {"user's xcb on Wayland", {xcb, wl, wayland, x, false}, {none, true}, SessionKind::wayland},
        {"user's offscreen",
         {QStringLiteral("offscreen"), wl, wayland, x, false},
         {none, true},
         SessionKind::none},
    };
    for (const auto& c : cases) {
        const PlatformChoice choice = choosePlatform(c.environment);
        EXPECT_EQ(choice.plugin, c.choice.plugin) << c.name;
        EXPECT_EQ(choice.usable, c.choice.usable) << c.name;
        const QString running = choice.plugin.isEmpty() ? c.environment.qpaPlatform : choice.plugin;
        EXPECT_EQ(sessionKindFor(running, c.environment), c.kind) << c.name;
    }
}

// Until the compositor's own services are plugged in, a Wayland session runs on stand-ins and
// says once what it lacks.
TEST(SessionKind, AWaylandSessionStartsWithStandInsAndSaysWhatIsMissing)
{
    Backends backends = makeBackends(SessionKind::wayland);
    EXPECT_NE(dynamic_cast<platform::QtClipboard*>(&backends.clipboard()), nullptr);
    EXPECT_EQ(&backends.clipboard(), &backends.clipboard());
    EXPECT_FALSE(backends.keys->isAvailable());
    EXPECT_FALSE(backends.windows->activeWindow());
    EXPECT_EQ(backends.hotkey, nullptr);
    EXPECT_EQ(backends.limitations.size(), 1);
}
