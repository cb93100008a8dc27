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

namespace {

unsigned modeOf(const QString& path)
{
    struct stat st
    {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

} // namespace

TEST(DebugLog, CreatesPrivatelyAppendsAndNarrowsAnOwnFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log"));
    debuglog::setPath(path);
    debuglog::write(QStringLiteral("first"));
    debuglog::write(QStringLiteral("zweite Zeile \u00FC"));
    EXPECT_EQ(test::readFile(path), QByteArray("first\nzweite Zeile \xC3\xBC\n"));
    EXPECT_EQ(modeOf(path), 0600u);

    // Deleted: the next line creates it again.
    QFile::remove(path);
    debuglog::write(QStringLiteral("again"));
    debuglog::setPath(debuglog::defaultPath);
    EXPECT_EQ(test::readFile(path), QByteArray("again\n"));

    // Left readable by someone: narrowed at the next line.
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    EXPECT_TRUE(debuglog::appendLine(QStringLiteral("raw"), path));
    EXPECT_EQ(test::readFile(path), QByteArray("again\nraw"));
    EXPECT_EQ(modeOf(path), 0600u);
}

TEST(DebugLog, RefusesWhatCouldRedirectOrExposeIt)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("target"));
    const QByteArray targetPath = QFile::encodeName(target);
    const QString missing = dir.filePath(QStringLiteral("nowhere"));
    const struct
    {
        const char* name;
        std::function<bool(const QByteArray& at)> make;
    } cases[] = {
        {"symbolic link",
         [&](const QByteArray& at) {
             return ::symlink(targetPath, at) == 0;
         }},
        {"dangling link",
         [&](const QByteArray& at) {
             return ::symlink(QFile::encodeName(missing), at) == 0;
         }},
        {"second name",
         [&](const QByteArray& at) {
             return ::link(targetPath, at) == 0;
         }},
        // And does not block.
        {"fifo",
         [](const QByteArray& at) {
             return ::mkfifo(at, 0600) == 0;
         }},
        {"folder",
         [](const QByteArray& at) {
             return ::mkdir(at, 0700) == 0;
         }},
        {"someone else's file",
         [](const QByteArray& at) {
             return test::writeFile(QFile::decodeName(at), "theirs") &&
                    ::chown(at, 65534, 65534) == 0;
         }},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(test::writeFile(target, "untouched"));
        const QString log = dir.filePath(QString::fromLatin1(c.name));
        const bool made = c.make(QFile::encodeName(log));
        if (!made && ::getuid() != 0 && &c == std::end(cases) - 1)
            continue; // only root can give a file away
        ASSERT_TRUE(made) << c.name;
        EXPECT_FALSE(debuglog::appendLine(QStringLiteral("x\n"), log)) << c.name;
        EXPECT_EQ(test::readFile(target), QByteArray("untouched")) << c.name;
        EXPECT_FALSE(QFileInfo::exists(missing)) << c.name;
    }
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
    EXPECT_TRUE(debuglog::appendLine(QStringLiteral("next\n"), path));
    EXPECT_EQ(test::readFile(path), QByteArray("next\n"));
    EXPECT_EQ(test::readFile(older), almostFull + "fits\n");
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}
