#include "picker/ClipRowView.h"

#include "picker/FooterButton.h"
#include "picker/PickerStyle.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDateTime>
#include <QFontMetrics>
#include <gtest/gtest.h>

using namespace quillstow;

namespace {

ClipItem item(const QString& content, bool isPinned = false, bool saved = false)
{
    return ClipItem{QUuid::createUuid(), content, 1000.0, isPinned, saved};
}

QPalette lightPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xF5, 0xF5, 0xF5));
    p.setColor(QPalette::WindowText, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0x30, 0x7A, 0xE0));
    return p;
}

} // namespace

TEST(ShortLabel, CountsWholeUnitsBackFromNow)
{
    const double now = 800'000'000.0;
    const struct
    {
        double secondsAgo;
        const char* label;
    } cases[] = {
        {0, "Just now"},    {59, "Just now"},  {59.9, "Just now"}, {-3600, "Just now"},
        {60, "1m ago"},     {300, "5m ago"},   {3599, "59m ago"},  {3600, "1h ago"},
        {86399, "23h ago"}, {86400, "1d ago"}, {604799, "6d ago"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shortLabel(now - c.secondsAgo, now), QString::fromUtf8(c.label)) << c.secondsAgo;
}

TEST(ShortLabel, AWeekOrMoreShowsTheLocalShortDate)
{
    const double now = 800'000'000.0;
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    for (const double ago : {604800.0, 90.0 * 86400}) {
        const QDate date =
            QDateTime::fromSecsSinceEpoch(static_cast<qint64>(now - ago + referenceDateOffset))
                .toLocalTime()
                .date();
        EXPECT_EQ(shortLabel(now - ago, now, locale), locale.toString(date, QLocale::ShortFormat));
    }
}

TEST(ClipRow, WordCountHasNoSingular)
{
    EXPECT_EQ(wordCountText(1), QStringLiteral("1 words"));
    EXPECT_EQ(wordCountText(0), QStringLiteral("0 words"));
    EXPECT_EQ(wordCountText(1234), QStringLiteral("1234 words"));
}

TEST(ClipRow, MetadataLineNamesAgeWordsAndTheSavedMark)
{
    const double now = 1000.0 + 120;
    EXPECT_EQ((ClipRowView{item(QStringLiteral("one two three"))}.metadataTexts(now)),
              (QStringList{QStringLiteral("2m ago"), QStringLiteral("\u00B7"),
                           QStringLiteral("3 words")}));
    EXPECT_EQ(
        (ClipRowView{item(QStringLiteral("word"), false, true)}.metadataTexts(now)),
        (QStringList{QStringLiteral("2m ago"), QStringLiteral("\u00B7"), QStringLiteral("1 words"),
                     QStringLiteral("\u00B7"), QStringLiteral("Obsidian")}));
}

TEST(ClipRow, ButtonsMenuAndBackgroundFollowPinSelectionAndHover)
{
    const QPalette p = lightPalette();
    const struct
    {
        const char* name;
        bool isPinned, isSelected, isHovered;
        bool showsButtons;
        const char* pinIcon;
        const char* pinText;
        ClipRowView::Background background;
    } cases[] = {
        {"plain", false, false, false, false, "pin", "Pin", ClipRowView::Background::clear},
        {"hovered", false, false, true, true, "pin", "Pin", ClipRowView::Background::hovered},
        {"selected", false, true, false, true, "pin", "Pin", ClipRowView::Background::selected},
        {"selected and hovered", true, true, true, true, "unpin", "Unpin",
         ClipRowView::Background::selected},
        {"pinned", true, false, false, false, "unpin", "Unpin", ClipRowView::Background::clear},
    };
    for (const auto& c : cases) {
        const ClipRowView row{item(QStringLiteral("x"), c.isPinned), c.isSelected, c.isHovered};
        SCOPED_TRACE(c.name);
        EXPECT_EQ(row.showsActionButtons(), c.showsButtons);
        EXPECT_EQ(row.background(), c.background);

        const auto buttons = row.actionButtons();
        EXPECT_EQ(buttons[0].action, RowAction::pin);
        EXPECT_EQ(buttons[0].iconName, QString::fromUtf8(c.pinIcon));
        EXPECT_EQ(buttons[0].tooltip, QString::fromUtf8(c.pinText));
        EXPECT_EQ(buttons[1].action, RowAction::saveToObsidian);
        EXPECT_EQ(buttons[1].iconName, style::icons::note);
        EXPECT_EQ(buttons[1].tooltip, QStringLiteral("Save to Obsidian"));
        EXPECT_EQ(buttons[2].action, RowAction::remove);
        EXPECT_EQ(buttons[2].iconName, style::icons::trash);
        EXPECT_EQ(buttons[2].tooltip, QStringLiteral("Delete"));

        QStringList menu;
        for (const auto& entry : row.contextMenuItems())
            menu << (entry.action ? entry.text : QStringLiteral("--"));
        EXPECT_EQ(menu, (QStringList{QStringLiteral("Copy"), QString::fromUtf8(c.pinText),
                                     QStringLiteral("--"), QStringLiteral("Save to Obsidian"),
                                     QStringLiteral("--"), QStringLiteral("Delete")}));
        EXPECT_EQ(row.contextMenuItems().first().action, RowAction::tap);
        EXPECT_TRUE(row.contextMenuItems().last().isDestructive);

        if (c.isSelected) {
            EXPECT_EQ(row.backgroundColor(p), p.color(QPalette::Highlight));
            EXPECT_EQ(row.previewColor(p), QColor(Qt::white));
            EXPECT_EQ(row.metadataColor(p), style::withOpacity(Qt::white, 0.7));
        } else {
            EXPECT_EQ(row.previewColor(p), QColor(Qt::black));
            EXPECT_EQ(row.metadataColor(p), style::secondary(p));
            EXPECT_EQ(row.backgroundColor(p).alpha(), c.isHovered ? 15 : 0);
        }
    }
}

TEST(ClipRow, PreviewWrapsToTwoLinesAndEndsInAnEllipsis)
{
    const QFont font = ClipRowView::previewFont();
    const int width = 200;
    EXPECT_EQ(previewLines(QStringLiteral("short"), font, width),
              QStringList{QStringLiteral("short")});

    const QString longText = QStringLiteral("lorem ipsum dolor sit amet ").repeated(4).trimmed();
    const QStringList lines = previewLines(longText, font, width);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(longText.startsWith(lines[0]));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\u2026")));
    for (const QString& line : lines)
        EXPECT_LE(QFontMetrics(font).horizontalAdvance(line.trimmed()), width);

    // Two lines' worth exactly: no ellipsis.
    const QStringList fits =
        previewLines(QStringLiteral("alpha beta gamma"), font,
                     QFontMetrics(font).horizontalAdvance(QStringLiteral("alpha beta ")) + 1);
    EXPECT_EQ(fits.size(), 2);
    EXPECT_FALSE(fits.last().endsWith(QStringLiteral("\u2026")));
}

TEST(ClipRow, GeometryPlacesMarkTextButtonsAndDivider)
{
    const QRect rect(0, 100, 460, ClipRowView::height(2));
    const ClipRowView pinnedSelected{item(QStringLiteral("x"), true), true, false};
    const auto g = pinnedSelected.geometry(rect, 2);
    EXPECT_EQ(g.background.left(), 6);
    EXPECT_EQ(g.background.right(), 460 - 1 - 6);
    EXPECT_EQ(g.divider.x1(), 14);
    EXPECT_EQ(g.divider.y1(), rect.bottom());
    ASSERT_TRUE(g.pinMark);
    EXPECT_EQ(g.pinMark->left(), 14);
    EXPECT_EQ(g.preview.left(), 14 + ClipRowView::markSize + ClipRowView::spacing);
    EXPECT_EQ(g.buttons[2].right(), 460 - 1 - 14);
    EXPECT_EQ(g.buttons[1].left() - g.buttons[0].right() - 1, ClipRowView::buttonSpacing);
    EXPECT_LT(g.preview.right(), g.buttons[0].left());

    const ClipRowView plain{item(QStringLiteral("x"))};
    const auto h = plain.geometry(rect, 1);
    EXPECT_FALSE(h.pinMark);
    EXPECT_EQ(h.preview.left(), 14);
    EXPECT_TRUE(h.buttons[0].isNull());
    EXPECT_EQ(h.preview.right(), g.preview.right()); // no rewrap when the buttons appear
    EXPECT_EQ(h.metadata.right(), 460 - 1 - 14);
}

TEST(ClipRow, ClicksOnButtonsMapToTheirActions)
{
    const QRect rect(0, 0, 460, ClipRowView::height(1));
    const ClipRowView selected{item(QStringLiteral("x")), true, false};
    const auto g = selected.geometry(rect, 1);
    const RowAction expected[] = {RowAction::pin, RowAction::saveToObsidian, RowAction::remove};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto hit = selected.buttonAt(rect, 1, g.buttons[i].center());
        ASSERT_TRUE(hit);
        EXPECT_EQ(hit->action, expected[i]);
    }
    EXPECT_FALSE(selected.buttonAt(rect, 1, g.preview.center()));
    // Hidden buttons cannot be hit.
    const ClipRowView idle{selected.item, false, false};
    EXPECT_FALSE(idle.buttonAt(rect, 1, g.buttons[0].center()));
}

