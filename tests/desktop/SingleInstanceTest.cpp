// One instance per user, on a real session bus.
#include "app/SingleInstance.h"

#include "support/TestSupport.h"

#include <QProcess>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace quillstow;

TEST(SingleInstance, ALaterLaunchAsksTheFirstToShowThePicker)
{
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    ASSERT_TRUE(first.claim());
    QSignalSpy shown(&first, &SingleInstance::showRequested);

    // A second process: the call has to cross the bus while this one keeps its event loop.
    QProcess second;
    second.start(QStringLiteral("dbus-send"),
                 {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                  QStringLiteral("--dest=org.quillstow.Quillstow"), QStringLiteral("/Quillstow"),
                  QStringLiteral("org.quillstow.Quillstow.ShowPicker")});
    EXPECT_TRUE(shown.wait(3000));
    EXPECT_TRUE(second.waitForFinished(3000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(shown.count(), 1);

    SingleInstance later(dir.path());
    EXPECT_FALSE(later.claim());
}

TEST(SingleInstance, NobodyAnswersWhenNoneRuns)
{
    QTemporaryDir dir;
    SingleInstance lonely(dir.path());
    EXPECT_FALSE(lonely.notifyRunning(300));
}

TEST(SingleInstance, ALockLeftByADeadProcessIsTakenOver)
{
    QTemporaryDir dir;
    ASSERT_TRUE(
        test::writeFile(dir.filePath(QStringLiteral("quillstow.lock")),
                        "999999\nquillstow\n" + QSysInfo::machineHostName().toUtf8() + "\n"));
    SingleInstance next(dir.path());
    EXPECT_TRUE(next.claim());
}
