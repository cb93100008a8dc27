#include "settings/GeneralSettingsTab.h"

#include "app/HotkeyBinding.h"
#include "app/HotkeyManager.h"
#include "capture/CaptureSettings.h"
#include "history/HistoryStore.h"
#include "picker/ClearConfirmation.h"
#include "platform/Autostart.h"
#include "platform/GlobalHotkey.h"
#include "platform/SettingsStore.h"
#include "settings/Sections.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillstow {

namespace {

// Says how the hot key reaches Quillstow. With a compositor binding the recorder could take
// nothing: the line to add to the compositor's configuration stands in its place.
void addHotkeyMechanism(QVBoxLayout* layout, const HotkeyManager& hotkey,
                        const QList<QWidget*>& recorder)
{
    auto* note = new QLabel;
    note->setObjectName(QStringLiteral("hotkeyMechanism"));
    note->setWordWrap(true);
    layout->addWidget(note);
    switch (hotkey.mechanism()) {
    case platform::HotkeyMechanism::KeyGrab:
        note->setText(GeneralSettingsTab::tr("Quillstow takes this key from the X server itself."));
        return;
    case platform::HotkeyMechanism::Portal:
        note->setText(GeneralSettingsTab::tr(
            "The key is registered with the desktop's shortcut service, which may ask you to "
            "confirm it and can change it in its own settings."));
        return;
    case platform::HotkeyMechanism::CompositorBinding:
        break;
    }
    for (QWidget* widget : recorder)
        widget->hide();
    const Compositor compositor = compositorOf(QProcessEnvironment::systemEnvironment());
    const QString command = toggleCommand();
    const QString line = bindingLine(compositor, hotkey.combination(), command);
    const QString noHotkey =
        GeneralSettingsTab::tr("This desktop lets no program take a hot key of its own.");
    if (compositor == Compositor::Sway)
        note->setText(noHotkey + u' ' +
                      GeneralSettingsTab::tr("Add this line to your sway configuration "
                                             "(~/.config/sway/config) and reload it:"));
    else if (compositor == Compositor::Hyprland)
        note->setText(noHotkey + u' ' +
                      GeneralSettingsTab::tr("Add this line to your Hyprland configuration "
                                             "(~/.config/hypr/hyprland.conf):"));
    else
        note->setText(noHotkey + u' ' +
                      GeneralSettingsTab::tr("In your desktop's keyboard settings, bind a key to "
                                             "this command:"));
    // Read-only but selectable, to be copied into the configuration.
    auto* field = new QLineEdit(line.isEmpty() ? command : line);
    field->setObjectName(QStringLiteral("hotkeyBindingLine"));
    field->setReadOnly(true);
    field->setAccessibleName(GeneralSettingsTab::tr("Key binding to add"));
    field->setCursorPosition(0);
    layout->addWidget(field);
}

} // namespace

GeneralSettingsTab::GeneralSettingsTab(QSettings& defaults, HistoryStore& history,
                                       platform::Autostart& autostart, HotkeyManager& hotkey,
                                       QWidget* parent)
    : QWidget(parent), defaults_(defaults), history_(history), autostart_(autostart),
      stepper_(new QSpinBox), clearButton_(new QPushButton(tr("Clear All History Now"))),
      launchToggle_(new QCheckBox(tr("Launch at login"))), hotkey_(hotkey),
      hotkeyRecorder_(new QKeySequenceEdit(QKeySequence(hotkey.combination()))),
      hotkeyState_(new QLabel), keepClipboardToggle_(new QCheckBox(
                                    tr("Keep the clipboard when the program that copied quits"))),
      capturePrimaryToggle_(new QCheckBox(tr("Also keep text selected with the mouse")))
{
    stepper_->setObjectName(QStringLiteral("historyStepper"));
    stepper_->setRange(HistoryStore::minMaxItems, HistoryStore::maxMaxItems);
    stepper_->setSingleStep(HistoryStore::maxItemsStep);
    // One sentence for the translation; the number stands where %1 is.
    const QString keep = tr("Keep %1 items");
    const qsizetype number = keep.indexOf(QStringLiteral("%1"));
    stepper_->setPrefix(keep.left(number));
    stepper_->setSuffix(keep.mid(number + 2));
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

    hotkeyRecorder_->setObjectName(QStringLiteral("hotkeyRecorder"));
    hotkeyRecorder_->setAccessibleName(tr("Open Quillstow"));
    // Taken when the recorder has seen the whole combination.
    connect(hotkeyRecorder_, &QKeySequenceEdit::editingFinished, this,
            &GeneralSettingsTab::takeRecordedHotkey);
    hotkeyState_->setObjectName(QStringLiteral("hotkeyState"));
    hotkeyState_->setWordWrap(true);
    showHotkeyState({});

    // The monitor reads both at the clipboard's next change.
    keepClipboardToggle_->setObjectName(QStringLiteral("keepClipboardToggle"));
    keepClipboardToggle_->setChecked(capture::keepsClipboard(defaults_));
    connect(keepClipboardToggle_, &QCheckBox::toggled, this,
            [this](bool on) { platform::storeSetting(defaults_, capture::keepClipboardKey, on); });
    capturePrimaryToggle_->setObjectName(QStringLiteral("capturePrimaryToggle"));
    capturePrimaryToggle_->setChecked(capture::capturesPrimary(defaults_));
    connect(capturePrimaryToggle_, &QCheckBox::toggled, this,
            [this](bool on) { platform::storeSetting(defaults_, capture::capturePrimaryKey, on); });

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
    auto* recorderRow = new QHBoxLayout;
    auto* recorderLabel = new QLabel(tr("Open Quillstow:"));
    recorderLabel->setBuddy(hotkeyRecorder_);
    recorderRow->addWidget(recorderLabel);
    recorderRow->addWidget(hotkeyRecorder_);
    recorderRow->addStretch();
    hotkeyLayout->addLayout(recorderRow);
    hotkeyLayout->addWidget(hotkeyState_);
    addHotkeyMechanism(hotkeyLayout, hotkey_, {recorderLabel, hotkeyRecorder_, hotkeyState_});

    QVBoxLayout* layout = settings::sectionsPage(this);
    layout->addWidget(settings::section(tr("History"), historyLayout));
    layout->addWidget(settings::section(tr("Startup"), startupLayout));
    layout->addWidget(settings::section(tr("Hotkey"), hotkeyLayout));
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
    platform::storeSetting(defaults_, HistoryStore::maxItemsKey, capacity);
}

