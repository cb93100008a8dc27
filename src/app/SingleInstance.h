#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

namespace quillstow {

// One Quillstow per user: the first launch holds a lock in the user's runtime folder and answers
// on the session bus; a later launch finds the lock, sends the running one its request (show or
// toggle the picker, or quit), and exits instead of starting a second history writer.
class SingleInstance : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quillstow.Quillstow")

public:
    static inline const QString serviceName = QStringLiteral("org.quillstow.Quillstow");

    // What a later launch asks of the running instance.
    enum class Request
    {
        Show,
        Toggle,
        Quit,
    };

    // `folder` is private to the user (normally the runtime folder).
    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);

    // The user's runtime folder, or a private folder in /tmp where the session has none (in the
    // user's cache folder when that one is not safe to use).
    static QString defaultFolder();
    // Makes `path` a folder private to the user: created with mode 0700, or an existing folder
    // of the user's narrowed to 0700. Anything else there (somebody else's folder, a link, a
    // file) is refused with the reason in `why`.
    static bool makePrivateFolder(const QString& path, QString* why = nullptr);

    // True when this process is now the one instance. A lock file that no live process holds,
    // whatever it contains, is taken over.
    bool claim();
    // claim() in two steps: the lock alone (no application object is needed for it), then the
    // answer on the session bus once the application exists.
    bool lock();
    void listen();
    // Gives the lock up, for a launch that only looked whether one runs.
    void unlock();

    // Asks the running instance to show the picker; false when none answered in time.
    bool notifyRunning(int timeoutMs = 1000);
    // Sends `request` to the running instance; false when none answered in time.
    bool send(Request request, int timeoutMs = 1000);

public Q_SLOTS:
    // Called over the session bus by a later launch.
    Q_SCRIPTABLE void ShowPicker();
    Q_SCRIPTABLE void TogglePicker();
    // Answered before the instance ends: the caller learns it was heard.
    Q_SCRIPTABLE void Quit();

Q_SIGNALS:
    void showRequested();
    void toggleRequested();
    void quitRequested();

private:
    QLockFile lock_;
};

} // namespace quillstow
