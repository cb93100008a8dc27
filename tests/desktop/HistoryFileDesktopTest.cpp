// The real program with a history file it cannot use: the user is told by a notification, and
// the program runs on.
#include "support/Desktop.h"

#include <QDir>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace quillstow::test;

namespace {

const QString program = QStringLiteral(QUILLSTOW_PROGRAM);

bool quit()
{
    QProcess p;
    p.start(program, {QStringLiteral("--quit")});
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

} // namespace

TEST(HistoryFileDesktop, AnUnusableHistoryFileIsToldOfOnce)
{
    const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/quillstow");
    const QString database = folder + QStringLiteral("/history.sqlite3");
    const struct
    {
        const char* name;
        std::function<void()> spoil;
        QString told;
    } cases[] = {
        {"a damaged file",
         [&] {
             QDir().mkpath(folder);
             writeFile(database, QByteArray(4096, 'x'));
         },
         QStringLiteral("The history file could not be read. It was moved to ") + folder +
             QStringLiteral("/history-unreadable-")},
        {"a file where its folder belongs", [&] { writeFile(folder, "in the way"); },
         QStringLiteral("History is not being saved: ")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder).removeRecursively();
        QFile::remove(folder);
        c.spoil();
        NotificationWatch notices;
        Program running(program, {});
        EXPECT_TRUE(notices.waitForOutput(c.told)) << notices.output().toStdString();
        QTest::qWait(1000);
        EXPECT_EQ(notices.output().count(c.told), 1);
        EXPECT_TRUE(running.isRunning());
        EXPECT_TRUE(quit());
        EXPECT_TRUE(running.waitForExit());
    }
    QFile::remove(folder);
}