void GeneralSettingsTab::setLaunchAtLogin(bool enabled)
{
    const std::optional<QString> error = autostart_.setEnabled(enabled);
    // The stored flag follows the entry, whatever became of the change.
    const bool isEnabled = error ? autostart_.isEnabled() : enabled;
    platform::storeSetting(defaults_, launchAtLoginKey, isEnabled);
    {
        const QSignalBlocker blocker(launchToggle_);
        launchToggle_->setChecked(isEnabled);
    }
    if (!error)
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Launch at Login"),
                                enabled ? tr("Quillstow could not be set to launch at login.")
                                        : tr("Quillstow could not stop launching at login."),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("launchAtLoginError"));
    box->setInformativeText(*error);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void GeneralSettingsTab::takeRecordedHotkey()
{
    const QKeySequence recorded = hotkeyRecorder_->keySequence();
    if (recorded.isEmpty())
        return;
    // One combination, the first the user pressed; the keypad is the same key to us.
    const QKeyCombination combination(recorded[0].keyboardModifiers() & ~Qt::KeypadModifier,
                                      recorded[0].key());
    const QString unusable = HotkeyManager::unusableBecause(combination);
    {
        const QSignalBlocker blocker(hotkeyRecorder_);
        hotkeyRecorder_->setKeySequence(
            QKeySequence(unusable.isEmpty() ? combination : hotkey_.combination()));
    }
    if (!unusable.isEmpty()) {
        showHotkeyState(
            tr("%1 cannot be used: %2.").arg(HotkeyManager::displayText(combination), unusable));
        return;
    }
    platform::storeSetting(defaults_, HotkeyManager::settingsKey,
                           QKeySequence(combination).toString(QKeySequence::PortableText));
    hotkey_.setCombination(combination);
    showHotkeyState({});
}

void GeneralSettingsTab::showHotkeyState(const QString& problem)
{
    const QString name = HotkeyManager::displayText(hotkey_.combination());
    QString text = problem;
    if (text.isEmpty() && !hotkey_.failure().isEmpty())
        text = tr("%1 could not be taken: %2.").arg(name, hotkey_.failure());
    const bool isProblem = !text.isEmpty();
    if (!isProblem)
        text = tr("%1 opens the picker in any program.").arg(name);
    hotkeyState_->setText(text);
    hotkeyState_->setProperty("problem", isProblem);
    applyColours();
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
    // The hot key's trouble is said in the same red.
    QPalette statePalette = palette();
    if (hotkeyState_->property("problem").toBool())
        statePalette.setColor(QPalette::WindowText, red);
    else
        statePalette.setColor(QPalette::WindowText, palette().color(QPalette::PlaceholderText));
    hotkeyState_->setPalette(statePalette);
    if (clearPalette.color(QPalette::ButtonText) == red)
        return;
    clearPalette.setColor(QPalette::ButtonText, red);
    clearButton_->setPalette(clearPalette);
}

} // namespace quillstow
