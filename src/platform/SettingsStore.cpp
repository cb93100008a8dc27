#include "platform/SettingsStore.h"

#include "platform/DebugLog.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why the last write in the checked format failed.
QString& lastWriteError()
{
    static QString error;
    return error;
}

// Whole writes in the checked format so far. QSettings::status() keeps its first error for good,
// so a sync that succeeds after a failed one is known by this count.
int& wholeWrites()
{
    static int count = 0;
    return count;
}

std::function<void(const QString&)>& failureHandler()
{
    static std::function<void(const QString&)> handler;
    return handler;
}

bool& failureTold()
{
    static bool told = false;
    return told;
}

// The INI text Qt's own reader understands, written by hand so that every byte is accounted for.

bool isHexDigit(char16_t ch)
{
    return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
}

void appendHex(QByteArray& out, uint value, int width)
{
    out += QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

void appendEscapedKey(QByteArray& out, QStringView key)
{
    for (const QChar c : key) {
        const char16_t ch = c.unicode();
        if (ch == u'/')
            out += '\\';
        else if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') ||
                 (ch >= u'0' && ch <= u'9') || ch == u'_' || ch == u'-' || ch == u'.')
            out += static_cast<char>(ch);
        else if (ch <= 0xff) {
            out += '%';
            appendHex(out, ch, 2);
        } else {
            out += "%U";
            appendHex(out, ch, 4);
        }
    }
}

// `raw`: bytes carried as Latin-1 characters, written as escapes rather than UTF-8.
void appendEscapedString(QByteArray& out, const QString& text, bool raw)
{
    const qsizetype start = out.size();
    bool needsQuotes = false;
    bool escapeNextIfHex = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text.at(i).unicode();
        if (ch == u';' || ch == u',' || ch == u'=')
            needsQuotes = true;
        if (escapeNextIfHex && isHexDigit(ch)) {
            out += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfHex = false;
        switch (ch) {
        case u'\0':
            out += "\\0";
            escapeNextIfHex = true;
            break;
        case u'\a':
            out += "\\a";
            break;
        case u'\b':
            out += "\\b";
            break;
        case u'\f':
            out += "\\f";
            break;
        case u'\n':
            out += "\\n";
            break;
        case u'\r':
            out += "\\r";
            break;
        case u'\t':
            out += "\\t";
            break;
        case u'\v':
            out += "\\v";
            break;
        case u'"':
            out += "\\\"";
            break;
        case u'\\':
            out += "\\\\";
            break;
        default:
            if (ch <= 0x1f || ch == 0x7f || (ch >= 0x80 && raw)) {
                out += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfHex = true;
            } else if (ch < 0x80) {
                out += static_cast<char>(ch);
            } else if (QChar::isHighSurrogate(ch) && i + 1 < text.size() &&
                       text.at(i + 1).isLowSurrogate()) {
                out += text.mid(i, 2).toUtf8();
                ++i;
            } else if (QChar::isSurrogate(ch)) {
                out += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfHex = true;
            } else {
                out += QString(QChar(ch)).toUtf8();
            }
        }
    }
    if (needsQuotes || (start < out.size() && (out.at(start) == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

QString streamed(const QVariant& value, const char* prefix, QDataStream::Version version)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(version);
    stream << value;
    return QLatin1String(prefix) + QString::fromLatin1(bytes) + QLatin1Char(')');
}

void appendValue(QByteArray& out, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        out += "@Invalid()";
        return;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        appendEscapedString(
            out, QStringLiteral("@ByteArray(") + QString::fromLatin1(bytes) + QLatin1Char(')'),
            true);
        return;
    }
    case QMetaType::QStringList: {
        const QStringList list = value.toStringList();
        if (list.isEmpty())
            out += "@Invalid()";
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (i != 0)
                out += ", ";
            const QString& item = list.at(i);
            appendEscapedString(out, item.startsWith(u'@') ? u'@' + item : item, false);
        }
        return;
    }
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double: {
        const QString text = value.toString();
        if (!text.contains(QChar(u'\0'))) {
            appendEscapedString(out, text.startsWith(u'@') ? u'@' + text : text, false);
            return;
        }
        appendEscapedString(out, streamed(value, "@Variant(", QDataStream::Qt_4_0), true);
        return;
    }
    case QMetaType::QDateTime:
        appendEscapedString(out, streamed(value, "@DateTime(", QDataStream::Qt_5_6), true);
        return;
    default:
        appendEscapedString(out, streamed(value, "@Variant(", QDataStream::Qt_4_0), true);
        return;
    }
}

