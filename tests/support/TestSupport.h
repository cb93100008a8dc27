#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <memory>
#include <ostream>
#include <sys/stat.h>
#include <vector>

// Lets GoogleTest print Qt strings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace quillstow::test {

// A folder on a tmpfs of `kilobytes`, when this machine lets us mount one.
class SmallDisk
{
public:
    explicit SmallDisk(int kilobytes)
    {
        QStringList args = QStringLiteral("-t tmpfs -o size=%1k tmpfs").arg(kilobytes).split(u' ');
        mounted_ = QProcess::execute(QStringLiteral("mount"), args << dir_.path()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            QProcess::execute(QStringLiteral("umount"), {dir_.path()});
    }
    bool mounted() const { return mounted_; }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

// A private settings file in a fresh temporary folder.
class TempSettings
{
public:
    TempSettings()
        : settings_(std::make_unique<QSettings>(dir_.filePath(QStringLiteral("Quillstow.conf")),
                                                QSettings::IniFormat))
    {}
    QSettings& settings() { return *settings_; }
    QString folder() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }
    // Where a history store in this folder keeps its database.
    QString databasePath() const { return dir_.filePath(QStringLiteral("data/history.sqlite3")); }
    // A new object on the same file, as a restart would make; the old one stays valid for
    // whoever still holds it.
    QSettings& reopen()
    {
        settings_->sync();
        retired_.push_back(std::move(settings_));
        settings_ = std::make_unique<QSettings>(dir_.filePath(QStringLiteral("Quillstow.conf")),
                                                QSettings::IniFormat);
        return *settings_;
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::vector<std::unique_ptr<QSettings>> retired_;
};

// The texts of a history's items, in their order.
template <typename Items> QStringList contents(const Items& items)
{
    QStringList out;
    for (const auto& item : items)
        out << item.content;
    return out;
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The permission bits of `path`, or 0 when it cannot be looked at.
inline unsigned modeOf(const QString& path)
{
    struct stat st
    {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Ticks every 20 ms while it lives and keeps the longest gap between ticks: a long gap means the
// event loop stood still.
class EventLoopWatch
{
public:
    EventLoopWatch()
    {
        QObject::connect(&ticker_, &QTimer::timeout,
                         [this] { longestGap_ = std::max(longestGap_, sinceTick_.restart()); });
        sinceTick_.start();
        ticker_.start(20);
    }
    qint64 longestGapMs() const { return longestGap_; }

private:
    QElapsedTimer sinceTick_;
    qint64 longestGap_ = 0;
    QTimer ticker_;
};

// A program started for a test and ended, by its process id, when the test is done with it.
// `environment` entries are "NAME=value" to set and "NAME" to remove. Its errors go to ours.
class Program
{
public:
    Program(const QString& program, const QStringList& args, const QStringList& environment = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& entry : environment) {
            if (entry.contains(u'='))
                env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
            else
                env.remove(entry);
        }
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, args);
        process_.waitForStarted(10000);
    }
    ~Program()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(pid()), SIGCONT); // a stopped program would not hear SIGTERM
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    qint64 pid() const { return process_.processId(); }
    bool isRunning() const { return process_.state() == QProcess::Running; }
    int exitCode() const { return process_.exitCode(); }
    bool waitForExit(int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return !isRunning(); }, timeoutMs);
    }
    bool end()
    {
        process_.terminate();
        return waitForExit(5000);
    }
    // Everything it printed so far.
    QString output()
    {
        output_ += QString::fromUtf8(process_.readAllStandardOutput());
        return output_;
    }
    bool waitForOutput(const QString& text, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return output().contains(text); }, timeoutMs);
    }

private:
    QProcess process_;
    QString output_;
};

// What a program run to its end said; status -1 when it did not start, or did not end by itself
// within ten seconds.
struct Ran
{
    int status = -1;
    QString out;
    QString err;
};

inline Ran run(const QString& program, const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForStarted() ||
        !QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000) ||
        p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// What a short helper program (xdotool, xprop, ...) printed, trimmed.
inline QString runTool(const QString& program, const QStringList& args)
{
    return run(program, args).out.trimmed();
}

// The words of an argument line that needs no quoting: "key super+shift+v".
inline QStringList words(const char* line)
{
    return QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
}

} // namespace quillstow::test
