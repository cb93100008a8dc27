#include "picker/PopupView.h"

#include "history/HistoryStore.h"
#include "picker/ClearConfirmation.h"
#include "picker/ClipListModel.h"
#include "picker/ClipRowDelegate.h"
#include "picker/ClipRowView.h"
#include "picker/CountText.h"
#include "picker/FooterButton.h"
#include "picker/PasteDelivery.h"
#include "picker/PickerStyle.h"
#include "platform/DebugLog.h"
#include "vault/ObsidianService.h"

#include <QAccessible>
#include <QApplication>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

namespace quillstow {

QKeySequence PopupView::shortcutFor(RowAction action)
{
    switch (action) {
    case RowAction::pin:
        return QKeySequence(Qt::CTRL | Qt::Key_P);
    case RowAction::saveToObsidian:
        return QKeySequence(Qt::CTRL | Qt::Key_S);
    case RowAction::remove:
        return QKeySequence(Qt::Key_Delete);
    case RowAction::tap:
        break;
    }
    return {};
}

// The results list: rows laid out by the delegate as they are needed, hover tracked on real
// pointer movement, clicks and the context menu turned into row actions.
class ClipListView : public QListView
{
public:
    std::function<void(const std::optional<QUuid>&)> onHover;
    std::function<void(const ClipItem&, RowAction)> onAction;

    ClipListView(ClipListModel* model, ClipRowDelegate* delegate, QWidget* parent)
        : QListView(parent), model_(model), delegate_(delegate)
    {
        // The selection model mirrors the picker's selection, for assistive technology; the
        // picker itself moves it, so the view's own keys and clicks stay out of it.
        setSelectionMode(SingleSelection);
        setEditTriggers(NoEditTriggers);
        setFocusPolicy(Qt::TabFocus);
        // A new current row would otherwise scroll itself into view, and a hovered row must not.
        setAutoScroll(false);
        setFrameShape(QFrame::NoFrame);
        setMouseTracking(true);
        setVerticalScrollMode(ScrollPerPixel);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // A scroll bar that came and went would change the rows' width and so their heights.
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        setResizeMode(Adjust);
        setUniformItemSizes(false);
        viewport()->setAutoFillBackground(false);
        setAutoFillBackground(false);
        // Last: some of the settings above lay out every row again.
        setItemDelegate(delegate);
        setModel(model);
    }

    // The row's action under `pos` (a viewport point): a button, or a tap anywhere else.
    std::optional<std::pair<ClipItem, RowAction>> actionAt(const QPoint& pos) const
    {
        const QModelIndex index = indexAt(pos);
        if (!index.isValid())
            return std::nullopt;
        const ClipRowView row = ClipRowDelegate::rowFor(index);
        const QRect rect = visualRect(index);
        const auto button =
            row.buttonAt(rect, delegate_->previewLineCount(row, viewport()->width()), pos);
        return std::pair{row.item, button ? button->action : RowAction::tap};
    }

    // Makes `row` the view's current and only selected row (-1: none).
    void setCurrentRow(int row)
    {
        const QModelIndex index = row >= 0 ? model_->index(row) : QModelIndex();
        if (index == currentIndex())
            return;
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        // The view itself tells of its current row only while it has the focus; while the user
        // types in the search field, the selected row is still what a screen reader should say.
        if (index.isValid() && !hasFocus() && isActiveWindow())
            announce(index);
    }

