#pragma once

#include <QString>
#include <QStringView>
#include <vector>

// The text rules every part of Quillstow shares: the whitespace and newline classes, lengths in
// user-perceived characters (extended grapheme clusters, as ICU finds them), and equality by
// canonical equivalence.
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

// Where each extended grapheme cluster ends, in UTF-16 code units, in order: the last is
// s.size(); empty for an empty text.
std::vector<qsizetype> graphemeBoundaries(QStringView s);
// The number of extended grapheme clusters.
qsizetype graphemeCount(QStringView s);
// The first `count` extended grapheme clusters of `s` (all of it when it is shorter).
QString graphemePrefix(const QString& s, qsizetype count);
// The longest run of whole clusters from the start whose UTF-8 form takes at most `maxBytes`.
// When not even the first cluster fits, whole code points of it instead: a character is never
// cut. A lone surrogate counts as the three bytes of U+FFFD.
QString utf8Prefix(const QString& s, qsizetype maxBytes);

// The composed form (NFC); `s` itself when it is composed already.
QString composed(const QString& s);
// Unicode canonical equivalence.
bool canonicallyEqual(const QString& a, const QString& b);

} // namespace quillstow::text
