#include "settings/SettingsView.h"

#include "SettingsFakes.h"
#include "history/HistoryStore.h"
#include "settings/ElidedLabel.h"
#include "settings/GeneralSettingsTab.h"
#include "settings/ObsidianSettingsTab.h"
#include "support/OpenDialogs.h"
#include "support/TestSupport.h"
#include "vault/ObsidianService.h"
#include "vault/ObsidianSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace quillstow;
using SaveMode = ObsidianService::SaveMode;

namespace {

class SettingsViewTest : public ::testing::Test
{
protected:
    test::TempSettings temp;
    QTemporaryDir home;
    ObsidianService vault{temp.settings()};
    HistoryStore history{temp.settings(), vault};
    test::FakeFolderChooser chooser;
    test::FakeAutostart autostart;

    std::unique_ptr<SettingsView> makeView(platform::Autostart* otherAutostart = nullptr)
    {
        return std::make_unique<SettingsView>(temp.settings(), history, vault, chooser,
                                              otherAutostart ? *otherAutostart : autostart,
                                              home.path());
    }
    QVariant storedOnDisk(const QString& key)
    {
        QSettings fresh(temp.filePath(QStringLiteral("Quillstow.conf")), QSettings::IniFormat);
        return fresh.value(key);
    }
    template <typename T> static T* find(const SettingsView& view, const char* name)
    {
        T* widget = view.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    static QList<QRadioButton*> saveModeOptions(const SettingsView& view)
    {
        return view.tabs()->widget(1)->findChildren<QRadioButton*>();
    }
};

TEST_F(SettingsViewTest, FreshInstallation)
{
    const auto view = makeView();
    QTabWidget* tabs = view->tabs();
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("General"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Obsidian"));
    EXPECT_FALSE(tabs->tabIcon(0).isNull());
    EXPECT_FALSE(tabs->tabIcon(1).isNull());
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(tabs->size(), QSize(460, 300));

    auto* stepper = find<QSpinBox>(*view, "historyStepper");
    EXPECT_EQ(stepper->value(), 500);
    EXPECT_EQ(stepper->text(), QStringLiteral("Keep 500 items"));
    EXPECT_FALSE(find<QCheckBox>(*view, "launchAtLoginToggle")->isChecked());
    EXPECT_EQ(find<QCheckBox>(*view, "launchAtLoginToggle")->text(),
              QStringLiteral("Launch at login"));
    auto* hotkey = find<QLabel>(*view, "hotkeyReminder");
    EXPECT_EQ(hotkey->text(), QStringLiteral("Open Quillstow: Super+Shift+V"));
    EXPECT_EQ(hotkey->foregroundRole(), QPalette::PlaceholderText);

    auto* vaultLabel = find<settings::ElidedLabel>(*view, "vaultPathLabel");
    EXPECT_EQ(vaultLabel->text(), QStringLiteral("Not configured"));
    EXPECT_EQ(vaultLabel->foregroundRole(), QPalette::PlaceholderText);
    EXPECT_TRUE(find<QPushButton>(*view, "removeVaultButton")->isHidden());
    EXPECT_EQ(find<QPushButton>(*view, "chooseVaultButton")->text(),
              QStringLiteral("Choose\u2026"));
    // No iCloud Obsidian folder in this home.
    EXPECT_TRUE(find<QToolButton>(*view, "iCloudVaultButton")->isHidden());

    const QList<QRadioButton*> options = saveModeOptions(*view);
    ASSERT_EQ(options.size(), 3);
    EXPECT_EQ(options[0]->text(), QStringLiteral("New Note per Item"));
    EXPECT_EQ(options[1]->text(), QStringLiteral("Append to Daily Note"));
    EXPECT_EQ(options[2]->text(), QStringLiteral("Clipboard Log File"));
    EXPECT_TRUE(options[0]->isChecked());
    auto* everyCopy = find<QCheckBox>(*view, "saveEveryCopyToggle");
    EXPECT_EQ(everyCopy->text(), QStringLiteral("Save every new copy to the vault"));
    EXPECT_TRUE(everyCopy->isChecked());
    EXPECT_TRUE(find<QLabel>(*view, "notesFolderNote")->text().contains(u"\u201CQuillstow\u201D"));

    // Opening the settings stores nothing.
    EXPECT_TRUE(temp.settings().allKeys().isEmpty());
}

TEST_F(SettingsViewTest, StoredValuesAreShown)
{
    temp.settings().setValue(HistoryStore::maxItemsKey, 1200);
    temp.settings().setValue(ObsidianService::vaultPathKey, QStringLiteral("/home/me/Vault/"));
    temp.settings().setValue(ObsidianService::saveModeKey, QStringLiteral("Append to Daily Note"));
    autostart.enabled = true;
    const auto view = makeView();
    EXPECT_EQ(find<QSpinBox>(*view, "historyStepper")->text(), QStringLiteral("Keep 1200 items"));
    EXPECT_TRUE(find<QCheckBox>(*view, "launchAtLoginToggle")->isChecked());
    auto* vaultLabel = find<settings::ElidedLabel>(*view, "vaultPathLabel");
    EXPECT_EQ(vaultLabel->text(), QStringLiteral("/home/me/Vault"));
    EXPECT_EQ(vaultLabel->foregroundRole(), QPalette::WindowText);
    EXPECT_FALSE(find<QPushButton>(*view, "removeVaultButton")->isHidden());
    EXPECT_TRUE(saveModeOptions(*view)[1]->isChecked());
}

TEST_F(SettingsViewTest, HistoryStepperRangeAndSteps)
{
    const auto view = makeView();
    auto* stepper = find<QSpinBox>(*view, "historyStepper");
    EXPECT_EQ(stepper->minimum(), 50);
    EXPECT_EQ(stepper->maximum(), 2000);
    EXPECT_EQ(stepper->singleStep(), 50);

    struct Step
    {
        int from;
        int steps;
        int expected;
    };
    const Step cases[] = {{500, 1, 550}, {500, -1, 450}, {1950, 1, 2000}, {2000, 1, 2000},
                          {100, -1, 50}, {50, -1, 50},   {50, 39, 2000}};
    for (const Step& c : cases) {
        stepper->setValue(c.from);
        stepper->stepBy(c.steps);
        EXPECT_EQ(stepper->value(), c.expected) << c.from << " by " << c.steps;
        // Stored at every step, and the history's capacity follows it.
        EXPECT_EQ(storedOnDisk(HistoryStore::maxItemsKey).toInt(), c.expected);
        EXPECT_EQ(history.maxItems(), c.expected);
    }
    // A typed number lands on the grid.
    stepper->setValue(275);
    EXPECT_EQ(stepper->value(), 300);
    EXPECT_EQ(storedOnDisk(HistoryStore::maxItemsKey).toInt(), 300);
    EXPECT_EQ(stepper->text(), QStringLiteral("Keep 300 items"));
}

TEST_F(SettingsViewTest, ClearAllHistoryAsksFirstPinnedIncluded)
{
    history.add(ClipItem::create(QStringLiteral("one"), 1.0));
    history.add(ClipItem::create(QStringLiteral("two"), 2.0));
    history.togglePin(history.items().first());
    ASSERT_EQ(history.items().size(), 2);

    const auto view = makeView();
    view->show();
    auto* clear = find<QPushButton>(*view, "clearHistoryButton");
    EXPECT_EQ(clear->text(), QStringLiteral("Clear All History Now"));
    const QColor red = clear->palette().color(QPalette::ButtonText);
    EXPECT_GT(red.red(), 150);
    EXPECT_LT(red.green(), 120);

    // Declined with Return, which takes the default: nothing goes.
    clear->click();
    QMessageBox* box = test::shownMessageBox(QStringLiteral("clearHistoryConfirmation"));
    ASSERT_NE(box, nullptr);
    QPointer<QMessageBox> watch(box);
    EXPECT_EQ(box->text(), QStringLiteral("Clear all 2 items from the clipboard history?"));
    EXPECT_EQ(box->informativeText(),
              QStringLiteral("The pinned item goes too. This cannot be undone."));
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Cancel));
    // It blocks the settings window, not the whole program.
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->parentWidget()->window(), view.get());
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(history.items().size(), 2);
    EXPECT_TRUE(test::deletedAfterClosing(watch));

