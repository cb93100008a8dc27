#include "history/TextSearch.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace quillstow;

// Case, accents and emoji are also checked with the ranges below, which agree with these.
TEST(TextSearch, MatchesCaseInsensitivelyWithAccentsAndWholeCharacters)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const std::tuple<const char*, QString, QString, bool> cases[] = {
        {"accent must match, decomposed text", QStringLiteral("cafe\u0301"), QStringLiteral("cafe"),
         false},
        {"greek sigma forms", QStringLiteral("\u03A3\u039F\u03A6\u0399\u0391"),
         QStringLiteral("\u03C3\u03BF\u03C6\u03B9\u03B1"), true},
        {"a space is a query", QStringLiteral("ab"), QStringLiteral(" "), false},
        {"a space matches", QStringLiteral("a b"), QStringLiteral(" "), true},
        {"not inside a zwj sequence", QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"),
         QStringLiteral("\U0001F468"), false},
        {"whole zwj sequence", QStringLiteral("x\U0001F468\u200D\U0001F469y"),
         QStringLiteral("\U0001F468\u200D\U0001F469"), true},
        {"not across two flags' halves", QStringLiteral("\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7"),
         QStringLiteral("\U0001F1EA\U0001F1EB"), false},
        {"not the start of a skin-toned emoji among indic text and flags",
         QStringLiteral("\u092D\u093E\u0930\u0924 \U0001F1EE\U0001F1F3 \U0001F44D\U0001F3FD"),
         QStringLiteral("\U0001F44D"), false},
        {"lf alone is not half a crlf", QStringLiteral("a\r\nb"), QStringLiteral("\n"), false},
        {"later occurrence on a boundary", QStringLiteral("e\u0301 e"), QStringLiteral("e"), true},
    };
    for (const auto& [name, text, query, matches] : cases)
        EXPECT_EQ(searchMatches(text, query, english), matches) << name;
}

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
        {QStringLiteral("\U0001F44D\U0001F3FD \U0001F44D"), QStringLiteral("\U0001F44D"),
         R{{5, 2}}},
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
