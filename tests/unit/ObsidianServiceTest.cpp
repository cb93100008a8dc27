#include "vault/ObsidianService.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTimeZone>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillstow;
using SaveMode = ObsidianService::SaveMode;

namespace {

double copiedAtUtc(int y, int mo, int d, int h, int mi, int s)
{
    return double(
               QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toSecsSinceEpoch()) -
           referenceDateOffset;
}

double copiedAtLocal(const QDateTime& local)
{
    return double(local.toSecsSinceEpoch()) - referenceDateOffset;
}

class ObsidianServiceTest : public ::testing::Test
{
protected:
    test::TempSettings temp;
    QTemporaryDir vaultDir;
    QDateTime now = QDateTime(QDate(2025, 3, 5), QTime(0, 0, 5));
    ObsidianService service{temp.settings(), [this] {
                                return now;
                            }};

    void useVault(SaveMode mode)
    {
        service.setVaultURL(QUrl::fromLocalFile(vaultDir.path()));
        service.setSaveMode(mode);
    }
    QString vaultFile(const QString& name) const { return vaultDir.filePath(name); }
    static ClipItem item(const QString& content,
                         double copiedAt = 762757567) // 2025-03-04T05:06:07Z
    {
        return ClipItem{QUuid::createUuid(), content, copiedAt, false, false};
    }
};

} // namespace

TEST_F(ObsidianServiceTest, SaveModesAndTheirRawValues)
{
    ASSERT_EQ(ObsidianService::allSaveModes(),
              (QList<SaveMode>{SaveMode::newNote, SaveMode::dailyNote, SaveMode::clipboardLog}));
    EXPECT_EQ(ObsidianService::rawValue(SaveMode::newNote), QStringLiteral("New Note per Item"));
    EXPECT_EQ(ObsidianService::rawValue(SaveMode::dailyNote),
              QStringLiteral("Append to Daily Note"));
    EXPECT_EQ(ObsidianService::rawValue(SaveMode::clipboardLog),
              QStringLiteral("Clipboard Log File"));
    for (SaveMode mode : ObsidianService::allSaveModes())
        EXPECT_EQ(ObsidianService::saveModeFromRawValue(ObsidianService::rawValue(mode)), mode);
    EXPECT_FALSE(ObsidianService::saveModeFromRawValue(QStringLiteral("clipboard log file")));

    EXPECT_EQ(service.saveMode(), SaveMode::newNote);
    temp.settings().setValue(ObsidianService::saveModeKey, QStringLiteral("Daily"));
    EXPECT_EQ(service.saveMode(), SaveMode::newNote);
    service.setSaveMode(SaveMode::clipboardLog);
    EXPECT_EQ(temp.reopen().value(ObsidianService::saveModeKey).toString(),
              QStringLiteral("Clipboard Log File"));
}

TEST_F(ObsidianServiceTest, VaultUrlIsStoredWithoutATrailingSlash)
{
    EXPECT_FALSE(service.vaultURL());
    service.setVaultURL(QUrl::fromLocalFile(QStringLiteral("/home/me/Notes/")));
    EXPECT_EQ(temp.settings().value(ObsidianService::vaultPathKey).toString(),
              QStringLiteral("/home/me/Notes"));
    EXPECT_EQ(service.vaultURL()->toLocalFile(), QStringLiteral("/home/me/Notes"));
    service.setVaultURL(std::nullopt);
    EXPECT_FALSE(temp.settings().contains(ObsidianService::vaultPathKey));
    EXPECT_FALSE(service.vaultURL());
}

TEST_F(ObsidianServiceTest, SavingWithoutAVaultFails)
{
    const SaveResult result = service.save(item(QStringLiteral("x")));
    ASSERT_FALSE(result.isSuccess());
    EXPECT_EQ(result.error().kind, ObsidianError::Kind::noVaultConfigured);
    EXPECT_EQ(result.error().errorDescription(),
              QStringLiteral("No Obsidian vault configured. Open Settings to choose one."));

    temp.settings().setValue(ObsidianService::vaultPathKey, QStringLiteral("relative/vault"));
    EXPECT_FALSE(service.save(item(QStringLiteral("x"))).isSuccess());
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("relative")));
}