    clear->click();
    box = test::shownMessageBox(QStringLiteral("clearHistoryConfirmation"));
    ASSERT_NE(box, nullptr);
    watch = box;
    test::buttonLabelled(*box, QStringLiteral("Clear"))->click();
    EXPECT_TRUE(history.items().isEmpty());
    EXPECT_TRUE(QJsonDocument::fromJson(storedOnDisk(HistoryStore::storageKey).toByteArray())
                    .array()
                    .isEmpty());
    EXPECT_TRUE(test::deletedAfterClosing(watch));

    // An empty history: nothing to ask about.
    clear->click();
    EXPECT_EQ(test::shownMessageBox(QStringLiteral("clearHistoryConfirmation")), nullptr);
}

TEST_F(SettingsViewTest, LaunchAtLoginWritesAndRemovesTheAutostartEntry)
{
    QTemporaryDir config;
    const QString program = QStringLiteral("/usr/bin/quillstow");
    platform::XdgAutostart xdg(config.path(), program);
    const auto view = makeView(&xdg);
    auto* toggle = find<QCheckBox>(*view, "launchAtLoginToggle");

    toggle->click();
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(storedOnDisk(GeneralSettingsTab::launchAtLoginKey).toBool());
    EXPECT_TRUE(QString::fromUtf8(test::readFile(xdg.entryPath()))
                    .contains(QStringLiteral("\nExec=\"/usr/bin/quillstow\"\n")));

    toggle->click();
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_FALSE(storedOnDisk(GeneralSettingsTab::launchAtLoginKey).toBool());
    EXPECT_TRUE(storedOnDisk(GeneralSettingsTab::launchAtLoginKey).isValid());
    EXPECT_FALSE(QFileInfo::exists(xdg.entryPath()));
    EXPECT_EQ(view->findChild<QMessageBox*>(), nullptr);
}