    // Opens the row's menu at `globalPos` (not exec(): the picker may close while the menu is
    // open, by the hot key or a lost focus, and a menu must not be deleted under its own loop).
    void openMenu(const QModelIndex& index, const QPoint& globalPos)
    {
        const ClipRowView row = ClipRowDelegate::rowFor(index);
        auto* menu = new QMenu(this);
        menu->setObjectName(QStringLiteral("rowMenu"));
        connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
        for (const ClipRowView::MenuItem& entry : row.contextMenuItems()) {
            if (!entry.action) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(entry.text);
            action->setData(static_cast<int>(*entry.action));
            // Shown next to the entry; the picker's own keys do the work outside the menu.
            action->setShortcut(PopupView::shortcutFor(*entry.action));
            action->setShortcutContext(Qt::WidgetShortcut);
            if (entry.isDestructive)
                action->setIcon(style::icon(style::icons::trash, style::red(palette())));
        }
        connect(menu, &QMenu::triggered, this, [this, item = row.item](QAction* chosen) {
            if (onAction)
                onAction(item, static_cast<RowAction>(chosen->data().toInt()));
        });
        menu->popup(globalPos);
    }

protected:
    void mouseMoveEvent(QMouseEvent* event) override { updateHover(event->position().toPoint()); }

    void mousePressEvent(QMouseEvent* event) override
    {
        pressed_ = event->button() == Qt::LeftButton ? actionAt(event->position().toPoint())
                                                     : std::nullopt;
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const auto pressed = std::exchange(pressed_, std::nullopt);
        if (event->button() != Qt::LeftButton || !pressed)
            return;
        const auto released = actionAt(event->position().toPoint());
        if (released && released->first.id == pressed->first.id &&
            released->second == pressed->second && onAction)
            onAction(released->first, released->second);
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }

    // The picker handles every key; the view's own moves would leave the picker's selection.
    void keyPressEvent(QKeyEvent* event) override { event->ignore(); }

    void wheelEvent(QWheelEvent* event) override
    {
        QListView::wheelEvent(event);
        // The rows moved under the pointer.
        updateHover(event->position().toPoint());
    }

    void contextMenuEvent(QContextMenuEvent* event) override
    {
        const QModelIndex index = indexAt(event->pos());
        if (index.isValid())
            openMenu(index, event->globalPos());
    }

    void focusInEvent(QFocusEvent* event) override
    {
        QListView::focusInEvent(event);
        // After the list's own focus event, which Qt sends once this returns: the row is what
        // has the focus in the end.
        QTimer::singleShot(0, this, [this] {
            if (hasFocus() && currentIndex().isValid())
                announce(currentIndex());
        });
    }

    bool viewportEvent(QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Leave:
            if (onHover)
                onHover(std::nullopt);
            break;
        case QEvent::ToolTip: {
            const auto* help = static_cast<QHelpEvent*>(event);
            const QModelIndex index = indexAt(help->pos());
            std::optional<ClipRowView::ActionButton> button;
            if (index.isValid()) {
                const ClipRowView row = ClipRowDelegate::rowFor(index);
                button = row.buttonAt(visualRect(index),
                                      delegate_->previewLineCount(row, viewport()->width()),
                                      help->pos());
            }
            if (button)
                QToolTip::showText(help->globalPos(), button->tooltip, viewport());
            else
                QToolTip::hideText();
            return true;
        }
        default:
            break;
        }
        return QListView::viewportEvent(event);
    }

private:
    void announce(const QModelIndex& index)
    {
        if (!QAccessible::isActive())
            return;
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(index.row());
        QAccessible::updateAccessibility(&event);
    }

    void updateHover(const QPoint& pos)
    {
        const QModelIndex index = indexAt(pos);
        const std::optional<QUuid> id =
            index.isValid() ? std::optional(index.data(ClipListModel::IdRole).toUuid())
                            : std::nullopt;
        if (id != model_->hoveredID() && onHover)
            onHover(id);
    }

    ClipListModel* model_;
    ClipRowDelegate* delegate_;
    std::optional<std::pair<ClipItem, RowAction>> pressed_;
};

namespace {

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setObjectName(QStringLiteral("divider"));
    return line;
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

} // namespace

