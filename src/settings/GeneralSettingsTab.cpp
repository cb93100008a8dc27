#include "settings/GeneralSettingsTab.h"

#include "capture/CaptureSettings.h"
#include "history/HistoryStore.h"
#include "picker/ClearConfirmation.h"
#include "platform/Autostart.h"
#include "platform/SettingsStore.h"
#include "settings/Sections.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillstow {

GeneralSettingsTab::GeneralSettingsTab(QSettings& defaults, HistoryStore& history,
                                       platform::Autostart& autostart, QWidget* parent)
    : QWidget(parent), defaults_(defaults), history_(history), autostart_(autostart),
      stepper_(new QSpinBox),
      clearButton_(new QPushButton(QStringLiteral("Clear All History Now"))),
      launchToggle_(new QCheckBox(QStringLiteral("Launch at login"))),
      keepClipboardToggle_(
          new QCheckBox(QStringLiteral("Keep the clipboard when the program that copied quits"))),
      capturePrimaryToggle_(
          new QCheckBox(QStringLiteral("Also keep text selected with the mouse"))),
      hotkeyLabel_(new QLabel(hotkeyReminder))
{
    stepper_->setObjectName(QStringLiteral("historyStepper"));
    stepper_->setRange(HistoryStore::minMaxItems, HistoryStore::maxMaxItems);
    stepper_->setSingleStep(HistoryStore::maxItemsStep);
    stepper_->setPrefix(QStringLiteral("Keep "));
    stepper_->setSuffix(QStringLiteral(" items"));
    // A typed number is taken when editing ends, not digit by digit.
    stepper_->setKeyboardTracking(false);
    stepper_->setValue(historyCapacity(defaults_.value(HistoryStore::maxItemsKey)));
    connect(stepper_, &QSpinBox::valueChanged, this, &GeneralSettingsTab::storeMaxItems);

    clearButton_->setObjectName(QStringLiteral("clearHistoryButton"));
    // A question over this window, which it blocks until answered.
    connect(clearButton_, &QPushButton::clicked, this,
            [this] { askToClearHistory(history_, false, this); });

    launchToggle_->setObjectName(QStringLiteral("launchAtLoginToggle"));
    // What happens at the next login is what the autostart entry says.
    launchToggle_->setChecked(autostart_.isEnabled());
    connect(launchToggle_, &QCheckBox::clicked, this, &GeneralSettingsTab::setLaunchAtLogin);

    keepClipboardToggle_->setObjectName(QStringLiteral("keepClipboardToggle"));
    keepClipboardToggle_->setChecked(capture::keepsClipboard(defaults_));
    connect(keepClipboardToggle_, &QCheckBox::toggled, this,
            [this](bool on) { storeToggle(capture::keepClipboardKey, on); });
    capturePrimaryToggle_->setObjectName(QStringLiteral("capturePrimaryToggle"));
    capturePrimaryToggle_->setChecked(capture::capturesPrimary(defaults_));
    connect(capturePrimaryToggle_, &QCheckBox::toggled, this,
            [this](bool on) { storeToggle(capture::capturePrimaryKey, on); });

    hotkeyLabel_->setObjectName(QStringLiteral("hotkeyReminder"));
    hotkeyLabel_->setForegroundRole(QPalette::PlaceholderText);

    auto* historyLayout = new QVBoxLayout;
    auto* stepperRow = new QHBoxLayout;
    stepperRow->addWidget(stepper_);
    stepperRow->addStretch();
    historyLayout->addLayout(stepperRow);
    auto* clearRow = new QHBoxLayout;
    clearRow->addWidget(clearButton_);
    clearRow->addStretch();
    historyLayout->addLayout(clearRow);
    historyLayout->addWidget(keepClipboardToggle_);
    historyLayout->addWidget(capturePrimaryToggle_);

    auto* startupLayout = new QVBoxLayout;
    startupLayout->addWidget(launchToggle_);

    auto* hotkeyLayout = new QVBoxLayout;
    hotkeyLayout->addWidget(hotkeyLabel_);

    QVBoxLayout* layout = settings::sectionsPage(this);
    layout->addWidget(settings::section(QStringLiteral("History"), historyLayout));
    layout->addWidget(settings::section(QStringLiteral("Startup"), startupLayout));
    layout->addWidget(settings::section(QStringLiteral("Hotkey"), hotkeyLayout));
    layout->addStretch();

    applyColours();
}

void GeneralSettingsTab::storeMaxItems(int value)
{
    // Typed values land on the stepper's grid like stepped ones.
    const int capacity = historyCapacity(value);
    if (capacity != value) {
        stepper_->setValue(capacity); // comes back here with the grid value
        return;
    }
    defaults_.setValue(HistoryStore::maxItemsKey, capacity);
    platform::syncPrivately(defaults_);
}

void GeneralSettingsTab::storeToggle(const QString& key, bool enabled)
{
    // The monitor reads it at the next change of the clipboard.
    defaults_.setValue(key, enabled);
    platform::syncPrivately(defaults_);
}

void GeneralSettingsTab::setLaunchAtLogin(bool enabled)
{
    const std::optional<QString> error = autostart_.setEnabled(enabled);
    // The stored flag follows the entry, whatever became of the change.
    const bool isEnabled = error ? autostart_.isEnabled() : enabled;
    defaults_.setValue(launchAtLoginKey, isEnabled);
    platform::syncPrivately(defaults_);
    {
        const QSignalBlocker blocker(launchToggle_);
        launchToggle_->setChecked(isEnabled);
    }
    if (!error)
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Launch at Login"),
                                enabled ? QStringLiteral("Quillstow could not be set to launch "
                                                         "at login.")
                                        : QStringLiteral("Quillstow could not stop launching at "
                                                         "login."),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("launchAtLoginError"));
    box->setInformativeText(*error);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void GeneralSettingsTab::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours();
}

void GeneralSettingsTab::applyColours()
{
    // The one colour of our own: a red that stays readable on light and on dark buttons.
    const bool isDark = palette().color(QPalette::Button).lightness() < 128;
    QPalette clearPalette = clearButton_->palette();
    const QColor red = isDark ? QColor(0xff, 0x6b, 0x6b) : QColor(0xc6, 0x28, 0x28);
    if (clearPalette.color(QPalette::ButtonText) == red)
        return;
    clearPalette.setColor(QPalette::ButtonText, red);
    clearButton_->setPalette(clearPalette);
}

} // namespace quillstow