QByteArray iniText(const QSettings::SettingsMap& map)
{
    // Keys without a group go under [General], as Qt's reader expects.
    QMap<QString, QList<QSettings::SettingsMap::const_iterator>> sections;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        sections[slash < 0 ? QString() : it.key().left(slash)].append(it);
    }
    QByteArray out;
    for (auto section = sections.cbegin(); section != sections.cend(); ++section) {
        if (!out.isEmpty())
            out += '\n';
        out += '[';
        if (section.key().isEmpty())
            out += "General";
        else if (section.key() == QStringLiteral("General"))
            out += "%General";
        else
            appendEscapedKey(out, section.key());
        out += "]\n";
        const qsizetype skip = section.key().isEmpty() ? 0 : section.key().size() + 1;
        for (const auto& it : section.value()) {
            appendEscapedKey(out, QStringView(it.key()).mid(skip));
            out += '=';
            appendValue(out, it.value());
            out += '\n';
        }
    }
    return out;
}

bool writeChecked(QIODevice& device, const QSettings::SettingsMap& map)
{
    const QByteArray text = iniText(map);
    // QSettings hands over a QSaveFile: what is not flushed here would only fail at its commit,
    // which does not notice, and the truncated file would replace the good one.
    auto* file = qobject_cast<QFileDevice*>(&device);
    if (device.write(text) != text.size() || (file && !file->flush())) {
        lastWriteError() =
            device.errorString().isEmpty()
                ? QCoreApplication::translate("SettingsStore", "the file was not written whole")
                : device.errorString();
        return false;
    }
    ++wholeWrites();
    return true;
}

bool readChecked(QIODevice& device, QSettings::SettingsMap& map)
{
    // Qt's own INI reader takes only a file: the bytes go to a private scratch copy first.
    const QByteArray bytes = device.readAll();
    if (bytes.isEmpty())
        return true;
    QTemporaryFile scratch(QDir::tempPath() + QStringLiteral("/quillstow-settings-XXXXXX"));
    if (!scratch.open() || scratch.write(bytes) != bytes.size() || !scratch.flush())
        return false;
    const QSettings parsed(scratch.fileName(), QSettings::IniFormat);
    if (parsed.status() != QSettings::NoError)
        return false;
    for (const QString& key : parsed.allKeys())
        map.insert(key, parsed.value(key));
    return true;
}

QString defaultSettingsPath()
{
    // Where QSettings' native format puts organisation and application "Quillstow".
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quillstow/Quillstow.conf");
}

std::unique_ptr<QSettings> inMemory()
{
    // A private scratch folder that lasts as long as the program.
    static QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/quillstow-settings-XXXXXX"));
    static int count = 0;
    return std::make_unique<QSettings>(
        scratch.filePath(QStringLiteral("memory-%1.conf").arg(++count)), checkedIniFormat());
}

struct UserSettings
{
    std::unique_ptr<QSettings> settings;
    QString problem;
};

UserSettings& user()
{
    static UserSettings opened = [] {
        UserSettings result;
        const QString path = defaultSettingsPath();
        result.settings = openSettings(path, &result.problem);
        if (!result.problem.isEmpty()) {
            result.problem =
                QCoreApplication::translate("SettingsStore",
                                            "The settings file %1 is left as it is because %2. "
                                            "Changes to the settings last until Quillstow quits; "
                                            "move the file away to start afresh.")
                    .arg(path, result.problem);
            debuglog::write(QStringLiteral("SettingsStore: ") + result.problem);
        }
        return result;
    }();
    return opened;
}