PopupView::PopupView(std::optional<platform::WindowRef> previousApp,
                     std::function<void()> onDismiss, Collaborators collaborators, QWidget* parent)
    : QWidget(parent), c_(std::move(collaborators)), previousApp_(std::move(previousApp)),
      onDismiss_(std::move(onDismiss))
{
    setFixedSize(panelWidth, panelHeight);
    setAttribute(Qt::WA_TranslucentBackground);
    if (!c_.showSaveFailed)
        c_.showSaveFailed = [](const QString& message, const QString& details) {
            showSaveFailedAlert(message, details);
        };

    model_ = new ClipListModel(this);
    model_->setItems(c_.store.filtered(query_));
    auto* delegate = new ClipRowDelegate(c_.now, this);
    list_ = new ClipListView(model_, delegate, this);
    list_->setObjectName(QStringLiteral("resultsList"));
    list_->setAccessibleName(tr("Clipboard history"));
    list_->onHover = [this](const std::optional<QUuid>& id) {
        onRowHovered(id);
    };
    list_->onAction = [this](const ClipItem& item, RowAction action) {
        onRowAction(item, action);
    };

    results_ = new QStackedWidget(this);
    results_->addWidget(list_);
    results_->addWidget(buildEmptyState());

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildSearchBar());
    root->addWidget(divider(this));
    root->addWidget(results_, 1);
    root->addWidget(divider(this));
    root->addWidget(buildFooter());

    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    connect(&c_.store, &HistoryStore::itemsChanged, this, &PopupView::refreshFromStore);
    applyColors();
    refreshEmptyStateAndCount();
}

PopupView::~PopupView() = default;

QWidget* PopupView::buildSearchBar()
{
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);

    searchIcon_ = new QLabel(bar);
    searchIcon_->setFixedSize(16, 16);
    layout->addWidget(searchIcon_);

    searchField_ = new QLineEdit(bar);
    searchField_->setObjectName(QStringLiteral("searchField"));
    searchField_->setFrame(false);
    searchField_->setPlaceholderText(tr("Search clipboard history…"));
    searchField_->setAccessibleName(tr("Search clipboard history"));
    searchField_->setFont(style::font(style::searchSize));
    connect(searchField_, &QLineEdit::textChanged, this, &PopupView::setQuery);
    layout->addWidget(searchField_, 1);

    clearButton_ = new QToolButton(bar);
    clearButton_->setObjectName(QStringLiteral("clearButton"));
    clearButton_->setAutoRaise(true);
    clearButton_->setAccessibleName(tr("Clear search"));
    clearButton_->setFocusPolicy(Qt::NoFocus);
    clearButton_->setCursor(Qt::PointingHandCursor);
    clearButton_->setIconSize(QSize(16, 16));
    clearButton_->setFixedSize(20, 20);
    clearButton_->setStyleSheet(QStringLiteral("QToolButton { border: none; background: none; }"));
    clearButton_->hide();
    connect(clearButton_, &QToolButton::clicked, searchField_, &QLineEdit::clear);
    layout->addWidget(clearButton_);
    return bar;
}

QWidget* PopupView::buildEmptyState()
{
    auto* empty = new QWidget(this);
    empty->setObjectName(QStringLiteral("emptyState"));
    auto* layout = new QVBoxLayout(empty);
    layout->setSpacing(8);
    layout->addStretch(1);
    emptyIcon_ = new QLabel(empty);
    emptyIcon_->setAlignment(Qt::AlignCenter);
    layout->addWidget(emptyIcon_);
    emptyText_ = new QLabel(empty);
    emptyText_->setObjectName(QStringLiteral("emptyStateText"));
    emptyText_->setAlignment(Qt::AlignCenter);
    emptyText_->setTextFormat(Qt::PlainText);
    emptyText_->setWordWrap(true);
    emptyText_->setFont(style::font(style::bodySize));
    layout->addWidget(emptyText_);
    layout->addStretch(1);
    return empty;
}

