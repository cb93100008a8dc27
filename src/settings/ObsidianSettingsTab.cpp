#include "settings/ObsidianSettingsTab.h"

#include "settings/ElidedLabel.h"
#include "settings/Sections.h"
#include "vault/ObsidianSettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillstow {

namespace {

QFont captionFont(QFont font)
{
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.85);
    else if (font.pixelSize() > 0)
        font.setPixelSize(qMax(1, qRound(font.pixelSize() * 0.85)));
    return font;
}

} // namespace

ObsidianSettingsTab::ObsidianSettingsTab(ObsidianSettings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings), vaultLabel_(new settings::ElidedLabel),
      removeButton_(new QPushButton(tr("Remove"))), chooseButton_(new QPushButton(tr("Choose…"))),
      iCloudButton_(new QToolButton), saveModes_(new QButtonGroup(this)),
      saveEveryCopy_(new QCheckBox(tr("Save every new copy to the vault")))
{
    vaultLabel_->setObjectName(QStringLiteral("vaultPathLabel"));
    removeButton_->setObjectName(QStringLiteral("removeVaultButton"));
    removeButton_->setToolTip(tr("Stop saving to this vault. Nothing in the vault is changed."));
    chooseButton_->setObjectName(QStringLiteral("chooseVaultButton"));
    chooseButton_->setDefault(false);
    iCloudButton_->setObjectName(QStringLiteral("iCloudVaultButton"));
    // Drawn like a hyperlink: the palette's link colour, underlined, no frame until pressed.
    iCloudButton_->setText(tr("Use iCloud Obsidian Vault"));
    iCloudButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    iCloudButton_->setAutoRaise(true);
    iCloudButton_->setCursor(Qt::PointingHandCursor);
    QFont linkFont = iCloudButton_->font();
    linkFont.setUnderline(true);
    iCloudButton_->setFont(linkFont);

    connect(chooseButton_, &QPushButton::clicked, &settings_, &ObsidianSettings::pickVault);
    connect(removeButton_, &QPushButton::clicked, this,
            [this] { settings_.setVaultPath(std::nullopt); });
    connect(iCloudButton_, &QToolButton::clicked, &settings_, &ObsidianSettings::useICloudVault);

    auto* vaultLayout = new QVBoxLayout;
    vaultLayout->setSpacing(2);
    auto* vaultRow = new QHBoxLayout;
    vaultRow->addWidget(vaultLabel_, 1, Qt::AlignVCenter);
    vaultRow->addWidget(removeButton_, 0, Qt::AlignVCenter);
    vaultRow->addWidget(chooseButton_, 0, Qt::AlignVCenter);
    vaultLayout->addLayout(vaultRow);
    auto* iCloudRow = new QHBoxLayout;
    iCloudRow->addWidget(iCloudButton_);
    iCloudRow->addStretch();
    vaultLayout->addLayout(iCloudRow);

    // The picker's title beside its options, as a form row.
    auto* modeLayout = new QFormLayout;
    auto* options = new QVBoxLayout;
    options->setSpacing(2);
    const QList<ObsidianService::SaveMode>& modes = ObsidianService::allSaveModes();
    for (qsizetype i = 0; i < modes.size(); ++i) {
        auto* option = new QRadioButton(ObsidianService::displayName(modes[i]));
        saveModes_->addButton(option, static_cast<int>(i));
        options->addWidget(option);
    }
    options->addWidget(saveEveryCopy_);
    auto* title = new QLabel(tr("When saving to Obsidian:"));
    title->setBuddy(saveModes_->button(0));
    modeLayout->addRow(title, options);
    connect(saveModes_, &QButtonGroup::idClicked, this,
            [this](int id) { settings_.setSaveMode(ObsidianService::allSaveModes().at(id)); });
    saveEveryCopy_->setObjectName(QStringLiteral("saveEveryCopyToggle"));
    saveEveryCopy_->setToolTip(
        tr("When off, only items saved with “Save to Obsidian” go into the vault."));
    connect(saveEveryCopy_, &QCheckBox::clicked, &settings_, &ObsidianSettings::setSavesEveryCopy);

    auto* notesLayout = new QVBoxLayout;
    auto* notes =
        new QLabel(tr("Items saved as new notes go into a “Quillstow” folder inside your vault."));
    notes->setObjectName(QStringLiteral("notesFolderNote"));
    notes->setWordWrap(true);
    notes->setForegroundRole(QPalette::PlaceholderText);
    notes->setFont(captionFont(notes->font()));
    notesLayout->addWidget(notes);

    QVBoxLayout* layout = settings::sectionsPage(this);
    layout->addWidget(settings::section(tr("Vault Location"), vaultLayout));
    layout->addWidget(settings::section(tr("Save Mode"), modeLayout));
    layout->addWidget(settings::section(tr("Notes Folder"), notesLayout));
    layout->addStretch();

    connect(&settings_, &ObsidianSettings::changed, this, &ObsidianSettingsTab::refresh);
    refresh();
    applyColours();
}

void ObsidianSettingsTab::refresh()
{
    const std::optional<QString>& path = settings_.vaultPath();
    vaultLabel_->setText(path ? *path : tr("Not configured"));
    vaultLabel_->setForegroundRole(path ? QPalette::WindowText : QPalette::PlaceholderText);
    removeButton_->setVisible(path.has_value());
    // Offered only while the folder is there.
    iCloudButton_->setVisible(settings_.iCloudVaultBase().has_value());

    const int mode =
        static_cast<int>(ObsidianService::allSaveModes().indexOf(settings_.saveMode()));
    if (QAbstractButton* option = saveModes_->button(mode)) {
        const QSignalBlocker blocker(saveModes_);
        option->setChecked(true);
    }
    saveEveryCopy_->setChecked(settings_.savesEveryCopy());
}

void ObsidianSettingsTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void ObsidianSettingsTab::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours();
}

void ObsidianSettingsTab::applyColours()
{
    const QColor link = palette().color(QPalette::Link);
    QPalette linkPalette = iCloudButton_->palette();
    if (linkPalette.color(QPalette::ButtonText) == link)
        return;
    linkPalette.setColor(QPalette::ButtonText, link);
    iCloudButton_->setPalette(linkPalette);
}

} // namespace quillstow
