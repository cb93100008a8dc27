#pragma once

#include "history/ClipItem.h"
#include "platform/WindowSystem.h"

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QUuid>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QMessageBox;
class QLineEdit;
class QStackedWidget;
class QToolButton;

namespace quillstow {

class ClipListModel;
class ClipListView;
class HistoryStore;
class ObsidianService;
class PasteDelivery;
enum class RowAction;

// The picker: a search field over the clipboard history, the matching entries, and a footer.
// Typing filters, the arrow and page keys or the pointer move the selection, Return or a click
// pastes into the application that was in front before the picker opened. Tab moves the focus
// between the search field and the list; the Menu key opens the selected row's menu.
class PopupView : public QWidget
{
    Q_OBJECT

public:
    // Shows the user why a save into the vault failed.
    using SaveFailedAlert = std::function<void(const QString& message, const QString& details)>;

    struct Collaborators
    {
        HistoryStore& store;
        ObsidianService& vault;
        PasteDelivery& delivery;
        // `showSaveFailedAlert` unless given.
        SaveFailedAlert showSaveFailed = {};
        // The footer's "Settings" (after the picker is dismissed) and "Quit".
        std::function<void()> onOpenSettings = {};
        std::function<void()> onQuit = {};
        // Seconds since 2001-01-01 UTC, for the rows' age labels; the system clock unless given.
        std::function<double()> now = {};
    };

    static constexpr int panelWidth = 480;
    static constexpr int panelHeight = 520;
    static constexpr int cornerRadius = 12;

    // `onDismiss` closes the picker's window. It may hide the view but must not delete it at
    // once (deleteLater is fine): the picker calls it last in an action and returns.
    PopupView(std::optional<platform::WindowRef> previousApp, std::function<void()> onDismiss,
              Collaborators collaborators, QWidget* parent = nullptr);
    ~PopupView() override;

    const QString& query() const { return query_; }
    std::optional<QUuid> selectedID() const;
    // The entries shown: the store's items for the current query.
    QList<ClipItem> visibleItems() const;

    // The key that acts on the selected row, as its menu shows it; none for a tap.
    static QKeySequence shortcutFor(RowAction action);

    // Moves the selection by `step` rows, stopping at either end.
    void moveSelection(int step);
    // Pastes the selected entry, or the first one when the selection is not visible.
    void pasteSelected();
    void pasteItem(const ClipItem& item);
    void saveToObsidian(const ClipItem& item);

    // The default save-failed alert: a warning box (named "saveFailedAlert") of its own that
    // does not block. Opening it takes the focus, which closes the picker, so the box must
    // outlive the picker: it has no parent and deletes itself when dismissed.
    static QMessageBox* showSaveFailedAlert(const QString& message, const QString& details);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool handleKey(QKeyEvent* event);
    void setQuery(const QString& query);
    // Selects `id`; a change to a shown row scrolls it to the middle when `scroll` is set.
    void select(const std::optional<QUuid>& id, bool scroll = true);
    void selectFirst();
    void selectRow(int row);
    // About a screenful of rows, for Page Up and Page Down.
    int pageStep() const;
    const ClipItem* selectedItem() const;
    void actOnSelected(RowAction action);
    void openSelectedRowMenu();
    // Tells the list which row is selected, after the selection or the rows changed.
    void syncCurrentRow();
    void onRowHovered(const std::optional<QUuid>& id);
    void onRowAction(const ClipItem& item, RowAction action);
    void refreshFromStore();
    void refreshEmptyStateAndCount();
    void applyColors();
    QWidget* buildSearchBar();
    QWidget* buildEmptyState();
    QWidget* buildFooter();

    Collaborators c_;
    std::optional<platform::WindowRef> previousApp_;
    std::function<void()> onDismiss_;
    QString query_;
    bool hasAppeared_ = false;

    ClipListModel* model_ = nullptr;
    ClipListView* list_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QToolButton* clearButton_ = nullptr;
    QLabel* searchIcon_ = nullptr;
    QLabel* emptyIcon_ = nullptr;
    QLabel* emptyText_ = nullptr;
    QLabel* itemCount_ = nullptr;
    QStackedWidget* results_ = nullptr;
};

} // namespace quillstow
