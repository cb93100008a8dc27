#include "history/TextRules.h"

#include "support/TestSupport.h"

#include <QFile>
#include <array>
#include <gtest/gtest.h>
#include <tuple>

using namespace quillstow;

TEST(TextRules, GraphemePrefixNeverCutsACluster)
{
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    EXPECT_EQ(text::graphemePrefix(QStringLiteral("hi"), 5), QStringLiteral("hi"));
    EXPECT_EQ(text::graphemePrefix(QStringLiteral("abc"), 0), QString());
    EXPECT_EQ(text::graphemePrefix(QStringLiteral("ae\u0301b"), 2), QStringLiteral("ae\u0301"));
    EXPECT_EQ(text::graphemePrefix(family + family + family, 2), family + family);
    EXPECT_EQ(text::graphemePrefix(QStringLiteral("a\r\nb"), 2), QStringLiteral("a\r\n"));
}

TEST(TextRules, Utf8PrefixKeepsWholeClustersWithinTheBudget)
{
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"); // 18 bytes
    const QString longMark = u'e' + QString(100, QChar(0x301)); // 201 bytes
    const std::tuple<const char*, QString, qsizetype, QString> cases[] = {
        {"fits", QStringLiteral("abc"), 3, QStringLiteral("abc")},
        {"ascii cut", QStringLiteral("abcdef"), 4, QStringLiteral("abcd")},
        {"two-byte letters", QStringLiteral("\u00E9\u00E9\u00E9"), 5,
         QStringLiteral("\u00E9\u00E9")},
        {"whole families", family + family + family, 40, family + family},
        {"not one family fits: whole characters of it", family, 17,
         QStringLiteral("\U0001F468\u200D\U0001F469\u200D")},
        {"a huge cluster falls back to whole characters", longMark, 6,
         u'e' + QString(2, QChar(0x301))},
        {"never half a surrogate pair", QStringLiteral("\U0001F600"), 3, QString()},
        {"zero", QStringLiteral("a"), 0, QString()},
    };
    for (const auto& [name, input, maxBytes, expected] : cases) {
        const QString prefix = text::utf8Prefix(input, maxBytes);
        EXPECT_EQ(prefix, expected) << name;
        EXPECT_LE(prefix.toUtf8().size(), maxBytes) << name;
    }
}

// Every line of Unicode's own test file: "÷" marks a cluster boundary, "×" none.
TEST(TextRules, GraphemeBoundariesPassUnicodesOwnTests)
{
    QFile file(QStringLiteral("/usr/share/unicode/auxiliary/GraphemeBreakTest.txt"));
    if (!file.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "GraphemeBreakTest.txt is missing: install the unicode-data package";
    int lineNumber = 0;
    int tested = 0;
    while (!file.atEnd()) {
        ++lineNumber;
        const QString line = QString::fromUtf8(file.readLine()).section(u'#', 0, 0).trimmed();
        QString s;
        std::vector<qsizetype> expected;
        for (const QString& token : line.split(u' ', Qt::SkipEmptyParts)) {
            if (token == QStringLiteral("\u00F7") && !s.isEmpty())
                expected.push_back(s.size());
            else if (token.size() > 1)
                s += QString::fromUcs4(
                    std::array{static_cast<char32_t>(token.toUInt(nullptr, 16))}.data(), 1);
        }
        if (s.isEmpty())
            continue;
        SCOPED_TRACE(lineNumber);
        EXPECT_EQ(text::graphemeBoundaries(s), expected);
        EXPECT_EQ(text::graphemeCount(s), qsizetype(expected.size()));
        ++tested;
    }
    EXPECT_GT(tested, 500);
}

TEST(TextRules, TrimmingUsesTheRightClasses)
{
    EXPECT_EQ(text::trimmedWhitespace(QStringLiteral("\t \u00A0x y\u3000")), QStringLiteral("x y"));
    EXPECT_EQ(text::trimmedWhitespace(QStringLiteral("\nx\n")), QStringLiteral("\nx\n"));
    EXPECT_EQ(text::trimmedWhitespaceAndNewlines(QStringLiteral("\r\n\t\u00A0x\u2028\u0085\u2029")),
              QStringLiteral("x"));
    // Zero-width space is a format character, not whitespace.
    EXPECT_EQ(text::trimmedWhitespaceAndNewlines(QStringLiteral("\u200B")),
              QStringLiteral("\u200B"));
    EXPECT_EQ(text::trimmedWhitespaceAndNewlines(QStringLiteral(" \n ")), QString());
}
