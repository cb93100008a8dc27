#include "platform/DebugLog.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillstow;

TEST(DebugLog, RefusesWhatCouldRedirectOrExposeIt)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("target"));
    ASSERT_TRUE(test::writeFile(target, "untouched"));
    const auto at = [&](const char* name) {
        return QFile::encodeName(dir.filePath(QString::fromLatin1(name)));
    };
    ASSERT_EQ(::symlink(QFile::encodeName(target), at("link")), 0);
    ASSERT_EQ(::symlink(at("nowhere"), at("dangling")), 0);
    ASSERT_EQ(::link(QFile::encodeName(target), at("second name")), 0);
    ASSERT_EQ(::mkfifo(at("fifo"), 0600), 0); // and does not block
    ASSERT_EQ(::mkdir(at("folder"), 0700), 0);
    ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("theirs")), "theirs"));
    const bool given = ::chown(at("theirs"), 65534, 65534) == 0; // only root can give it away
    for (const char* name : {"link", "dangling", "second name", "fifo", "folder", "theirs"}) {
        if (!given && QByteArray(name) == "theirs")
            continue;
        EXPECT_FALSE(debuglog::appendLine(QStringLiteral("x\n"), QFile::decodeName(at(name))))
            << name;
    }
    EXPECT_EQ(test::readFile(target), QByteArray("untouched"));
    EXPECT_EQ(test::readFile(dir.filePath(QStringLiteral("theirs"))), QByteArray("theirs"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("nowhere"))));
}

TEST(DebugLog, PastAMegabyteStartsAnewKeepingOneOlderFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log"));
    const QString older = path + QStringLiteral(".1");
    const QByteArray almostFull(debuglog::maxBytes - 3, 'a');
    ASSERT_TRUE(test::writeFile(path, almostFull));
    ASSERT_TRUE(test::writeFile(older, "oldest\n"));

    EXPECT_TRUE(debuglog::appendLine(QStringLiteral("fits\n"), path)); // below the cap before it
    EXPECT_TRUE(debuglog::appendLine(QStringLiteral("next\n"), path));
    EXPECT_EQ(test::readFile(path), QByteArray("next\n"));
    EXPECT_EQ(test::readFile(older), almostFull + "fits\n");
    EXPECT_EQ(test::modeOf(path), 0600u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}