void tellFailure(const QString& reason)
{
    debuglog::write(QStringLiteral("SettingsStore: settings not saved: ") + reason);
    if (failureTold())
        return;
    failureTold() = true;
    if (failureHandler())
        failureHandler()(reason);
}

} // namespace

QSettings::Format checkedIniFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("conf"), readChecked, writeChecked);
    return format;
}

std::optional<QString> settingsFileProblem(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st
    {};
    if (::lstat(native.constData(), &st) != 0) {
        // Absent is fine, as long as its folder can be made.
        if (errno == ENOTDIR)
            return QCoreApplication::translate("SettingsStore", "%1 is not a folder")
                .arg(QFileInfo(path).absolutePath());
        if (errno != ENOENT)
            return errnoText(errno);
        return std::nullopt;
    }
    if (S_ISLNK(st.st_mode) && ::stat(native.constData(), &st) != 0)
        return QCoreApplication::translate("SettingsStore",
                                           "it is a link to %1, which cannot be reached")
            .arg(QFileInfo(path).symLinkTarget());
    if (S_ISDIR(st.st_mode))
        return QCoreApplication::translate("SettingsStore", "it is a folder");
    if (S_ISFIFO(st.st_mode))
        return QCoreApplication::translate("SettingsStore", "it is a named pipe");
    if (!S_ISREG(st.st_mode))
        return QCoreApplication::translate("SettingsStore", "it is not a regular file");
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QCoreApplication::translate("SettingsStore", "it cannot be read (%1)")
            .arg(errnoText(errno));
    ::close(fd);
    return std::nullopt;
}

std::unique_ptr<QSettings> openSettings(const QString& path, QString* problem)
{
    std::optional<QString> reason = settingsFileProblem(path);
    if (!reason) {
        auto settings = std::make_unique<QSettings>(path, checkedIniFormat());
        // Read at once: a file that does not parse is dropped before anything could be written
        // over it.
        if (settings->status() == QSettings::NoError)
            return settings;
        reason =
            QCoreApplication::translate("SettingsStore", "it cannot be read as a settings file");
    }
    if (problem)
        *problem = *reason;
    return inMemory();
}

QSettings& userSettings()
{
    return *user().settings;
}

QString userSettingsProblem()
{
    return user().problem;
}

bool syncPrivately(QSettings& settings)
{
    lastWriteError().clear();
    const int writesBefore = wholeWrites();
    {
        PrivateUmask scope;
        settings.sync();
    }
    const bool written =
        settings.format() == checkedIniFormat()
            ? wholeWrites() > writesBefore || settings.status() == QSettings::NoError
            : settings.status() == QSettings::NoError;
    if (!written) {
        tellFailure(
            lastWriteError().isEmpty()
                ? QCoreApplication::translate("SettingsStore", "%1 could not be written")
                      .arg(settings.fileName())
                : QCoreApplication::translate("SettingsStore", "%1 could not be written: %2")
                      .arg(settings.fileName(), lastWriteError()));
        return false;
    }
    makeOwnerOnly(settings.fileName());
    return true;
}

bool storeSetting(QSettings& settings, const QString& key, const QVariant& value)
{
    const QVariant current = settings.value(key);
    // The INI file gives back numbers and flags as text.
    const bool same =
        current.isValid() && (current == value || (current.typeId() == QMetaType::QString &&
                                                   value.typeId() != QMetaType::QByteArray &&
                                                   current.toString() == value.toString()));
    if (same)
        return true;
    settings.setValue(key, value);
    return syncPrivately(settings);
}

bool removeSetting(QSettings& settings, const QString& key)
{
    if (!settings.contains(key))
        return true;
    settings.remove(key);
    return syncPrivately(settings);
}

void setWriteFailureHandler(std::function<void(const QString& reason)> handler)
{
    failureHandler() = std::move(handler);
    failureTold() = false;
}

bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error)
{
    PrivateUmask scope;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    makeOwnerOnly(path);
    return true;
}

} // namespace quillstow::platform
