#include "picker/ClipRowView.h"

#include "picker/PickerStyle.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QTextCharFormat>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace quillstow {

QString shortLabel(double copiedAt, double now, const QLocale& locale)
{
    const double s = copiedAt - now;
    // `text` holds %n for the count of whole units.
    auto ago = [&](double unit, const char* text) {
        return QCoreApplication::translate("ClipRowView", text, nullptr,
                                           static_cast<int>(std::trunc(-s / unit)));
    };
    if (s > -60)
        return QCoreApplication::translate("ClipRowView", "Just now");
    if (s > -3600)
        return ago(60, QT_TRANSLATE_N_NOOP("ClipRowView", "%nm ago"));
    if (s > -86400)
        return ago(3600, QT_TRANSLATE_N_NOOP("ClipRowView", "%nh ago"));
    if (s > -604800)
        return ago(86400, QT_TRANSLATE_N_NOOP("ClipRowView", "%nd ago"));
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(
        static_cast<qint64>(std::llround((copiedAt + referenceDateOffset) * 1000.0)));
    return locale.toString(when.toLocalTime().date(), QLocale::ShortFormat);
}

RowText::RowText() : RowText(ClipItem{}) {}

RowText::RowText(const ClipItem& item)
{
    auto d = std::make_shared<Data>();
    d->content = item.content;
    bool isCut = false;
    d->preview = item.previewHead(&isCut);
    d->matchableLength = d->preview.size();
    d->direction = d->preview.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    if (isCut)
        d->preview += QStringLiteral("\u2026");
    d_ = std::move(d);
}

int RowText::wordCount() const
{
    if (!d_->wordCount)
        d_->wordCount = ClipItem{{}, d_->content}.wordCount();
    return *d_->wordCount;
}

bool RowText::isOf(const ClipItem& item) const
{
    return d_->content.constData() == item.content.constData() &&
           d_->content.size() == item.content.size();
}

QStringList previewLines(const QString& preview, const QFont& font, int width, int maxLines)
{
    const QFontMetrics metrics(font);
    if (maxLines <= 1 || metrics.horizontalAdvance(preview) <= width)
        return {metrics.elidedText(preview, Qt::ElideRight, width)};

    QStringList lines;
    QTextLayout layout(preview, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    qsizetype rest = 0;
    layout.beginLayout();
    while (lines.size() < maxLines - 1) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        lines << preview.mid(line.textStart(), line.textLength());
        rest = line.textStart() + line.textLength();
    }
    layout.endLayout();
    if (rest < preview.size())
        lines << metrics.elidedText(preview.mid(rest), Qt::ElideRight, width);
    return lines;
}

QFont ClipRowView::previewFont()
{
    return style::font(style::bodySize);
}

QFont ClipRowView::captionFont()
{
    return style::font(style::captionSize);
}

std::array<ClipRowView::ActionButton, 3> ClipRowView::actionButtons() const
{
    return {{
        item.isPinned ? ActionButton{RowAction::pin, style::icons::unpin,
                                     QCoreApplication::translate("ClipRowView", "Unpin")}
                      : ActionButton{RowAction::pin, style::icons::pin,
                                     QCoreApplication::translate("ClipRowView", "Pin")},
        {RowAction::saveToObsidian, style::icons::note,
         QCoreApplication::translate("ClipRowView", "Save to Obsidian")},
        {RowAction::remove, style::icons::trash,
         QCoreApplication::translate("ClipRowView", "Delete")},
    }};
}

QList<ClipRowView::MenuItem> ClipRowView::contextMenuItems() const
{
    return {
        {RowAction::tap, QCoreApplication::translate("ClipRowView", "Copy")},
        {RowAction::pin, item.isPinned ? QCoreApplication::translate("ClipRowView", "Unpin")
                                       : QCoreApplication::translate("ClipRowView", "Pin")},
        {std::nullopt, {}},
        {RowAction::saveToObsidian, QCoreApplication::translate("ClipRowView", "Save to Obsidian")},
        {std::nullopt, {}},
        {RowAction::remove, QCoreApplication::translate("ClipRowView", "Delete"), true},
    };
}

ClipRowView::Background ClipRowView::background() const
{
    if (isSelected)
        return Background::selected;
    if (isHovered)
        return Background::hovered;
    return Background::clear;
}

QColor ClipRowView::backgroundColor(const QPalette& palette) const
{
    switch (background()) {
    case Background::selected:
        return style::accent(palette);
    case Background::hovered:
        return style::withOpacity(style::primary(palette), 0.06);
    case Background::clear:
        break;
    }
    return Qt::transparent;
}

QColor ClipRowView::previewColor(const QPalette& palette) const
{
    return isSelected ? QColor(Qt::white) : style::primary(palette);
}