QWidget* PopupView::buildFooter()
{
    auto* footer = new QWidget(this);
    auto* layout = new QHBoxLayout(footer);
    layout->setContentsMargins(10, 7, 10, 7);
    layout->setSpacing(6);

    itemCount_ = new QLabel(footer);
    itemCount_->setObjectName(QStringLiteral("itemCount"));
    itemCount_->setAccessibleName(tr("History size"));
    itemCount_->setFont(style::font(style::captionSize));
    layout->addWidget(itemCount_);
    auto* saveState = new QLabel(footer);
    saveState->setObjectName(QStringLiteral("saveState"));
    saveState->setFont(style::font(style::captionSize));
    saveState->setTextFormat(Qt::PlainText);
    saveState->setWordWrap(true);
    const auto showSaveState = [this, saveState] {
        const QString reason = c_.store.saveFailure();
        saveState->setText(reason.isEmpty() ? QString() : historyNotSavedMessage(reason));
        saveState->setVisible(!reason.isEmpty());
    };
    showSaveState();
    connect(&c_.store, &HistoryStore::saveStateChanged, saveState, showSaveState);
    layout->addWidget(saveState, 1);
    layout->addStretch(1);

    // The question is a window of its own: taking the focus closes the picker, and the answer
    // still reaches the store.
    auto* clear = new FooterButton(
        tr("Clear"), FooterButton::Role::destructive,
        [this] { askToClearHistory(c_.store, true, nullptr); }, footer);
    clear->setAccessibleName(tr("Clear history"));
    layout->addWidget(clear);
    auto* settings = new FooterButton(
        tr("Settings"), FooterButton::Role::normal,
        [this] {
            // Dismissing may end the picker; keep what is needed afterwards.
            const auto openSettings = c_.onOpenSettings;
            const auto dismiss = onDismiss_;
            if (dismiss)
                dismiss();
            if (openSettings)
                openSettings();
        },
        footer);
    settings->setAccessibleName(tr("Open settings"));
    layout->addWidget(settings);
    auto* quit = new FooterButton(
        tr("Quit"), FooterButton::Role::destructive,
        [this] {
            if (c_.onQuit)
                c_.onQuit();
        },
        footer);
    quit->setAccessibleName(tr("Quit Quillstow"));
    layout->addWidget(quit);
    return footer;
}

void PopupView::applyColors()
{
    const QPalette& p = palette();
    searchIcon_->setPixmap(
        style::iconPixmap(style::icons::search, style::secondary(p), 16, devicePixelRatioF()));
    clearButton_->setIcon(style::icon(style::icons::clear, style::secondary(p)));
    emptyIcon_->setPixmap(
        style::iconPixmap(style::icons::clipboard, style::tertiary(p), 40, devicePixelRatioF()));
    setTextColor(emptyText_, style::secondary(p));
    setTextColor(itemCount_, style::tertiary(p));
    QPalette field = searchField_->palette();
    field.setColor(QPalette::Base, Qt::transparent);
    searchField_->setPalette(field);
    for (QFrame* line : findChildren<QFrame*>(QStringLiteral("divider")))
        setTextColor(line, style::withOpacity(style::primary(p), 0.12));
}

void PopupView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && searchIcon_)
        applyColors();
    QWidget::changeEvent(event);
}

void PopupView::paintEvent(QPaintEvent*)
{
    // The panel: a rounded sheet in the window colour, slightly see-through where the window
    // allows it.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(style::withOpacity(style::primary(palette()), 0.15));
    painter.setBrush(style::withOpacity(palette().color(QPalette::Window), 0.97));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius,
                            cornerRadius);
}

std::optional<QUuid> PopupView::selectedID() const
{
    return model_->selectedID();
}

QList<ClipItem> PopupView::visibleItems() const
{
    return c_.store.filtered(query_);
}

void PopupView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (hasAppeared_)
        return;
    hasAppeared_ = true;
    searchField_->setFocus(Qt::OtherFocusReason);
    selectFirst();
}

void PopupView::setQuery(const QString& query)
{
    if (query == query_)
        return;
    query_ = query;
    clearButton_->setVisible(!query_.isEmpty());
    model_->setItems(c_.store.filtered(query_), query_);
    refreshEmptyStateAndCount();
    selectFirst();
    syncCurrentRow();
}

void PopupView::selectFirst()
{
    const ClipItem* first = model_->itemAt(0);
    select(first ? std::optional(first->id) : std::nullopt);
}