TEST_F(ObsidianServiceTest, NewNoteNamesAndExactContents)
{
    useVault(SaveMode::newNote);
    const QString forty = QStringLiteral("01234567890123456789012345678901234567  ");
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"); // 18 bytes
    const struct
    {
        const char* name;
        QString content;
        QString file;
    } cases[] = {
        {"slashes and colons", QStringLiteral("a/b:c"), QStringLiteral("a-b-c.md")},
        {"blank preview", QStringLiteral("   "), QStringLiteral("Clip 2025-03-04T05-06-07Z.md")},
        {"cut to 40 then trimmed", forty + QStringLiteral("tail of sixty characters.."),
         QStringLiteral("01234567890123456789012345678901234567.md")},
        {"first visible line", QStringLiteral("\n  Title line  \nbody"),
         QStringLiteral("Title line.md")},
        {"emoji counted whole",
         QString(45, QChar(u'x')).replace(0, 1, QStringLiteral("\U0001F600")),
         QStringLiteral("\U0001F600") + QString(39, QChar(u'x')) + QStringLiteral(".md")},
        {"characters Obsidian refuses", QStringLiteral("a*b\"c\\d<e>f|g?h"),
         QStringLiteral("a-b-c-d-e-f-g-h.md")},
        {"control characters", QStringLiteral("a\u0001b\u007Fc\td"), QStringLiteral("a-b-c-d.md")},
        {"no hidden notes", QStringLiteral(".bashrc tips"), QStringLiteral("bashrc tips.md")},
        // The blank case above holds the plain name already.
        {"dots only", QStringLiteral("..."), QStringLiteral("Clip 2025-03-04T05-06-07Z 2.md")},
        {"45 families fit in 255 bytes", family.repeated(45),
         family.repeated(14) + QStringLiteral(".md")},
    };
    for (const auto& c : cases) {
        const SaveResult result = service.save(item(c.content));
        ASSERT_TRUE(result.isSuccess()) << c.name << result.error().description.toStdString();
        EXPECT_EQ(result.url().toLocalFile(), vaultFile(QStringLiteral("Quillstow/") + c.file))
            << c.name;
        EXPECT_EQ(test::readFile(result.url().toLocalFile()),
                  QByteArray("---\ncreated: 2025-03-04T05:06:07Z\nsource: Quillstow\n---\n\n") +
                      c.content.toUtf8())
            << c.name;
    }
}

TEST_F(ObsidianServiceTest, NewNoteNeverReplacesADifferentNote)
{
    useVault(SaveMode::newNote);
    const ClipItem first = item(QStringLiteral("same title"), 1);
    const ClipItem second = item(QStringLiteral("same title"), 2);
    const ClipItem third = item(QStringLiteral("same/title"), 3);
    const QString firstPath = service.save(first).url().toLocalFile();
    EXPECT_EQ(service.save(first).url().toLocalFile(), firstPath); // saving again is harmless
    const QString secondPath = service.save(second).url().toLocalFile();
    const QString thirdPath = service.save(third).url().toLocalFile();
    EXPECT_EQ(QFileInfo(firstPath).fileName(), QStringLiteral("same title.md"));
    EXPECT_EQ(QFileInfo(secondPath).fileName(), QStringLiteral("same title 2.md"));
    EXPECT_EQ(QFileInfo(thirdPath).fileName(), QStringLiteral("same-title.md"));
    EXPECT_TRUE(test::readFile(firstPath).contains("2001-01-01T00:00:01Z"));
    EXPECT_TRUE(test::readFile(secondPath).contains("2001-01-01T00:00:02Z"));
    EXPECT_EQ(QDir(vaultFile(QStringLiteral("Quillstow"))).entryList(QDir::Files).size(), 3);
}

TEST_F(ObsidianServiceTest, NumberedNamesStillFitTheByteLimit)
{
    useVault(SaveMode::newNote);
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const QString first = service.save(item(family.repeated(45), 1)).url().toLocalFile();
    const QString second = service.save(item(family.repeated(45), 2)).url().toLocalFile();
    EXPECT_EQ(QFileInfo(first).fileName(), family.repeated(14) + QStringLiteral(".md"));
    EXPECT_EQ(QFileInfo(second).fileName(), family.repeated(13) + QStringLiteral(" 2.md"));
    EXPECT_TRUE(test::readFile(second).endsWith(family.repeated(45).toUtf8()));
}

