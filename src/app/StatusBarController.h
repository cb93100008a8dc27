#pragma once

#include "platform/WindowPlacer.h"
#include "platform/WindowSystem.h"
#include "settings/SettingsIcons.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace quillstow {

class ClipboardMonitor;
class HistoryStore;
class HotkeyManager;
class ObsidianService;
class PasteDelivery;
class PopupWindow;

// Owns what the user sees outside the picker's contents: the tray icon, the popup window that
// hosts the picker and the settings window. Creating it also starts the clipboard capture and
// takes the global hot key.
class StatusBarController : public QObject
{
    Q_OBJECT

public:
    struct Services
    {
        // Reached only when first needed, so the tray icon is up before the history loads.
        std::function<HistoryStore&()> store;
        std::function<ObsidianService&()> vault;
        std::function<ClipboardMonitor&()> monitor;
        HotkeyManager& hotkey;
        std::shared_ptr<platform::WindowSystem> windows;
        std::shared_ptr<PasteDelivery> delivery;
        // The caret's rectangle on screen, when one can be found.
        std::function<std::optional<QRectF>()> caretScreenRect;
        // Keeps the picker's window out of the taskbar and the pager, where the desktop can.
        std::function<void(QWidget&)> keepOffTaskbarAndPager;
        // Puts the picker where it should go; without one it moves itself (X11).
        std::shared_ptr<platform::WindowPlacer> placer = nullptr;
    };

    explicit StatusBarController(Services services, QObject* parent = nullptr);
    ~StatusBarController() override;

    // The one controller while it exists.
    static StatusBarController* shared();

    // The tray icon's action: the picker under the icon, or closed if it is open.
    void togglePopupFromButton();
    // The hot key's action: the picker at the text caret, or closed if it is open.
    void togglePopupNearCaret();
    // Shows the picker at the caret unless it is already open (a second launch asks for this).
    void showPopupNearCaret();
    void openSettings();

    QWidget* popupWindow() const;
    QWidget* settingsWindow() const;
    QSystemTrayIcon* trayIcon() const { return trayIcon_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void toggle(bool nearCursor);
    void showPopup(bool nearCursor);
    void dismissPopup();
    // Sizes the picker for the anchor's screen and moves it next to the anchor.
    void place(PopupWindow& window, bool nearCursor) const;

    Services services_;
    settings::TrayHost trayHost_ = settings::TrayHost::Panel;
    std::unique_ptr<QSystemTrayIcon> trayIcon_;
    std::unique_ptr<QMenu> trayMenu_;
    QPointer<PopupWindow> popupWindow_;
    QPointer<QWidget> settingsWindow_;
    QPoint lastTrayClick_;
    // When the popup last closed because it lost the focus: a click on the tray icon is what
    // took the focus away, and must not open the popup again at once.
    QElapsedTimer closedForFocus_;
};

} // namespace quillstow
