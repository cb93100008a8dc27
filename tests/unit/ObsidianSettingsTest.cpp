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
};

TEST_F(ObsidianSettingsTest, LoadsOnceWithoutWritingBack)
{
    const struct
    {
        std::optional<QString> storedPath;
        std::optional<QString> shownPath;
    } cases[] = {
        {std::nullopt, std::nullopt},
        {QStringLiteral("/home/me//Notes/"), QStringLiteral("/home/me/Notes")},
        {QStringLiteral("/"), QStringLiteral("/")},
    };
    for (const auto& c : cases) {
        temp.settings().clear();
        if (c.storedPath)
            temp.settings().setValue(ObsidianService::vaultPathKey, *c.storedPath);
        temp.settings().setValue(ObsidianService::saveModeKey,
                                 QStringLiteral("Append to Daily Note"));
        const auto settings = makeSettings();
        EXPECT_EQ(settings->vaultPath(), c.shownPath);
        EXPECT_EQ(settings->saveMode(), SaveMode::dailyNote);
        // Showing a value normalised does not store it.
        EXPECT_EQ(temp.settings().value(ObsidianService::vaultPathKey).toString(),
                  c.storedPath.value_or(QString()));
    }
}

TEST_F(ObsidianSettingsTest, EveryChangeIsStoredAtOnce)
{
    temp.settings().setValue(ObsidianService::vaultPathKey, QStringLiteral("/vault"));
    const auto settings = makeSettings();
    QSignalSpy changed(settings.get(), &ObsidianSettings::changed);

    settings->setSaveMode(SaveMode::clipboardLog);
    EXPECT_EQ(storedOnDisk(ObsidianService::saveModeKey).toString(),
              QStringLiteral("Clipboard Log File"));
    EXPECT_EQ(storedOnDisk(ObsidianService::vaultPathKey).toString(), QStringLiteral("/vault"));
    settings->setVaultPath(std::nullopt);
    EXPECT_FALSE(storedOnDisk(ObsidianService::vaultPathKey).isValid());
    EXPECT_EQ(settings->vaultPath(), std::nullopt);
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(ObsidianSettingsTest, PickingAVault)
{
    const auto settings = makeSettings();
    // Cancelled, or confirmed without a local folder: nothing changes.
    const std::optional<QUrl> answers[] = {std::nullopt, QUrl(),
                                           QUrl(QStringLiteral("sftp://host/home/me/Vault"))};
    for (const std::optional<QUrl>& answer : answers) {
        chooser.answer = answer;
        settings->pickVault();
        EXPECT_EQ(settings->vaultPath(), std::nullopt);
        EXPECT_FALSE(temp.settings().contains(ObsidianService::vaultPathKey));
    }
    EXPECT_EQ(chooser.lastAcceptLabel, QStringLiteral("Select Vault"));

    chooser.answer = QUrl::fromLocalFile(QStringLiteral("/home/me/Vault/"));
    settings->pickVault();
    EXPECT_EQ(settings->vaultPath(), QStringLiteral("/home/me/Vault"));
    EXPECT_EQ(storedOnDisk(ObsidianService::vaultPathKey).toString(),
              QStringLiteral("/home/me/Vault"));
    // The chooser opens at the current vault.
    settings->pickVault();
    EXPECT_EQ(chooser.lastStartFolder, QStringLiteral("/home/me/Vault"));
}

TEST_F(ObsidianSettingsTest, ICloudVaultIsTheFirstVisibleNameInListingOrder)
{
    const QUrl base = QUrl::fromLocalFile(QStringLiteral("/icloud"));
    const struct
    {
        QStringList names;
        QString vault;
    } cases[] = {
        {{QStringLiteral(".DS_Store"), QStringLiteral("Work"), QStringLiteral("Personal")},
         QStringLiteral("/icloud/Work")},
        {{QStringLiteral("Zeta"), QStringLiteral("notes.md")}, QStringLiteral("/icloud/Zeta")},
        {{QStringLiteral(".DS_Store"), QStringLiteral(".trash")}, QStringLiteral("/icloud")},
        {{}, QStringLiteral("/icloud")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ObsidianSettings::iCloudVaultIn(base, c.names).toLocalFile(), c.vault);
}

TEST_F(ObsidianSettingsTest, ICloudVaultIsTakenFromTheFolderOnlyWhileItExists)
{
    temp.settings().setValue(ObsidianService::vaultPathKey, QStringLiteral("/vault"));
    const auto settings = makeSettings();
    settings->useICloudVault();
    EXPECT_EQ(settings->vaultPath(), QStringLiteral("/vault"));

    const QString base =
        home.filePath(QStringLiteral("Library/Mobile Documents/iCloud~md~obsidian/Documents"));
    ASSERT_TRUE(QDir().mkpath(base + QStringLiteral("/.trash")));
    ASSERT_TRUE(QDir().mkpath(base + QStringLiteral("/Work")));
    settings->useICloudVault();
    EXPECT_EQ(settings->vaultPath(), base + QStringLiteral("/Work"));
    EXPECT_EQ(storedOnDisk(ObsidianService::vaultPathKey).toString(),
              base + QStringLiteral("/Work"));
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
        EXPECT_EQ(chosen.has_value(), confirm);
        EXPECT_EQ(QDir::cleanPath(chosen.value_or(QUrl()).toLocalFile()),
                  confirm ? QDir::cleanPath(folder.path()) : QString());
    }
}

} // namespace
