// The shell's own rules on the offscreen platform: the toggle, placement at the caret, the
// settings window's reuse, and the start-up alert.
#include "SettingsFakes.h"
#include "app/AppDelegate.h"
#include "app/HotkeyManager.h"
#include "app/StatusBarController.h"
#include "capture/ClipboardMonitor.h"
#include "history/HistoryStore.h"
#include "picker/PopupView.h"
#include "settings/SettingsIcons.h"
#include "support/ClipboardDoubles.h"
#include "support/OpenDialogs.h"
#include "support/RecordingDelivery.h"
#include "support/TestSupport.h"
#include "vault/ObsidianService.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quillstow;

namespace {

class ShellTest : public ::testing::Test
{
protected:
    test::TempSettings temp;
    ObsidianService vault{temp.settings()};
    HistoryStore store{temp.settings(), vault, temp.databasePath()};
    test::FakeClipboard clipboard;
    ClipboardMonitor monitor{clipboard, store, temp.settings()};
    test::FakeHotkey* hotkeyBackend = new test::FakeHotkey;
    HotkeyManager hotkey{std::unique_ptr<platform::GlobalHotkey>(hotkeyBackend)};
    std::shared_ptr<test::RecordingDelivery> delivery = std::make_shared<test::RecordingDelivery>();
    std::optional<QRectF> caret = QRectF(200, 150, 2, 18);

    bool hotkeyTakenBeforeCapture = false;

    std::unique_ptr<StatusBarController> makeController()
    {
        return std::make_unique<StatusBarController>(StatusBarController::Services{
            [this]() -> HistoryStore& { return store; },
            [this]() -> ObsidianService& { return vault; },
            // Asking for the capture is what loads the history at start.
            [this]() -> ClipboardMonitor& {
                hotkeyTakenBeforeCapture = bool(hotkeyBackend->press);
                return monitor;
            },
            hotkey,
            nullptr, // no window in front: the delivery is all this watches
            delivery,
            [this] { return caret; },
            {}});
    }
    void pressHotkey()
    {
        hotkeyBackend->press();
        QTest::qWait(50); // the press only schedules the toggle
    }
};

} // namespace

TEST_F(ShellTest, TheHotKeyTogglesAPopupAtTheCaretThatPastesAndEndsWithTheShell)
{
    store.add(ClipItem::create(QStringLiteral("older")));
    auto controller = makeController();
    EXPECT_EQ(StatusBarController::shared(), controller.get());
    EXPECT_TRUE(hotkeyTakenBeforeCapture); // the hot key does not wait for the history
    clipboard.copyText(QStringLiteral("copied after start"));
    QTest::qWait(150);
    ASSERT_EQ(store.items().size(), 2);
    EXPECT_EQ(store.items().front().content, QStringLiteral("copied after start"));

    pressHotkey();
    QWidget* shown = controller->popupWindow();
    ASSERT_NE(shown, nullptr);
    const QPointer<QWidget> first(shown);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->pos(), QPoint(200, 168));
    pressHotkey();
    EXPECT_EQ(controller->popupWindow(), nullptr);
    QTest::qWait(10); // the closed window is deleted later
    EXPECT_TRUE(first.isNull());

    // No caret: the pointer stands in; either way the popup stays on the screen.
    caret.reset();
    pressHotkey();
    QWidget* popup = controller->popupWindow();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(QGuiApplication::primaryScreen()->geometry().contains(popup->geometry()));
    QTest::keyClick(popup->focusWidget(), Qt::Key_Down);
    QTest::keyClick(popup->focusWidget(), Qt::Key_Return);
    EXPECT_EQ(delivery->pasted, QStringList{QStringLiteral("older")});
    EXPECT_EQ(controller->popupWindow(), nullptr);

    // Ending with the picker open takes the picker along.
    pressHotkey();
    const QPointer<QWidget> last(controller->popupWindow());
    ASSERT_FALSE(last.isNull());
    controller.reset();
    EXPECT_EQ(StatusBarController::shared(), nullptr);
    QTest::qWait(10);
    EXPECT_TRUE(last.isNull());
}

