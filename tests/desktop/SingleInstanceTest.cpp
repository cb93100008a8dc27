// One instance per user: the lock, its folder, and asking on the session bus while none answers.
// A later launch that reaches the running one is the real program's test (ProgramDesktopTest).
#include "app/SingleInstance.h"

#include "support/Desktop.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillstow;

TEST(SingleInstance, AskingWhileNoneIsOnTheBusGivesUpAtTheTimeLimit)
{
    // One that has just taken the lock joins the bus a moment later: the call is tried again.
    QTemporaryDir dir;
    EXPECT_FALSE(SingleInstance(dir.path()).notifyRunning(300));
}

TEST(SingleInstance, ALockNobodyHoldsIsTakenOver)
{
    const struct
    {
        const char* name;
        QByteArray content;
    } cases[] = {
        {"left by a dead process",
         "999999\nquillstow\n" + QSysInfo::machineHostName().toUtf8() + "\n"},
        {"empty", ""},
        {"a pid and nothing else", "1\n"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("quillstow.lock")), c.content));
        SingleInstance next(dir.path());
        EXPECT_TRUE(next.claim()) << c.name;
        SingleInstance after(dir.path());
        EXPECT_FALSE(after.claim()) << c.name;
    }
}

TEST(SingleInstance, ADamagedLockALiveProcessHoldsIsKept)
{
    QTemporaryDir dir;
    const QString lock = dir.filePath(QStringLiteral("quillstow.lock"));
    ASSERT_TRUE(test::writeFile(lock, ""));
    // -o: the lock stays with flock itself, so ending it frees the lock.
    test::Program holder(QStringLiteral("flock"), {QStringLiteral("-o"), lock, QStringLiteral("-c"),
                                                   QStringLiteral("echo held; sleep 10")});
    ASSERT_TRUE(holder.waitForOutput(QStringLiteral("held"), 3000));
    SingleInstance next(dir.path());
    EXPECT_FALSE(next.claim());
    EXPECT_TRUE(QFileInfo::exists(lock));
    ASSERT_TRUE(holder.end());
    EXPECT_TRUE(next.claim());
}

TEST(SingleInstance, TheFolderIsPrivateToTheUserOrRefused)
{
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("fresh"));
    EXPECT_TRUE(SingleInstance::makePrivateFolder(fresh));
    EXPECT_EQ(test::modeOf(fresh), 0700u);

    const QString wide = dir.filePath(QStringLiteral("wide"));
    ASSERT_TRUE(QDir().mkdir(wide));
    ASSERT_EQ(::chmod(QFile::encodeName(wide).constData(), 0777), 0);
    EXPECT_TRUE(SingleInstance::makePrivateFolder(wide));
    EXPECT_EQ(test::modeOf(wide), 0700u);

    // A link to a folder of ours is still refused: its target is not what the name promises.
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(wide, link));
    ASSERT_EQ(::chmod(QFile::encodeName(wide).constData(), 0755), 0);
    QString why;
    EXPECT_FALSE(SingleInstance::makePrivateFolder(link, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(test::modeOf(wide), 0755u);

    const QString file = dir.filePath(QStringLiteral("file"));
    ASSERT_TRUE(test::writeFile(file, "x"));
    EXPECT_FALSE(SingleInstance::makePrivateFolder(file));

    if (::getuid() == 0) {
        const QString theirs = dir.filePath(QStringLiteral("theirs"));
        ASSERT_TRUE(QDir().mkdir(theirs));
        ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
        EXPECT_FALSE(SingleInstance::makePrivateFolder(theirs, &why));
        EXPECT_EQ(why, QStringLiteral("it belongs to another user"));
    }
}
