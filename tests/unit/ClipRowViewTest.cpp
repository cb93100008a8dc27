#include "picker/ClipRowView.h"

#include "picker/ClipListModel.h"
#include "picker/PickerStyle.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDateTime>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <tuple>

using namespace quillstow;

namespace {

ClipItem item(const QString& content, bool isPinned = false, bool saved = false)
{
    return ClipItem{QUuid::createUuid(), content, 1000.0, isPinned, saved};
}

} // namespace

TEST(PickerFonts, FollowTheDesktopsFontSize)
{
    const QFont desktop = QApplication::font();
    int rowHeight = 0;
    for (const auto& [size, inPixels] : {std::pair{9, false}, {16, true}, {16, false}}) {
        QFont f = desktop;
        inPixels ? f.setPixelSize(size) : f.setPointSize(size);
        QApplication::setFont(f);
        const QFont body = ClipRowView::previewFont();
        EXPECT_EQ(inPixels ? body.pixelSize() : body.pointSizeF(), size);
        const int bodyPixels = QFontInfo(body).pixelSize();
        EXPECT_LT(QFontInfo(ClipRowView::captionFont()).pixelSize(), bodyPixels);
        EXPECT_GT(QFontInfo(style::font(style::searchSize)).pixelSize(), bodyPixels);
        EXPECT_GT(ClipRowView::height(1), rowHeight) << size; // 12, 16 and 21 pixels
        rowHeight = ClipRowView::height(1);
    }
    QApplication::setFont(desktop);
}

