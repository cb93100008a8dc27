#pragma once

#include <QSettings>
#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace quillstow {

class HistoryStore;

namespace platform {
class Autostart;
}

// History size, clearing the history, what is captured, launch at login and the hot key reminder.
// Every change is stored at once.
class GeneralSettingsTab : public QWidget
{
    Q_OBJECT

public:
    static inline const QString launchAtLoginKey = QStringLiteral("launch_at_login");
    static inline const QString hotkeyReminder = QStringLiteral("Open Quillstow: Super+Shift+V");

    GeneralSettingsTab(QSettings& defaults, HistoryStore& history, platform::Autostart& autostart,
                       QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void storeMaxItems(int value);
    void setLaunchAtLogin(bool enabled);
    void storeToggle(const QString& key, bool enabled);
    void applyColours();

    QSettings& defaults_;
    HistoryStore& history_;
    platform::Autostart& autostart_;
    QSpinBox* stepper_;
    QPushButton* clearButton_;
    QCheckBox* launchToggle_;
    QCheckBox* keepClipboardToggle_;
    QCheckBox* capturePrimaryToggle_;
    QLabel* hotkeyLabel_;
};

} // namespace quillstow
