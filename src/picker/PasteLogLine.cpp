#include "history/TextRules.h"
#include "picker/PasteDelivery.h"

namespace quillstow {

namespace {

constexpr qsizetype loggedPreviewLength = 20;

// Written the way a debug description of a string reads: quotes and backslashes escaped, the
// common controls by name, other ASCII controls as \u{XX}.
QString escaped(const QString& s)
{
    QString out;
    out.reserve(s.size() + 8);
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'\\':
        case u'"':
        case u'\'':
            out += u'\\';
            out += c;
            break;
        case 0:
            out += QStringLiteral("\\0");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        default:
            if (u < 0x20 || u == 0x7F)
                out += QStringLiteral("\\u{%1}").arg(
                    QString::number(u, 16).rightJustified(2, u'0').toUpper());
            else
                out += c;
        }
    }
    return out;
}

} // namespace

QString pasteLogLine(const std::optional<QUuid>& selectedID, const std::optional<ClipItem>& target)
{
    const QString selected = selectedID
                                 ? QStringLiteral("Optional(%1)")
                                       .arg(selectedID->toString(QUuid::WithoutBraces).toUpper())
                                 : QStringLiteral("nil");
    const QString item =
        target ? QStringLiteral("Optional(\"%1\")")
                     .arg(escaped(text::graphemePrefix(target->preview(), loggedPreviewLength)))
               : QStringLiteral("nil");
    return QStringLiteral("pasteSelected: selectedID=") + selected + QStringLiteral(" item=") +
           item;
}

} // namespace quillstow
