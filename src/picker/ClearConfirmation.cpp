#include "picker/ClearConfirmation.h"

#include "history/HistoryStore.h"

#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

namespace quillstow {

namespace {

QString itemCount(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(n);
}

} // namespace

ClearQuestion ClearQuestion::about(const QList<ClipItem>& items, bool keepPinned)
{
    const auto pinned =
        std::count_if(items.cbegin(), items.cend(), [](const ClipItem& i) { return i.isPinned; });
    ClearQuestion q;
    q.removed = keepPinned ? items.size() - pinned : items.size();
    const QString count = itemCount(q.removed);
    q.text = keepPinned ? QStringLiteral("Clear %1 from the clipboard history?").arg(count)
                        : QStringLiteral("Clear all %1 from the clipboard history?").arg(count);
    if (pinned == 0)
        q.informativeText = QStringLiteral("No item is pinned.");
    else if (keepPinned)
        q.informativeText = pinned == 1 ? QStringLiteral("The pinned item stays.")
                                        : QStringLiteral("The %1 pinned items stay.").arg(pinned);
    else
        q.informativeText = pinned == 1 ? QStringLiteral("The pinned item goes too.")
                                        : QStringLiteral("The %1 pinned items go too.").arg(pinned);
    q.informativeText += QStringLiteral(" This cannot be undone.");
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
    QPushButton* clear = box->addButton(QStringLiteral("Clear"), QMessageBox::DestructiveRole);
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