TEST_F(ShellTest, TheTrayIconIsAMaskInTheTextColourAndSettingsOpenOnce)
{
    const QPalette original = QGuiApplication::palette();
    auto controller = makeController();
    controller->openSettings(); // open while the palette changes
    // A light text colour, unlike the default one: a dark panel.
    const QColor text(0xee, 0xee, 0xee);
    QPalette palette = original;
    palette.setColor(QPalette::WindowText, text);
    QApplication::setPalette(palette);
    QCoreApplication::processEvents();
    const QIcon tray = controller->trayIcon()->icon();
    EXPECT_TRUE(tray.isMask());
    EXPECT_EQ(tray.pixmap(QSize(22, 22)).toImage(),
              settings::trayIcon(settings::TrayHost::Panel, text).pixmap(QSize(22, 22)).toImage());
    QApplication::setPalette(original);

    // The settings window is reused while open and made anew after closing.
    QWidget* window = controller->settingsWindow();
    ASSERT_NE(window, nullptr);
    const QPointer<QWidget> first(window);
    controller->openSettings();
    EXPECT_EQ(controller->settingsWindow(), window);
    window->close();
    QTest::qWait(10);
    EXPECT_TRUE(first.isNull());
    controller->openSettings();
    ASSERT_NE(controller->settingsWindow(), nullptr);
    EXPECT_TRUE(controller->settingsWindow()->isVisible());
}

TEST(AppDelegate, AlertsOnceAfterStartOnlyWithoutSyntheticInputInTheSessionsWords)
{
    const struct
    {
        bool available;
        SessionKind session;
    } cases[] = {
        {true, SessionKind::x11}, {false, SessionKind::x11}, {false, SessionKind::wayland}};
    for (const auto& c : cases) {
        int checks = 0;
        AppDelegate delegate([] { return std::unique_ptr<StatusBarController>(); },
                             [&] {
                                 ++checks;
                                 return c.available;
                             },
                             c.session);
        QSignalSpy due(&delegate, &AppDelegate::accessibilityAlertDue);
        // Answers the modal alert with "Later" as soon as it shows, keeping what it said.
        QString said;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&said] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                said = box->text() + box->informativeText();
                box->reject();
            }
        });
        closer.start(20);
        QElapsedTimer clock;
        clock.start();
        delegate.applicationDidFinishLaunching();
        EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
        EXPECT_EQ(due.count(), 0); // not at once
        if (!c.available) {
            ASSERT_TRUE(due.wait(5000));
            EXPECT_GE(clock.elapsed(), 450);
        }
        QTest::qWait(700);
        EXPECT_EQ(due.count(), c.available ? 0 : 1);
        EXPECT_EQ(checks, 1);
        // It names the program to start again; words of X11 and of macOS mean nothing on Wayland.
        EXPECT_EQ(said.endsWith(u'\n' + QCoreApplication::applicationFilePath()), !c.available);
        EXPECT_EQ(said.contains(QStringLiteral("XTEST")) ||
                      said.contains(QStringLiteral("Accessibility")),
                  !c.available && c.session == SessionKind::x11);
    }
}

// The picker's own windows, for real: the warning box a failed save shows and the question
// Clear asks both take the focus, which closes and deletes the picker. They must outlive it.
TEST_F(ShellTest, TheFailedSaveAlertAndTheClearQuestionOutliveThePicker)
{
    for (const bool clearing : {false, true}) {
        SCOPED_TRACE(clearing ? "Clear, confirmed" : "no vault configured");
        store.clearAll(false);
        store.add(ClipItem::create(QStringLiteral("older")));
        store.add(ClipItem::create(QStringLiteral("newest")));
        auto controller = makeController();
        controller->togglePopupNearCaret();
        QTest::qWait(20);
        QWidget* shown = controller->popupWindow();
        ASSERT_NE(shown, nullptr);
        const QPointer<QWidget> popup(shown);
        ASSERT_EQ(QApplication::activeWindow(), shown);
        auto* view = shown->findChild<PopupView*>();
        ASSERT_NE(view, nullptr);
        // Should a box block after all, it is closed rather than left hanging.
        QTimer::singleShot(2000, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        if (clearing) {
            for (auto* button : view->findChildren<QAbstractButton*>())
                if (button->text() == QStringLiteral("Clear"))
                    button->click();
        } else {
            view->saveToObsidian(view->visibleItems().first());
        }

        QMessageBox* box =
            test::shownMessageBox(clearing ? QStringLiteral("clearHistoryConfirmation")
                                           : QStringLiteral("saveFailedAlert"));
        ASSERT_NE(box, nullptr);
        const QPointer<QMessageBox> watch(box);
        QTest::qWait(20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(popup.isNull()); // closed for the lost focus, and deleted
        EXPECT_EQ(controller->popupWindow(), nullptr);
        ASSERT_FALSE(watch.isNull());
        EXPECT_TRUE(box->isVisible());
        if (!clearing) { // says why
            EXPECT_EQ(box->informativeText(), ObsidianError::noVaultConfigured().description);
        }
        QAbstractButton* answer = clearing ? test::buttonLabelled(*box, QStringLiteral("Clear"))
                                           : box->button(QMessageBox::Ok);
        ASSERT_NE(answer, nullptr);
        answer->click();
        EXPECT_EQ(store.items().size(), clearing ? 0 : 2);
        EXPECT_TRUE(test::deletedAfterClosing(watch));
    }
}