void PopupView::selectRow(int row)
{
    if (const ClipItem* item = model_->itemAt(row))
        select(item->id);
}

void PopupView::select(const std::optional<QUuid>& id, bool scroll)
{
    if (id == model_->selectedID())
        return;
    model_->setSelectedID(id);
    syncCurrentRow();
    const int row = model_->rowOf(id);
    if (!scroll || row < 0)
        return;
    list_->scrollTo(model_->index(row), QAbstractItemView::PositionAtCenter);
}

void PopupView::syncCurrentRow()
{
    list_->setCurrentRow(model_->rowOf(model_->selectedID()));
}

int PopupView::pageStep() const
{
    const int row = std::max(model_->rowOf(model_->selectedID()), 0);
    const int rowHeight = list_->visualRect(model_->index(row)).height();
    return std::max(1, list_->viewport()->height() / std::max(1, rowHeight));
}

const ClipItem* PopupView::selectedItem() const
{
    return model_->itemAt(model_->rowOf(model_->selectedID()));
}

void PopupView::actOnSelected(RowAction action)
{
    const ClipItem* selected = selectedItem();
    if (!selected)
        return;
    const ClipItem item = *selected;
    const int row = model_->rowOf(item.id);
    onRowAction(item, action);
    // The row that takes a deleted row's place is selected, so a second press goes on.
    if (action == RowAction::remove)
        selectRow(std::min(row, model_->rowCount() - 1));
}

void PopupView::openSelectedRowMenu()
{
    const int row = model_->rowOf(model_->selectedID());
    if (row < 0 || !list_->isVisible())
        return;
    const QModelIndex index = model_->index(row);
    list_->scrollTo(index);
    const QRect rect = list_->visualRect(index);
    list_->openMenu(index, list_->viewport()->mapToGlobal(QPoint(rect.x() + 12, rect.bottom())));
}

void PopupView::moveSelection(int step)
{
    const int count = model_->rowCount();
    if (count == 0)
        return;
    const int row = model_->rowOf(model_->selectedID());
    if (row < 0) {
        selectFirst();
        return;
    }
    select(model_->itemAt(std::clamp(row + step, 0, count - 1))->id);
}

void PopupView::onRowHovered(const std::optional<QUuid>& id)
{
    model_->setHoveredID(id);
    // The row is under the pointer already: centring it would slide another row under the
    // pointer, which the next movement would select, and a click would hit a row the user did
    // not aim at.
    if (id)
        select(id, false);
}

void PopupView::onRowAction(const ClipItem& item, RowAction action)
{
    switch (action) {
    case RowAction::tap:
        pasteItem(item);
        break;
    case RowAction::pin:
        c_.store.togglePin(item);
        break;
    case RowAction::saveToObsidian:
        saveToObsidian(item);
        break;
    case RowAction::remove:
        c_.store.remove(item);
        break;
    }
}

void PopupView::pasteSelected()
{
    const QList<ClipItem> visible = visibleItems();
    const std::optional<QUuid> selected = selectedID();
    std::optional<ClipItem> target;
    if (selected) {
        const auto found = std::find_if(visible.cbegin(), visible.cend(),
                                        [&](const ClipItem& item) { return item.id == *selected; });
        if (found != visible.cend())
            target = *found;
    }
    if (!target && !visible.isEmpty())
        target = visible.first();
    debuglog::write(pasteLogLine(selected, target));
    if (target)
        pasteItem(*target);
}

void PopupView::pasteItem(const ClipItem& item)
{
    c_.delivery.deliver(item.content, previousApp_);
    const auto dismiss = onDismiss_;
    if (dismiss)
        dismiss();
}

void PopupView::saveToObsidian(const ClipItem& item)
{
    const SaveResult result = c_.vault.save(item);
    if (result.isSuccess())
        c_.store.markSavedToObsidian(item);
    else
        c_.showSaveFailed(tr("Save Failed"), result.error().errorDescription());
}

