#include "picker/ClearConfirmation.h"

#include "history/HistoryStore.h"
#include "picker/CountText.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

namespace quillstow {

namespace {

QString translated(const char* source)
{
    return QCoreApplication::translate("ClearQuestion", source);
}

} // namespace

ClearQuestion ClearQuestion::about(const QList<ClipItem>& items, bool keepPinned)
{
    const auto pinned =
        std::count_if(items.cbegin(), items.cend(), [](const ClipItem& i) { return i.isPinned; });
    ClearQuestion q;
    q.removed = keepPinned ? items.size() - pinned : items.size();
    q.text =
        keepPinned
            ? numerusText("ClearQuestion",
                          QT_TRANSLATE_N_NOOP("ClearQuestion",
                                              "Clear %n item(s) from the clipboard history?"),
                          q.removed, QStringLiteral("Clear 1 item from the clipboard history?"),
                          QStringLiteral("Clear %1 items from the clipboard history?"))
            : numerusText("ClearQuestion",
                          QT_TRANSLATE_N_NOOP("ClearQuestion",
                                              "Clear all %n item(s) from the clipboard history?"),
                          q.removed, QStringLiteral("Clear all 1 item from the clipboard history?"),
                          QStringLiteral("Clear all %1 items from the clipboard history?"));
    if (pinned == 0)
        q.informativeText = translated(QT_TRANSLATE_NOOP("ClearQuestion", "No item is pinned."));
    else if (keepPinned)
        q.informativeText = numerusText(
            "ClearQuestion", QT_TRANSLATE_N_NOOP("ClearQuestion", "The %n pinned item(s) stay."),
            pinned, QStringLiteral("The pinned item stays."),
            QStringLiteral("The %1 pinned items stay."));
    else
        q.informativeText = numerusText(
            "ClearQuestion", QT_TRANSLATE_N_NOOP("ClearQuestion", "The %n pinned item(s) go too."),
            pinned, QStringLiteral("The pinned item goes too."),
            QStringLiteral("The %1 pinned items go too."));
    q.informativeText +=
        u' ' + translated(QT_TRANSLATE_NOOP("ClearQuestion", "This cannot be undone."));
    return q;
}

QMessageBox* askToClearHistory(HistoryStore& store, bool keepPinned, QWidget* parent)
{
    const ClearQuestion question = ClearQuestion::about(store.items(), keepPinned);
    if (question.removed == 0)
        return nullptr;
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Quillstow"), question.text,
                                QMessageBox::NoButton, parent);
    box->setObjectName(QStringLiteral("clearHistoryConfirmation"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(question.informativeText);
    QPushButton* clear = box->addButton(translated(QT_TRANSLATE_NOOP("ClearQuestion", "Clear")),
                                        QMessageBox::DestructiveRole);
    QPushButton* cancel = box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    // The store outlives the picker and the settings; the connection ends with either side.
    QObject::connect(box, &QMessageBox::buttonClicked, &store,
                     [&store, keepPinned, clear](QAbstractButton* button) {
                         if (button == clear)
                             store.clearAll(keepPinned);
                     });
    // Not exec(): a nested loop would let the picker close and delete it while it runs.
    box->open();
    return box;
}

} // namespace quillstow
