#include "app/AppDelegate.h"
#include "app/CaretLocator.h"
#include "app/HotkeyManager.h"
#include "app/SingleInstance.h"
#include "app/StatusBarController.h"
#include "capture/ClipboardMonitor.h"
#include "history/HistoryStore.h"
#include "picker/PasteSequence.h"
#include "platform/Desktop.h"
#include "vault/ObsidianService.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

using namespace quillstow;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillstow"));
    QApplication::setApplicationName(QStringLiteral("Quillstow"));
    QApplication::setDesktopFileName(QStringLiteral("quillstow"));
    QApplication::setQuitOnLastWindowClosed(false);

    // One history writer per user: a second launch shows the running one's picker.
    SingleInstance instance(SingleInstance::defaultFolder());
    if (!instance.claim()) {
        if (instance.notifyRunning())
            return 0;
        QTextStream(stderr) << "Quillstow is already running, but did not answer.\n";
        return 1;
    }

    CaretLocator caret;
    AppDelegate delegate(
        [&caret] {
            std::shared_ptr<platform::WindowSystem> windows = platform::createWindowSystem();
            StatusBarController::Services services{
                []() -> HistoryStore& {
                    static HistoryStore& store = []() -> HistoryStore& {
                        HistoryStore& created = HistoryStore::shared();
                        QObject::connect(
                            &created, &HistoryStore::vaultExportFailed, &created,
                            [notifier = platform::createNotifier()](const QString& reason) {
                                notifier->notify(
                                    QStringLiteral("Quillstow"),
                                    QStringLiteral("New copies are not being saved to the "
                                                   "Obsidian vault: ") +
                                        reason);
                            });
                        return created;
                    }();
                    return store;
                },
                []() -> ObsidianService& { return ObsidianService::shared(); },
                []() -> ClipboardMonitor& { return ClipboardMonitor::shared(); },
                HotkeyManager::shared(),
                windows,
                PasteSequence::forDesktop(windows),
                [&caret] { return caret.caretScreenOrigin(); },
            };
            return std::make_unique<StatusBarController>(std::move(services));
        },
        [] { return platform::isSyntheticInputAvailable(); });
    delegate.applicationDidFinishLaunching();
    // Once the tray icon is up: connecting to the accessibility bus takes a few milliseconds.
    constexpr int followFocusDelayMs = 300;
    QTimer::singleShot(followFocusDelayMs, &delegate, [&caret] { caret.followFocus(); });
    QObject::connect(&instance, &SingleInstance::showRequested, &delegate, [&delegate] {
        if (StatusBarController* controller = delegate.statusBarController())
            controller->showPopupNearCaret();
    });
    return QApplication::exec();
}