QColor ClipRowView::metadataColor(const QPalette& palette) const
{
    return isSelected ? style::withOpacity(Qt::white, 0.7) : style::secondary(palette);
}

QColor ClipRowView::pinMarkColor(const QPalette& palette)
{
    return style::orange(palette);
}

QColor ClipRowView::savedMarkColor(const QPalette& palette)
{
    return style::purple(palette);
}

QColor ClipRowView::matchColor(const QPalette& palette) const
{
    if (isSelected)
        return style::withOpacity(Qt::black, 0.3);
    return style::withOpacity(style::accent(palette), style::isDark(palette) ? 0.5 : 0.3);
}

QStringList ClipRowView::metadataTexts(double now) const
{
    QStringList texts{shortLabel(item.copiedAt, now), separator, wordCountText(text.wordCount())};
    if (item.savedToObsidian)
        texts << separator << QCoreApplication::translate("ClipRowView", "Obsidian");
    return texts;
}

namespace {

// One line of text in `box`, aligned to the side its direction starts from, with the backgrounds
// of `formats` under it.
void drawTextLine(QPainter& painter, const QString& line, const QFont& font,
                  const QList<QTextLayout::FormatRange>& formats, Qt::LayoutDirection direction,
                  const QRect& box)
{
    QTextLayout layout(line, font, painter.device());
    QTextOption option(Qt::AlignAbsolute |
                       (direction == Qt::RightToLeft ? Qt::AlignRight : Qt::AlignLeft));
    option.setTextDirection(direction);
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    if (textLine.isValid())
        textLine.setLineWidth(box.width());
    layout.endLayout();
    if (!textLine.isValid())
        return;
    // As selections, which paint under the shaped text, rather than as formats, which would
    // split it and break the joining of Arabic letters at a match's edge.
    layout.draw(&painter, QPointF(box.left(), box.top() + (box.height() - textLine.height()) / 2),
                formats);
}

constexpr int buttonsWidth = 3 * ClipRowView::buttonSize + 2 * ClipRowView::buttonSpacing;

int previewLeft(const QRect& content, bool isPinned)
{
    return content.left() + (isPinned ? ClipRowView::markSize + ClipRowView::spacing : 0);
}

} // namespace

int ClipRowView::previewLineCount(int rowWidth) const
{
    const int contentWidth = rowWidth - 2 * horizontalInset;
    const int width =
        contentWidth - (item.isPinned ? markSize + spacing : 0) - (buttonsWidth + spacing);
    return QFontMetrics(previewFont()).horizontalAdvance(text.preview()) <= width ? 1
                                                                                  : maxPreviewLines;
}

int ClipRowView::height(int previewLineCount)
{
    return verticalInset + previewLineCount * QFontMetrics(previewFont()).lineSpacing() + lineGap +
           QFontMetrics(captionFont()).lineSpacing() + verticalInset + 1;
}

ClipRowView::Geometry ClipRowView::geometry(const QRect& rect, int previewLineCount) const
{
    Geometry g;
    const QRect body(rect.left(), rect.top(), rect.width(), rect.height() - 1);
    g.background = body.adjusted(backgroundInset, 0, -backgroundInset, 0);
    g.divider = QLine(rect.left() + dividerInset, rect.bottom(), rect.right(), rect.bottom());
    const QRect content =
        body.adjusted(horizontalInset, verticalInset, -horizontalInset, -verticalInset);
    if (item.isPinned)
        g.pinMark = QRect(content.left(), content.top() + 2, markSize, markSize);
    // The preview always leaves room for the buttons, so that it does not rewrap when they
    // appear; the metadata line may run under them.
    const int buttonsLeft = content.right() + 1 - buttonsWidth;
    const int textRight = buttonsLeft - spacing - 1;
    if (showsActionButtons()) {
        int x = buttonsLeft;
        for (QRect& button : g.buttons) {
            button = QRect(x, content.top(), buttonSize, buttonSize);
            x += buttonSize + buttonSpacing;
        }
    }
    const int left = previewLeft(content, item.isPinned);
    const int previewHeight = previewLineCount * QFontMetrics(previewFont()).lineSpacing();
    g.preview =
        QRect(QPoint(left, content.top()), QPoint(textRight, content.top() + previewHeight - 1));
    g.metadata =
        QRect(QPoint(left, g.preview.bottom() + 1 + lineGap),
              QPoint(showsActionButtons() ? textRight : content.right(), content.bottom()));
    if (isRightToLeft()) {
        const int axis = rect.left() + rect.right();
        auto mirror = [axis](QRect& r) {
            if (!r.isNull())
                r.moveLeft(axis - r.right());
        };
        mirror(g.background);
        if (g.pinMark)
            mirror(*g.pinMark);
        mirror(g.preview);
        mirror(g.metadata);
        for (QRect& button : g.buttons)
            mirror(button);
        g.divider =
            QLine(axis - g.divider.x2(), g.divider.y1(), axis - g.divider.x1(), g.divider.y2());
    }
    return g;
}

