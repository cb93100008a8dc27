#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
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

} // namespace quillstow::test