QMessageBox* PopupView::showSaveFailedAlert(const QString& message, const QString& details)
{
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Quillstow"), message,
                                QMessageBox::Ok);
    box->setObjectName(QStringLiteral("saveFailedAlert"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(details);
    // Not exec(): the picker closes under a nested loop, and nothing of it may be in use then.
    box->open();
    return box;
}

void PopupView::refreshFromStore()
{
    // The list keeps its place; the selection keeps its item, wherever that moved.
    const int offset = list_->verticalScrollBar()->value();
    model_->setItems(c_.store.filtered(query_), query_);
    list_->doItemsLayout();
    list_->verticalScrollBar()->setValue(offset);
    syncCurrentRow();
    refreshEmptyStateAndCount();
}

void PopupView::refreshEmptyStateAndCount()
{
    const qsizetype total = c_.store.items().size();
    itemCount_->setText(query_.isEmpty() ? itemCountText(total)
                                         : filteredCountText(model_->rowCount(), total));
    const bool isEmpty = model_->rowCount() == 0;
    results_->setCurrentIndex(isEmpty ? 1 : 0);
    emptyText_->setText(query_.isEmpty() ? tr("No clipboard history yet")
                                         : tr("No results for \"%1\"").arg(query_));
}

bool PopupView::handleKey(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = modifiers == Qt::NoModifier;
    const bool inField = searchField_->hasFocus();
    // Keys that also edit text belong to the search field while it has some.
    const bool fieldTakesEditing = inField && !query_.isEmpty();
    switch (event->key()) {
    case Qt::Key_Escape: {
        const auto dismiss = onDismiss_;
        if (dismiss)
            dismiss();
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pasteSelected();
        return true;
    case Qt::Key_Up:
        moveSelection(-1);
        return true;
    case Qt::Key_Down:
        moveSelection(1);
        return true;
    case Qt::Key_PageUp:
        moveSelection(-pageStep());
        return true;
    case Qt::Key_PageDown:
        moveSelection(pageStep());
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
        if (modifiers != Qt::ControlModifier && !(plain && !fieldTakesEditing))
            return false;
        selectRow(event->key() == Qt::Key_Home ? 0 : model_->rowCount() - 1);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (modifiers & ~Qt::ShiftModifier)
            return false;
        if (inField && list_->isVisible())
            list_->setFocus(Qt::TabFocusReason);
        else
            searchField_->setFocus(Qt::TabFocusReason);
        return true;
    case Qt::Key_Menu:
        openSelectedRowMenu();
        return true;
    case Qt::Key_F10:
        if (modifiers != Qt::ShiftModifier)
            return false;
        openSelectedRowMenu();
        return true;
    case Qt::Key_Delete:
        if (modifiers == Qt::ShiftModifier || (plain && !fieldTakesEditing)) {
            actOnSelected(RowAction::remove);
            return true;
        }
        return false;
    default:
        break;
    }
    for (const RowAction action : {RowAction::pin, RowAction::saveToObsidian}) {
        if (QKeySequence(event->keyCombination()) == shortcutFor(action)) {
            actOnSelected(action);
            return true;
        }
    }
    // Typing while the list has the focus goes on in the search field.
    if (!inField && (modifiers & ~Qt::ShiftModifier) == Qt::NoModifier &&
        (event->key() == Qt::Key_Backspace || !event->text().trimmed().isEmpty() ||
         event->key() == Qt::Key_Space)) {
        searchField_->setFocus(Qt::OtherFocusReason);
        QKeyEvent forwarded(event->type(), event->key(), event->modifiers(), event->text());
        QApplication::sendEvent(searchField_, &forwarded);
        return true;
    }
    return false;
}

bool PopupView::eventFilter(QObject* watched, QEvent* event)
{
    // The picker's keys act whichever control has the focus.
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

void PopupView::keyPressEvent(QKeyEvent* event)
{
    if (!handleKey(event))
        QWidget::keyPressEvent(event);
}

} // namespace quillstow