TEST(ClipRow, TheFirstStrongCharacterSetsTheDirectionAndAnRtlRowIsMirrored)
{
    const QRect rect(0, 100, 460, ClipRowView::height(1));
    // A left-to-right row, which a right-to-left one mirrors.
    const auto l = ClipRowView{item(QStringLiteral("x"), true), true}.geometry(rect, 1);
    for (const auto& [text, rtl] : {std::pair{u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5", true},
                                    {u"\n2026 \u0645\u0631\u062D\u0628\u0627 world", true},
                                    {u"hello \u05E9\u05DC\u05D5\u05DD", false}}) {
        const ClipRowView row{item(QString::fromUtf16(text), true), true};
        EXPECT_EQ(row.isRightToLeft(), rtl);
        const auto g = row.geometry(rect, 1);
        const auto mirrored = [&](QRect r) {
            if (rtl)
                r.moveLeft(rect.left() + rect.right() - r.right());
            return r;
        };
        EXPECT_EQ(g.preview, mirrored(l.preview));
        EXPECT_EQ(*g.pinMark, mirrored(*l.pinMark));
        EXPECT_EQ(g.buttons, (std::array{mirrored(l.buttons[0]), mirrored(l.buttons[1]),
                                         mirrored(l.buttons[2])}));
        EXPECT_EQ(row.buttonAt(rect, 1, g.buttons[2].center())->action, RowAction::remove);
    }
}

TEST(ClipRow, MatchesArePaintedBehindTheirCharactersOnEitherSide)
{
    const QPalette p = QApplication::palette();
    const QRect rect(0, 0, 460, ClipRowView::height(1));
    const QFontMetrics metrics(ClipRowView::previewFont());
    // Hebrew is right aligned, its second word left of the first.
    for (const auto& [text, match] :
         {std::pair{QStringLiteral("find the needle here"), TextRange{9, 6}},
          {QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD"), {5, 4}}})
        // Idle, hovered (its buttons showing, its background painted) and selected.
        for (const auto& [selected, hovered] :
             {std::pair{false, false}, {false, true}, {true, false}}) {
            ClipRowView row{item(text), selected, hovered};
            QImage pictures[2];
            for (QImage& picture : pictures) {
                picture = QImage(rect.size(), QImage::Format_ARGB32);
                picture.fill(Qt::white);
                QPainter painter(&picture);
                row.paint(painter, rect, p, 1, 1000.0);
                row.matches = {match};
            }
            QRect changed;
            for (int y = 0; y < rect.height(); ++y)
                for (int x = 0; x < rect.width(); ++x)
                    if (pictures[0].pixel(x, y) != pictures[1].pixel(x, y))
                        changed |= QRect(x, y, 1, 1);
            const QRect preview = row.geometry(rect, 1).preview;
            EXPECT_TRUE(preview.contains(changed) && !changed.isEmpty());
            const int left =
                row.isRightToLeft()
                    ? preview.right() + 1 - metrics.horizontalAdvance(text)
                    : preview.left() + metrics.horizontalAdvance(text.first(match.start));
            EXPECT_NEAR(changed.left(), left, 2);
            EXPECT_NEAR(changed.width(),
                        metrics.horizontalAdvance(text.sliced(match.start, match.length)), 3);
        }
}

TEST(ClipListModel, RowsShowTheQuerysMatchesInThePreviewAndShareTheirTextAcrossShowings)
{
    const QList<ClipItem> items{item(QStringLiteral("alpha beta")),
                                item(QString(100, u'x') + QStringLiteral(" beta")),
                                item(QString(100, u'b'))};
    ClipListModel model;
    model.setItems(items, QStringLiteral("BETA"));
    EXPECT_EQ(model.rowView(0).matches, (std::vector<TextRange>{{6, 4}}));
    EXPECT_TRUE(model.rowView(1).matches.empty()); // past the preview's end
    model.setItems(items, QStringLiteral("bb\u2026"));
    EXPECT_TRUE(model.rowView(2).matches.empty()); // the ellipsis is not the text's
    model.setItems(items);
    EXPECT_TRUE(model.rowView(0).matches.empty());

    // A new showing reuses what the last worked out, unless the item's text is another.
    ClipListModel next;
    next.setItems(items);
    EXPECT_EQ(next.rowText(1).preview().constData(), model.rowText(1).preview().constData());
    ClipItem changed = items[0];
    changed.content = QStringLiteral("gamma");
    next.setItems({changed});
    EXPECT_EQ(next.index(0).data(Qt::DisplayRole).toString(), QStringLiteral("gamma"));
}

TEST(ShortLabel, CountsWholeUnitsBackFromNowAndAWeekOrMoreShowsTheLocalShortDate)
{
    const double now = 800'000'000.0;
    const std::tuple<double, const char*> cases[] = {
        {59.9, "Just now"}, {-3600, "Just now"}, {60, "1m ago"},    {3599, "59m ago"},
        {3600, "1h ago"},   {86399, "23h ago"},  {86400, "1d ago"}, {604799, "6d ago"},
    };
    for (const auto& [secondsAgo, label] : cases)
        EXPECT_EQ(shortLabel(now - secondsAgo, now), QString::fromUtf8(label)) << secondsAgo;
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    for (const double ago : {604800.0, 90.0 * 86400}) {
        const auto seconds = static_cast<qint64>(now - ago + referenceDateOffset);
        const QDate date = QDateTime::fromSecsSinceEpoch(seconds).toLocalTime().date();
        EXPECT_EQ(shortLabel(now - ago, now, locale), locale.toString(date, QLocale::ShortFormat));
    }
}

TEST(ClipRow, MetadataLineNamesAgeWordsAndTheSavedMark)
{
    // Words split at any whitespace or line break, and only there.
    for (const auto& [text, saved, line] :
         {std::tuple{u"one two three", true, u"2m ago \u00B7 3 words \u00B7 Obsidian"},
          {u"a-b\u00A0\u65E5\u672C\u2028", false, u"2m ago \u00B7 2 words"},
          {u" word ", false, u"2m ago \u00B7 1 word"}})
        EXPECT_EQ(
            ClipRowView{item(QString::fromUtf16(text), false, saved)}.metadataTexts(1120).join(
                u' '),
            QString::fromUtf16(line));
}

TEST(ClipRow, PreviewWrapsToTwoLinesAndEndsInAnEllipsisAndKeepsItsHeight)
{
    const QFont font = ClipRowView::previewFont();
    const QFontMetrics metrics(font);
    const QString longText = QStringLiteral("lorem ipsum dolor sit amet ").repeated(4).trimmed();
    const QStringList lines = previewLines(longText, font, 200);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(longText.startsWith(lines[0]));
    EXPECT_TRUE(lines[1].endsWith(u'\u2026'));
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), 200);
    // Two lines' worth exactly: no ellipsis.
    const int width = metrics.horizontalAdvance(QStringLiteral("alpha beta ")) + 1;
    EXPECT_EQ(previewLines(QStringLiteral("alpha beta gamma"), font, width),
              (QStringList{QStringLiteral("alpha beta "), QStringLiteral("gamma")}));

    // The row keeps its height when its buttons appear.
    for (const bool pinned : {false, true}) {
        ClipRowView row{item(QStringLiteral("some words ").repeated(7), pinned)};
        const int idle = row.previewLineCount(460);
        row.isHovered = true;
        EXPECT_EQ(row.previewLineCount(460), idle);
    }
    EXPECT_EQ((ClipRowView{item(QStringLiteral("short"))}.previewLineCount(460)), 1);
    EXPECT_EQ((ClipRowView{item(QString(80, u'w'))}.previewLineCount(460)), 2);
}

TEST(PickerIcons, AnUnknownIconIsEmpty)
{
    EXPECT_FALSE(style::iconPixmap(style::icons::trash, Qt::red, 16, 1.0).isNull());
    EXPECT_TRUE(style::iconPixmap(QStringLiteral("no-such-icon"), Qt::red, 16, 1.0).isNull());
}
