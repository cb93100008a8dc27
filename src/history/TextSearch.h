#pragma once

#include <QLocale>
#include <QString>
#include <vector>

namespace quillstow {

// A text prepared for the history search: composed (NFC), case-folded for a locale, and knowing
// where its user-perceived characters begin, so a match can be refused when it starts or ends
// inside one.
class SearchText
{
public:
    SearchText() = default;
    SearchText(const QString& text, const QLocale& locale);

    bool isClusterBoundary(qsizetype position) const;
    bool contains(const SearchText& query) const;

private:
    QString folded_;
    // Positions strictly inside a cluster, sorted; empty for plain ASCII text.
    std::vector<qsizetype> insideCluster_;
};

// Case-insensitive in the locale, accents significant, canonically equivalent texts equal, and
// never matching part of a user-perceived character.
bool searchMatches(const QString& text, const QString& query, const QLocale& locale);

// A run of a text, in UTF-16 code units.
struct TextRange
{
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// Where `query` matches in `text` by the rules of searchMatches, in positions of `text` as given
// (composed or not), left to right and not overlapping; none for an empty query. Meant for short
// texts such as a row's preview: it walks the text cluster by cluster.
std::vector<TextRange> matchRanges(const QString& text, const QString& query,
                                   const QLocale& locale);

} // namespace quillstow
