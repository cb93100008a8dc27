#include "history/ClipItem.h"

#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace quillstow;

namespace {

ClipItem itemWith(const QString& content)
{
    return ClipItem{QUuid::createUuid(), content, 725760000, false, false};
}

QString repeated(const QString& unit, int n)
{
    QString s;
    for (int i = 0; i < n; ++i)
        s += unit;
    return s;
}

QJsonObject validObject()
{
    return QJsonObject{
        {QStringLiteral("id"), QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")},
        {QStringLiteral("content"), QStringLiteral("hello")},
        {QStringLiteral("copiedAt"), 725760000},
        {QStringLiteral("isPinned"), false},
        {QStringLiteral("savedToObsidian"), true}};
}

} // namespace

TEST(ClipItem, CreateGivesAFreshUnflaggedItemCopiedNow)
{
    const double before = currentCopiedAt();
    const ClipItem a = ClipItem::create(QStringLiteral(" text "));
    const ClipItem b = ClipItem::create(QStringLiteral(" text "));
    EXPECT_EQ(a.content, QStringLiteral(" text "));
    EXPECT_EQ(a.id.version(), QUuid::Random);
    EXPECT_NE(a.id, b.id);
    EXPECT_FALSE(a.isPinned);
    EXPECT_FALSE(a.savedToObsidian);
    EXPECT_GE(a.copiedAt, before);
    EXPECT_LE(a.copiedAt, currentCopiedAt());
    // 2026 lies some 25 years after the reference date.
    EXPECT_GT(a.copiedAt, 25 * 365.0 * 86400);
}

TEST(ClipItem, PreviewTakesTheFirstVisibleLineUpTo80Characters)
{
    const QString emoji = QStringLiteral("\U0001F44D\U0001F3FD");
    const struct
    {
        const char* name;
        QString content;
        QString preview;
    } cases[] = {
        {"leading blank lines skipped, spaces kept",
         QStringLiteral("\n\n   \n  Hello world  \nsecond"), QStringLiteral("  Hello world  ")},
        {"only spaces and line feeds: whole content", QStringLiteral("  \n \n"),
         QStringLiteral("  \n \n")},
        {"empty", QString(), QString()},
        {"exactly 80", repeated(QStringLiteral("a"), 80), repeated(QStringLiteral("a"), 80)},
        {"81 is cut", repeated(QStringLiteral("a"), 81),
         repeated(QStringLiteral("a"), 80) + QStringLiteral("\u2026")},
        {"100 emoji", repeated(emoji, 100), repeated(emoji, 80) + QStringLiteral("\u2026")},
        {"flags after a symbol stay whole",
         repeated(QStringLiteral("\u00A9\U0001F1E9\U0001F1EA"), 50),
         repeated(QStringLiteral("\u00A9\U0001F1E9\U0001F1EA"), 40) + QStringLiteral("\u2026")},
        {"spacing marks join their letter", repeated(QStringLiteral("\u0915\u0903"), 81),
         repeated(QStringLiteral("\u0915\u0903"), 80) + QStringLiteral("\u2026")},
        {"tabs and no-break spaces are blank", QStringLiteral("\t\u00A0\t\nnext"),
         QStringLiteral("next")},
        {"crlf gives an empty line between", QStringLiteral("\r\n\r\nx"), QStringLiteral("x")},
        {"paragraph separator splits", QStringLiteral(" \u2029body"), QStringLiteral("body")},
        {"zero-width space is visible", QStringLiteral("\u200B\nx"), QStringLiteral("\u200B")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(itemWith(c.content).preview(), c.preview) << c.name;
}

TEST(ClipItem, WordCountSplitsAtWhitespaceAndNewlinesOnly)
{
    const struct
    {
        QString content;
        int words;
    } cases[] = {
        {QStringLiteral("  one\ttwo\n\nthree  "), 3},
        {QString(), 0},
        {QStringLiteral("a-b c"), 2},
        {QStringLiteral(" \n\t "), 0},
        {QStringLiteral("x\u00A0y\u3000z\u2028w"), 4},
        {QStringLiteral("\u65E5\u672C\u8A9E"), 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(itemWith(c.content).wordCount(), c.words) << c.content.toStdString();
}

TEST(ClipItem, EqualityComparesAllFieldsAndContentCanonically)
{
    ClipItem a = itemWith(QStringLiteral("caf\u00E9"));
    ClipItem b = a;
    b.content = QStringLiteral("cafe\u0301");
    EXPECT_EQ(a, b);
    b.isPinned = true;
    EXPECT_NE(a, b);
    b = a;
    b.copiedAt = std::nextafter(a.copiedAt, 1e12);
    EXPECT_NE(a, b);
    b = a;
    b.savedToObsidian = true;
    EXPECT_NE(a, b);
}

TEST(ClipItem, JsonRoundTripKeepsEveryFieldExactly)
{
    const double times[] = {725760000, 0.1 + 0.2, 786543210.123456789,
                            -12.5,     1e-7,      std::nextafter(725760000.0, 1e12)};
    for (double t : times) {
        ClipItem item{QUuid::createUuid(), QStringLiteral("l\u00EFne \"one\"\n\t\\ \U0001F600"), t,
                      true, false};
        const QByteArray json = encodeHistory({item});
        const auto decoded = decodeHistory(json);
        ASSERT_TRUE(decoded.has_value()) << json.toStdString();
        ASSERT_EQ(decoded->size(), 1);
        EXPECT_EQ(decoded->front(), item);
        EXPECT_EQ(decoded->front().copiedAt, t);
    }
}

TEST(ClipItem, EncodingWritesFieldOrderAndUpperCaseIds)
{
    const ClipItem item{QUuid::fromString(QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f")),
                        QStringLiteral("x"), 725760000, false, true};
    EXPECT_EQ(encodeHistory({item}),
              QByteArray(R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","content":"x",)"
                         R"("copiedAt":725760000,"isPinned":false,"savedToObsidian":true}])"));
    EXPECT_EQ(encodeHistory({}), QByteArray("[]"));
}

TEST(ClipItem, DecodingAcceptsValidVariants)
{
    QJsonObject lower = validObject();
    lower[QStringLiteral("id")] = QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    QJsonObject extra = validObject();
    extra[QStringLiteral("note")] = QStringLiteral("ignored");
    QJsonObject fraction = validObject();
    fraction[QStringLiteral("copiedAt")] = 12.25;

    const auto upper = ClipItem::fromJson(validObject());
    ASSERT_TRUE(upper);
    for (const QJsonObject& o : {lower, extra, fraction}) {
        const auto item = ClipItem::fromJson(o);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->id, upper->id);
    }
    EXPECT_EQ(ClipItem::fromJson(fraction)->copiedAt, 12.25);
    EXPECT_TRUE(ClipItem::fromJson(validObject())->savedToObsidian);
}

TEST(ClipItem, DecodingFailsOnMissingNullWrongTypeOrBadId)
{
    const struct
    {
        const char* key;
        QJsonValue value; // Undefined removes the member
    } cases[] = {
        {"id", QJsonValue::Undefined},
        {"content", QJsonValue::Undefined},
        {"copiedAt", QJsonValue::Undefined},
        {"isPinned", QJsonValue::Undefined},
        {"savedToObsidian", QJsonValue::Undefined},
        {"content", QJsonValue::Null},
        {"isPinned", QJsonValue::Null},
        {"isPinned", 1},
        {"id", 42},
        {"copiedAt", QStringLiteral("725760000")},
        {"content", QJsonArray{}},
        {"id", QStringLiteral("{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}")},
        {"id", QStringLiteral("E621E1F8C36C495A93FC0C247A3E6E5F")},
        {"id", QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5G")},
        {"id", QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5")},
        {"id", QString()},
    };
    for (const auto& c : cases) {
        QJsonObject o = validObject();
        if (c.value.isUndefined())
            o.remove(QString::fromLatin1(c.key));
        else
            o[QString::fromLatin1(c.key)] = c.value;
        EXPECT_FALSE(ClipItem::fromJson(o)) << c.key;
    }
    EXPECT_FALSE(ClipItem::fromJson(QJsonValue(QStringLiteral("not an object"))));
}

TEST(ClipItem, HistoryDecodingFailsWhole)
{
    QJsonObject bad = validObject();
    bad.remove(QStringLiteral("isPinned"));
    const QByteArray oneBad =
        QJsonDocument(QJsonArray{validObject(), bad}).toJson(QJsonDocument::Compact);
    for (const QByteArray& json :
         {QByteArray("not json"), QByteArray("{}"), QByteArray("[1]"), oneBad, QByteArray()})
        EXPECT_FALSE(decodeHistory(json)) << json.toStdString();
    EXPECT_EQ(decodeHistory("[]")->size(), 0);
}
