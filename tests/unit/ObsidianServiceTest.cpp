#include "vault/ObsidianService.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace quillstow;
using SaveMode = ObsidianService::SaveMode;

namespace {

class ObsidianServiceTest : public ::testing::Test
{
protected:
    test::TempSettings temp;
    QTemporaryDir vaultDir;
    ObsidianService service{temp.settings(), [] {
                                return QDateTime(QDate(2025, 3, 5), QTime(0, 0, 5));
                            }};

    void useVault(SaveMode mode, const QString& path = {})
    {
        service.setVaultURL(QUrl::fromLocalFile(path.isEmpty() ? vaultDir.path() : path));
        service.setSaveMode(mode);
    }
    QString vaultFile(const QString& name) const { return vaultDir.filePath(name); }
    static ClipItem item(const QString& content,
                         double copiedAt = 762757567) // 2025-03-04T05:06:07Z
    {
        return ClipItem{QUuid::createUuid(), content, copiedAt, false, false};
    }
    QString savedName(const ClipItem& clip)
    {
        const SaveResult result = service.save(clip);
        EXPECT_TRUE(result.isSuccess()) << result.error().description.toStdString();
        return result.isSuccess() ? QFileInfo(result.url().toLocalFile()).fileName() : QString();
    }
};

} // namespace

TEST_F(ObsidianServiceTest, NoFolderIsCreatedForAVaultThatIsNotThere)
{
    const QString gone = vaultFile(QStringLiteral("gone/deeper"));
    const QString file = vaultFile(QStringLiteral("a file"));
    QFile(file).open(QIODevice::WriteOnly);
    const std::tuple<std::optional<QString>, ObsidianError::Kind, QString> cases[] = {
        {std::nullopt, ObsidianError::Kind::noVaultConfigured,
         QStringLiteral("No Obsidian vault configured. Open Settings to choose one.")},
        {QStringLiteral("relative/vault"), ObsidianError::Kind::fileSystem,
         QStringLiteral("relative/vault")},
        {gone, ObsidianError::Kind::fileSystem, gone},
        {file, ObsidianError::Kind::fileSystem, QStringLiteral("is not a folder")},
    };
    for (const auto& [stored, kind, told] : cases) {
        for (SaveMode mode : ObsidianService::allSaveModes()) {
            temp.settings().clear();
            if (stored)
                temp.settings().setValue(ObsidianService::vaultPathKey, *stored);
            service.setSaveMode(mode);
            const SaveResult result = service.save(item(QStringLiteral("hello")));
            ASSERT_FALSE(result.isSuccess());
            EXPECT_EQ(result.error().kind, kind);
            EXPECT_TRUE(result.error().errorDescription().contains(told))
                << result.error().description.toStdString();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("relative")));
    EXPECT_FALSE(QFileInfo::exists(vaultFile(QStringLiteral("gone"))));
}