TEST_F(SettingsViewTest, AFailedAutostartChangeKeepsToggleAndFlagWithTheEntry)
{
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath(QStringLiteral("config"));
    ASSERT_TRUE(test::writeFile(notAFolder, "x"));
    platform::XdgAutostart unwritable(notAFolder, QStringLiteral("/usr/bin/quillstow"));
    {
        const auto view = makeView(&unwritable);
        auto* toggle = find<QCheckBox>(*view, "launchAtLoginToggle");
        toggle->click();
        EXPECT_FALSE(toggle->isChecked());
        EXPECT_FALSE(storedOnDisk(GeneralSettingsTab::launchAtLoginKey).toBool());
        auto* box = view->findChild<QMessageBox*>(QStringLiteral("launchAtLoginError"));
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible());
        EXPECT_TRUE(box->text().contains(QStringLiteral("could not be set to launch at login")));
        EXPECT_TRUE(box->informativeText().contains(notAFolder))
            << box->informativeText().toStdString();
        box->accept();
    }
    // Switching off can fail too: the entry is still there, so the toggle stays on.
    autostart.enabled = true;
    const auto view = makeView();
    auto* toggle = find<QCheckBox>(*view, "launchAtLoginToggle");
    autostart.failure = QStringLiteral("Permission denied");
    toggle->click();
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(storedOnDisk(GeneralSettingsTab::launchAtLoginKey).toBool());
    auto* box = view->findChild<QMessageBox*>(QStringLiteral("launchAtLoginError"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->informativeText(), QStringLiteral("Permission denied"));
    box->accept();
}

