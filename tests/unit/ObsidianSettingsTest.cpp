#include "vault/ObsidianSettings.h"

#include "SettingsFakes.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
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
    ObsidianSettings settings{service, chooser, home.path()};

    // What a restart would find on disk.
    QString storedVault() { return temp.reopen().value(ObsidianService::vaultPathKey).toString(); }
};

TEST_F(ObsidianSettingsTest, PickingAVault)
{
    // Cancelled, or confirmed without a local folder: nothing changes.
    for (const std::optional<QUrl>& answer :
         {std::optional<QUrl>(), std::optional(QUrl()),
          std::optional(QUrl(QStringLiteral("sftp://host/home/me/Vault")))}) {
        chooser.answer = answer;
        settings.pickVault();
        EXPECT_EQ(settings.vaultPath(), std::nullopt);
        EXPECT_FALSE(temp.settings().contains(ObsidianService::vaultPathKey));
    }
    EXPECT_EQ(chooser.lastAcceptLabel, QStringLiteral("Select Vault"));

    chooser.answer = QUrl::fromLocalFile(QStringLiteral("/home/me/Vault/"));
    settings.pickVault();
    EXPECT_EQ(settings.vaultPath(), QStringLiteral("/home/me/Vault"));
    EXPECT_EQ(storedVault(), QStringLiteral("/home/me/Vault"));
    settings.pickVault(); // the chooser opens at the current vault
    EXPECT_EQ(chooser.lastStartFolder, QStringLiteral("/home/me/Vault"));
}

TEST_F(ObsidianSettingsTest, TheICloudVaultIsTheFirstVisibleNameWhileTheFolderExists)
{
    settings.setVaultPath(QStringLiteral("/vault"));
    settings.useICloudVault(); // no iCloud folder: nothing changes
    EXPECT_EQ(settings.vaultPath(), QStringLiteral("/vault"));

    const QString base =
        home.filePath(QStringLiteral("Library/Mobile Documents/iCloud~md~obsidian/Documents"));
    ASSERT_TRUE(QDir().mkpath(base + QStringLiteral("/.trash")));
    ASSERT_TRUE(QDir().mkpath(base + QStringLiteral("/Work")));
    settings.useICloudVault();
    EXPECT_EQ(storedVault(), base + QStringLiteral("/Work"));
    // Names in listing order; hidden ones skipped, and with none left the folder itself.
    const QUrl icloud = QUrl::fromLocalFile(QStringLiteral("/icloud"));
    const auto in = [&](const QStringList& names) {
        return ObsidianSettings::iCloudVaultIn(icloud, names).toLocalFile();
    };
    EXPECT_EQ(in({QStringLiteral("Zeta"), QStringLiteral("Alpha")}),
              QStringLiteral("/icloud/Zeta"));
    EXPECT_EQ(in({QStringLiteral(".DS_Store"), QStringLiteral(".trash")}),
              QStringLiteral("/icloud"));
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
        EXPECT_EQ(QDir::cleanPath(chosen.value_or(QUrl()).toLocalFile()),
                  confirm ? QDir::cleanPath(folder.path()) : QString());
    }
}

} // namespace
