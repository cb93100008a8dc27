#include "app/SessionKind.h"

#include "app/Backends.h"
#include "platform/QtClipboard.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

using namespace quillstow;

TEST(SessionKind, PlatformAndBackendsFollowTheSessionTheUserAndWhatAnswers)
{
    using enum SessionKind;
    const QString unset, wlDisplay = QStringLiteral("wayland-1"), x = QStringLiteral(":0");
    const QString wl = QStringLiteral("wayland"), xcb = QStringLiteral("xcb");
    const QString x11Type = QStringLiteral("x11"), offscreen = QStringLiteral("offscreen");
    const struct
    {
        const char* name;
        SessionEnvironment environment;
        PlatformChoice choice;
        SessionKind kind; // once Qt runs on the chosen plugin, or on the user's
    } cases[] = {
        {"X11 desktop", {unset, unset, x11Type, x, false}, {xcb, true}, x11},
        {"Wayland with XWayland", {unset, wlDisplay, wl, x, true}, {wl, true}, wayland},
        {"Wayland without Qt's plugin", {unset, wlDisplay, wl, x, false}, {xcb, true}, wayland},
        {"compositor gone", {unset, wlDisplay, wl, unset, false}, {unset, false}, none},
        {"no desktop at all", {unset, unset, unset, unset, false}, {unset, false}, none},
        {"nested compositor on X11", {unset, wlDisplay, x11Type, x, false}, {xcb, true}, x11},
        {"user's xcb on Wayland", {xcb, wlDisplay, wl, x, false}, {unset, true}, wayland},
        {"user's offscreen", {offscreen, wlDisplay, wl, x, false}, {unset, true}, none},
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
