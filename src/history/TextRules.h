#pragma once

#include <QString>
#include <QStringView>

// The text rules every part of Quillstow shares: the whitespace and newline classes, lengths in
// user-perceived characters, and equality by canonical equivalence.
namespace quillstow::text {

// U+000A..U+000D, U+0085, U+2028, U+2029.
bool isNewline(char32_t c);
// U+0009 and the space separators (general category Zs).
bool isWhitespace(char32_t c);
bool isWhitespaceOrNewline(char32_t c);

// Both ends stripped of whitespace (tab and Zs) only.
QString trimmedWhitespace(QStringView s);
// Both ends stripped of whitespace and newlines.
QString trimmedWhitespaceAndNewlines(QStringView s);

// The number of extended grapheme clusters.
qsizetype graphemeCount(QStringView s);
// The first `count` extended grapheme clusters of `s` (all of it when it is shorter).
QString graphemePrefix(const QString& s, qsizetype count);

// Unicode canonical equivalence.
bool canonicallyEqual(const QString& a, const QString& b);

} // namespace quillstow::text
