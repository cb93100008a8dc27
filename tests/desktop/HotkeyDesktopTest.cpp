// The global hot key on a real X server, pressed with xdotool.
#include "app/Backends.h"
#include "app/HotkeyManager.h"
#include "platform/GlobalHotkey.h"
#include "support/Desktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <gtest/gtest.h>

using namespace quillstow;

namespace {

void xdotoolKey(const QString& combination)
{
    EXPECT_EQ(test::run(QStringLiteral("xdotool"), {QStringLiteral("key"), combination}).status, 0)
        << combination.toStdString();
    // Let the event travel through the server and Qt's event queue.
    QTest::qWait(150);
}

// Changes the modifier map by xmodmap's expressions, one a line.
void xmodmap(const char* expressions)
{
    EXPECT_EQ(test::run(QStringLiteral("xmodmap"), {QStringLiteral("-")}, expressions).status, 0);
    QTest::qWait(150); // the mapping notifications reach us
}

class HotkeyDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        manager.onActivate = [this] {
            ++presses;
        };
        ASSERT_TRUE(manager.registerHotKey());
    }
    HotkeyManager manager{makeBackends(SessionKind::x11).hotkey};
    int presses = 0;
};

} // namespace

TEST_F(HotkeyDesktop, OnlySuperShiftVTriggersWhateverTheLockKeysAndTheModifierMap)
{
    const char* superOnMod3 = "clear mod4\nadd mod3 = Super_L Super_R";
    const char* superBack = "clear mod3\nadd mod4 = Super_L Super_R Hyper_L";
    const char* numLockOnMod3 = "clear mod2\nadd mod3 = Num_Lock";
    const char* numLockBack = "clear mod3\nadd mod2 = Num_Lock";
    const struct
    {
        const char* keys;
        int presses;
        const char* lock = nullptr;   // switched on around the press
        const char* change = nullptr; // of the modifier map, and its undoing
        const char* undo = nullptr;
    } cases[] = {
        {"super+shift+v", 1},
        {"super+v", 0},
        {"super+shift+alt+v", 0},
        {"super+shift+v", 1, "Caps_Lock"},
        {"super+shift+v", 1, "Num_Lock"},
        {"super+shift+v", 1, nullptr, superOnMod3, superBack},
        {"super+shift+v", 1, "Num_Lock", numLockOnMod3, numLockBack},
        // And back on the usual map.
        {"super+shift+v", 1, "Num_Lock"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.keys << " " << (c.lock ? c.lock : "") << " "
                                        << (c.change ? c.change : ""));
        if (c.change)
            xmodmap(c.change);
        if (c.lock)
            xdotoolKey(QString::fromLatin1(c.lock));
        presses = 0;
        xdotoolKey(QString::fromLatin1(c.keys));
        // A loaded machine may take a while to tell of a press.
        EXPECT_TRUE(QTest::qWaitFor([&] { return presses >= c.presses; }, 2000));
        EXPECT_EQ(presses, c.presses);
        if (c.lock)
            xdotoolKey(QString::fromLatin1(c.lock));
        if (c.undo)
            xmodmap(c.undo);
    }
}

TEST_F(HotkeyDesktop, HoldingTheKeysIsOnePressAndNoneReachesTheWindowInFront)
{
    // The server repeats a held key; a hot key held down still counts once.
    test::xdotool("keydown super+shift+v");
    QTest::qWait(1500);
    test::xdotool("keyup super+shift+v");
    QTest::qWait(200);
    EXPECT_EQ(presses, 1);

    // (A window in front while the keys are held would get the key repeated after xdotool has
    // let go of the modifiers.)
    test::Program zenity(QStringLiteral("zenity"),
                         {QStringLiteral("--entry"), QStringLiteral("--title=Hotkey target")});
    ASSERT_NE(test::waitForActiveWindow(QStringLiteral("Hotkey target")), 0u);
    QTest::qWait(500); // the entry takes the focus after the window
    xdotoolKey(QStringLiteral("a"));
    xdotoolKey(QStringLiteral("super+shift+v"));
    EXPECT_EQ(presses, 2);
    xdotoolKey(QStringLiteral("b"));
    xdotoolKey(QStringLiteral("Return"));
    ASSERT_TRUE(zenity.waitForExit(5000));
    EXPECT_EQ(zenity.output(), QStringLiteral("ab\n"));
}

TEST_F(HotkeyDesktop, ACombinationHeldByAnotherProgramIsToldAndTheOldOneLetGoForAFreeOne)
{
    const test::KeyboardHold held(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, 43); // Ctrl+Alt+H
    EXPECT_FALSE(manager.setCombination(Qt::ControlModifier | Qt::AltModifier | Qt::Key_H));
    EXPECT_EQ(manager.failure(), QStringLiteral("another program holds the combination"));
    xdotoolKey(QStringLiteral("super+shift+v"));
    EXPECT_EQ(presses, 0);

    EXPECT_TRUE(manager.setCombination(Qt::ControlModifier | Qt::AltModifier | Qt::Key_J));
    xdotoolKey(QStringLiteral("ctrl+alt+j"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return presses == 1; }, 2000));
}

// The portal's road on the test bus, with a stand-in for the desktop's portal: the session is
// created, the key bound with its trigger, and the portal's Activated is a press; a trigger the
// portal refuses comes back as the hot key's failure.
TEST(PortalHotkeyDesktop, TheBoundShortcutIsPressedThroughThePortalAndARefusalIsTold)
{
    const test::Program portal(QStringLiteral(GLOBAL_SHORTCUTS_PORTAL),
                               {QStringLiteral("SHIFT+LOGO+v")});
    const QString name = QStringLiteral("org.freedesktop.portal.Desktop");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(name); },
        10000));

    HotkeyManager manager{platform::createPortalGlobalHotkey()};
    ASSERT_EQ(manager.mechanism(), platform::HotkeyMechanism::Portal);
    int presses = 0;
    manager.onActivate = [&] {
        ++presses;
    };
    ASSERT_TRUE(manager.registerHotKey());
    EXPECT_TRUE(QTest::qWaitFor([&] { return presses == 1; }, 5000))
        << manager.failure().toStdString();
    EXPECT_TRUE(manager.failure().isEmpty());

    manager.setCombination(QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_H));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !manager.failure().isEmpty(); }, 5000));
    EXPECT_TRUE(manager.failure().contains(QStringLiteral("refused")))
        << manager.failure().toStdString();
    QTest::qWait(400);
    EXPECT_EQ(presses, 1);
}
