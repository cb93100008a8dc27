#include "platform/SettingsStore.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quillstow;

// A private file written whole is the history's backup, checked there.
TEST(SettingsStore, APrivateFileNotWrittenSaysWhy)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(
        platform::writePrivateFile(dir.filePath(QStringLiteral("no/such/dir/x")), "x", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(SettingsStore, TheCheckedWriterReadsBackAsQtsOwnIniWriterDoes)
{
    QTemporaryDir dir;
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary += static_cast<char>(i);
    const QList<std::pair<QString, QVariant>> values = {
        {QStringLiteral("max_history_items"), 500},
        {QStringLiteral("launch_at_login"), true},
        {QStringLiteral("hotkey"), QStringLiteral("Meta+Shift+V")},
        {QStringLiteral("path"), QStringLiteral(" /home/ä b;c,d=e \"q\" \\ \t\n\u4e2d\U0001F600 ")},
        {QStringLiteral("at"), QStringLiteral("@ByteArray(not really)")},
        {QStringLiteral("nul"), QStringLiteral("a") + QChar(u'\0') + QStringLiteral("1b")},
        {QStringLiteral("bytes"), binary + "1f"},
        {QStringLiteral("list"), QStringList{QStringLiteral("a,b"), QStringLiteral("@c")}},
        {QStringLiteral("empty list"), QStringList{}},
        {QStringLiteral("ratio"), 0.1},
        {QStringLiteral("group/sub/key\u00e9\u4e2d"), QStringLiteral("x")},
        {QStringLiteral("General/x"), 7},
    };
    const QString theirs = dir.filePath(QStringLiteral("qt.conf"));
    const QString ours = dir.filePath(QStringLiteral("ours.conf"));
    {
        QSettings qt(theirs, QSettings::IniFormat);
        QSettings checked(ours, platform::checkedIniFormat());
        for (const auto& [key, value] : values) {
            qt.setValue(key, value);
            checked.setValue(key, value);
        }
        ASSERT_TRUE(platform::syncPrivately(checked));
    }
    const QSettings expected(theirs, QSettings::IniFormat);
    const QSettings actual(ours, QSettings::IniFormat);
    ASSERT_EQ(actual.status(), QSettings::NoError) << test::readFile(ours).toStdString();
    EXPECT_EQ(actual.allKeys(), expected.allKeys());
    for (const QString& key : expected.allKeys())
        EXPECT_EQ(actual.value(key), expected.value(key)) << key.toStdString();
    // And our reader takes Qt's file.
    const QSettings reread(theirs, platform::checkedIniFormat());
    for (const QString& key : expected.allKeys())
        EXPECT_EQ(reread.value(key), expected.value(key)) << key.toStdString();
}

TEST(SettingsStore, WhatCannotBeUsedAtTheSettingsPathIsLeftAloneAndSettingsStayInMemory)
{
    QTemporaryDir dir;
    const struct
    {
        const char* name;
        std::function<void(const QString&)> make;
        const char* reason;
    } cases[] = {
        {"fifo", [](const QString& p) { ::mkfifo(QFile::encodeName(p).constData(), 0600); },
         "named pipe"},
        {"folder", [](const QString& p) { QDir().mkpath(p + QStringLiteral("/inside")); },
         "folder"},
        {"dangling link", [](const QString& p) { QFile::link(p + QStringLiteral(".gone"), p); },
         "cannot be reached"},
        {"unparseable", [](const QString& p) { test::writeFile(p, "[General\nk=1\n"); },
         "cannot be read"},
        {"folder is a file",
         [](const QString& p) {
             const QString folder = QFileInfo(p).absolutePath();
             QDir(folder).removeRecursively();
             test::writeFile(folder, "x");
         },
         "is not a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = dir.filePath(QString::fromLatin1(c.name));
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/Quillstow.conf");
        c.make(path);
        const QFileInfo before(path);
        const QByteArray bytesBefore = before.isFile() ? test::readFile(path) : QByteArray();

        QString problem;
        std::unique_ptr<QSettings> settings = platform::openSettings(path, &problem);
        EXPECT_TRUE(problem.contains(QString::fromLatin1(c.reason))) << problem.toStdString();
        EXPECT_NE(settings->fileName(), path);
        EXPECT_TRUE(platform::storeSetting(*settings, QStringLiteral("k"), 2));
        EXPECT_EQ(settings->value(QStringLiteral("k")).toInt(), 2);
        settings.reset();

        const QFileInfo after(path);
        EXPECT_EQ(after.exists(), before.exists());
        EXPECT_EQ(after.isDir(), before.isDir());
        EXPECT_EQ(after.isSymLink(), before.isSymLink());
        if (before.isFile()) {
            EXPECT_EQ(test::readFile(path), bytesBefore);
        }
    }
    QString problem = QStringLiteral("unset");
    EXPECT_TRUE(
        platform::openSettings(dir.filePath(QStringLiteral("fresh/Quillstow.conf")), &problem));
    EXPECT_EQ(problem, QStringLiteral("unset"));
}

TEST(SettingsStore, OnlyAChangeIsWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quillstow.conf"));
    auto settings = platform::openSettings(path);
    EXPECT_TRUE(platform::storeSetting(*settings, QStringLiteral("n"), 500));
    EXPECT_TRUE(platform::storeSetting(*settings, QStringLiteral("b"), true));
    ASSERT_TRUE(QFile::exists(path));
    // A restart reads the values back as text: storing them again still writes nothing.
    settings = platform::openSettings(path);
    QFile::remove(path);
    EXPECT_TRUE(platform::storeSetting(*settings, QStringLiteral("n"), 500));
    EXPECT_TRUE(platform::storeSetting(*settings, QStringLiteral("b"), true));
    EXPECT_TRUE(platform::removeSetting(*settings, QStringLiteral("absent")));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(platform::storeSetting(*settings, QStringLiteral("n"), 600));
    EXPECT_TRUE(QFile::exists(path));
}

TEST(SettingsStore, AFailedWriteKeepsTheOldFileIsToldOnceAndIsRetried)
{
    QStringList told;
    platform::setWriteFailureHandler([&told](const QString& reason) { told << reason; });

    // Without a mount: the folder becomes a file under the open settings.
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("conf"));
    auto settings = platform::openSettings(folder + QStringLiteral("/Quillstow.conf"));
    ASSERT_TRUE(platform::storeSetting(*settings, QStringLiteral("k"), 1));
    QDir(folder).removeRecursively();
    test::writeFile(folder, "x");
    EXPECT_FALSE(platform::storeSetting(*settings, QStringLiteral("k"), 2));
    EXPECT_EQ(told.size(), 1);

    test::SmallDisk disk(64);
    if (!disk.mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    platform::setWriteFailureHandler([&told](const QString& reason) { told << reason; });
    told.clear();
    const QString path = disk.filePath(QStringLiteral("Quillstow.conf"));
    settings = platform::openSettings(path);
    ASSERT_TRUE(platform::storeSetting(*settings, QStringLiteral("small"), 1));
    const QByteArray good = test::readFile(path);
    EXPECT_FALSE(platform::storeSetting(*settings, QStringLiteral("big"), QByteArray(100000, 'x')));
    EXPECT_FALSE(platform::storeSetting(*settings, QStringLiteral("other"), 3));
    EXPECT_EQ(told.size(), 1);
    EXPECT_TRUE(told.value(0).contains(path)) << told.value(0).toStdString();
    // (Another QSettings on the same path would share the pending changes and write them.)
    EXPECT_EQ(test::readFile(path), good);

    // Room again: the next write stores everything still pending.
    settings->remove(QStringLiteral("big"));
    EXPECT_TRUE(platform::syncPrivately(*settings));
    EXPECT_EQ(test::readFile(path), QByteArray("[General]\nother=3\nsmall=1\n"));
    platform::setWriteFailureHandler({});
}
