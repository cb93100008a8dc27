#include "platform/Autostart.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>

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

TEST(AutostartTest, ExecLineQuotesEveryPathSafely)
{
    // exec: none: no entry can start it
    const std::tuple<QString, QString> cases[] = {
        {QStringLiteral("/usr/bin/quillstow"), QStringLiteral("\"/usr/bin/quillstow\"")},
        {QStringLiteral("/opt/100%/a\"b/$x`y`/back\\slash/quillstow"),
         QStringLiteral("\"/opt/100%%/a\\\\\"b/\\\\$x\\\\`y\\\\`/back\\\\\\\\slash/quillstow\"")},
        {QStringLiteral("quillstow"), QString()},
        {QStringLiteral("/opt/a\nb/quillstow"), QString()},
    };
    for (const auto& [executable, exec] : cases) {
        const std::optional<QString> entry = platform::XdgAutostart::desktopEntry(executable);
        EXPECT_EQ(entry.has_value(), !exec.isEmpty()) << executable.toStdString();
        if (entry) {
            EXPECT_EQ(execLine(*entry), exec);
            EXPECT_TRUE(entry->startsWith(
                QStringLiteral("[Desktop Entry]\nType=Application\nName=Quillstow\n")));
        }
    }
}

TEST(AutostartTest, EntryFolderFollowsAnAbsoluteXdgConfigHome)
{
    QTemporaryDir config;
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    const QString fallback = QDir::homePath() + QStringLiteral("/.config");
    for (const auto& [value, folder] : {std::pair{QFile::encodeName(config.path()), config.path()},
                                        {QByteArray(), fallback},
                                        {QByteArray("relative/config"), fallback}}) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(platform::XdgAutostart().entryPath(),
                  folder + QStringLiteral("/autostart/quillstow.desktop"));
    }
    if (wasSet)
        qputenv("XDG_CONFIG_HOME", old);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

TEST(AutostartTest, SwitchingOnWritesTheRunningProgramsEntryAndOffRemovesIt)
{
    QTemporaryDir config;
    platform::XdgAutostart autostart(config.path());
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_EQ(autostart.setEnabled(false), std::nullopt); // nothing to remove is fine
    for (int i = 0; i < 2; ++i) // writing again replaces the entry rather than failing
        EXPECT_EQ(autostart.setEnabled(true), std::nullopt);
    EXPECT_TRUE(autostart.isEnabled());
    EXPECT_EQ(execLine(QString::fromUtf8(test::readFile(autostart.entryPath()))),
              u'"' + QCoreApplication::applicationFilePath() + u'"');

    EXPECT_EQ(autostart.setEnabled(false), std::nullopt);
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_FALSE(QFileInfo::exists(autostart.entryPath()));
    // Only our entry goes; the folder stays.
    EXPECT_TRUE(QFileInfo(config.filePath(QStringLiteral("autostart"))).isDir());
}

TEST(AutostartTest, AFailedWriteIsReportedAndLeavesItOff)
{
    QTemporaryDir dir;
    // A plain file where the configuration folder should be: no folder can be made under it.
    const QString notAFolder = dir.filePath(QStringLiteral("config"));
    ASSERT_TRUE(test::writeFile(notAFolder, "x"));
    platform::XdgAutostart unwritable(notAFolder, QStringLiteral("/usr/bin/quillstow"));
    platform::XdgAutostart relative(dir.path(), QStringLiteral("bin/quillstow"));
    for (platform::XdgAutostart* autostart : {&unwritable, &relative}) {
        const std::optional<QString> error = autostart->setEnabled(true);
        ASSERT_TRUE(error.has_value());
        EXPECT_TRUE(error->contains(QStringLiteral("autostart"))) << error->toStdString();
        EXPECT_FALSE(autostart->isEnabled());
    }
}

} // namespace
