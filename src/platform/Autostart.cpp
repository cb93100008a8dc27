#include "platform/Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace quillstow::platform {

namespace {

QString defaultConfigHome()
{
    // Relative values are to be ignored.
    const QString fromEnvironment = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!fromEnvironment.isEmpty() && QDir::isAbsolutePath(fromEnvironment))
        return fromEnvironment;
    return QDir(QDir::homePath()).filePath(QStringLiteral(".config"));
}

// One Exec argument: quoted, then escaped once more as a string value, with field codes doubled.
QString execArgument(const QString& argument)
{
    QString quoted;
    for (QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'%', QStringLiteral("%%"));
    return u'"' + quoted + u'"';
}

} // namespace

QString commandPath()
{
    // Set by the command before it runs this program.
    const QString command = qEnvironmentVariable("QUILLSTOW_COMMAND");
    return command.isEmpty() ? QCoreApplication::applicationFilePath() : command;
}

XdgAutostart::XdgAutostart(QString configHome, QString executable)
    : executable_(executable.isEmpty() ? commandPath() : std::move(executable))
{
    if (configHome.isEmpty())
        configHome = defaultConfigHome();
    entryPath_ = QDir(configHome).filePath(QStringLiteral("autostart/quillstow.desktop"));
}

std::optional<QString> XdgAutostart::desktopEntry(const QString& executable)
{
    if (!QDir::isAbsolutePath(executable) || executable.contains(u'\n') ||
        executable.contains(u'\r'))
        return std::nullopt;
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Quillstow\n"
                          "Comment=Clipboard history\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(execArgument(executable));
}

bool XdgAutostart::isEnabled() const
{
    return QFileInfo::exists(entryPath_);
}

std::optional<QString> XdgAutostart::setEnabled(bool enabled)
{
    if (!enabled) {
        QFile entry(entryPath_);
        if (!entry.exists() || entry.remove())
            return std::nullopt;
        return QCoreApplication::translate("Autostart", "Could not remove “%1”: %2")
            .arg(QDir::toNativeSeparators(entryPath_), entry.errorString());
    }

    const std::optional<QString> text = desktopEntry(executable_);
    if (!text)
        return QCoreApplication::translate("Autostart",
                                           "The program’s location “%1” cannot be started "
                                           "from an autostart entry.")
            .arg(QDir::toNativeSeparators(executable_));
    const QString folder = QFileInfo(entryPath_).absolutePath();
    if (!QDir().mkpath(folder))
        return QCoreApplication::translate("Autostart", "Could not create the folder “%1”.")
            .arg(QDir::toNativeSeparators(folder));
    QSaveFile file(entryPath_);
    const QByteArray bytes = text->toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QCoreApplication::translate("Autostart", "Could not write “%1”: %2")
            .arg(QDir::toNativeSeparators(entryPath_), file.errorString());
    return std::nullopt;
}

} // namespace quillstow::platform