TEST_F(ObsidianServiceTest, AMissingVaultIsNeverCreated)
{
    const QString gone = vaultFile(QStringLiteral("gone/deeper"));
    service.setVaultURL(QUrl::fromLocalFile(gone));
    for (SaveMode mode : ObsidianService::allSaveModes()) {
        service.setSaveMode(mode);
        const SaveResult result = service.save(item(QStringLiteral("hello")));
        ASSERT_FALSE(result.isSuccess());
        EXPECT_EQ(result.error().kind, ObsidianError::Kind::fileSystem);
        EXPECT_TRUE(result.error().description.contains(gone))
            << result.error().description.toStdString();
        EXPECT_FALSE(QFileInfo::exists(vaultFile(QStringLiteral("gone"))));
    }
}

TEST_F(ObsidianServiceTest, NewNoteCreatesItsFolderWithNormalPermissions)
{
    useVault(SaveMode::newNote);
    const mode_t old = ::umask(022);
    const SaveResult result = service.save(item(QStringLiteral("hello")));
    ::umask(old);
    ASSERT_TRUE(result.isSuccess());
    EXPECT_EQ(result.url().toLocalFile(), vaultFile(QStringLiteral("Quillstow/hello.md")));
    struct stat st
    {};
    ASSERT_EQ(::stat(QFile::encodeName(result.url().toLocalFile()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ASSERT_EQ(::stat(QFile::encodeName(vaultFile(QStringLiteral("Quillstow"))).constData(), &st),
              0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST_F(ObsidianServiceTest, LinksNeverLeadWritesOutOfTheVault)
{
    QTemporaryDir outside;
    const QString bashrc = outside.filePath(QStringLiteral("bashrc"));
    const QString missing = outside.filePath(QStringLiteral("missing"));
    const struct
    {
        const char* name;
        SaveMode mode;
        QString link;   // in the vault
        QString target; // outside it
    } cases[] = {
        {"notes folder", SaveMode::newNote, QStringLiteral("Quillstow"), outside.path()},
        {"daily note", SaveMode::dailyNote, QStringLiteral("2025-03-05.md"), bashrc},
        {"log file", SaveMode::clipboardLog, QStringLiteral("clipboard-history.md"), bashrc},
        {"dangling log link", SaveMode::clipboardLog, QStringLiteral("clipboard-history.md"),
         missing},
        {"relative link", SaveMode::clipboardLog, QStringLiteral("clipboard-history.md"),
         QStringLiteral("../") + QFileInfo(outside.path()).fileName() + QStringLiteral("/bashrc")},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(test::writeFile(bashrc, "export PATH\n"));
        ASSERT_TRUE(QFile::link(c.target, vaultFile(c.link))) << c.name;
        useVault(c.mode);
        const SaveResult result = service.save(item(QStringLiteral("rm -rf ~")));
        ASSERT_FALSE(result.isSuccess()) << c.name;
        EXPECT_EQ(result.error().kind, ObsidianError::Kind::fileSystem) << c.name;
        EXPECT_TRUE(result.error().description.contains(QStringLiteral("symbolic link")))
            << c.name << ": " << result.error().description.toStdString();
        EXPECT_EQ(test::readFile(bashrc), QByteArray("export PATH\n")) << c.name;
        EXPECT_FALSE(QFileInfo::exists(missing)) << c.name;
        EXPECT_EQ(
            QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{QStringLiteral("bashrc")})
            << c.name;
        ASSERT_TRUE(QFile::remove(vaultFile(c.link))) << c.name;
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
    service.setVaultURL(QUrl::fromLocalFile(vaultLink));
    service.setSaveMode(SaveMode::clipboardLog);
    const SaveResult result =
        service.save(item(QStringLiteral("kept"), copiedAtUtc(2025, 3, 4, 5, 6, 7)));
    ASSERT_TRUE(result.isSuccess()) << result.error().description.toStdString();
    EXPECT_EQ(test::readFile(vaultFile(QStringLiteral("notes/log.md"))),
              QByteArray("# Log\n\n### 2025-03-04T05:06:07Z\n\nkept\n"));

    // A note name taken by a link is skipped, whatever the link leads to.
    QTemporaryDir outside;
    ASSERT_TRUE(test::writeFile(outside.filePath(QStringLiteral("x")), "outside"));
    ASSERT_TRUE(QDir(vaultDir.path()).mkdir(QStringLiteral("Quillstow")));
    ASSERT_TRUE(QFile::link(outside.filePath(QStringLiteral("x")),
                            vaultFile(QStringLiteral("Quillstow/hello.md"))));
    service.setSaveMode(SaveMode::newNote);
    const SaveResult note = service.save(item(QStringLiteral("hello")));
    ASSERT_TRUE(note.isSuccess()) << note.error().description.toStdString();
    EXPECT_EQ(QFileInfo(note.url().toLocalFile()).fileName(), QStringLiteral("hello 2.md"));
    EXPECT_EQ(test::readFile(outside.filePath(QStringLiteral("x"))), QByteArray("outside"));
}

TEST_F(ObsidianServiceTest, DailyNoteUsesTheSaveDateAndTheCopyTime)
{
    useVault(SaveMode::dailyNote);
    const double lateCopy = copiedAtLocal(QDateTime(QDate(2025, 3, 4), QTime(23, 59, 58)));
    const SaveResult first = service.save(item(QStringLiteral("before midnight"), lateCopy));
    ASSERT_TRUE(first.isSuccess());
    EXPECT_EQ(first.url().toLocalFile(), vaultFile(QStringLiteral("2025-03-05.md")));
    const double empty = copiedAtLocal(QDateTime(QDate(2025, 3, 5), QTime(0, 0, 1)));
    ASSERT_TRUE(service.save(item(QString(), empty)).isSuccess());
    EXPECT_EQ(test::readFile(vaultFile(QStringLiteral("2025-03-05.md"))),
              QByteArray("\n## Clipboard \xE2\x80\x93 23:59:58\n\nbefore midnight\n"
                         "\n## Clipboard \xE2\x80\x93 00:00:01\n\n\n"));
}

TEST_F(ObsidianServiceTest, LogAppendsEntriesAndNeverRewrites)
{
    useVault(SaveMode::clipboardLog);
    ASSERT_TRUE(test::writeFile(vaultFile(QStringLiteral("clipboard-history.md")), "# My log\n"));
    ASSERT_TRUE(
        service.save(item(QStringLiteral("one"), copiedAtUtc(2025, 3, 4, 5, 6, 7))).isSuccess());
    ASSERT_TRUE(
        service.save(item(QStringLiteral("t\u00E9"), copiedAtUtc(2025, 3, 4, 5, 6, 8) + 0.9))
            .isSuccess());
    EXPECT_EQ(test::readFile(vaultFile(QStringLiteral("clipboard-history.md"))),
              QByteArray("# My log\n\n### 2025-03-04T05:06:07Z\n\none\n"
                         "\n### 2025-03-04T05:06:08Z\n\nt\xC3\xA9\n"));
}

TEST_F(ObsidianServiceTest, AppendFailuresAreReported)
{
    // A vault folder that is gone: neither mode can create its file.
    for (SaveMode mode : {SaveMode::dailyNote, SaveMode::clipboardLog}) {
        service.setVaultURL(QUrl::fromLocalFile(vaultFile(QStringLiteral("gone"))));
        service.setSaveMode(mode);
        const SaveResult result = service.save(item(QStringLiteral("x")));
        ASSERT_FALSE(result.isSuccess());
        EXPECT_EQ(result.error().kind, ObsidianError::Kind::fileSystem);
        EXPECT_FALSE(result.error().description.isEmpty());
    }
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

TEST_F(ObsidianServiceTest, ICloudVaultBaseExistsOnlyWhenTheFolderDoes)
{
    QTemporaryDir home;
    EXPECT_FALSE(ObsidianService::iCloudVaultBase(home.path()));
    const QString base =
        home.filePath(QStringLiteral("Library/Mobile Documents/iCloud~md~obsidian/Documents"));
    ASSERT_TRUE(QDir().mkpath(base));
    EXPECT_EQ(ObsidianService::iCloudVaultBase(home.path())->toLocalFile(), base);
}
