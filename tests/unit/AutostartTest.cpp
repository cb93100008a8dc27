#include "platform/Autostart.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillstow;

namespace {

QString execLine(const QString& entry)
{
    for (const QString& line : entry.split(u'\n')) {
        if (line.startsWith(QStringLiteral("Exec=")))
            return line.mid(5);
    }
    return {};
}

// Restores an environment variable when the test ends.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

TEST(AutostartTest, ExecLineQuotesEveryPathSafely)
{
    struct Case
    {
        QString executable;
        QString exec;
    };
    const Case cases[] = {
        {QStringLiteral("/usr/bin/quillstow"), QStringLiteral("\"/usr/bin/quillstow\"")},
        {QStringLiteral("/opt/100%/quillstow"), QStringLiteral("\"/opt/100%%/quillstow\"")},
        {QStringLiteral("/opt/a\"b/$x`y`/quillstow"),
         QStringLiteral("\"/opt/a\\\\\"b/\\\\$x\\\\`y\\\\`/quillstow\"")},
        {QStringLiteral("/opt/back\\slash/quillstow"),
         QStringLiteral("\"/opt/back\\\\\\\\slash/quillstow\"")},
    };
    for (const Case& c : cases) {
        const std::optional<QString> entry = platform::XdgAutostart::desktopEntry(c.executable);
        ASSERT_TRUE(entry.has_value()) << c.executable.toStdString();
        EXPECT_EQ(execLine(*entry), c.exec);
    }
    EXPECT_TRUE(
        platform::XdgAutostart::desktopEntry(cases[0].executable)
            ->startsWith(QStringLiteral("[Desktop Entry]\nType=Application\nName=Quillstow\n")));
    // Neither a relative path nor a line break can be started from an entry.
    EXPECT_FALSE(platform::XdgAutostart::desktopEntry(QStringLiteral("quillstow")));
    EXPECT_FALSE(platform::XdgAutostart::desktopEntry(QStringLiteral("/opt/a\nb/quillstow")));
}

TEST(AutostartTest, EntryFolderFollowsXdgConfigHome)
{
    QTemporaryDir config;
    {
        ScopedEnv env("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        EXPECT_EQ(platform::XdgAutostart().entryPath(),
                  config.filePath(QStringLiteral("autostart/quillstow.desktop")));
    }
    for (const QByteArray& ignored : {QByteArray(), QByteArray("relative/config")}) {
        ScopedEnv env("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(platform::XdgAutostart().entryPath(),
                  QDir::homePath() + QStringLiteral("/.config/autostart/quillstow.desktop"));
    }
}

TEST(AutostartTest, SwitchingOnWritesTheEntryAndOffRemovesIt)
{
    QTemporaryDir config;
    const QString program = QStringLiteral("/usr/local/bin/quillstow");
    platform::XdgAutostart autostart(config.path(), program);
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_EQ(autostart.setEnabled(false), std::nullopt); // nothing to remove is fine

    EXPECT_EQ(autostart.setEnabled(true), std::nullopt);
    EXPECT_TRUE(autostart.isEnabled());
    const QString entry = QString::fromUtf8(test::readFile(autostart.entryPath()));
    EXPECT_EQ(entry, *platform::XdgAutostart::desktopEntry(program));
    // Writing again replaces the entry rather than failing.
    EXPECT_EQ(autostart.setEnabled(true), std::nullopt);

    EXPECT_EQ(autostart.setEnabled(false), std::nullopt);
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_FALSE(QFileInfo::exists(autostart.entryPath()));
    // Only our entry goes; the folder and its other entries stay.
    EXPECT_TRUE(QFileInfo(config.filePath(QStringLiteral("autostart"))).isDir());
}

TEST(AutostartTest, TheRunningProgramIsWhatStarts)
{
    QTemporaryDir config;
    platform::XdgAutostart autostart(config.path());
    ASSERT_EQ(autostart.setEnabled(true), std::nullopt);
    EXPECT_EQ(execLine(QString::fromUtf8(test::readFile(autostart.entryPath()))),
              u'"' + QCoreApplication::applicationFilePath() + u'"');
}

TEST(AutostartTest, AFailedWriteIsReportedAndLeavesItOff)
{
    QTemporaryDir dir;
    // A plain file where the configuration folder should be: no folder can be made under it.
    const QString notAFolder = dir.filePath(QStringLiteral("config"));
    ASSERT_TRUE(test::writeFile(notAFolder, "x"));
    platform::XdgAutostart autostart(notAFolder, QStringLiteral("/usr/bin/quillstow"));
    const std::optional<QString> error = autostart.setEnabled(true);
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains(QStringLiteral("autostart"))) << error->toStdString();
    EXPECT_FALSE(autostart.isEnabled());

    platform::XdgAutostart relative(dir.path(), QStringLiteral("bin/quillstow"));
    EXPECT_TRUE(relative.setEnabled(true).has_value());
    EXPECT_FALSE(relative.isEnabled());
}

} // namespace
