#include "platform/SettingsStore.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quillstow;

TEST(SettingsStore, SettingsFileAndItsFolderArePrivate)
{
    QTemporaryDir dir;
    const mode_t old = ::umask(022);
    const QString path = dir.filePath(QStringLiteral("new/Quillstow.conf"));
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(QStringLiteral("k"), 1);
    platform::syncPrivately(settings);
    EXPECT_EQ(test::modeOf(path), 0600u);
    EXPECT_EQ(test::modeOf(dir.filePath(QStringLiteral("new"))), 0700u);

    // A file left readable by an older run is narrowed on the next write.
    ::chmod(QFile::encodeName(path).constData(), 0644);
    settings.setValue(QStringLiteral("k"), 2);
    platform::syncPrivately(settings);
    EXPECT_EQ(test::modeOf(path), 0600u);
    ::umask(old);
}

TEST(SettingsStore, PrivateFilesAreWrittenWholeAndPrivately)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("backup.json"));
    ASSERT_TRUE(platform::writePrivateFile(path, "[1]"));
    EXPECT_EQ(test::readFile(path), QByteArray("[1]"));
    EXPECT_EQ(test::modeOf(path), 0600u);
    QString error;
    EXPECT_FALSE(
        platform::writePrivateFile(dir.filePath(QStringLiteral("no/such/dir/x")), "x", &error));
    EXPECT_FALSE(error.isEmpty());
}
