#include "history/ClipItem.h"

#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

using namespace quillstow;

namespace {

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

TEST(ClipItem, PreviewTakesTheFirstVisibleLineUpTo80Characters)
{
    const QString heavy = QStringLiteral("e") + QString(7, u'\u0301');
    const QString straddling = QStringLiteral("y") + QString(6, u'\u0301');
    const std::tuple<const char*, QString, QString> cases[] = {
        {"leading blank lines skipped, spaces kept",
         QStringLiteral("\n\n   \n  Hello world  \nsecond"), QStringLiteral("  Hello world  ")},
        {"only spaces and line feeds: whole content", QStringLiteral("  \n \n"),
         QStringLiteral("  \n \n")},
        {"empty", QString(), QString()},
        {"exactly 80", QStringLiteral("a").repeated(80), QStringLiteral("a").repeated(80)},
        {"81 is cut", QStringLiteral("a").repeated(81),
         QStringLiteral("a").repeated(80) + QStringLiteral("\u2026")},
        {"tabs and no-break spaces are blank", QStringLiteral("\t\u00A0\t\nnext"),
         QStringLiteral("next")},
        {"paragraph separator splits", QStringLiteral(" \u2029body"), QStringLiteral("body")},
        {"zero-width space is visible", QStringLiteral("\u200B\nx"), QStringLiteral("\u200B")},
        // The preview reads only a window of a long line, which grows while it holds too few
        // whole characters.
        {"long characters", heavy.repeated(100), heavy.repeated(80) + QStringLiteral("\u2026")},
        {"a character across the first window's edge",
         QStringLiteral("x\u0301\u0301\u0301").repeated(79) + straddling + QStringLiteral("z"),
         QStringLiteral("x\u0301\u0301\u0301").repeated(79) + straddling +
             QStringLiteral("\u2026")},
        {"a long first line", QStringLiteral("w").repeated(5000) + QStringLiteral("\nnext"),
         QStringLiteral("w").repeated(80) + QStringLiteral("\u2026")},
    };
    for (const auto& [name, content, preview] : cases)
        EXPECT_EQ(ClipItem::create(content).preview(), preview) << name;
}

TEST(ClipItem, EqualityComparesAllFieldsAndContentCanonically)
{
    const ClipItem a = ClipItem::create(QStringLiteral("caf\u00E9"), 725760000);
    ClipItem b = a;
    b.content = QStringLiteral("cafe\u0301");
    EXPECT_EQ(a, b);
    const std::function<void(ClipItem&)> changes[] = {
        [](ClipItem& c) { c.isPinned = true; },
        [](ClipItem& c) { c.copiedAt = std::nextafter(c.copiedAt, 1e12); },
        [](ClipItem& c) { c.savedToObsidian = true; },
        [](ClipItem& c) { c.id = QUuid::createUuid(); },
    };
    for (const auto& change : changes) {
        b = a;
        change(b);
        EXPECT_NE(a, b);
    }
}

TEST(ClipItem, DecodingTakesOnlyTheStoredForm)
{
    // value: Undefined removes the member; a member missing and one of another type are alike
    const std::tuple<const char*, QJsonValue, bool> cases[] = {
        {"id", QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"), true},
        {"note", QStringLiteral("ignored"), true},
        {"copiedAt", 12.25, true},
        {"savedToObsidian", QJsonValue::Undefined, false},
        {"content", QJsonValue::Null, false},
        {"isPinned", 1, false},
        {"id", 42, false},
        {"copiedAt", QStringLiteral("725760000"), false},
        {"id", QStringLiteral("{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}"), false},
        {"id", QStringLiteral("E621E1F8-C36C-495A-93FC0-C247A3E6E5F"), false},
        {"id", QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5G"), false},
    };
    for (const auto& [key, value, ok] : cases) {
        QJsonObject o = validObject();
        if (value.isUndefined())
            o.remove(QString::fromLatin1(key));
        else
            o[QString::fromLatin1(key)] = value;
        const auto item = ClipItem::fromJson(o);
        ASSERT_EQ(item.has_value(), ok) << key;
        if (item) {
            EXPECT_EQ(item->id,
                      QUuid::fromString(QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f")));
            EXPECT_EQ(item->copiedAt, o[QStringLiteral("copiedAt")].toDouble());
            EXPECT_TRUE(item->savedToObsidian);
        }
    }

    // A history decodes whole or not at all.
    const QByteArray oneBad = QJsonDocument(QJsonArray{validObject(), QJsonObject()}).toJson();
    for (const QByteArray& json :
         {QByteArray("not json"), QByteArray("{}"), QByteArray("[1]"), oneBad, QByteArray()})
        EXPECT_FALSE(decodeHistory(json)) << json.toStdString();
    EXPECT_EQ(decodeHistory("[]")->size(), 0);
}
