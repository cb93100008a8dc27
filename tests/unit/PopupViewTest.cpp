#include "picker/PopupView.h"

#include "history/HistoryStore.h"
#include "picker/ClipListModel.h"
#include "picker/ClipRowDelegate.h"
#include "picker/ClipRowView.h"
#include "picker/FooterButton.h"
#include "platform/DebugLog.h"
#include "support/OpenDialogs.h"
#include "support/RecordingDelivery.h"
#include "support/TestSupport.h"
#include "vault/ObsidianService.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <tuple>

using namespace quillstow;

namespace {

const platform::WindowRef editor{0x4200007, QStringLiteral("Gedit"), QStringLiteral("Text Editor"),
                                 4242};

class PopupViewTest : public ::testing::Test
{
public:
    test::TempSettings temp;
    ObsidianService vault{temp.settings()};
    HistoryStore store{temp.settings(), vault, temp.databasePath()};
    test::RecordingDelivery delivery;
    std::vector<QString> events; // dismiss, settings and quit, in order
    std::unique_ptr<PopupView> popup;
    QString logPath = temp.filePath(QStringLiteral("debug.log"));

    void SetUp() override { debuglog::setPath(logPath); }
    void TearDown() override
    {
        popup.reset();
        debuglog::setPath(debuglog::defaultPath);
    }

    static QStringList entries(int count)
    {
        QStringList texts;
        for (int i = 0; i < count; ++i)
            texts << QStringLiteral("entry %1").arg(i);
        return texts;
    }
    // Items added oldest first, so the store lists them as given: texts[0] on top.
    void fill(const QStringList& texts)
    {
        for (qsizetype i = texts.size() - 1; i >= 0; --i)
            store.add(ClipItem::create(texts[i], 1000.0 - static_cast<double>(i)));
    }
    void show()
    {
        popup = std::make_unique<PopupView>(
            editor, [this] { events.push_back(QStringLiteral("dismiss")); },
            PopupView::Collaborators{
                .store = store,
                .vault = vault,
                .delivery = delivery,
                .onOpenSettings = [this] { events.push_back(QStringLiteral("settings")); },
                .onQuit = [this] { events.push_back(QStringLiteral("quit")); },
                .now = [] { return 1000.0 + 30; },
            });
        popup->show();
        QApplication::processEvents();
    }

