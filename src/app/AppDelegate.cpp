#include "app/AppDelegate.h"

#include "app/StatusBarController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

namespace quillstow {

namespace {

constexpr int alertDelayMs = 500;

} // namespace

AppDelegate::AppDelegate(std::function<std::unique_ptr<StatusBarController>()> makeController,
                         std::function<bool()> syntheticInputAvailable, SessionKind session,
                         QObject* parent)
    : QObject(parent), makeController_(std::move(makeController)),
      syntheticInputAvailable_(std::move(syntheticInputAvailable)), session_(session)
{}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    // No main window: closing the settings window must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    statusBarController_ = makeController_();
    checkAccessibility();
}

void AppDelegate::checkAccessibility()
{
    if (alertScheduled_ || !syntheticInputAvailable_ || syntheticInputAvailable_())
        return;
    alertScheduled_ = true; // once per launch
    QTimer::singleShot(alertDelayMs, this, [this] { showAccessibilityAlert(); });
}

QString AppDelegate::alertText(const QString& programPath, SessionKind session)
{
    if (session == SessionKind::wayland)
        return tr("This desktop's compositor offers Quillstow no virtual keyboard, so it cannot "
                  "press Ctrl+V for you: a chosen item is put on the clipboard and you paste it "
                  "yourself. Compositors of the wlroots family (sway, Hyprland, river, labwc, "
                  "Wayfire) offer one; with such a compositor, start this program again:\n\n") +
               programPath;
    return tr("Quillstow needs Accessibility to paste items.\n\n"
              "This display does not accept synthetic key presses (the X server's XTEST "
              "extension is off), so Quillstow cannot press Ctrl+V for you: a chosen item is "
              "copied and you paste it yourself. For automatic paste, run Quillstow in an X11 "
              "session whose server has XTEST enabled (the default; a server started with "
              "\"-extension XTEST\" has it off) and start this program again:\n\n") +
           programPath;
}

QString AppDelegate::helpPage()
{
    // Installed beside the program as <prefix>/share/doc/quillstow, or in the source tree for a
    // program run from its build folder.
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString candidates[] = {
        bin.filePath(QStringLiteral("../share/doc/quillstow/automatic-paste.md")),
        bin.filePath(QStringLiteral("../../../docs/automatic-paste.md")),
    };
    for (const QString& path : candidates) {
        if (QFileInfo(path).isFile())
            return QFileInfo(path).canonicalFilePath();
    }
    return {};
}

void AppDelegate::showAccessibilityAlert()
{
    Q_EMIT accessibilityAlertDue();
    QMessageBox alert(QMessageBox::Warning, QStringLiteral("Quillstow"),
                      session_ == SessionKind::wayland ? tr("Automatic Paste Is Not Available")
                                                       : tr("Accessibility Permission Required"));
    alert.setInformativeText(alertText(QCoreApplication::applicationFilePath(), session_));
    QPushButton* help = alert.addButton(tr("Open Help"), QMessageBox::AcceptRole);
    alert.addButton(tr("Later"), QMessageBox::RejectRole);
    alert.setDefaultButton(help);
    alert.exec();
    if (alert.clickedButton() == help) {
        const QString page = helpPage();
        if (!page.isEmpty())
            QDesktopServices::openUrl(QUrl::fromLocalFile(page));
    }
}

} // namespace quillstow
