#include "app/HotkeyManager.h"

#include "platform/DebugLog.h"
#include "platform/GlobalHotkey.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace quillstow;

namespace {

struct FakeHotkey : platform::GlobalHotkey
{
    bool available = true;
    Qt::Key key{};
    Qt::KeyboardModifiers modifiers;
    std::function<void()> press;
    int grabs = 0;

    bool grab(Qt::Key k, Qt::KeyboardModifiers m, std::function<void()> onPress,
              QString* error) override
    {
        ++grabs;
        if (!available)
            *error = QStringLiteral("another program holds the combination");
        key = k;
        modifiers = m;
        press = std::move(onPress);
        return available;
    }
};

} // namespace

TEST(HotkeyManager, GrabsSuperShiftVOnceAndCallsTheCurrentCallbackPerPress)
{
    auto backend = std::make_unique<FakeHotkey>();
    FakeHotkey& fake = *backend;
    HotkeyManager manager(std::move(backend));
    ASSERT_TRUE(manager.registerHotKey());
    EXPECT_EQ(fake.key, Qt::Key_V);
    EXPECT_EQ(fake.modifiers, Qt::MetaModifier | Qt::ShiftModifier);

    fake.press(); // no callback yet: nothing happens
    QString calls;
    manager.onActivate = [&] {
        calls += u'1';
    };
    fake.press();
    manager.onActivate = [&] {
        calls += u'2';
    };
    fake.press();
    EXPECT_EQ(calls, QStringLiteral("12"));
    EXPECT_TRUE(manager.registerHotKey());
    EXPECT_EQ(fake.grabs, 1);
}

TEST(HotkeyManager, AFailedGrabIsLoggedAndTheProgramRunsOn)
{
    QTemporaryDir dir;
    debuglog::setPath(dir.filePath(QStringLiteral("log")));
    auto backend = std::make_unique<FakeHotkey>();
    backend->available = false;
    HotkeyManager manager(std::move(backend));
    EXPECT_FALSE(manager.registerHotKey());
    EXPECT_EQ(manager.failure(), QStringLiteral("another program holds the combination"));
    HotkeyManager none(nullptr);
    EXPECT_FALSE(none.registerHotKey());
    EXPECT_EQ(none.failure(), QStringLiteral("this session offers no global shortcuts"));
    EXPECT_EQ(
        test::readFile(dir.filePath(QStringLiteral("log"))),
        QByteArray("HotkeyManager: Super+Shift+V not registered: another program holds the "
                   "combination\nHotkeyManager: no global shortcut service in this session\n"));
    debuglog::setPath(debuglog::defaultPath);
}