std::optional<ClipRowView::ActionButton>
ClipRowView::buttonAt(const QRect& rect, int previewLineCount, const QPoint& pos) const
{
    if (!showsActionButtons())
        return std::nullopt;
    const Geometry g = geometry(rect, previewLineCount);
    const auto buttons = actionButtons();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (g.buttons[i].contains(pos))
            return buttons[i];
    return std::nullopt;
}

void ClipRowView::paint(QPainter& painter, const QRect& rect, const QPalette& palette,
                        int previewLineCount, double now) const
{
    const Geometry g = geometry(rect, previewLineCount);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    if (background() != Background::clear) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(backgroundColor(palette));
        painter.drawRoundedRect(g.background, cornerRadius, cornerRadius);
    }

    if (g.pinMark)
        painter.drawPixmap(
            g.pinMark->topLeft(),
            style::iconPixmap(style::icons::pinFilled, pinMarkColor(palette), markSize, ratio));

    const QFont preview = previewFont();
    const QFontMetrics previewMetrics(preview);
    painter.setPen(previewColor(palette));
    QTextCharFormat matchFormat;
    matchFormat.setBackground(matchColor(palette));
    int y = g.preview.top();
    qsizetype lineStart = 0;
    const QString& whole = text.preview();
    for (const QString& line : previewLines(whole, preview, g.preview.width(), previewLineCount)) {
        // A line is a piece of the preview, but the last may end in an ellipsis of its own.
        const bool isWhole = QStringView(whole).sliced(lineStart).startsWith(line);
        const qsizetype shown = isWhole ? line.size() : line.size() - 1;
        QList<QTextLayout::FormatRange> formats;
        for (const TextRange& match : matches) {
            const qsizetype from = std::max(match.start, lineStart);
            const qsizetype to = std::min(match.start + match.length, lineStart + shown);
            if (from < to)
                formats.append(
                    {static_cast<int>(from - lineStart), static_cast<int>(to - from), matchFormat});
        }
        drawTextLine(painter, line, preview, formats, text.direction(),
                     QRect(g.preview.left(), y, g.preview.width(), previewMetrics.lineSpacing()));
        lineStart += line.size();
        y += previewMetrics.lineSpacing();
    }

    const QFont caption = captionFont();
    const QFontMetrics captionMetrics(caption);
    painter.setFont(caption);
    painter.setPen(metadataColor(palette));
    const QStringList texts = metadataTexts(now);
    int x = g.metadata.left();
    const int lineHeight = captionMetrics.lineSpacing();
    if (isRightToLeft()) {
        // The line keeps its reading order and moves to the row's right edge. A pixel more per
        // piece: the advances are rounded, and eliding measures exactly.
        int width = texts.size() > 4 ? captionMetrics.ascent() + metadataSpacing : 0;
        for (const QString& piece : texts)
            width += captionMetrics.horizontalAdvance(piece) + 1 + metadataSpacing;
        x = std::max(x, g.metadata.right() + 1 - (width - metadataSpacing));
    }
    for (qsizetype i = 0; i < texts.size() && x < g.metadata.right(); ++i) {
        if (i == 4) { // the saved mark
            const int size = captionMetrics.ascent();
            painter.drawPixmap(
                x, g.metadata.top() + (lineHeight - size) / 2,
                style::iconPixmap(style::icons::checkmark, savedMarkColor(palette), size, ratio));
            x += size + metadataSpacing;
        }
        const QString piece =
            captionMetrics.elidedText(texts[i], Qt::ElideRight, g.metadata.right() + 1 - x);
        painter.drawText(QRect(x, g.metadata.top(), g.metadata.right() + 1 - x, lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, piece);
        x += captionMetrics.horizontalAdvance(piece) + metadataSpacing;
    }

    if (showsActionButtons()) {
        const auto buttons = actionButtons();
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            const QRect& r = g.buttons[i];
            painter.setPen(Qt::NoPen);
            painter.setBrush(style::withOpacity(style::primary(palette), 0.08));
            painter.drawRoundedRect(r, buttonCornerRadius, buttonCornerRadius);
            const QPoint corner = r.topLeft() + QPoint((buttonSize - buttonIconSize) / 2,
                                                       (buttonSize - buttonIconSize) / 2);
            painter.drawPixmap(corner,
                               style::iconPixmap(buttons[i].iconName, style::secondary(palette),
                                                 buttonIconSize, ratio));
        }
    }

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(style::withOpacity(style::primary(palette), 0.1));
    painter.drawLine(g.divider);
    painter.restore();
}

} // namespace quillstow
