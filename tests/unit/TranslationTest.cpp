#include "SettingsFakes.h"
#include "app/HotkeyManager.h"
#include "app/Translations.h"
#include "history/HistoryStore.h"
#include "picker/ClearConfirmation.h"
#include "picker/CountText.h"
#include "picker/FooterButton.h"
#include "picker/PopupView.h"
#include "settings/SettingsView.h"
#include "support/RecordingDelivery.h"
#include "support/TestSupport.h"
#include "vault/ObsidianService.h"

#include <QApplication>
#include <QLabel>
#include <QSpinBox>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace quillstow;

namespace {

// The German translation as a German desktop gets it, on the real picker and settings. Installed
// once for this whole program: English is what every other test program reads.
class TranslationTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ASSERT_FALSE(installTranslations(QLocale(QLocale::English, QLocale::UnitedStates)));
        ASSERT_TRUE(installTranslations(QLocale(QLocale::German, QLocale::Germany)));
    }

    test::TempSettings temp;
    ObsidianService vault{temp.settings()};
    HistoryStore store{temp.settings(), vault, temp.databasePath()};
};

// Every widget of `top` shows its whole text: German words are longer than English ones.
void expectNothingCut(const QWidget& top)
{
    for (const auto* widget : top.findChildren<QAbstractButton*>()) {
        if (widget->isVisible() && !widget->text().isEmpty()) {
            EXPECT_GE(widget->width(), widget->sizeHint().width()) << widget->text().toStdString();
        }
    }
}

TEST_F(TranslationTest, PickerSpeaksGerman)
{
    store.add(ClipItem::create(QStringLiteral("eins"), 1000.0));
    test::RecordingDelivery delivery;
    PopupView popup(
        std::nullopt, [] {},
        PopupView::Collaborators{.store = store, .vault = vault, .delivery = delivery});
    popup.show();
    QApplication::processEvents();

    QStringList footer;
    for (const FooterButton* button : popup.findChildren<FooterButton*>())
        footer << button->text();
    EXPECT_EQ(footer, QStringList({QStringLiteral("Leeren"), QStringLiteral("Einstellungen"),
                                   QStringLiteral("Beenden")}));
    EXPECT_EQ(popup.findChild<QLabel*>(QStringLiteral("itemCount"))->text(),
              QStringLiteral("1 Eintrag"));
    expectNothingCut(popup);

    EXPECT_EQ(itemCountText(2), QStringLiteral("2 Einträge"));
    EXPECT_EQ(filteredCountText(1, 5), QStringLiteral("1 von 5 Einträgen"));

    QList<ClipItem> items{ClipItem::create(QStringLiteral("a"), 1.0),
                          ClipItem::create(QStringLiteral("b"), 2.0)};
    items[0].isPinned = true;
    const ClearQuestion question = ClearQuestion::about(items, true);
    EXPECT_EQ(question.text,
              QStringLiteral("Einen Eintrag aus dem Zwischenablage-Verlauf löschen?"));
    EXPECT_EQ(question.informativeText,
              QStringLiteral("Der angeheftete Eintrag bleibt. Das lässt sich nicht rückgängig "
                             "machen."));
}

TEST_F(TranslationTest, SettingsSpeakGerman)
{
    test::FakeFolderChooser chooser;
    test::FakeAutostart autostart;
    HotkeyManager hotkey{std::make_unique<test::FakeHotkey>()};
    SettingsView view(temp.settings(), store, vault, chooser, autostart, hotkey, temp.folder());
    view.show();
    QApplication::processEvents();

    auto* tabs = view.findChild<QTabWidget*>(QStringLiteral("settingsTabs"));
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Allgemein"));
    const auto* stepper = view.findChild<QSpinBox*>(QStringLiteral("historyStepper"));
    EXPECT_EQ(stepper->prefix() + QStringLiteral("N") + stepper->suffix(),
              QStringLiteral("N Einträge behalten"));
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        expectNothingCut(view);
    }
}

} // namespace
