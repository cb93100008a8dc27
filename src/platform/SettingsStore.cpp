#include "platform/SettingsStore.h"

#include <QFile>
#include <QSaveFile>
#include <sys/stat.h>

namespace quillstow::platform {

namespace {

// Files and folders created inside the scope get no group or other permissions. Everything runs
// on the GUI thread, so the process-wide mask is not raced.
class PrivateUmask
{
public:
    PrivateUmask() : previous_(::umask(077)) {}
    ~PrivateUmask() { ::umask(previous_); }
    PrivateUmask(const PrivateUmask&) = delete;
    PrivateUmask& operator=(const PrivateUmask&) = delete;

private:
    mode_t previous_;
};

// A file that existed before with wider permissions is narrowed too.
void makeOwnerOnly(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st
    {};
    if (::stat(native.constData(), &st) == 0 && (st.st_mode & 0777) != 0600)
        ::chmod(native.constData(), 0600);
}

} // namespace

QSettings& userSettings()
{
    // The native format here is an INI file: ~/.config/Quillstow/Quillstow.conf.
    static QSettings settings(QStringLiteral("Quillstow"), QStringLiteral("Quillstow"));
    return settings;
}

void syncPrivately(QSettings& settings)
{
    {
        PrivateUmask scope;
        settings.sync();
    }
    makeOwnerOnly(settings.fileName());
}

bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error)
{
    PrivateUmask scope;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    makeOwnerOnly(path);
    return true;
}

} // namespace quillstow::platform
