#include "history/ClipItem.h"

#include "history/TextRules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <algorithm>
#include <chrono>

namespace quillstow {

namespace {

constexpr qsizetype previewLength = 80;
const QString ellipsis = QStringLiteral("\u2026");

const QString idKey = QStringLiteral("id");
const QString contentKey = QStringLiteral("content");
const QString copiedAtKey = QStringLiteral("copiedAt");
const QString isPinnedKey = QStringLiteral("isPinned");
const QString savedKey = QStringLiteral("savedToObsidian");

bool isHex(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

// Only the canonical 8-4-4-4-12 form, in either case; QUuid alone would also take braces.
std::optional<QUuid> parseUuid(const QString& s)
{
    if (s.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? s[i] != u'-' : !isHex(s[i]))
            return std::nullopt;
    }
    return QUuid::fromString(s);
}

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

double currentCopiedAt()
{
    using namespace std::chrono;
    const auto now = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<double>(now) / 1e6 - referenceDateOffset;
}

ClipItem ClipItem::create(const QString& text)
{
    return create(text, currentCopiedAt());
}

ClipItem ClipItem::create(const QString& text, double copiedAt)
{
    return ClipItem{QUuid::createUuid(), text, copiedAt, false, false};
}

QString ClipItem::preview() const
{
    bool isCut = false;
    const QString head = previewHead(&isCut);
    return isCut ? head + ellipsis : head;
}

QString ClipItem::previewHead(bool* isCut) const
{
    const qsizetype n = content.size();
    // The line of the first visible character; with none, the whole content.
    qsizetype start = 0;
    bool hasLine = false;
    for (qsizetype i = 0; i < n && !hasLine; ++i) {
        const char16_t c = content[i].unicode();
        if (text::isNewline(c))
            start = i + 1;
        else
            hasLine = !text::isWhitespace(c);
    }
    if (!hasLine)
        start = 0;
    // A window of the line that grows until it holds the preview's clusters: a clip of one
    // long line is neither walked to its end nor copied.
    for (qsizetype window = 4 * previewLength;; window *= 2) {
        const qsizetype stop = std::min(n, start + window);
        qsizetype end = start;
        while (end < stop && !(hasLine && text::isNewline(content[end].unicode())))
            ++end;
        const bool wholeLine = end < stop || stop == n;
        const QString part = content.sliced(start, end - start);
        const QString head = text::graphemePrefix(part, previewLength);
        // Short of the window's end, the last cluster boundary is final: what follows the
        // window cannot move it.
        if (wholeLine || head.size() < part.size()) {
            if (isCut)
                *isCut = head.size() < part.size() || !wholeLine;
            return head;
        }
    }
}

int ClipItem::wordCount() const
{
    int count = 0;
    bool inWord = false;
    for (const QChar c : content) {
        const bool separator = text::isWhitespaceOrNewline(c.unicode());
        if (!separator && !inWord)
            ++count;
        inWord = !separator;
    }
    return count;
}

std::optional<ClipItem> ClipItem::fromJson(const QJsonValue& value, QString* error)
{
    if (!value.isObject()) {
        fail(error, QStringLiteral("item is not an object"));
        return std::nullopt;
    }
    const QJsonObject o = value.toObject();
    const QJsonValue id = o.value(idKey);
    const QJsonValue content = o.value(contentKey);
    const QJsonValue copiedAt = o.value(copiedAtKey);
    const QJsonValue pinned = o.value(isPinnedKey);
    const QJsonValue saved = o.value(savedKey);
    if (!id.isString() || !content.isString() || !copiedAt.isDouble() || !pinned.isBool() ||
        !saved.isBool()) {
        fail(error, QStringLiteral("item lacks a member or has one of the wrong type"));
        return std::nullopt;
    }
    const std::optional<QUuid> uuid = parseUuid(id.toString());
    if (!uuid) {
        fail(error, QStringLiteral("item id is not a UUID"));
        return std::nullopt;
    }
    return ClipItem{*uuid, content.toString(), copiedAt.toDouble(), pinned.toBool(),
                    saved.toBool()};
}

bool operator==(const ClipItem& a, const ClipItem& b)
{
    return a.id == b.id && a.copiedAt == b.copiedAt && a.isPinned == b.isPinned &&
           a.savedToObsidian == b.savedToObsidian && text::canonicallyEqual(a.content, b.content);
}

QByteArray encodeJsonString(const QString& s)
{
    // A one-element array is the cheapest way to get Qt's own string escaping.
    const QByteArray quoted = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return quoted.sliced(1, quoted.size() - 2);
}

namespace {

void appendJsonNumber(QByteArray& out, double d)
{
    const QByteArray number = QJsonDocument(QJsonArray{d}).toJson(QJsonDocument::Compact);
    out.append(number.constData() + 1, number.size() - 2);
}

} // namespace

QByteArray encodeHistory(const QList<ClipItem>& items,
                         const std::function<QByteArray(const ClipItem&)>& encodedContent)
{
    // Members are written in field order (id, content, copiedAt, isPinned, savedToObsidian),
    // which QJsonObject cannot keep; values still go through Qt's JSON writer.
    QByteArray out;
    qsizetype estimate = 2;
    for (const ClipItem& item : items)
        estimate += item.content.size() * 3 / 2 + 128;
    out.reserve(estimate);
    out.append('[');
    bool first = true;
    for (const ClipItem& item : items) {
        if (!first)
            out.append(',');
        first = false;
        out.append("{\"id\":\"");
        out.append(item.id.toString(QUuid::WithoutBraces).toUpper().toLatin1());
        out.append("\",\"content\":");
        out.append(encodedContent ? encodedContent(item) : encodeJsonString(item.content));
        out.append(",\"copiedAt\":");
        appendJsonNumber(out, item.copiedAt);
        out.append(",\"isPinned\":");
        out.append(item.isPinned ? "true" : "false");
        out.append(",\"savedToObsidian\":");
        out.append(item.savedToObsidian ? "true" : "false");
        out.append('}');
    }
    out.append(']');
    return out;
}

std::optional<QList<ClipItem>> decodeHistory(const QByteArray& json, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(error, parseError.errorString());
        return std::nullopt;
    }
    if (!doc.isArray()) {
        fail(error, QStringLiteral("not a JSON array"));
        return std::nullopt;
    }
    const QJsonArray array = doc.array();
    QList<ClipItem> items;
    items.reserve(array.size());
    for (const QJsonValue& value : array) {
        std::optional<ClipItem> item = ClipItem::fromJson(value, error);
        if (!item)
            return std::nullopt;
        items.append(std::move(*item));
    }
    return items;
}

} // namespace quillstow
