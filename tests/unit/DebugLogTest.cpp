#include "platform/DebugLog.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillstow;

TEST(DebugLog, CreatesPrivatelyThenAppends)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log"));
    debuglog::setPath(path);
    debuglog::write(QStringLiteral("first"));
    debuglog::write(QStringLiteral("zweite Zeile \u00FC"));
    EXPECT_EQ(test::readFile(path), QByteArray("first\nzweite Zeile \xC3\xBC\n"));
    struct stat st
    {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Deleted: the next line creates it again.
    QFile::remove(path);
    debuglog::write(QStringLiteral("again"));
    EXPECT_EQ(test::readFile(path), QByteArray("again\n"));
    EXPECT_TRUE(debuglog::appendLine(QStringLiteral("raw"), path));
    EXPECT_EQ(test::readFile(path), QByteArray("again\nraw"));
    debuglog::setPath(debuglog::defaultPath);
}

TEST(DebugLog, RefusesWhatCouldRedirectOrExposeIt)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("target"));
    ASSERT_TRUE(test::writeFile(target, "untouched"));

    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_FALSE(debuglog::appendLine(QStringLiteral("x\n"), link));
    EXPECT_EQ(test::readFile(target), QByteArray("untouched"));

    const QString dangling = dir.filePath(QStringLiteral("dangling"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")), dangling));
    EXPECT_FALSE(debuglog::appendLine(QStringLiteral("x\n"), dangling));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("nowhere"))));

    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(debuglog::appendLine(QStringLiteral("x\n"), fifo)); // and does not block

    EXPECT_FALSE(debuglog::appendLine(QStringLiteral("x\n"), dir.path()));

    if (::getuid() == 0) {
        const QString foreign = dir.filePath(QStringLiteral("foreign"));
        ASSERT_TRUE(test::writeFile(foreign, "theirs"));
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
        EXPECT_FALSE(debuglog::appendLine(QStringLiteral("x\n"), foreign));
        EXPECT_EQ(test::readFile(foreign), QByteArray("theirs"));
    }
}

TEST(DebugLog, NarrowsAnExistingOwnFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log"));
    ASSERT_TRUE(test::writeFile(path, "old\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    EXPECT_TRUE(debuglog::appendLine(QStringLiteral("new\n"), path));
    EXPECT_EQ(test::readFile(path), QByteArray("old\nnew\n"));
    struct stat st
    {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(DebugLog, RefusesAFileWithASecondName)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("bashrc"));
    ASSERT_TRUE(test::writeFile(target, "mine"));
    const QString log = dir.filePath(QStringLiteral("log"));
    ASSERT_EQ(::link(QFile::encodeName(target).constData(), QFile::encodeName(log).constData()), 0);
    EXPECT_FALSE(debuglog::appendLine(QStringLiteral("x\n"), log));
    EXPECT_EQ(test::readFile(target), QByteArray("mine"));
}

TEST(DebugLog, PastAMegabyteStartsAnewKeepingOneOlderFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log"));
    const QString older = path + QStringLiteral(".1");
    const QByteArray almostFull(debuglog::maxBytes - 3, 'a');
    ASSERT_EQ(debuglog::maxBytes, 1024 * 1024);
    ASSERT_TRUE(test::writeFile(path, almostFull));
    ASSERT_TRUE(test::writeFile(older, "oldest\n"));

    EXPECT_TRUE(debuglog::appendLine(QStringLiteral("fits\n"), path)); // below the cap before it
    EXPECT_EQ(QFileInfo(path).size(), debuglog::maxBytes + 2);
    EXPECT_TRUE(debuglog::appendLine(QStringLiteral("next\n"), path));
    EXPECT_EQ(test::readFile(path), QByteArray("next\n"));
    EXPECT_EQ(test::readFile(older), almostFull + "fits\n");
    struct stat st
    {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}
