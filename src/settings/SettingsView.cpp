#include "settings/SettingsView.h"

#include "app/HotkeyManager.h"
#include "history/HistoryStore.h"
#include "platform/Autostart.h"
#include "platform/FolderChooser.h"
#include "settings/GeneralSettingsTab.h"
#include "settings/ObsidianSettingsTab.h"
#include "settings/SettingsIcons.h"
#include "vault/ObsidianService.h"
#include "vault/ObsidianSettings.h"

#include <QEvent>
#include <QKeyEvent>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace quillstow {

namespace {

// The tab view's size is fixed: with large fonts a tab scrolls rather than squeezing its rows.
QScrollArea* scrollable(QWidget* content)
{
    auto* area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidget(content);
    return area;
}

} // namespace

SettingsView::SettingsView(QSettings& defaults, HistoryStore& history, ObsidianService& vault,
                           platform::FolderChooser& chooser, platform::Autostart& autostart,
                           HotkeyManager& hotkey, const QString& homePath, QWidget* parent)
    : QWidget(parent)
{
    build(defaults, history, vault, chooser, autostart, hotkey, homePath);
}

SettingsView::SettingsView(QSettings& defaults, HistoryStore& history, ObsidianService& vault,
                           HotkeyManager& hotkey, QWidget* parent)
    : QWidget(parent), ownChooser_(std::make_unique<platform::DialogFolderChooser>(this)),
      ownAutostart_(std::make_unique<platform::XdgAutostart>())
{
    build(defaults, history, vault, *ownChooser_, *ownAutostart_, hotkey, {});
}

SettingsView::~SettingsView() = default;

void SettingsView::build(QSettings& defaults, HistoryStore& history, ObsidianService& vault,
                         platform::FolderChooser& chooser, platform::Autostart& autostart,
                         HotkeyManager& hotkey, const QString& homePath)
{
    obsidian_ = new ObsidianSettings(vault, chooser, homePath, this);

    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("settingsTabs"));
    tabs_->setDocumentMode(false);
    auto* general = new GeneralSettingsTab(defaults, history, autostart, hotkey);
    auto* obsidianTab = new ObsidianSettingsTab(*obsidian_);
    // As tall as the fuller page needs at the desktop's font size, so nothing hides below the
    // fold; the scroll areas only matter on a screen too small for that.
    const int pageHeight = std::max(general->sizeHint().height(), obsidianTab->sizeHint().height());
    tabs_->addTab(scrollable(general), tr("General"));
    tabs_->addTab(scrollable(obsidianTab), QStringLiteral("Obsidian"));
    const QSize frame = tabs_->sizeHint() - tabs_->currentWidget()->sizeHint();
    tabs_->setFixedSize(tabViewSize.width(),
                        std::max(tabViewSize.height(), pageHeight + std::max(frame.height(), 0)));
    tabs_->setCurrentIndex(0);
    applyIcons();

    // The layout's default margins are the style's standard window margins.
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
}

void SettingsView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyIcons();
}

void SettingsView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        window()->close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsView::applyIcons()
{
    const QColor colour = palette().color(QPalette::WindowText);
    tabs_->setTabIcon(0, settings::generalTabIcon(colour));
    tabs_->setTabIcon(1, settings::obsidianTabIcon(colour));
}

} // namespace quillstow
