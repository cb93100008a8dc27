#include "history/TextRules.h"
#include "picker/PasteDelivery.h"

namespace quillstow {

namespace {

QString idText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

} // namespace

QString pasteLogLine(const std::optional<QUuid>& selectedID, const std::optional<ClipItem>& target)
{
    // The log sits in a shared folder and outlives the history: the text itself never goes in.
    const QString selected = selectedID ? QStringLiteral("Optional(%1)").arg(idText(*selectedID))
                                        : QStringLiteral("nil");
    const QString item = target ? QStringLiteral("Optional(id=%1, length=%2)")
                                      .arg(idText(target->id))
                                      .arg(text::graphemeCount(target->content))
                                : QStringLiteral("nil");
    return QStringLiteral("pasteSelected: selectedID=") + selected + QStringLiteral(" item=") +
           item;
}

} // namespace quillstow
