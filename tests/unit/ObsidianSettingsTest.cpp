#include "vault/ObsidianSettings.h"

#include "SettingsFakes.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quillstow;
using SaveMode = ObsidianService::SaveMode;

namespace {

const QString iCloudRelative =
    QStringLiteral("Library/Mobile Documents/iCloud~md~obsidian/Documents");

class ObsidianSettingsTest : public ::testing::Test
{
protected:
    test::TempSettings temp;
    QTemporaryDir home;
    ObsidianService service{temp.settings()};
    test::FakeFolderChooser chooser;

    std::unique_ptr<ObsidianSettings> makeSettings()
    {
        return std::make_unique<ObsidianSettings>(service, chooser, home.path());
    }
    // What a restart would find on disk.
    QVariant storedOnDisk(const QString& key)
    {
        QSettings fresh(temp.filePath(QStringLiteral("Quillstow.conf")), QSettings::IniFormat);
        return fresh.value(key);
    }
    QString makeICloudFolder()
    {
        const QString path = QDir(home.path()).filePath(iCloudRelative);
        QDir().mkpath(path);
        return path;
    }
};

TEST_F(ObsidianSettingsTest, LoadsOnceWithoutWritingBack)
{
    struct Case
    {
        std::optional<QString> storedPath;
        std::optional<QString> storedMode;
        std::optional<QString> shownPath;
        SaveMode mode;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, std::nullopt, SaveMode::newNote},
        {QStringLiteral("/home/me/Notes/"), QStringLiteral("Append to Daily Note"),
         QStringLiteral("/home/me/Notes"), SaveMode::dailyNote},
        {QStringLiteral("/home/me//Notes"), QStringLiteral("clipboard log file"),
         QStringLiteral("/home/me/Notes"), SaveMode::newNote},
        {QStringLiteral("/"), QStringLiteral("Clipboard Log File"), QStringLiteral("/"),
         SaveMode::clipboardLog},
    };
    for (const Case& c : cases) {
        temp.settings().clear();
        if (c.storedPath)
            temp.settings().setValue(ObsidianService::vaultPathKey, *c.storedPath);
        if (c.storedMode)
            temp.settings().setValue(ObsidianService::saveModeKey, *c.storedMode);
        temp.settings().sync();

        const auto settings = makeSettings();
        EXPECT_EQ(settings->vaultPath(), c.shownPath);
        EXPECT_EQ(settings->saveMode(), c.mode);
        // Showing a value normalised does not store it.
        EXPECT_EQ(temp.settings().value(ObsidianService::vaultPathKey).toString(),
                  c.storedPath.value_or(QString()));
        EXPECT_EQ(temp.settings().contains(ObsidianService::saveModeKey), c.storedMode.has_value());
    }
}

TEST_F(ObsidianSettingsTest, EveryChangeIsAnnouncedFirstAndStoredAtOnce)
{
    temp.settings().setValue(ObsidianService::vaultPathKey, QStringLiteral("/vault"));
    const auto settings = makeSettings();
    QList<SaveMode> modesSeenBefore;
    QObject::connect(settings.get(), &ObsidianSettings::aboutToChange, settings.get(),
                     [&] { modesSeenBefore.append(settings->saveMode()); });
    QSignalSpy changed(settings.get(), &ObsidianSettings::changed);

    settings->setSaveMode(SaveMode::clipboardLog);
    EXPECT_EQ(modesSeenBefore, QList<SaveMode>{SaveMode::newNote});
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(storedOnDisk(ObsidianService::saveModeKey).toString(),
              QStringLiteral("Clipboard Log File"));
    EXPECT_EQ(service.saveMode(), SaveMode::clipboardLog);
    // The vault is left as it was.
    EXPECT_EQ(storedOnDisk(ObsidianService::vaultPathKey).toString(), QStringLiteral("/vault"));

    settings->setVaultPath(QStringLiteral("/elsewhere"));
    EXPECT_EQ(storedOnDisk(ObsidianService::vaultPathKey).toString(), QStringLiteral("/elsewhere"));
    settings->setVaultPath(std::nullopt);
    EXPECT_FALSE(storedOnDisk(ObsidianService::vaultPathKey).isValid());
    EXPECT_EQ(service.vaultURL(), std::nullopt);
    EXPECT_EQ(settings->vaultPath(), std::nullopt);
    EXPECT_EQ(changed.count(), 3);
}

