// The global hot key on a real X server, pressed with xdotool.
#include "app/HotkeyManager.h"
#include "platform/GlobalHotkey.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace quillstow;

namespace {

int run(const QString& program, const QStringList& args, QByteArray* out = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000))
        return -1;
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitCode();
}

void xdotoolKey(const QString& combination)
{
    ASSERT_EQ(run(QStringLiteral("xdotool"), {QStringLiteral("key"), combination}), 0);
    // Let the event travel through the server and Qt's event queue.
    QTest::qWait(150);
}

class HotkeyDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        manager = std::make_unique<HotkeyManager>(platform::createGlobalHotkey());
        manager->onActivate = [this] {
            ++presses;
        };
        ASSERT_TRUE(manager->registerHotKey());
    }
    std::unique_ptr<HotkeyManager> manager;
    int presses = 0;
};

} // namespace

TEST_F(HotkeyDesktop, OnlySuperShiftVTriggersWhateverTheLockKeys)
{
    const struct
    {
        const char* keys;
        int presses;
    } cases[] = {
        {"super+shift+v", 1},     {"super+v", 0},      {"shift+v", 0},
        {"super+shift+alt+v", 0}, {"ctrl+shift+v", 0}, {"v", 0},
    };
    for (const auto& c : cases) {
        presses = 0;
        xdotoolKey(QString::fromLatin1(c.keys));
        EXPECT_EQ(presses, c.presses) << c.keys;
    }

    // CapsLock and NumLock switched on do not disable it.
    for (const char* lock : {"Caps_Lock", "Num_Lock"}) {
        xdotoolKey(QString::fromLatin1(lock));
        presses = 0;
        xdotoolKey(QStringLiteral("super+shift+v"));
        EXPECT_EQ(presses, 1) << lock;
        xdotoolKey(QString::fromLatin1(lock));
    }
}

TEST_F(HotkeyDesktop, HoldingTheKeysIsOnePress)
{
    // The server repeats a held key; a hot key held down still counts once.
    ASSERT_EQ(run(QStringLiteral("xdotool"),
                  {QStringLiteral("keydown"), QStringLiteral("super+shift+v")}),
              0);
    QTest::qWait(1500);
    ASSERT_EQ(
        run(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("super+shift+v")}),
        0);
    QTest::qWait(200);
    EXPECT_EQ(presses, 1);
    xdotoolKey(QStringLiteral("super+shift+v"));
    EXPECT_EQ(presses, 2);
}

TEST_F(HotkeyDesktop, ThePressIsWithheldFromTheWindowInFront)
{
    QProcess zenity;
    zenity.start(QStringLiteral("zenity"), {QStringLiteral("--entry")});
    ASSERT_TRUE(zenity.waitForStarted());
    ASSERT_EQ(run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                              QStringLiteral("--class"), QStringLiteral("zenity")}),
              0);
    QTest::qWait(500);
    ASSERT_EQ(run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("ab")}), 0);
    xdotoolKey(QStringLiteral("super+shift+v"));
    xdotoolKey(QStringLiteral("Return"));
    ASSERT_TRUE(zenity.waitForFinished(5000));
    EXPECT_EQ(zenity.readAllStandardOutput(), QByteArray("ab\n"));
    EXPECT_EQ(presses, 1);
}

TEST(HotkeyDesktopConflict, ACombinationHeldByAnotherProgramIsReported)
{
    // Another client holds Super+Shift+V first.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    xcb_void_cookie_t cookie =
        xcb_grab_key_checked(other, 0, root, XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4, 55,
                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    ASSERT_EQ(xcb_request_check(other, cookie), nullptr);

    std::unique_ptr<platform::GlobalHotkey> hotkey = platform::createGlobalHotkey();
    ASSERT_TRUE(hotkey);
    QString error;
    EXPECT_FALSE(hotkey->grab(
        Qt::Key_V, Qt::MetaModifier | Qt::ShiftModifier, [] {}, &error));
    EXPECT_EQ(error, QStringLiteral("another program holds the combination"));
    xcb_disconnect(other);
}

TEST_F(HotkeyDesktop, TheHotKeyFollowsAChangeOfTheModifierMap)
{
    const struct
    {
        const char* name;
        QStringList change;
        QStringList undo;
        const char* lock; // switched on around the press, when given
    } cases[] = {
        {"Super moved to Mod3",
         {QStringLiteral("clear mod4"), QStringLiteral("add mod3 = Super_L Super_R")},
         {QStringLiteral("clear mod3"), QStringLiteral("add mod4 = Super_L Super_R Hyper_L")},
         nullptr},
        {"NumLock moved to Mod3",
         {QStringLiteral("clear mod2"), QStringLiteral("add mod3 = Num_Lock")},
         {QStringLiteral("clear mod3"), QStringLiteral("add mod2 = Num_Lock")},
         "Num_Lock"},
    };
    const auto xmodmap = [](const QStringList& expressions) {
        QStringList args;
        for (const QString& e : expressions)
            args << QStringLiteral("-e") << e;
        EXPECT_EQ(run(QStringLiteral("xmodmap"), args), 0);
        QTest::qWait(150); // the mapping notifications reach us
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        xmodmap(c.change);
        if (c.lock)
            xdotoolKey(QString::fromLatin1(c.lock));
        presses = 0;
        xdotoolKey(QStringLiteral("super+shift+v"));
        EXPECT_EQ(presses, 1);
        if (c.lock)
            xdotoolKey(QString::fromLatin1(c.lock));
        xmodmap(c.undo);
        // And back on the usual map.
        presses = 0;
        xdotoolKey(QStringLiteral("super+shift+v"));
        EXPECT_EQ(presses, 1);
    }
}