TEST_F(ObsidianServiceTest, NewNoteNamesAndExactContents)
{
    useVault(SaveMode::newNote);
    const mode_t oldMask = ::umask(022);
    const QString forty = QStringLiteral("01234567890123456789012345678901234567  ");
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"); // 18 bytes
    const std::tuple<const char*, QString, QString> cases[] = {
        {"blank preview", QStringLiteral("   "), QStringLiteral("Clip 2025-03-04T05-06-07Z.md")},
        {"cut to 40 then trimmed", forty + QStringLiteral("tail of sixty characters.."),
         QStringLiteral("01234567890123456789012345678901234567.md")},
        {"first visible line", QStringLiteral("\n  Title line  \nbody"),
         QStringLiteral("Title line.md")},
        {"emoji counted whole",
         QString(45, QChar(u'x')).replace(0, 1, QStringLiteral("\U0001F600")),
         QStringLiteral("\U0001F600") + QString(39, QChar(u'x')) + QStringLiteral(".md")},
        {"characters Obsidian refuses", QStringLiteral("a*b\"c\\d<e>f|g?h/i:j"),
         QStringLiteral("a-b-c-d-e-f-g-h-i-j.md")},
        {"control characters", QStringLiteral("a\u0001b\u007Fc\td"), QStringLiteral("a-b-c-d.md")},
        {"no hidden notes", QStringLiteral(".bashrc tips"), QStringLiteral("bashrc tips.md")},
        // The blank case above holds the plain name already.
        {"dots only", QStringLiteral("..."), QStringLiteral("Clip 2025-03-04T05-06-07Z 2.md")},
        {"45 families fit in 255 bytes", family.repeated(45),
         family.repeated(14) + QStringLiteral(".md")},
    };
    for (const auto& [name, content, file] : cases) {
        const SaveResult result = service.save(item(content));
        ASSERT_TRUE(result.isSuccess()) << name << result.error().description.toStdString();
        EXPECT_EQ(result.url().toLocalFile(), vaultFile(QStringLiteral("Quillstow/") + file))
            << name;
        EXPECT_EQ(test::readFile(result.url().toLocalFile()),
                  QByteArray("---\ncreated: 2025-03-04T05:06:07Z\nsource: Quillstow\n---\n\n") +
                      content.toUtf8())
            << name;
        EXPECT_EQ(test::modeOf(result.url().toLocalFile()), 0644u) << name;
    }
    ::umask(oldMask);
    EXPECT_EQ(test::modeOf(vaultFile(QStringLiteral("Quillstow"))), 0755u);
}

TEST_F(ObsidianServiceTest, LinksNeverLeadWritesOutOfTheVault)
{
    QTemporaryDir outside;
    const QString bashrc = outside.filePath(QStringLiteral("bashrc"));
    const QString missing = outside.filePath(QStringLiteral("missing"));
    const QString log = QStringLiteral("clipboard-history.md");
    // link: in the vault
    // target: outside it
    const std::tuple<SaveMode, QString, QString> cases[] = {
        {SaveMode::newNote, QStringLiteral("Quillstow"), outside.path()},
        {SaveMode::dailyNote, QStringLiteral("2025-03-05.md"), bashrc},
        {SaveMode::clipboardLog, log, bashrc},
        {SaveMode::clipboardLog, log, missing},
        {SaveMode::clipboardLog, log,
         QStringLiteral("../") + QFileInfo(outside.path()).fileName() + QStringLiteral("/bashrc")},
    };
    for (const auto& [mode, link, target] : cases) {
        SCOPED_TRACE(target.toStdString());
        ASSERT_TRUE(test::writeFile(bashrc, "export PATH\n"));
        ASSERT_TRUE(QFile::link(target, vaultFile(link)));
        useVault(mode);
        const SaveResult result = service.save(item(QStringLiteral("rm -rf ~")));
        ASSERT_FALSE(result.isSuccess());
        EXPECT_EQ(result.error().kind, ObsidianError::Kind::fileSystem);
        EXPECT_TRUE(result.error().description.contains(QStringLiteral("symbolic link")))
            << result.error().description.toStdString();
        EXPECT_EQ(test::readFile(bashrc), QByteArray("export PATH\n"));
        EXPECT_EQ(
            QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{QStringLiteral("bashrc")});
        ASSERT_TRUE(QFile::remove(vaultFile(link)));
    }
}