TEST_F(ObsidianSettingsTest, PickingAVault)
{
    const auto settings = makeSettings();
    QSignalSpy changed(settings.get(), &ObsidianSettings::changed);

    // Cancelled, or confirmed without a local folder: nothing changes.
    const std::optional<QUrl> answers[] = {std::nullopt, QUrl(),
                                           QUrl(QStringLiteral("sftp://host/home/me/Vault"))};
    for (const std::optional<QUrl>& answer : answers) {
        chooser.answer = answer;
        settings->pickVault();
        EXPECT_EQ(settings->vaultPath(), std::nullopt);
        EXPECT_FALSE(temp.settings().contains(ObsidianService::vaultPathKey));
    }
    EXPECT_EQ(chooser.calls, 3);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(chooser.lastAcceptLabel, QStringLiteral("Select Vault"));

    chooser.answer = QUrl::fromLocalFile(QStringLiteral("/home/me/Vault/"));
    settings->pickVault();
    EXPECT_EQ(settings->vaultPath(), QStringLiteral("/home/me/Vault"));
    EXPECT_EQ(storedOnDisk(ObsidianService::vaultPathKey).toString(),
              QStringLiteral("/home/me/Vault"));
    EXPECT_EQ(changed.count(), 1);

    // The chooser opens at the current vault; choosing it again stores the same path.
    settings->pickVault();
    EXPECT_EQ(chooser.lastStartFolder, QStringLiteral("/home/me/Vault"));
    EXPECT_EQ(settings->vaultPath(), QStringLiteral("/home/me/Vault"));
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(ObsidianSettingsTest, ICloudVaultRules)
{
    struct Case
    {
        const char* name;
        QStringList files;   // created in the iCloud folder, in this order
        QStringList folders; // created after the files
        QString vault;       // relative to the iCloud folder
    };
    const Case cases[] = {
        {"empty folder", {}, {}, QString()},
        {"only hidden entries",
         {QStringLiteral(".DS_Store")},
         {QStringLiteral(".trash")},
         QString()},
        {"one visible folder",
         {QStringLiteral(".DS_Store")},
         {QStringLiteral("Work")},
         QStringLiteral("Work")},
        {"a plain file is taken too",
         {QStringLiteral(".DS_Store"), QStringLiteral("notes.md")},
         {},
         QStringLiteral("notes.md")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(QDir(home.path()).filePath(QStringLiteral("Library"))).removeRecursively();
        const QString base = makeICloudFolder();
        for (const QString& file : c.files)
            ASSERT_TRUE(test::writeFile(QDir(base).filePath(file), "x"));
        for (const QString& folder : c.folders)
            ASSERT_TRUE(QDir(base).mkdir(folder));
        temp.settings().remove(ObsidianService::vaultPathKey);

        const auto settings = makeSettings();
        ASSERT_TRUE(settings->iCloudVaultBase().has_value());
        settings->useICloudVault();
        const QString expected = c.vault.isEmpty() ? base : QDir(base).filePath(c.vault);
        EXPECT_EQ(settings->vaultPath(), expected);
        EXPECT_EQ(storedOnDisk(ObsidianService::vaultPathKey).toString(), expected);
    }
}

TEST_F(ObsidianSettingsTest, ICloudVaultTakesTheFirstVisibleNameInListingOrder)
{
    const QUrl base = QUrl::fromLocalFile(QStringLiteral("/icloud"));
    EXPECT_EQ(
        ObsidianSettings::iCloudVaultIn(base, {QStringLiteral(".DS_Store"), QStringLiteral("Work"),
                                               QStringLiteral("Personal")}),
        QUrl::fromLocalFile(QStringLiteral("/icloud/Work")));
    EXPECT_EQ(
        ObsidianSettings::iCloudVaultIn(base, {QStringLiteral("Zeta"), QStringLiteral("Alpha")}),
        QUrl::fromLocalFile(QStringLiteral("/icloud/Zeta")));
    EXPECT_EQ(ObsidianSettings::iCloudVaultIn(base, {QStringLiteral(".DS_Store")}), base);
    EXPECT_EQ(ObsidianSettings::iCloudVaultIn(base, {}), base);
}

TEST_F(ObsidianSettingsTest, WithoutAnICloudFolderNothingChanges)
{
    temp.settings().setValue(ObsidianService::vaultPathKey, QStringLiteral("/vault"));
    const auto settings = makeSettings();
    QSignalSpy changed(settings.get(), &ObsidianSettings::changed);
    EXPECT_EQ(settings->iCloudVaultBase(), std::nullopt);
    settings->useICloudVault();
    EXPECT_EQ(settings->vaultPath(), QStringLiteral("/vault"));
    EXPECT_EQ(changed.count(), 0);
}

// The desktop's dialog, driven as a user would: its confirm button reads "Select Vault".
TEST(DialogFolderChooserTest, CancelledAndConfirmed)
{
    QTemporaryDir folder;
    platform::DialogFolderChooser chooser;
    for (const bool confirm : {false, true}) {
        QString acceptLabel;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            acceptLabel = dialog->labelText(QFileDialog::Accept);
            EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
            if (confirm) {
                dialog->selectFile(folder.path());
                static_cast<QDialog*>(dialog)->accept(); // public there
            } else {
                dialog->reject();
            }
        });
        const std::optional<QUrl> chosen =
            chooser.chooseFolder(QStringLiteral("Select Vault"), folder.path());
        EXPECT_EQ(acceptLabel, QStringLiteral("Select Vault"));
        if (confirm) {
            ASSERT_TRUE(chosen.has_value());
            EXPECT_EQ(QDir::cleanPath(chosen->toLocalFile()), QDir::cleanPath(folder.path()));
        } else {
            EXPECT_EQ(chosen, std::nullopt);
        }
    }
}

} // namespace
