#include "app/HotkeyManager.h"

#include "SettingsFakes.h"
#include "platform/DebugLog.h"
#include "platform/PortalGlobalHotkey.h"
#include "support/TestSupport.h"

#include <QKeySequence>
#include <gtest/gtest.h>
#include <tuple>

using namespace quillstow;

constexpr QKeyCombination superShiftV{Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_V};
constexpr QKeyCombination ctrlAltH{Qt::ControlModifier | Qt::AltModifier, Qt::Key_H};

TEST(HotkeyManager, GrabsSuperShiftVOnceCallsTheCurrentCallbackAndTakesANewCombinationAtOnce)
{
    auto backend = std::make_unique<test::FakeHotkey>();
    test::FakeHotkey& fake = *backend;
    fake.held = {ctrlAltH};
    HotkeyManager manager(std::move(backend));
    ASSERT_TRUE(manager.registerHotKey());
    EXPECT_EQ(fake.taken, superShiftV);
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

    EXPECT_FALSE(manager.setCombination(ctrlAltH));
    EXPECT_FALSE(fake.taken); // the old one is let go all the same: the user chose another
    EXPECT_EQ(manager.failure(), QStringLiteral("another program holds the combination"));
    EXPECT_TRUE(manager.setCombination(QKeyCombination(Qt::Key_F9)));
    EXPECT_EQ(fake.taken, QKeyCombination(Qt::Key_F9));
    EXPECT_TRUE(manager.failure().isEmpty());
}

TEST(HotkeyManager, AFailedGrabIsLoggedAndTheProgramRunsOn)
{
    QTemporaryDir dir;
    debuglog::setPath(dir.filePath(QStringLiteral("log")));
    auto backend = std::make_unique<test::FakeHotkey>();
    test::FakeHotkey& fake = *backend;
    fake.held = {ctrlAltH};
    HotkeyManager manager(std::move(backend));
    // Before the first grab only the choice is kept.
    EXPECT_TRUE(manager.setCombination(ctrlAltH));
    EXPECT_EQ(fake.grabs, 0);
    EXPECT_FALSE(manager.registerHotKey());
    EXPECT_EQ(manager.failure(), QStringLiteral("another program holds the combination"));
    HotkeyManager none(nullptr);
    EXPECT_FALSE(none.registerHotKey());
    EXPECT_EQ(none.failure(), QStringLiteral("this session offers no global shortcuts"));
    EXPECT_EQ(
        test::readFile(dir.filePath(QStringLiteral("log"))),
        QByteArray("HotkeyManager: Ctrl+Alt+H not registered: another program holds the "
                   "combination\nHotkeyManager: no global shortcut service in this session\n"));
    debuglog::setPath(debuglog::defaultPath);
}

TEST(HotkeyManager, StoredCombinationsAndWhatCannotBeAHotKey)
{
    const std::tuple<const char*, QKeyCombination, const char*, const char*> cases[] = {
        {"Meta+Shift+V", superShiftV, "Super+Shift+V", ""},
        {"Ctrl+Alt+H", ctrlAltH, "Ctrl+Alt+H", ""},
        {"F9", QKeyCombination(Qt::Key_F9), "F9", ""},
        {"", superShiftV, "", "needs a key besides"},
        {"Shift+V", superShiftV, "Shift+V", "needs Super, Ctrl or Alt"},
        {"V", superShiftV, "V", "needs Super, Ctrl or Alt"},
        {"Ctrl+V, Ctrl+C", superShiftV, "Ctrl+V, Ctrl+C", ""},
        {"nonsense+", superShiftV, "", "needs a key besides"},
    };
    for (const auto& [setting, read, display, unusable] : cases) {
        SCOPED_TRACE(setting);
        const QString stored = QString::fromLatin1(setting);
        EXPECT_EQ(HotkeyManager::fromSetting(stored), read);
        const QKeySequence sequence = QKeySequence::fromString(stored);
        if (sequence.count() != 1)
            continue;
        EXPECT_EQ(HotkeyManager::displayText(sequence[0]), QString::fromLatin1(display));
        EXPECT_TRUE(
            HotkeyManager::unusableBecause(sequence[0]).contains(QString::fromLatin1(unusable)));
        EXPECT_EQ(HotkeyManager::unusableBecause(sequence[0]).isEmpty(), !*unusable);
    }
    EXPECT_FALSE(
        HotkeyManager::unusableBecause(QKeyCombination(Qt::ControlModifier, Qt::Key_Control))
            .isEmpty());
    EXPECT_EQ(HotkeyManager::fromSetting(QVariant()), superShiftV);
}

TEST(PortalGlobalHotkey, AsksForTheTriggerInTheDesktopNotationAndHearsTheRequestsAnswer)
{
    const std::tuple<Qt::KeyboardModifiers, Qt::Key, const char*> triggers[] = {
        {Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_V, "SHIFT+LOGO+v"},
        {Qt::ControlModifier | Qt::AltModifier, Qt::Key_F12, "CTRL+ALT+F12"},
        {Qt::AltModifier, Qt::Key_7, "ALT+7"},
        {Qt::ControlModifier, Qt::Key_Insert, ""}, // no name the portal is sure to know
    };
    for (const auto& [modifiers, key, trigger] : triggers)
        EXPECT_EQ(platform::portalTrigger(key, modifiers), QString::fromLatin1(trigger));
    EXPECT_EQ(platform::portalRequestPath(QStringLiteral(":1.42"), QStringLiteral("quillstow3")),
              QStringLiteral("/org/freedesktop/portal/desktop/request/1_42/quillstow3"));
}