TEST_F(ObsidianServiceTest, LinksThatStayInsideTheVaultAreFollowed)
{
    // The vault itself reached through a link, and a log that is a link to a note inside it.
    QTemporaryDir links;
    const QString vaultLink = links.filePath(QStringLiteral("vault"));
    ASSERT_TRUE(QFile::link(vaultDir.path(), vaultLink));
    ASSERT_TRUE(QDir(vaultDir.path()).mkdir(QStringLiteral("notes")));
    ASSERT_TRUE(test::writeFile(vaultFile(QStringLiteral("notes/log.md")), "# Log\n"));
    ASSERT_TRUE(QFile::link(QStringLiteral("notes/log.md"),
                            vaultFile(QStringLiteral("clipboard-history.md"))));
    useVault(SaveMode::clipboardLog, vaultLink);
    savedName(item(QStringLiteral("kept")));
    EXPECT_EQ(test::readFile(vaultFile(QStringLiteral("notes/log.md"))),
              QByteArray("# Log\n\n### 2025-03-04T05:06:07Z\n\nkept\n"));

    // A note name taken by a link is skipped, whatever the link leads to.
    QTemporaryDir outside;
    ASSERT_TRUE(test::writeFile(outside.filePath(QStringLiteral("x")), "outside"));
    ASSERT_TRUE(QDir(vaultDir.path()).mkdir(QStringLiteral("Quillstow")));
    ASSERT_TRUE(QFile::link(outside.filePath(QStringLiteral("x")),
                            vaultFile(QStringLiteral("Quillstow/hello.md"))));
    service.setSaveMode(SaveMode::newNote);
    EXPECT_EQ(savedName(item(QStringLiteral("hello"))), QStringLiteral("hello 2.md"));
    EXPECT_EQ(test::readFile(outside.filePath(QStringLiteral("x"))), QByteArray("outside"));
}

TEST_F(ObsidianServiceTest, AppendModesAddEntriesAndNeverRewrite)
{
    // The daily note is named by the save date and headed by the copy time.
    const auto local = [](int day, QTime time) {
        return double(QDateTime(QDate(2025, 3, day), time).toSecsSinceEpoch()) -
               referenceDateOffset;
    };
    useVault(SaveMode::dailyNote);
    EXPECT_EQ(savedName(item(QStringLiteral("before midnight"), local(4, QTime(23, 59, 58)))),
              QStringLiteral("2025-03-05.md"));
    EXPECT_EQ(savedName(item(QString(), local(5, QTime(0, 0, 1)))),
              QStringLiteral("2025-03-05.md"));
    EXPECT_EQ(test::readFile(vaultFile(QStringLiteral("2025-03-05.md"))),
              QByteArray("\n## Clipboard \xE2\x80\x93 23:59:58\n\nbefore midnight\n"
                         "\n## Clipboard \xE2\x80\x93 00:00:01\n\n\n"));

    useVault(SaveMode::clipboardLog);
    ASSERT_TRUE(test::writeFile(vaultFile(QStringLiteral("clipboard-history.md")), "# My log\n"));
    savedName(item(QStringLiteral("one")));
    savedName(item(QStringLiteral("t\u00E9"), 762757568.9));
    EXPECT_EQ(test::readFile(vaultFile(QStringLiteral("clipboard-history.md"))),
              QByteArray("# My log\n\n### 2025-03-04T05:06:07Z\n\none\n"
                         "\n### 2025-03-04T05:06:08Z\n\nt\xC3\xA9\n"));
}

TEST_F(ObsidianServiceTest, AppendFailuresAreReported)
{
    // Something at the log's path that cannot be opened for writing.
    useVault(SaveMode::clipboardLog);
    ASSERT_TRUE(QDir(vaultDir.path()).mkdir(QStringLiteral("clipboard-history.md")));
    EXPECT_FALSE(service.save(item(QStringLiteral("x"))).isSuccess());
    ASSERT_TRUE(QDir(vaultDir.path()).rmdir(QStringLiteral("clipboard-history.md")));

    // Opened, but the write itself fails (a file size limit stands in for a full disk): an
    // append and a new daily note alike, and no half-written file is left behind.
    ASSERT_TRUE(test::writeFile(vaultFile(QStringLiteral("clipboard-history.md")), "# Log\n"));
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit small = oldLimit;
    small.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const SaveResult log = service.save(item(QStringLiteral("x")));
    service.setSaveMode(SaveMode::dailyNote);
    const SaveResult daily = service.save(item(QStringLiteral("x")));
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(log.isSuccess());
    EXPECT_FALSE(daily.isSuccess());
    EXPECT_EQ(QDir(vaultDir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("clipboard-history.md")});
}
