#include "app/StatusBarController.h"

#include "app/HotkeyManager.h"
#include "app/PopupPlacement.h"
#include "app/PopupWindow.h"
#include "capture/ClipboardMonitor.h"
#include "history/HistoryStore.h"
#include "picker/PasteDelivery.h"
#include "picker/PopupView.h"
#include "platform/SettingsStore.h"
#include "platform/StatusNotifierHost.h"
#include "settings/SettingsIcons.h"
#include "settings/SettingsView.h"
#include "vault/ObsidianService.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

namespace quillstow {

namespace {

StatusBarController* theController = nullptr;

// A tray click that lands this soon after the popup closed for losing the focus is the click
// that took the focus.
constexpr qint64 focusLossGraceMs = 400;

QList<QRect> screenGeometries(int* primary)
{
    QList<QRect> rects;
    const QList<QScreen*> screens = QGuiApplication::screens();
    *primary = 0;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        rects.append(screens[i]->geometry());
        if (screens[i] == QGuiApplication::primaryScreen())
            *primary = static_cast<int>(i);
    }
    return rects;
}

bool isShown(const QWidget* window)
{
    return window != nullptr && window->isVisible();
}

QColor panelTextColour()
{
    return QGuiApplication::palette().color(QPalette::WindowText);
}

void bringForward(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

StatusBarController::StatusBarController(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services))
{
    theController = this;

    // The launcher's icon for every window (picker, settings, alerts); an X11 panel's tray gets a
    // monochrome one in the desktop's text colour, redrawn when the palette changes. A
    // StatusNotifierItem bar (swaybar's is black) gets the coloured one: its colour is unknown.
    QApplication::setWindowIcon(settings::appIcon());
    trayHost_ = platform::statusNotifierHostPresent() ? settings::TrayHost::StatusNotifier
                                                      : settings::TrayHost::Panel;
    trayIcon_ = std::make_unique<QSystemTrayIcon>(settings::trayIcon(trayHost_, panelTextColour()));
    qApp->installEventFilter(this);
    trayIcon_->setToolTip(QStringLiteral("Quillstow"));
    trayMenu_ = std::make_unique<QMenu>();
    trayMenu_->addAction(tr("Open Quillstow"), this, [this] { showPopup(false); });
    trayMenu_->addAction(tr("Settings…"), this, [this] { openSettings(); });
    trayMenu_->addSeparator();
    trayMenu_->addAction(tr("Quit"), qApp, &QCoreApplication::quit);
    trayIcon_->setContextMenu(trayMenu_.get());
    connect(trayIcon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A quick second click arrives as a double click: every click toggles.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    lastTrayClick_ = QCursor::pos();
                    togglePopupFromButton();
                }
            });
    trayIcon_->show();

    // The press only schedules the toggle: the window work happens on a later turn of the loop.
    services_.hotkey.onActivate = [guard = QPointer<StatusBarController>(this)] {
        QTimer::singleShot(0, guard.data(), [guard] {
            if (guard)
                guard->togglePopupNearCaret();
        });
    };
    services_.hotkey.registerHotKey();

    // Loads the history: after the hot key, which then works however long that takes.
    services_.monitor().start();
}

StatusBarController::~StatusBarController()
{
    services_.hotkey.onActivate = nullptr;
    if (popupWindow_)
        popupWindow_->close();
    if (settingsWindow_)
        settingsWindow_->close();
    if (theController == this)
        theController = nullptr;
}

bool StatusBarController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        trayIcon_->setIcon(settings::trayIcon(trayHost_, panelTextColour()));
    return QObject::eventFilter(watched, event);
}

StatusBarController* StatusBarController::shared()
{
    return theController;
}

QWidget* StatusBarController::popupWindow() const
{
    return popupWindow_.data();
}

QWidget* StatusBarController::settingsWindow() const
{
    return settingsWindow_.data();
}

void StatusBarController::togglePopupFromButton()
{
    toggle(false);
}

void StatusBarController::togglePopupNearCaret()
{
    toggle(true);
}

