#include "history/TextSearch.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace quillstow;

TEST(TextSearch, FollowsTheLocaleForDottedAndDotlessI)
{
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_TRUE(searchMatches(QStringLiteral("D\u0130YARBAKIR"), QStringLiteral("diyarbak\u0131r"),
                              turkish));
    EXPECT_FALSE(searchMatches(QStringLiteral("D\u0130YARBAKIR"), QStringLiteral("diyarbak\u0131r"),
                               english));
    EXPECT_TRUE(searchMatches(QStringLiteral("INFO"), QStringLiteral("info"), english));
    EXPECT_FALSE(searchMatches(QStringLiteral("INFO"), QStringLiteral("info"), turkish));
}

// Case-insensitive, accents must match, whole characters only; the ranges are in the text as
// given, and a text matches exactly when it has some.
TEST(TextSearch, MatchRangesAreWhereSearchMatchesInTheTextAsGiven)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    using R = std::vector<TextRange>;
    const std::tuple<QString, QString, R> cases[] = {
        {QStringLiteral("Hello HELLO"), QStringLiteral("hello"), R{{0, 5}, {6, 5}}},
        {QStringLiteral("aaaaa"), QStringLiteral("aa"), R{{0, 2}, {2, 2}}},
        {QStringLiteral("xcafe\u0301!"), QStringLiteral("CAF\u00C9"), R{{1, 5}}},
        {QStringLiteral("caf\u00E9 ok"), QStringLiteral("e\u0301"), R{{3, 1}}},
        {QStringLiteral("e\u0301 cafe"), QStringLiteral("CAFE"), R{{3, 4}}},
        {QStringLiteral("caf\u00E9"), QStringLiteral("cafe"), R{}},
        {QStringLiteral("cafe\u0301"), QStringLiteral("cafe"), R{}},
        {QStringLiteral("\u03A3\u039F\u03A6\u0399\u0391"),
         QStringLiteral("\u03C3\u03BF\u03C6\u03B9\u03B1"), R{{0, 5}}},
        {QStringLiteral("ab"), QStringLiteral(" "), R{}}, // a space is a query
        {QStringLiteral("a b"), QStringLiteral(" "), R{{1, 1}}},
        {QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"), QStringLiteral("\U0001F468"),
         R{}},
        {QStringLiteral("x\U0001F468\u200D\U0001F469y"),
         QStringLiteral("\U0001F468\u200D\U0001F469"), R{{1, 5}}},
        {QStringLiteral("\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7"),
         QStringLiteral("\U0001F1EA\U0001F1EB"), R{}},
        {QStringLiteral("\U0001F44D\U0001F3FD \U0001F44D"), QStringLiteral("\U0001F44D"),
         R{{5, 2}}},
        {QStringLiteral("\u092D\u093E\u0930\u0924 \U0001F1EE\U0001F1F3 \U0001F44D\U0001F3FD"),
         QStringLiteral("\U0001F44D"), R{}},
        {QStringLiteral("a\r\nb"), QStringLiteral("\n"), R{}},
        {QStringLiteral("e\u0301 e"), QStringLiteral("e"), R{{3, 1}}},
        {QStringLiteral("\u6771\u4EAC\u90FD\u6E0B\u8C37"), QStringLiteral("\u6E0B\u8C37"),
         R{{3, 2}}},
        {QStringLiteral("abc"), QString(), R{}},
    };
    for (const auto& [text, query, expected] : cases) {
        const R ranges = matchRanges(text, query, english);
        EXPECT_EQ(ranges, expected) << text.toStdString();
        EXPECT_EQ(!ranges.empty(), !query.isEmpty() && searchMatches(text, query, english));
    }
}
