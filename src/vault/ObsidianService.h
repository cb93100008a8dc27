#pragma once

#include "history/ClipItem.h"

#include <QDateTime>
#include <QList>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>
#include <variant>

namespace quillstow {

// Why a save into the vault failed.
struct ObsidianError
{
    enum class Kind
    {
        noVaultConfigured,
        fileSystem
    };

    Kind kind = Kind::noVaultConfigured;
    QString description;

    static ObsidianError noVaultConfigured();
    static ObsidianError fileSystem(const QString& description);

    // The text the user is shown.
    const QString& errorDescription() const { return description; }
};

// The file written, or why nothing was.
class SaveResult
{
public:
    static SaveResult success(const QUrl& file) { return SaveResult(file); }
    static SaveResult failure(const ObsidianError& error) { return SaveResult(error); }

    bool isSuccess() const { return std::holds_alternative<QUrl>(value_); }
    const QUrl& url() const { return std::get<QUrl>(value_); }
    const ObsidianError& error() const { return std::get<ObsidianError>(value_); }

private:
    explicit SaveResult(std::variant<QUrl, ObsidianError> value) : value_(std::move(value)) {}
    std::variant<QUrl, ObsidianError> value_;
};

// Writes clip items as Markdown into the user's Obsidian vault. The vault path and save mode are
// read from the settings at every save, so a change applies to the next one. Files are written
// only below the vault's real path: a symbolic link that leads elsewhere is refused, and a vault
// folder that is missing is not created.
class ObsidianService
{
public:
    enum class SaveMode
    {
        newNote,
        dailyNote,
        clipboardLog
    };

    static const QList<SaveMode>& allSaveModes();
    // The stored name: English whatever the language.
    static QString rawValue(SaveMode mode);
    // The name the user sees.
    static QString displayName(SaveMode mode);
    // Exact, case-sensitive match of a raw value.
    static std::optional<SaveMode> saveModeFromRawValue(const QString& raw);

    static inline const QString vaultPathKey = QStringLiteral("obsidian_vault_path");
    static inline const QString saveModeKey = QStringLiteral("obsidian_save_mode");
    static inline const QString saveEveryCopyKey = QStringLiteral("obsidian_save_every_copy");

    using Clock = std::function<QDateTime()>;

    // `now` tells the moment of saving (the daily note's date); the system clock by default.
    explicit ObsidianService(QSettings& defaults, Clock now = {});

    // Present exactly when a vault path is stored.
    std::optional<QUrl> vaultURL() const;
    // Stores the path without a trailing slash; none removes the key.
    void setVaultURL(const std::optional<QUrl>& url);

    SaveMode saveMode() const;
    void setSaveMode(SaveMode mode);

    // Whether every new copy goes into the vault on its own, while one is configured; on unless
    // switched off.
    bool savesEveryCopy() const;
    void setSavesEveryCopy(bool enabled);

    // "~/Library/Mobile Documents/iCloud~md~obsidian/Documents" when something exists there.
    static std::optional<QUrl> iCloudVaultBase();
    static std::optional<QUrl> iCloudVaultBase(const QString& homePath);

    SaveResult save(const ClipItem& item);

private:
    SaveResult saveAsNewNote(const ClipItem& item, const std::optional<QString>& title,
                             const QStringList& tags, const QString& vault);
    SaveResult appendToDailyNote(const ClipItem& item, const QString& vault);
    SaveResult appendToLog(const ClipItem& item, const QString& vault);
    // Appends to the file `name` directly in the vault, creating it when missing.
    static SaveResult append(const QString& text, const QString& vault, const QString& name);
    static QString defaultTitle(const ClipItem& item);
    static QString clipTitle(const ClipItem& item);

    QSettings& defaults_;
    Clock now_;
};

// "2025-03-04T05:06:07Z": whole seconds, UTC.
QString iso8601(double copiedAt);

} // namespace quillstow
