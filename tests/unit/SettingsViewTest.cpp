#include "settings/SettingsView.h"

#include "SettingsFakes.h"
#include "app/HotkeyBinding.h"
#include "app/HotkeyManager.h"
#include "capture/CaptureSettings.h"
#include "history/HistoryStore.h"
#include "settings/ElidedLabel.h"
#include "settings/GeneralSettingsTab.h"
#include "support/OpenDialogs.h"
#include "support/TestSupport.h"
#include "vault/ObsidianService.h"
#include "vault/ObsidianSettings.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <tuple>

using namespace quillstow;
using SaveMode = ObsidianService::SaveMode;

namespace {

class SettingsViewTest : public ::testing::Test
{
protected:
    test::TempSettings temp;
    QTemporaryDir home;
    ObsidianService vault{temp.settings()};
    HistoryStore history{temp.settings(), vault, temp.databasePath()};
    test::FakeFolderChooser chooser;
    test::FakeAutostart autostart;
    test::FakeHotkey* hotkeyBackend = new test::FakeHotkey;
    HotkeyManager hotkey{std::unique_ptr<platform::GlobalHotkey>(hotkeyBackend)};

    std::unique_ptr<SettingsView> makeView(platform::Autostart* otherAutostart = nullptr)
    {
        return std::make_unique<SettingsView>(temp.settings(), history, vault, chooser,
                                              otherAutostart ? *otherAutostart : autostart, hotkey,
                                              home.path());
    }
    QVariant storedOnDisk(const QString& key) { return temp.reopen().value(key); }
    template <typename T> static T* find(const SettingsView& view, const char* name)
    {
        T* widget = view.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
};

TEST_F(SettingsViewTest, ShowsWhatIsStoredAndStoresEachObsidianChoiceAtOnce)
{
    temp.settings().setValue(HistoryStore::maxItemsKey, 1200);
    temp.settings().setValue(ObsidianService::vaultPathKey, QStringLiteral("/home/me/Vault/"));
    temp.settings().setValue(ObsidianService::saveModeKey, QStringLiteral("Append to Daily Note"));
    temp.settings().setValue(ObsidianService::saveEveryCopyKey, false);
    autostart.enabled = true;
    const QStringList keysBefore = temp.settings().allKeys();
    const auto view = makeView();
    EXPECT_EQ(find<QSpinBox>(*view, "historyStepper")->value(), 1200);
    EXPECT_TRUE(find<QCheckBox>(*view, "launchAtLoginToggle")->isChecked());
    auto* label = find<settings::ElidedLabel>(*view, "vaultPathLabel");
    EXPECT_EQ(label->text(), QStringLiteral("/home/me/Vault"));
    auto* remove = find<QPushButton>(*view, "removeVaultButton");
    EXPECT_FALSE(remove->isHidden());
    const auto options = view->tabs()->widget(1)->findChildren<QRadioButton*>();
    ASSERT_EQ(options.size(), 3);
    EXPECT_TRUE(options[1]->isChecked());
    auto* everyCopy = find<QCheckBox>(*view, "saveEveryCopyToggle");
    EXPECT_FALSE(everyCopy->isChecked());
    // No iCloud Obsidian folder in this home.
    EXPECT_TRUE(find<QToolButton>(*view, "iCloudVaultButton")->isHidden());
    EXPECT_EQ(temp.settings().allKeys(), keysBefore);

    QTemporaryDir vaultFolder;
    chooser.answer = QUrl::fromLocalFile(vaultFolder.path());
    find<QPushButton>(*view, "chooseVaultButton")->click();
    EXPECT_EQ(label->text(), vaultFolder.path());
    EXPECT_EQ(storedOnDisk(ObsidianService::vaultPathKey).toString(), vaultFolder.path());
    for (int i : {0, 1, 2}) {
        options[i]->click();
        for (int j = 0; j < options.size(); ++j)
            EXPECT_EQ(options[j]->isChecked(), i == j);
        EXPECT_EQ(storedOnDisk(ObsidianService::saveModeKey).toString(),
                  ObsidianService::rawValue(ObsidianService::allSaveModes()[i]));
    }
    for (const bool on : {true, false}) {
        everyCopy->click();
        EXPECT_EQ(everyCopy->isChecked(), on);
        EXPECT_EQ(storedOnDisk(ObsidianService::saveEveryCopyKey), QVariant(on));
    }
    remove->click();
    EXPECT_EQ(label->text(), QStringLiteral("Not configured"));
    EXPECT_TRUE(remove->isHidden());
    EXPECT_FALSE(storedOnDisk(ObsidianService::vaultPathKey).isValid());
}

TEST_F(SettingsViewTest, HistoryStepperStoresEveryStepOnItsGrid)
{
    const auto view = makeView();
    auto* stepper = find<QSpinBox>(*view, "historyStepper");
    const struct
    {
        int from;
        int steps;
        int expected;
    } cases[] = {{500, 1, 550}, {2000, 1, 2000}, {50, -1, 50}, {275, 0, 300}};
    for (const auto& c : cases) {
        stepper->setValue(c.from); // a typed number lands on the grid
        stepper->stepBy(c.steps);
        EXPECT_EQ(stepper->value(), c.expected) << c.from << " by " << c.steps;
        EXPECT_EQ(storedOnDisk(HistoryStore::maxItemsKey).toInt(), c.expected);
        EXPECT_EQ(history.maxItems(), c.expected);
    }
}

TEST_F(SettingsViewTest, ClearAllHistoryAsksOverTheWindowPinnedIncluded)
{
    history.add(ClipItem::create(QStringLiteral("one"), 1.0));
    history.add(ClipItem::create(QStringLiteral("two"), 2.0));
    history.togglePin(history.items().first());
    const auto view = makeView();
    view->show();
    find<QPushButton>(*view, "clearHistoryButton")->click();
    QMessageBox* box = test::shownMessageBox(QStringLiteral("clearHistoryConfirmation"));
    ASSERT_NE(box, nullptr);
    // It blocks the settings window, not the whole program.
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->parentWidget()->window(), view.get());
    EXPECT_EQ(box->text(), QStringLiteral("Clear all 2 items from the clipboard history?"));
    EXPECT_TRUE(box->informativeText().startsWith(QStringLiteral("The pinned item goes too.")));
    EXPECT_EQ(history.items().size(), 2);
    test::buttonLabelled(*box, QStringLiteral("Clear"))->click();
    EXPECT_TRUE(history.items().isEmpty());
}

TEST_F(SettingsViewTest, CaptureTogglesShowTheirDefaultsAndStoreEachClick)
{
    const auto view = makeView();
    const std::tuple<const char*, QString, bool> cases[] = {
        {"keepClipboardToggle", capture::keepClipboardKey, true},
        {"capturePrimaryToggle", capture::capturePrimaryKey, false},
    };
    for (const auto& [name, key, isOnByDefault] : cases) {
        SCOPED_TRACE(name);
        auto* toggle = find<QCheckBox>(*view, name);
        EXPECT_EQ(toggle->isChecked(), isOnByDefault);
        for (const bool on : {!isOnByDefault, isOnByDefault}) {
            toggle->click();
            EXPECT_EQ(storedOnDisk(key), QVariant(on));
        }
    }
}

TEST_F(SettingsViewTest, LaunchAtLoginFollowsTheAutostartEntry)
{
    QTemporaryDir config;
    platform::XdgAutostart xdg(config.path(), QStringLiteral("/usr/bin/quillstow"));
    const auto view = makeView(&xdg);
    auto* toggle = find<QCheckBox>(*view, "launchAtLoginToggle");
    for (const bool on : {true, false}) {
        toggle->click();
        EXPECT_EQ(toggle->isChecked(), on);
        EXPECT_EQ(storedOnDisk(GeneralSettingsTab::launchAtLoginKey), QVariant(on));
        EXPECT_EQ(QFileInfo::exists(xdg.entryPath()), on);
    }
    EXPECT_EQ(view->findChild<QMessageBox*>(), nullptr);

    // A change that fails keeps the toggle and the stored flag with the entry, and says why.
    for (const bool wasOn : {false, true}) {
        autostart.enabled = wasOn;
        autostart.failure = QStringLiteral("Permission denied");
        const auto failing = makeView();
        auto* failingToggle = find<QCheckBox>(*failing, "launchAtLoginToggle");
        failingToggle->click();
        EXPECT_EQ(failingToggle->isChecked(), wasOn);
        EXPECT_EQ(storedOnDisk(GeneralSettingsTab::launchAtLoginKey).toBool(), wasOn);
        auto* box = failing->findChild<QMessageBox*>(QStringLiteral("launchAtLoginError"));
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(box->informativeText(), QStringLiteral("Permission denied"));
        box->accept();
    }
}

TEST_F(SettingsViewTest, TheRecordedHotKeyIsStoredAndTakenAtOnceOrSaysWhyNotInRed)
{
    hotkeyBackend->held = {QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_H)};
    ASSERT_TRUE(hotkey.registerHotKey());
    const auto view = makeView();
    auto* recorder = find<QKeySequenceEdit>(*view, "hotkeyRecorder");
    auto* state = find<QLabel>(*view, "hotkeyState");
    EXPECT_EQ(recorder->keySequence(), QKeySequence(QStringLiteral("Meta+Shift+V")));
    const QColor normal = state->palette().color(QPalette::WindowText);
    const struct
    {
        Qt::KeyboardModifiers modifiers;
        Qt::Key key;
        const char* stored; // and taken
        const char* said;
        bool red;
    } cases[] = {
        {Qt::MetaModifier | Qt::AltModifier, Qt::Key_C, "Meta+Alt+C", "Super+Alt+C opens", false},
        {Qt::ControlModifier | Qt::AltModifier, Qt::Key_H, "Ctrl+Alt+H",
         "Ctrl+Alt+H could not be taken: another program holds", true},
        // Refused before anything is stored or let go.
        {Qt::ShiftModifier, Qt::Key_X, "Ctrl+Alt+H", "Shift+X cannot be used", true},
        {Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_5, "Ctrl+5", "Ctrl+5 opens", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        recorder->setFocus();
        QTest::keyClick(recorder, c.key, c.modifiers);
        // The recorder ends a moment after the last key.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return state->text().contains(QString::fromLatin1(c.said)); }, 3000))
            << state->text().toStdString();
        const QKeySequence stored(QString::fromLatin1(c.stored));
        EXPECT_EQ(storedOnDisk(HotkeyManager::settingsKey).toString(),
                  QString::fromLatin1(c.stored));
        EXPECT_EQ(hotkey.combination(), stored[0]);
        EXPECT_EQ(hotkeyBackend->taken.has_value(), !c.red);
        EXPECT_EQ(state->palette().color(QPalette::WindowText) != normal, c.red);
        EXPECT_EQ(recorder->keySequence(), stored);
    }
}

TEST_F(SettingsViewTest, TheHotKeySaysHowItWorksAndACompositorBindingGivesTheLineToAdd)
{
    using platform::HotkeyMechanism;
    const QString command = toggleCommand();
    const QKeyCombination usual = HotkeyManager::defaultCombination;
    const struct
    {
        HotkeyMechanism mechanism;
        const char* variable; // the compositor's, set for the case
        QKeyCombination combination;
        const char* said;
        QString line; // empty: the recorder is there instead
    } cases[] = {
        {HotkeyMechanism::KeyGrab, nullptr, usual, "X server", {}},
        {HotkeyMechanism::Portal, nullptr, usual, "shortcut service", {}},
        {HotkeyMechanism::CompositorBinding, "SWAYSOCK", usual, "sway configuration",
         QStringLiteral("bindsym Mod4+Shift+v exec ") + command},
        {HotkeyMechanism::CompositorBinding, "SWAYSOCK",
         QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_F5), "sway configuration",
         QStringLiteral("bindsym Control+Mod1+F5 exec ") + command},
        {HotkeyMechanism::CompositorBinding, "HYPRLAND_INSTANCE_SIGNATURE", usual,
         "Hyprland configuration", QStringLiteral("bind = SUPER SHIFT, V, exec, ") + command},
        {HotkeyMechanism::CompositorBinding, nullptr, usual, "keyboard settings", command},
    };
    ASSERT_TRUE(command.endsWith(QStringLiteral(" --toggle"))) << command.toStdString();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        for (const char* variable : {"SWAYSOCK", "HYPRLAND_INSTANCE_SIGNATURE"})
            qunsetenv(variable);
        if (c.variable)
            qputenv(c.variable, "/run/compositor");
        auto backend = std::make_unique<test::FakeHotkey>();
        backend->kind = c.mechanism;
        // A compositor binding has no backend at all.
        HotkeyManager manager(
            c.mechanism == HotkeyMechanism::CompositorBinding ? nullptr : std::move(backend),
            c.combination);
        SettingsView view(temp.settings(), history, vault, chooser, autostart, manager,
                          home.path());
        view.show();
        EXPECT_TRUE(
            find<QLabel>(view, "hotkeyMechanism")->text().contains(QString::fromLatin1(c.said)));
        auto* field = view.findChild<QLineEdit*>(QStringLiteral("hotkeyBindingLine"));
        EXPECT_EQ(find<QKeySequenceEdit>(view, "hotkeyRecorder")->isVisible(), c.line.isEmpty());
        ASSERT_EQ(field != nullptr, !c.line.isEmpty());
        if (!field)
            continue;
        EXPECT_EQ(field->text(), c.line);
        EXPECT_TRUE(field->isVisible() && field->isReadOnly());
    }
    for (const char* variable : {"SWAYSOCK", "HYPRLAND_INSTANCE_SIGNATURE"})
        qunsetenv(variable);
}