TEST(ClipRow, RowHeightIsStableWhenButtonsAppear)
{
    const QString longText = QStringLiteral("some words ").repeated(7);
    for (const bool pinned : {false, true}) {
        ClipRowView row{item(longText, pinned)};
        const int idle = row.previewLineCount(460);
        row.isHovered = true;
        EXPECT_EQ(row.previewLineCount(460), idle);
    }
    EXPECT_EQ((ClipRowView{item(QStringLiteral("short"))}.previewLineCount(460)), 1);
    EXPECT_EQ((ClipRowView{item(QString(80, u'w'))}.previewLineCount(460)), 2);
    EXPECT_GT(ClipRowView::height(2), ClipRowView::height(1));
}

TEST(FooterButtonColors, HoverLightsDestructiveRedAndNormalPrimary)
{
    const QPalette p = lightPalette();
    using Role = FooterButton::Role;
    const struct
    {
        Role role;
        bool isHovered;
        QColor text;
    } cases[] = {
        {Role::normal, false, style::secondary(p)},
        {Role::destructive, false, style::secondary(p)},
        {Role::normal, true, style::primary(p)},
        {Role::destructive, true, style::red(p)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FooterButton::textColor(c.role, c.isHovered, p), c.text);
        EXPECT_EQ(FooterButton::backgroundColor(c.isHovered, p).alpha(), c.isHovered ? 20 : 0);
    }
}

TEST(PickerIcons, EveryBundledIconRendersInTheAskedColour)
{
    using namespace style::icons;
    for (const QString& name :
         {search, clear, clipboard, pin, pinFilled, unpin, note, trash, checkmark, gear}) {
        for (const int size : {16, 64}) {
            const QImage image = style::iconPixmap(name, QColor(200, 10, 10), size, 1.0).toImage();
            ASSERT_EQ(image.width(), size) << name.toStdString();
            int inked = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    const QColor px = image.pixelColor(x, y);
                    if (px.alpha() > 200) {
                        ++inked;
                        EXPECT_GT(px.red(), 150) << name.toStdString();
                        EXPECT_LT(px.green(), 60) << name.toStdString();
                    }
                }
            EXPECT_GT(inked, size * size / 25) << name.toStdString();
        }
    }
    EXPECT_TRUE(style::iconPixmap(QStringLiteral("no-such-icon"), Qt::red, 16, 1.0).isNull());
}
