#include "app/AppDelegate.h"
#include "app/Backends.h"
#include "app/CaretLocator.h"
#include "app/CommandLine.h"
#include "app/HotkeyManager.h"
#include "app/PasteSequence.h"
#include "app/SessionKind.h"
#include "app/SingleInstance.h"
#include "app/StartupNotice.h"
#include "app/StatusBarController.h"
#include "app/Translations.h"
#include "capture/ClipboardMonitor.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryStore.h"
#include "platform/Clipboard.h"
#include "platform/DebugLog.h"
#include "platform/Notifier.h"
#include "platform/SettingsStore.h"
#include "vault/ObsidianService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSystemTrayIcon>
#include <QTextStream>
#include <QThread>
#include <QTimer>

using namespace quillstow;

namespace {

// How long --quit waits for the running instance to end.
constexpr int quitWaitMs = 5000;
// A panel started with the session may come up a moment after Quillstow: the tray is looked
// for once things have settled.
constexpr int noticeDelayMs = 2000;

QStringList argumentList(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

SingleInstance::Request requestFor(CommandLine::Action action)
{
    switch (action) {
    case CommandLine::Action::Toggle:
        return SingleInstance::Request::Toggle;
    case CommandLine::Action::Quit:
        return SingleInstance::Request::Quit;
    default:
        return SingleInstance::Request::Show;
    }
}

// The launch that finds Quillstow running: hands it the request over the session bus and exits.
// Only a core application: no display connection, no widget.
int sendToRunning(int argc, char* argv[], SingleInstance& instance, CommandLine::Action action)
{
    QCoreApplication app(argc, argv);
    installTranslations();
    if (!instance.send(requestFor(action))) {
        QTextStream(stderr) << QCoreApplication::translate(
                                   "main", "Quillstow is already running, but did not answer.")
                            << '\n';
        return 1;
    }
    if (action != CommandLine::Action::Quit)
        return 0;
    // Done when the instance has let go of its lock, so that a start right after finds none.
    QElapsedTimer waited;
    waited.start();
    while (!instance.lock()) {
        if (waited.elapsed() > quitWaitMs) {
            QTextStream(stderr) << QCoreApplication::translate(
                                       "main", "Quillstow was asked to quit but is still running.")
                                << '\n';
            return 1;
        }
        QThread::msleep(50);
    }
    instance.unlock();
    return 0;
}

// Said once, the first time a copy is too large to keep; the size itself is in the log.
QString tooLargeNotice()
{
    return QCoreApplication::translate("main", "A copied text was not added to the history: it "
                                               "is larger than %1 MB, the most Quillstow keeps.")
        .arg(platform::maxTextBytes / (1024 * 1024));
}

// --help, --version or a mistake in the arguments: told in the user's language, with no display.
int printAndExit(int argc, char* argv[], const QStringList& arguments)
{
    QCoreApplication app(argc, argv);
    installTranslations();
    const CommandLine line = CommandLine::parse(arguments);
    QTextStream(line.outputIsError ? stderr : stdout) << line.output;
    return line.exitStatus;
}

} // namespace

int main(int argc, char* argv[])
{
    // Read before any application object: --help needs no display, and a launch that only
    // talks to the running instance creates no window.
    const QStringList arguments = argumentList(argc, argv);
    const CommandLine line = CommandLine::parse(arguments);
    if (line.action == CommandLine::Action::Exit)
        return printAndExit(argc, argv, arguments);

    // One history writer per user: a later launch hands its request to the running one.
    SingleInstance instance(SingleInstance::defaultFolder());
    if (!instance.lock())
        return sendToRunning(argc, argv, instance, line.action);
    if (line.action == CommandLine::Action::Quit) {
        instance.unlock();
        QCoreApplication app(argc, argv);
        installTranslations();
        QTextStream(stderr) << QCoreApplication::translate("main", "Quillstow is not running.")
                            << '\n';
        return 1;
    }

    // The Qt platform is chosen before the application object: Qt itself aborts when the one it
    // picks cannot be reached.
    const SessionEnvironment environment = SessionEnvironment::current();
    const PlatformChoice platform = choosePlatform(environment);
    if (!platform.usable) {
        QCoreApplication core(argc, argv);
        installTranslations();
        QTextStream(stderr) << noDesktopMessage() << '\n';
        return 1;
    }
    if (!platform.plugin.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform.plugin.toLatin1());
    QApplication app(argc, argv);
    // Programs started from here (a help page's viewer) choose for themselves.
    if (!platform.plugin.isEmpty())
        qunsetenv("QT_QPA_PLATFORM");
    QApplication::setOrganizationName(QStringLiteral("Quillstow"));
    QApplication::setApplicationName(QStringLiteral("Quillstow"));
    QApplication::setDesktopFileName(QStringLiteral("quillstow"));
    QApplication::setQuitOnLastWindowClosed(false);
    installTranslations();
    instance.listen();

    // The one place that chooses the platform's implementations; everything below receives them.
    Backends backends = makeBackends(sessionKindFor(QGuiApplication::platformName(), environment));
    debuglog::write(QStringLiteral("Session: Qt platform ") + QGuiApplication::platformName());
    const std::shared_ptr<platform::Notifier> notifier = backends.notifier;
    platform::setWriteFailureHandler([notifier](const QString& reason) {
        notifier->notify(
            QStringLiteral("Quillstow"),
            QCoreApplication::translate("main", "Settings are not being saved: %1").arg(reason));
    });
    ObsidianService vault(platform::userSettings());
    HotkeyManager hotkey(
        std::move(backends.hotkey),
        HotkeyManager::fromSetting(platform::userSettings().value(HotkeyManager::settingsKey)));
    CaretLocator caret(std::move(backends.caret));
    AppDelegate delegate(
        [&caret, &backends, &vault, &hotkey, notifier] {
            StatusBarController::Services services{
                [notifier, &vault]() -> HistoryStore& {
                    // Lives as long as the program: the capture writes to it to the end.
                    static HistoryStore& store = [&notifier, &vault]() -> HistoryStore& {
                        HistoryStore& created = *new HistoryStore(platform::userSettings(), vault,
                                                                  HistoryDatabase::defaultPath());
                        QObject::connect(
                            &created, &HistoryStore::vaultExportFailed, &created,
                            [notifier](const QString& reason) {
                                notifier->notify(
                                    QStringLiteral("Quillstow"),
                                    QCoreApplication::translate(
                                        "main",
                                        "New copies are not being saved to the Obsidian vault: %1")
                                        .arg(reason));
                            });
                        const auto tellSaveState = [notifier, &created] {
                            if (!created.saveFailure().isEmpty())
                                notifier->notify(QStringLiteral("Quillstow"),
                                                 historyNotSavedMessage(created.saveFailure()));
                        };
                        const auto tellMovedAside = [notifier](const QString& path) {
                            notifier->notify(QStringLiteral("Quillstow"),
                                             historyMovedAsideMessage(path));
                        };
                        QObject::connect(&created, &HistoryStore::saveStateChanged, &created,
                                         tellSaveState);
                        QObject::connect(&created, &HistoryStore::movedAside, &created,
                                         tellMovedAside);
                        // What happened while the history loaded.
                        if (!created.movedAsidePath().isEmpty())
                            tellMovedAside(created.movedAsidePath());
                        tellSaveState();
                        return created;
                    }();
                    return store;
                },
                [&vault]() -> ObsidianService& { return vault; },
                {}, // below: it needs the history
                hotkey,
                backends.windows,
                std::make_shared<PasteSequence>(PasteServices{backends.clipboardWriter,
                                                              backends.windows, backends.keys,
                                                              notifier, backends.session}),
                [&caret] { return caret.caretScreenRect(); },
                backends.keepOffTaskbarAndPager,
                backends.placer,
            };
            // The capture loads the history at start: the history's notices are connected first.
            services.monitor = [store = services.store, &backends,
                                notifier]() -> ClipboardMonitor& {
                // Lives as long as the program, as the clipboard it reads.
                static ClipboardMonitor& monitor = [&]() -> ClipboardMonitor& {
                    auto& created = *new ClipboardMonitor(backends.clipboard(), store(),
                                                          platform::userSettings());
                    QObject::connect(
                        &created, &ClipboardMonitor::skippedTooLarge, &created, [notifier] {
                            notifier->notify(QStringLiteral("Quillstow"), tooLargeNotice());
                        });
                    return created;
                }();
                return monitor;
            };
            return std::make_unique<StatusBarController>(std::move(services));
        },
        [keys = backends.keys] { return keys->isAvailable(); }, backends.session);
    delegate.applicationDidFinishLaunching();
    // Once the tray icon is up: connecting to the accessibility bus takes a few milliseconds.
    constexpr int followFocusDelayMs = 300;
    QTimer::singleShot(followFocusDelayMs, &delegate, [&caret] { caret.followFocus(); });
    const auto show = [&delegate] {
        if (StatusBarController* controller = delegate.statusBarController())
            controller->showPopupNearCaret();
    };
    const auto toggle = [&delegate] {
        if (StatusBarController* controller = delegate.statusBarController())
            controller->togglePopupNearCaret();
    };
    // Queued: the caller has its answer before the picker is built.
    QObject::connect(&instance, &SingleInstance::showRequested, &delegate, show,
                     Qt::QueuedConnection);
    QObject::connect(&instance, &SingleInstance::toggleRequested, &delegate, toggle,
                     Qt::QueuedConnection);
    // After the answer has gone out, as the tray menu's Quit does.
    QObject::connect(&instance, &SingleInstance::quitRequested, &app,
                     [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); });
    // Started by --show or --toggle: the picker comes up once the program is.
    if (line.action == CommandLine::Action::Show)
        QTimer::singleShot(0, &delegate, show);
    else if (line.action == CommandLine::Action::Toggle)
        QTimer::singleShot(0, &delegate, toggle);

    // Told once when the tray icon or the hot key is missing, with the way that is left.
    QTimer::singleShot(noticeDelayMs, &delegate, [notifier, &hotkey, &backends] {
        if (const QString problem = platform::userSettingsProblem(); !problem.isEmpty())
            notifier->notify(QStringLiteral("Quillstow"), problem);
        for (const QString& limitation : std::as_const(backends.limitations)) {
            debuglog::write(QStringLiteral("Session: ") + limitation);
            notifier->notify(QStringLiteral("Quillstow"), limitation);
        }
        const QString notice =
            startupNotice(QSystemTrayIcon::isSystemTrayAvailable(), hotkey.failure(),
                          HotkeyManager::displayText(hotkey.combination()));
        if (notice.isEmpty())
            return;
        debuglog::write(QStringLiteral("Start-up notice: ") + notice);
        notifier->notify(QStringLiteral("Quillstow"), notice);
    });
    return QApplication::exec();
}
