#pragma once

#include <QSettings>
#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>

class QTabWidget;

namespace quillstow {

class HistoryStore;
class HotkeyManager;
class ObsidianService;
class ObsidianSettings;

namespace platform {
class Autostart;
class FolderChooser;
} // namespace platform

// The settings window's content: the "General" and "Obsidian" tabs. Every setting takes effect as
// soon as it is changed; there is nothing to confirm. The window that hosts it is the shell's.
class SettingsView : public QWidget
{
    Q_OBJECT

public:
    // The tab view's width and least height; it grows taller when a page needs it. The view adds
    // the style's standard margin around it.
    static constexpr QSize tabViewSize{460, 300};

    // `homePath` is where the iCloud Obsidian folder is looked for; the user's home by default.
    SettingsView(QSettings& defaults, HistoryStore& history, ObsidianService& vault,
                 platform::FolderChooser& chooser, platform::Autostart& autostart,
                 HotkeyManager& hotkey, const QString& homePath = {}, QWidget* parent = nullptr);
    // With the desktop's folder dialog and the XDG autostart entry.
    SettingsView(QSettings& defaults, HistoryStore& history, ObsidianService& vault,
                 HotkeyManager& hotkey, QWidget* parent = nullptr);
    ~SettingsView() override;

    ObsidianSettings& obsidian() const { return *obsidian_; }
    QTabWidget* tabs() const { return tabs_; }

protected:
    void changeEvent(QEvent* event) override;
    // Escape closes the window, unless a control (a recorder, an open list) used it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void build(QSettings& defaults, HistoryStore& history, ObsidianService& vault,
               platform::FolderChooser& chooser, platform::Autostart& autostart,
               HotkeyManager& hotkey, const QString& homePath);
    void applyIcons();

    std::unique_ptr<platform::FolderChooser> ownChooser_;
    std::unique_ptr<platform::Autostart> ownAutostart_;
    ObsidianSettings* obsidian_ = nullptr;
    QTabWidget* tabs_ = nullptr;
};

} // namespace quillstow