TEST_F(SettingsViewTest, SaveModeRadioGroup)
{
    QTemporaryDir vaultFolder;
    temp.settings().setValue(ObsidianService::vaultPathKey, vaultFolder.path());
    const auto view = makeView();
    const QList<QRadioButton*> options = saveModeOptions(*view);
    ASSERT_EQ(options.size(), 3);

    for (int i : {2, 1, 0, 2}) {
        options[i]->click();
        for (int j = 0; j < options.size(); ++j)
            EXPECT_EQ(options[j]->isChecked(), i == j);
        EXPECT_EQ(storedOnDisk(ObsidianService::saveModeKey).toString(),
                  ObsidianService::rawValue(ObsidianService::allSaveModes()[i]));
        EXPECT_EQ(view->obsidian().saveMode(), ObsidianService::allSaveModes()[i]);
    }
    // The vault is untouched and the next save appends to the log file.
    EXPECT_EQ(storedOnDisk(ObsidianService::vaultPathKey).toString(), vaultFolder.path());
    ASSERT_TRUE(vault.save(ClipItem::create(QStringLiteral("logged"), 10.0)).isSuccess());
    EXPECT_TRUE(QFileInfo::exists(vaultFolder.filePath(QStringLiteral("clipboard-history.md"))));
}

TEST_F(SettingsViewTest, SavingEveryCopySwitchesOffAndStaysOff)
{
    QTemporaryDir vaultFolder;
    temp.settings().setValue(ObsidianService::vaultPathKey, vaultFolder.path());
    const QString notes = vaultFolder.filePath(QStringLiteral("Quillstow"));
    auto noteCount = [&] {
        return QDir(notes).entryList(QDir::Files).size();
    };
    {
        const auto view = makeView();
        auto* everyCopy = find<QCheckBox>(*view, "saveEveryCopyToggle");
        ASSERT_TRUE(everyCopy->isChecked());
        history.add(ClipItem::create(QStringLiteral("exported as before"), 1.0));
        EXPECT_EQ(noteCount(), 1);
        EXPECT_TRUE(history.items().first().savedToObsidian);

        everyCopy->click();
        EXPECT_FALSE(everyCopy->isChecked());
        EXPECT_EQ(storedOnDisk(ObsidianService::saveEveryCopyKey).toBool(), false);
        history.add(ClipItem::create(QStringLiteral("kept out of the vault"), 2.0));
        EXPECT_EQ(noteCount(), 1);
        EXPECT_FALSE(history.items().first().savedToObsidian);
        // Saving on purpose still works.
        ASSERT_TRUE(vault.save(history.items().first()).isSuccess());
        EXPECT_EQ(noteCount(), 2);
    }
    // Read back from the file, as after a restart.
    ObsidianService restarted(temp.reopen());
    EXPECT_FALSE(restarted.savesEveryCopy());
    const auto view = makeView();
    EXPECT_FALSE(find<QCheckBox>(*view, "saveEveryCopyToggle")->isChecked());
    find<QCheckBox>(*view, "saveEveryCopyToggle")->click();
    EXPECT_TRUE(storedOnDisk(ObsidianService::saveEveryCopyKey).toBool());
}

TEST_F(SettingsViewTest, ChooseAndRemoveTheVault)
{
    QTemporaryDir vaultFolder;
    ASSERT_TRUE(test::writeFile(vaultFolder.filePath(QStringLiteral("note.md")), "kept"));
    const auto view = makeView();
    auto* label = find<settings::ElidedLabel>(*view, "vaultPathLabel");
    auto* choose = find<QPushButton>(*view, "chooseVaultButton");
    auto* remove = find<QPushButton>(*view, "removeVaultButton");

    chooser.answer = std::nullopt; // cancelled
    choose->click();
    EXPECT_EQ(chooser.calls, 1);
    EXPECT_EQ(label->text(), QStringLiteral("Not configured"));
    EXPECT_FALSE(temp.settings().contains(ObsidianService::vaultPathKey));

    chooser.answer = QUrl::fromLocalFile(vaultFolder.path());
    choose->click();
    EXPECT_EQ(label->text(), vaultFolder.path());
    EXPECT_EQ(label->foregroundRole(), QPalette::WindowText);
    EXPECT_FALSE(remove->isHidden());
    EXPECT_EQ(storedOnDisk(ObsidianService::vaultPathKey).toString(), vaultFolder.path());

    remove->click();
    EXPECT_EQ(label->text(), QStringLiteral("Not configured"));
    EXPECT_EQ(label->foregroundRole(), QPalette::PlaceholderText);
    EXPECT_TRUE(remove->isHidden());
    EXPECT_FALSE(storedOnDisk(ObsidianService::vaultPathKey).isValid());
    EXPECT_EQ(vault.vaultURL(), std::nullopt);
    EXPECT_EQ(test::readFile(vaultFolder.filePath(QStringLiteral("note.md"))), "kept");
}