    QLineEdit* field() { return popup->findChild<QLineEdit*>(QStringLiteral("searchField")); }
    QListView* list() { return popup->findChild<QListView*>(QStringLiteral("resultsList")); }
    QAbstractItemModel* model() { return list()->model(); }
    QString emptyText()
    {
        auto* label = popup->findChild<QLabel*>(QStringLiteral("emptyStateText"));
        return label->isVisibleTo(popup.get()) ? label->text() : QString();
    }
    QString countText() { return popup->findChild<QLabel*>(QStringLiteral("itemCount"))->text(); }
    FooterButton* footerButton(const QString& label)
    {
        for (auto* button : popup->findChildren<FooterButton*>())
            if (button->text() == label)
                return button;
        return nullptr;
    }
    void key(Qt::Key k, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(field(), k);
    }
    void type(const QString& text) { QTest::keyClicks(field(), text); }
    QString selectedText() // empty: nothing selected, or the selected item is gone
    {
        for (const ClipItem& item : store.items())
            if (item.id == popup->selectedID())
                return item.content;
        return {};
    }
    std::optional<ClipItem> itemNamed(const QString& content) // none: not in the store
    {
        for (const ClipItem& item : store.items())
            if (item.content == content)
                return item;
        return std::nullopt;
    }
    void useVault()
    {
        QDir().mkpath(temp.filePath(QStringLiteral("vault")));
        vault.setVaultURL(QUrl::fromLocalFile(temp.filePath(QStringLiteral("vault"))));
    }
    QRect rowRect(int row) { return list()->visualRect(model()->index(row, 0)); }
    int rowOf(const QString& content)
    {
        for (int row = 0; row < model()->rowCount(); ++row)
            if (model()->index(row, 0).data(ClipListModel::ItemRole).value<ClipItem>().content ==
                content)
                return row;
        return -1;
    }
    QRect buttonRect(int row, std::size_t button)
    {
        const auto index = model()->index(row, 0);
        const ClipRowView view = ClipRowDelegate::rowFor(index);
        const QRect rect = rowRect(row);
        const int lines = rect.height() > ClipRowView::height(1) ? 2 : 1;
        return view.geometry(rect, lines).buttons[button];
    }
    void clickButton(int row, std::size_t button)
    {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, buttonRect(row, button).center());
    }
    // Opens the row's context menu and chooses `text` from it.
    void chooseFromMenu(int row, const QString& text)
    {
        const QPoint pos = rowRect(row).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos,
                                list()->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(list()->viewport(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            if (action->text() == text)
                action->trigger();
        menu->close();
    }
};

} // namespace

TEST_F(PopupViewTest, OpensOnTheFirstEntryAndQueryEditsSelectTheFirstMatch)
{
    fill({QStringLiteral("apple pie"), QStringLiteral("Banana bread"),
          QStringLiteral("banana split"), QStringLiteral("cherry")});
    show();
    EXPECT_EQ(popup->focusWidget(), field());
    EXPECT_EQ(selectedText(), QStringLiteral("apple pie"));
    auto* clear = popup->findChild<QToolButton*>(QStringLiteral("clearButton"));
    EXPECT_FALSE(clear->isVisibleTo(popup.get()));

    // The arrows move one row and stop at either end.
    for (const auto& [k, times, selected] :
         {std::tuple{Qt::Key_Up, 1, "apple pie"}, std::tuple{Qt::Key_Down, 4, "cherry"},
          std::tuple{Qt::Key_Up, 1, "banana split"}}) {
        key(k, times);
        EXPECT_EQ(selectedText(), QString::fromUtf8(selected));
    }
    type(QStringLiteral("BAN"));
    EXPECT_EQ(popup->query(), QStringLiteral("BAN"));
    EXPECT_EQ(model()->rowCount(), 2);
    EXPECT_EQ(selectedText(), QStringLiteral("Banana bread"));
    EXPECT_TRUE(clear->isVisibleTo(popup.get()));
    key(Qt::Key_Down);
    type(QStringLiteral("ana s"));
    EXPECT_EQ(selectedText(), QStringLiteral("banana split"));

    type(QStringLiteral("zz"));
    EXPECT_EQ(popup->selectedID(), std::nullopt);
    EXPECT_EQ(emptyText(), QStringLiteral("No results for \"BANana szz\""));
    EXPECT_EQ(countText(), QStringLiteral("0 of 4 items"));
    key(Qt::Key_Down);
    EXPECT_EQ(popup->selectedID(), std::nullopt);

    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_EQ(field()->text(), QString());
    EXPECT_FALSE(clear->isVisibleTo(popup.get()));
    EXPECT_EQ(model()->rowCount(), 4);
    EXPECT_EQ(selectedText(), QStringLiteral("apple pie"));

    store.clearAll(false);
    EXPECT_EQ(emptyText(), QStringLiteral("No clipboard history yet"));
    key(Qt::Key_Escape);
    EXPECT_EQ(events, std::vector{QStringLiteral("dismiss")});
}

TEST_F(PopupViewTest, StoreChangesKeepTheSelectedItem)
{
    fill({QStringLiteral("a0"), QStringLiteral("a1"), QStringLiteral("a2")});
    show();
    key(Qt::Key_Down);
    store.add(ClipItem::create(QStringLiteral("fresh"), 2000));
    EXPECT_EQ(selectedText(), QStringLiteral("a1"));
    EXPECT_TRUE(model()->index(2, 0).data(ClipListModel::IsSelectedRole).toBool());

    store.togglePin(*itemNamed(QStringLiteral("a1")));
    EXPECT_EQ(selectedText(), QStringLiteral("a1"));
    EXPECT_EQ(rowOf(QStringLiteral("a1")), 0);

    // Deleting the selected item leaves a selection that names nothing; a key move starts over.
    const ClipItem gone = *itemNamed(QStringLiteral("a1"));
    store.remove(gone);
    EXPECT_EQ(popup->selectedID(), gone.id);
    for (int row = 0; row < model()->rowCount(); ++row)
        EXPECT_FALSE(model()->index(row, 0).data(ClipListModel::IsSelectedRole).toBool());
    key(Qt::Key_Up);
    EXPECT_EQ(selectedText(), QStringLiteral("fresh"));
}

TEST_F(PopupViewTest, KeyMovesCentreTheSelectionButHoverDoesNotScroll)
{
    fill(entries(60));
    show();
    QScrollBar* bar = list()->verticalScrollBar();
    key(Qt::Key_Down, 25);
    const int centre = list()->viewport()->height() / 2;
    EXPECT_NEAR(rowRect(25).center().y(), centre, rowRect(25).height());

    // Right after showing, the rows further down may still be waiting for their layout.
    const int before = bar->value();
    const QPoint low(100, list()->viewport()->height() - 10);
    QMouseEvent move(QEvent::MouseMove, low, list()->viewport()->mapToGlobal(low), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list()->viewport(), &move);
    const int row = list()->indexAt(low).row();
    ASSERT_GT(row, 25);
    EXPECT_EQ(selectedText(), QStringLiteral("entry %1").arg(row));
    EXPECT_TRUE(model()->index(row, 0).data(ClipListModel::IsHoveredRole).toBool());
    EXPECT_EQ(bar->value(), before);

    // Leaving the row keeps it selected; the next key move goes on from it.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(list()->viewport(), &leave);
    EXPECT_FALSE(model()->index(row, 0).data(ClipListModel::IsHoveredRole).toBool());
    key(Qt::Key_Down);
    EXPECT_EQ(selectedText(), QStringLiteral("entry %1").arg(row + 1));
    EXPECT_NEAR(rowRect(row + 1).center().y(), centre, rowRect(row + 1).height());

    key(Qt::Key_Down, 100);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(PopupViewTest, ReturnChoosesTheTargetAndLogsIt)
{
    const struct
    {
        const char* name;
        std::function<void(PopupViewTest&)> act;
        const char* pasted; // empty: nothing
    } cases[] = {
        {"the selection", [](PopupViewTest& t) { t.key(Qt::Key_Down); }, "two"},
        {"deleted selection pastes the first",
         [](PopupViewTest& t) {
             t.key(Qt::Key_Down);
             t.store.remove(*t.itemNamed(QStringLiteral("two")));
         },
         "one"},
        {"stale selection after a clear", [](PopupViewTest& t) { t.store.clearAll(false); }, ""},
        {"no match", [](PopupViewTest& t) { t.type(QStringLiteral("xyz")); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store.clearAll(false);
        fill({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
        delivery = {};
        events.clear();
        QFile::remove(logPath);
        show();
        c.act(*this);
        const std::optional<QUuid> selected = popup->selectedID();
        const std::optional<ClipItem> target = itemNamed(QString::fromUtf8(c.pasted));
        key(Qt::Key_Return);
        // The stale selection is logged as it was.
        EXPECT_EQ(test::readFile(logPath), (pasteLogLine(selected, target) + u'\n').toUtf8());
        // A paste closes the picker; without one it stays.
        EXPECT_EQ(delivery.pasted, target ? QStringList{target->content} : QStringList());
        // The picker pastes only into the window it was opened over.
        EXPECT_EQ(delivery.targets.count(editor), delivery.pasted.size());
        EXPECT_EQ(events, target ? std::vector{QStringLiteral("dismiss")} : std::vector<QString>());
    }
}

TEST_F(PopupViewTest, RowButtonsContextMenuAndClicksActOnTheirRow)
{
    useVault();
    fill({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    show();
    key(Qt::Key_Down); // "two" is selected and shows its buttons
    const QPoint at = buttonRect(1, 2).center();
    QHelpEvent help(QEvent::ToolTip, at, list()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list()->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Delete"));

    clickButton(1, 0);
    EXPECT_TRUE(itemNamed(QStringLiteral("two"))->isPinned);
    EXPECT_EQ(rowOf(QStringLiteral("two")), 0);
    clickButton(0, 1);
    EXPECT_TRUE(itemNamed(QStringLiteral("two"))->savedToObsidian);
    clickButton(0, 2);
    EXPECT_EQ(rowOf(QStringLiteral("two")), -1);

    chooseFromMenu(1, QStringLiteral("Pin"));
    EXPECT_TRUE(itemNamed(QStringLiteral("three"))->isPinned);
    chooseFromMenu(0, QStringLiteral("Unpin"));
    EXPECT_FALSE(itemNamed(QStringLiteral("three"))->isPinned);
    chooseFromMenu(rowOf(QStringLiteral("three")), QStringLiteral("Save to Obsidian"));
    EXPECT_TRUE(itemNamed(QStringLiteral("three"))->savedToObsidian);
    chooseFromMenu(rowOf(QStringLiteral("one")), QStringLiteral("Delete"));
    EXPECT_EQ(rowOf(QStringLiteral("one")), -1);

    // A click elsewhere on a row pastes it, without a log line; nothing before it pasted or closed.
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, rowRect(0).center());
    EXPECT_EQ(delivery.pasted, QStringList{QStringLiteral("three")});
    EXPECT_EQ(delivery.targets, QList{std::optional(editor)});
    EXPECT_EQ(events, std::vector{QStringLiteral("dismiss")});
    EXPECT_FALSE(QFile::exists(logPath));
}

TEST_F(PopupViewTest, KeysMoveTheSelectionAndTheFocusAndActOnTheSelectedRow)
{
    useVault();
    vault.setSavesEveryCopy(false);
    const QStringList texts = entries(30);
    fill(texts);
    show();
    const int page = list()->viewport()->height() / rowRect(0).height();
    ASSERT_GT(page, 2);
    const struct
    {
        const char* name;
        const char* query;
        int downs;   // Down presses before the key
        bool inList; // the focus before the key: in the list, else in the field
        QKeyCombination key;
        int selected; // the entry selected after it
        bool inListAfter;
        const char* effect; // on the store or the picker
    } cases[] = {
        {"Page Down: a screenful", "", 0, false, Qt::Key_PageDown, page, false, ""},
        {"Page Up", "", page + 2, false, Qt::Key_PageUp, 2, false, ""},
        {"End, the field empty", "", 0, false, Qt::Key_End, 29, false, ""},
        {"Home in the list", "", 5, true, Qt::Key_Home, 0, true, ""},
        {"Home with text is the field's", "entry 1", 3, false, Qt::Key_Home, 12, false, "cursor 0"},
        {"Control+End with text", "entry 1", 0, false, Qt::CTRL | Qt::Key_End, 19, false, ""},
        {"Tab to the list", "", 1, false, Qt::Key_Tab, 1, true, ""},
        {"Shift+Tab back to the field", "", 1, true, Qt::SHIFT | Qt::Key_Backtab, 1, false, ""},
        {"typing in the list goes to the field", "", 0, true, Qt::Key_7, 7, false, ""},
        {"Control+P pins", "", 2, true, Qt::CTRL | Qt::Key_P, 2, true, "pinned entry 2"},
        {"Control+S saves", "", 3, false, Qt::CTRL | Qt::Key_S, 3, false, "saved entry 3"},
        {"Delete, the field empty", "", 2, false, Qt::Key_Delete, 3, false, "gone entry 2"},
        {"Delete with text is the field's", "entry 2", 1, false, Qt::Key_Delete, 20, false, ""},
        {"Shift+Delete", "entry 2", 1, false, Qt::SHIFT | Qt::Key_Delete, 21, false,
         "gone entry 20"},
        {"the Menu key", "", 4, false, Qt::Key_Menu, 4, false, "menu at entry 4"},
        {"Shift+F10", "", 1, true, Qt::SHIFT | Qt::Key_F10, 1, true, "menu at entry 1"},
        {"Escape in the list", "", 0, true, Qt::Key_Escape, 0, true, "dismiss"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store.clearAll(false);
        fill(texts);
        events.clear();
        show();
        popup->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(popup.get()));
        type(QString::fromUtf8(c.query));
        key(Qt::Key_Down, c.downs);
        if (c.inList)
            list()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), c.key.key(), c.key.keyboardModifiers());

        EXPECT_EQ(selectedText(), QStringLiteral("entry %1").arg(c.selected));
        EXPECT_EQ(QApplication::focusWidget() == list(), c.inListAfter);
        QStringList effects;
        if (field()->cursorPosition() != field()->text().size())
            effects << QStringLiteral("cursor %1").arg(field()->cursorPosition());
        for (const QString& text : texts)
            if (!itemNamed(text))
                effects << QStringLiteral("gone ") + text;
        for (const ClipItem& item : store.items()) {
            if (item.isPinned)
                effects << QStringLiteral("pinned ") + item.content;
            if (item.savedToObsidian)
                effects << QStringLiteral("saved ") + item.content;
        }
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            const int row = list()->indexAt(list()->viewport()->mapFromGlobal(menu->pos())).row();
            effects << QStringLiteral("menu at ") + selectedText();
            EXPECT_EQ(row, rowOf(selectedText()));
            menu->close();
        }
        for (const QString& event : events)
            effects << event;
        EXPECT_EQ(effects.join(QStringLiteral(", ")).toStdString(), c.effect);
    }
}

TEST_F(PopupViewTest, FooterSettingsDismissesFirstAndQuitQuits)
{
    show();
    footerButton(QStringLiteral("Settings"))->click();
    EXPECT_EQ(events, (std::vector{QStringLiteral("dismiss"), QStringLiteral("settings")}));
    events.clear();
    footerButton(QStringLiteral("Quit"))->click();
    EXPECT_EQ(events, std::vector{QStringLiteral("quit")});

    FooterButton* button = footerButton(QStringLiteral("Quit"));
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(button, &enter);
    EXPECT_TRUE(button->isHovered());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->isHovered());
}

TEST_F(PopupViewTest, FooterClearAsksFirstAndKeepsEverythingUnlessConfirmed)
{
    const struct
    {
        const char* name;
        std::function<void(QMessageBox&)> answer;
        qsizetype left;
    } cases[] = {
        {"Return takes the default",
         [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, 3},
        {"Escape", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, 3},
        {"Clear",
         [](QMessageBox& box) { test::buttonLabelled(box, QStringLiteral("Clear"))->click(); }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store.clearAll(false);
        fill({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
        store.togglePin(*itemNamed(QStringLiteral("two")));
        show();
        footerButton(QStringLiteral("Clear"))->click();
        QMessageBox* box = test::shownMessageBox(QStringLiteral("clearHistoryConfirmation"));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("Clear 2 items from the clipboard history?"));
        EXPECT_TRUE(box->informativeText().startsWith(QStringLiteral("The pinned item stays.")));
        EXPECT_EQ(store.items().size(), 3); // nothing before the answer
        c.answer(*box);
        EXPECT_EQ(store.items().size(), c.left);
        EXPECT_EQ(countText(), c.left == 1 ? QStringLiteral("1 item") : QStringLiteral("3 items"));
        EXPECT_TRUE(itemNamed(QStringLiteral("two"))->isPinned);
    }
    // Only the pinned item is left: nothing to clear, nothing asked.
    footerButton(QStringLiteral("Clear"))->click();
    EXPECT_EQ(test::shownMessageBox(QStringLiteral("clearHistoryConfirmation")), nullptr);
}

TEST_F(PopupViewTest, TheFooterSaysSoWhileTheHistoryIsNotSaved)
{
    fill({QStringLiteral("stored")});
    show();
    auto* notice = popup->findChild<QLabel*>(QStringLiteral("saveState"));
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(notice->isVisibleTo(popup.get()));
    // Another program holds the history file's write lock.
    sqlite3* other = nullptr;
    sqlite3_open(QFile::encodeName(temp.databasePath()).constData(), &other);
    sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    fill({QStringLiteral("kept in memory")});
    EXPECT_TRUE(notice->isVisibleTo(popup.get()));
    EXPECT_EQ(notice->text(), QStringLiteral("History is not being saved: another program holds "
                                             "the history file locked"));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    fill({QStringLiteral("stored again")});
    EXPECT_FALSE(notice->isVisibleTo(popup.get()));
}

TEST(PasteLogLine, NamesTheSelectionAndTheItemsIdAndLengthButNoText)
{
    EXPECT_EQ(pasteLogLine(std::nullopt, std::nullopt),
              QStringLiteral("pasteSelected: selectedID=nil item=nil"));
    // Length in characters as the user sees them: an emoji with its skin tone is one.
    const ClipItem secret{QUuid::fromString(QStringLiteral("0b9c6a3e-1f2d-4c5b-8a7e-9d6f5e4c3b2a")),
                          QStringLiteral("sk-\U0001F44D\U0001F3FDok"), 0, false, false};
    const auto selected = QUuid::fromString(QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    EXPECT_EQ(
        pasteLogLine(selected, secret),
        QStringLiteral("pasteSelected: selectedID=Optional(E621E1F8-C36C-495A-93FC-0C247A3E6E5F) "
                       "item=Optional(id=0B9C6A3E-1F2D-4C5B-8A7E-9D6F5E4C3B2A, length=6)"));
}