TEST_F(SettingsViewTest, EveryControlFitsAPlainWindowAndALongPathKeepsBothEnds)
{
    // Every control showing: a long vault path set and an iCloud folder present.
    const QString path = QStringLiteral("/home/someone/Documents/") +
                         QStringLiteral("a-very-long-folder-name/").repeated(8) +
                         QStringLiteral("The Vault");
    temp.settings().setValue(ObsidianService::vaultPathKey, path);
    ASSERT_TRUE(QDir().mkpath(
        home.filePath(QStringLiteral("Library/Mobile Documents/iCloud~md~obsidian/Documents"))));
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto view = makeView();
    SettingsView* shown = view.get();
    layout->addWidget(view.release());
    window.show();
    EXPECT_EQ(shown->tabs()->width(), 460);
    EXPECT_GE(shown->tabs()->height(), 300);
    for (int i = 0; i < 2; ++i) {
        shown->tabs()->setCurrentIndex(i);
        for (QWidget* child : shown->tabs()->widget(i)->findChildren<QWidget*>()) {
            // Parts of Qt's own controls (the spin box's editor, scroll bars) are theirs to size.
            if (!child->isVisible() || child->inherits("QScrollBar") ||
                child->objectName().startsWith(QStringLiteral("qt_")))
                continue;
            const QRect area(child->mapTo(shown->tabs(), QPoint(0, 0)), child->size());
            EXPECT_TRUE(shown->tabs()->rect().contains(area))
                << child->metaObject()->className() << " " << child->objectName().toStdString();
            // Nothing is squeezed below the height it needs.
            EXPECT_GE(child->height(), child->minimumSizeHint().height())
                << child->metaObject()->className() << " " << child->objectName().toStdString();
        }
    }
    auto* label = find<settings::ElidedLabel>(*shown, "vaultPathLabel");
    const QString elided = label->shownText();
    EXPECT_TRUE(elided.startsWith(QStringLiteral("/home/"))) << elided.toStdString();
    EXPECT_TRUE(elided.endsWith(QStringLiteral("The Vault"))) << elided.toStdString();
    EXPECT_TRUE(elided.contains(u'\u2026')) << elided.toStdString();
    EXPECT_EQ(label->toolTip(), path);

    // Escape from a control inside a tab, as the user leaves it after a change, closes it all.
    QTest::keyClick(shown->tabs()->currentWidget()->findChild<QAbstractButton*>(), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

} // namespace