TEST_F(SettingsViewTest, ICloudButtonOnlyWhileTheFolderExists)
{
    const QString base =
        QDir(home.path())
            .filePath(QStringLiteral("Library/Mobile Documents/iCloud~md~obsidian/Documents"));
    const auto view = makeView();
    view->tabs()->setCurrentIndex(1);
    view->show();
    auto* iCloud = find<QToolButton>(*view, "iCloudVaultButton");
    EXPECT_TRUE(iCloud->isHidden());

    ASSERT_TRUE(QDir().mkpath(QDir(base).filePath(QStringLiteral("Personal"))));
    // Looked at again whenever the tab is drawn anew.
    view->hide();
    view->show();
    ASSERT_FALSE(iCloud->isHidden());
    EXPECT_EQ(iCloud->text(), QStringLiteral("Use iCloud Obsidian Vault"));
    EXPECT_TRUE(iCloud->autoRaise());
    EXPECT_EQ(iCloud->palette().color(QPalette::ButtonText), view->palette().color(QPalette::Link));
    EXPECT_TRUE(iCloud->font().underline());
    iCloud->click();
    EXPECT_EQ(find<settings::ElidedLabel>(*view, "vaultPathLabel")->text(),
              QDir(base).filePath(QStringLiteral("Personal")));
}

TEST_F(SettingsViewTest, LongVaultPathKeepsBothEnds)
{
    const QString path = QStringLiteral("/home/someone/Documents/") +
                         QStringLiteral("a-very-long-folder-name/").repeated(8) +
                         QStringLiteral("The Vault");
    temp.settings().setValue(ObsidianService::vaultPathKey, path);
    const auto view = makeView();
    view->tabs()->setCurrentIndex(1);
    view->show();
    auto* label = find<settings::ElidedLabel>(*view, "vaultPathLabel");
    const QString shown = label->shownText();
    EXPECT_LT(shown.size(), path.size());
    EXPECT_TRUE(shown.contains(u'\u2026')) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/home/"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("The Vault"))) << shown.toStdString();
    EXPECT_EQ(label->toolTip(), path);
    // The buttons keep their place inside the tab.
    auto* choose = find<QPushButton>(*view, "chooseVaultButton");
    const QRect inTab(choose->mapTo(view->tabs(), QPoint(0, 0)), choose->size());
    EXPECT_TRUE(view->tabs()->rect().contains(inTab));
}

TEST_F(SettingsViewTest, HostedInAPlainWindow)
{
    // Every control showing: a vault set and an iCloud folder present.
    temp.settings().setValue(ObsidianService::vaultPathKey, QStringLiteral("/home/me/Vault"));
    ASSERT_TRUE(QDir().mkpath(
        QDir(home.path())
            .filePath(QStringLiteral("Library/Mobile Documents/iCloud~md~obsidian/Documents"))));
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto view = makeView();
    layout->addWidget(view.release());
    window.show();
    auto* shown = window.findChild<SettingsView*>();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->tabs()->size(), QSize(460, 300));
    // The standard margin surrounds the tab view on every side.
    const QRect tabs = shown->tabs()->geometry();
    EXPECT_GT(tabs.left(), 0);
    EXPECT_GT(tabs.top(), 0);
    EXPECT_LT(tabs.right(), shown->width() - 1);
    EXPECT_LT(tabs.bottom(), shown->height() - 1);
    // Every control of both tabs fits inside the tab view.
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
}

} // namespace
