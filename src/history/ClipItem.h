#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

namespace quillstow {

// Seconds between the Unix epoch and 2001-01-01 00:00:00 UTC, the origin of `copiedAt`.
inline constexpr double referenceDateOffset = 978307200.0;

// One entry of the clipboard history.
struct ClipItem
{
    QUuid id;
    QString content;     // exactly as copied, never trimmed
    double copiedAt = 0; // seconds since 2001-01-01 00:00:00 UTC
    bool isPinned = false;
    bool savedToObsidian = false;

    // A new item for a freshly copied text: random id, copied now, both flags off.
    static ClipItem create(const QString& text);
    static ClipItem create(const QString& text, double copiedAt);

    // The first line with a visible character, at most 80 characters plus "…".
    QString preview() const;
    // The preview without the "…" it may end in, and whether text was left out. Reads only as
    // far into the content as the preview needs.
    QString previewHead(bool* isCut = nullptr) const;
    // Pieces between whitespace and newline characters.
    int wordCount() const;

    // Fails (nullopt, with a reason in `error`) on a missing member, a null, a wrong type or an
    // id that is not a UUID.
    static std::optional<ClipItem> fromJson(const QJsonValue& value, QString* error = nullptr);

    // All five fields; content by canonical equivalence.
    friend bool operator==(const ClipItem& a, const ClipItem& b);
};

// Seconds since 2001-01-01 UTC for the current moment, with sub-millisecond precision.
double currentCopiedAt();

// The JSON text of a string, quotes included.
QByteArray encodeJsonString(const QString& s);

// The UTF-8 JSON array of the stored history, members in field order. `encodedContent`, when
// given, supplies each item's content already in JSON form (a cache of encodeJsonString).
QByteArray encodeHistory(const QList<ClipItem>& items,
                         const std::function<QByteArray(const ClipItem&)>& encodedContent = {});
std::optional<QList<ClipItem>> decodeHistory(const QByteArray& json, QString* error = nullptr);

} // namespace quillstow
