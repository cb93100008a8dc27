#pragma once

#include "history/ClipItem.h"

#include <QList>
#include <QString>

class QMessageBox;
class QWidget;

namespace quillstow {

class HistoryStore;

// The question asked before the history is cleared: how many items go and what becomes of the
// pinned ones.
struct ClearQuestion
{
    qsizetype removed = 0;
    QString text;
    QString informativeText;

    static ClearQuestion about(const QList<ClipItem>& items, bool keepPinned);
};

// Asks the question in a box of its own (named "clearHistoryConfirmation") and clears `store`
// only when the user presses "Clear". Cancel is the default and the escape button, so Return
// and Escape keep everything. The box does not block and deletes itself when answered; it
// outlives `parent` only when `parent` is none. Asks nothing and returns none when nothing
// would go.
QMessageBox* askToClearHistory(HistoryStore& store, bool keepPinned, QWidget* parent);

} // namespace quillstow
