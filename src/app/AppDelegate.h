#pragma once

#include "app/SessionKind.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace quillstow {

class StatusBarController;

// Start-up: the tray controller (which starts the capture and takes the hot key), then the check
// that automatic paste is possible on this display.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // `makeController` builds the controller; `syntheticInputAvailable` tells whether the
    // display accepts synthetic key presses; `session` words the alert when it does not.
    AppDelegate(std::function<std::unique_ptr<StatusBarController>()> makeController,
                std::function<bool()> syntheticInputAvailable,
                SessionKind session = SessionKind::x11, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    StatusBarController* statusBarController() const { return statusBarController_.get(); }

    // The alert's informative text for the program at `programPath`.
    static QString alertText(const QString& programPath, SessionKind session = SessionKind::x11);
    // The help page the alert's first button opens, or empty when none is installed.
    static QString helpPage();

Q_SIGNALS:
    // The alert is about to be shown (tests watch for it).
    void accessibilityAlertDue();

private:
    void checkAccessibility();
    void showAccessibilityAlert();

    std::function<std::unique_ptr<StatusBarController>()> makeController_;
    std::function<bool()> syntheticInputAvailable_;
    SessionKind session_;
    std::unique_ptr<StatusBarController> statusBarController_;
    bool alertScheduled_ = false;
};

} // namespace quillstow
