// The global hot key on a real X server, pressed with xdotool.
#include "app/Backends.h"
#include "app/HotkeyManager.h"
#include "platform/GlobalHotkey.h"
#include "support/Desktop.h"

#include <gtest/gtest.h>

using namespace quillstow;

namespace {

void xdotoolKey(const QString& combination)
{
    bool ok = false;
    test::xdotool({QStringLiteral("key"), combination}, &ok);
    EXPECT_TRUE(ok) << combination.toStdString();
    // Let the event travel through the server and Qt's event queue.
    QTest::qWait(150);
}

void xmodmap(const QStringList& expressions)
{
    QStringList args;
    for (const QString& e : expressions)
        args << QStringLiteral("-e") << e;
    bool ok = false;
    test::runTool(QStringLiteral("xmodmap"), args, {}, &ok);
    EXPECT_TRUE(ok);
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
    const QStringList superOnMod3 = {QStringLiteral("clear mod4"),
                                     QStringLiteral("add mod3 = Super_L Super_R")};
    const QStringList superBack = {QStringLiteral("clear mod3"),
                                   QStringLiteral("add mod4 = Super_L Super_R Hyper_L")};
    const QStringList numLockOnMod3 = {QStringLiteral("clear mod2"),
                                       QStringLiteral("add mod3 = Num_Lock")};
    const QStringList numLockBack = {QStringLiteral("clear mod3"),
                                     QStringLiteral("add mod2 = Num_Lock")};
    const struct
    {
        const char* keys;
        int presses;
        const char* lock = nullptr; // switched on around the press
        QStringList change = {};    // of the modifier map, and its undoing
        QStringList undo = {};
    } cases[] = {
        {"super+shift+v", 1},
        {"super+v", 0},
        {"super+shift+alt+v", 0},
        {"v", 0},
        {"super+shift+v", 1, "Caps_Lock"},
        {"super+shift+v", 1, "Num_Lock"},
        {"super+shift+v", 1, nullptr, superOnMod3, superBack},
        {"super+shift+v", 1, "Num_Lock", numLockOnMod3, numLockBack},
        // And back on the usual map.
        {"super+shift+v", 1, "Num_Lock"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.keys << " " << (c.lock ? c.lock : "")
                                        << c.change.join(u',').toStdString());
        if (!c.change.isEmpty())
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
        if (!c.undo.isEmpty())
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