void StatusBarController::showPopupNearCaret()
{
    if (isShown(popupWindow_.data())) {
        bringForward(popupWindow_);
        return;
    }
    showPopup(true);
}

void StatusBarController::toggle(bool nearCursor)
{
    if (isShown(popupWindow_.data())) {
        dismissPopup();
        return;
    }
    if (!nearCursor && closedForFocus_.isValid() && closedForFocus_.elapsed() < focusLossGraceMs) {
        closedForFocus_.invalidate();
        return;
    }
    showPopup(nearCursor);
}

void StatusBarController::dismissPopup()
{
    if (popupWindow_)
        popupWindow_->close();
    popupWindow_.clear();
}

void StatusBarController::showPopup(bool nearCursor)
{
    // Read before anything of ours is shown or activated.
    const std::optional<platform::WindowRef> previousApp =
        services_.windows ? services_.windows->activeWindow() : std::nullopt;

    PopupView::Collaborators collaborators{services_.store(), services_.vault(),
                                           *services_.delivery};
    collaborators.onOpenSettings = [this] {
        openSettings();
    };
    collaborators.onQuit = [] {
        QCoreApplication::quit();
    };
    auto* view = new PopupView(
        previousApp, [this] { dismissPopup(); }, std::move(collaborators));

    auto* window = new PopupWindow(view);
    if (services_.keepOffTaskbarAndPager)
        services_.keepOffTaskbarAndPager(*window);
    window->onClosed = [this, guard = QPointer<PopupWindow>(window)](bool lostFocus) {
        if (lostFocus)
            closedForFocus_.start();
        if (popupWindow_ == guard)
            popupWindow_.clear();
    };
    place(*window, nearCursor);
    popupWindow_ = window;
    bringForward(window);
}

void StatusBarController::place(PopupWindow& window, bool nearCursor) const
{
    platform::WindowPlacer* placer = services_.placer.get();
    const bool knowsPointer = !placer || placer->knowsPointer();
    QRect anchor;
    bool underIcon = false;
    if (!nearCursor) {
        // Trays that report no geometry (StatusNotifierItem) leave the pointer at the click as
        // the best stand-in for the icon, where the pointer is known; else the hot key's rule.
        anchor = trayIcon_->geometry();
        underIcon = anchor.isValid() && !anchor.isEmpty();
        if (!underIcon && knowsPointer) {
            const QPoint pointer = lastTrayClick_.isNull() ? QCursor::pos() : lastTrayClick_;
            anchor = QRect(pointer, QSize(1, 1));
            underIcon = true;
        }
    }
    // Without a caret or a pointer to go by, the picker is centred on the output in use.
    bool centred = false;
    if (!underIcon) {
        const std::optional<QRectF> caret =
            services_.caretScreenRect ? services_.caretScreenRect() : std::nullopt;
        if (caret) {
            anchor = caret->toRect();
        } else if (knowsPointer) {
            anchor = QRect(QCursor::pos(), QSize(0, 0));
        } else {
            centred = true;
            const QScreen* primary = QGuiApplication::primaryScreen();
            anchor = placer->focusedOutput().value_or(primary ? primary->geometry() : QRect());
        }
    }
    const QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QSize size = placement::fittedSize(screen ? screen->availableGeometry().size() : QSize());
    window.setPanelSize(size);

    int primary = 0;
    const QList<QRect> screens = screenGeometries(&primary);
    const QPoint topLeft = centred     ? placement::centredOn(anchor, size)
                           : underIcon ? placement::underTrayIcon(anchor, size, screens, primary)
                                       : placement::nearAnchor(anchor, size, screens, primary);
    if (placer)
        placer->place(window, topLeft);
    else
        window.move(topLeft);
}

void StatusBarController::openSettings()
{
    if (isShown(settingsWindow_.data())) {
        bringForward(settingsWindow_);
        return;
    }
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(tr("Quillstow Settings"));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SettingsView(platform::userSettings(), services_.store(),
                                       services_.vault(), services_.hotkey));
    window->setFixedSize(window->sizeHint());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    window->move(screen.center() - window->rect().center());
    settingsWindow_ = window;
    bringForward(window);
}

} // namespace quillstow
