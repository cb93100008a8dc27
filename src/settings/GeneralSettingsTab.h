#pragma once

#include <QSettings>
#include <QString>
#include <QWidget>

class QCheckBox;
class QKeySequenceEdit;
class QLabel;
class QPushButton;
class QSpinBox;

namespace quillstow {

class HistoryStore;
class HotkeyManager;

namespace platform {
class Autostart;
}

// History size, clearing the history, what is captured, launch at login and the hot key.
// Every change is stored and applied at once.
class GeneralSettingsTab : public QWidget
{
    Q_OBJECT

public:
    static inline const QString launchAtLoginKey = QStringLiteral("launch_at_login");

    GeneralSettingsTab(QSettings& defaults, HistoryStore& history, platform::Autostart& autostart,
                       HotkeyManager& hotkey, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void storeMaxItems(int value);
    void setLaunchAtLogin(bool enabled);
    void takeRecordedHotkey();
    void showHotkeyState(const QString& problem);
    void applyColours();

    QSettings& defaults_;
    HistoryStore& history_;
    platform::Autostart& autostart_;
    QSpinBox* stepper_;
    QPushButton* clearButton_;
    QCheckBox* launchToggle_;
    HotkeyManager& hotkey_;
    QKeySequenceEdit* hotkeyRecorder_;
    QLabel* hotkeyState_;
    QCheckBox* keepClipboardToggle_;
    QCheckBox* capturePrimaryToggle_;
};

} // namespace quillstow
