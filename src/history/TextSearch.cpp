#include "history/TextSearch.h"

#include "history/TextRules.h"

#include <algorithm>
#include <optional>
#include <unicode/uchar.h>

namespace quillstow {

namespace {

bool isTurkic(const QLocale& locale)
{
    return locale.language() == QLocale::Turkish || locale.language() == QLocale::Azerbaijani;
}

// Simple case folding maps each character to one character, so positions in the folded text
// are positions in the composed text. The Turkic option folds I to dotless i and dotted I to i.
QString fold(const QString& composed, const QLocale& locale)
{
    const uint32_t options = isTurkic(locale) ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT;
    QString s = composed;
    char16_t* out = reinterpret_cast<char16_t*>(s.data());
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = out[i];
        if (c < 0x80 && options == U_FOLD_CASE_DEFAULT) {
            if (c >= u'A' && c <= u'Z')
                out[i] = static_cast<char16_t>(c + (u'a' - u'A'));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(out[i + 1])) {
            const auto folded = static_cast<char32_t>(
                u_foldCase(static_cast<UChar32>(QChar::surrogateToUcs4(c, out[i + 1])), options));
            if (QChar::requiresSurrogates(folded)) {
                out[i] = QChar::highSurrogate(folded);
                out[i + 1] = QChar::lowSurrogate(folded);
            }
            ++i;
            continue;
        }
        const auto folded = static_cast<char32_t>(u_foldCase(UChar32{c}, options));
        if (!QChar::requiresSurrogates(folded))
            out[i] = static_cast<char16_t>(folded);
    }
    return s;
}

bool isPlain(const QString& s)
{
    for (const QChar c : s) {
        if (c.unicode() >= 0x80 || c == u'\r')
            return false;
    }
    return true;
}

} // namespace

SearchText::SearchText(const QString& text, const QLocale& locale)
{
    const QString composed = text::composed(text);
    folded_ = fold(composed, locale);
    if (isPlain(composed))
        return;
    qsizetype previous = 0;
    for (const qsizetype next : text::graphemeBoundaries(composed)) {
        for (qsizetype inside = previous + 1; inside < next; ++inside)
            insideCluster_.push_back(inside);
        previous = next;
    }
}

bool SearchText::isClusterBoundary(qsizetype position) const
{
    return !std::binary_search(insideCluster_.begin(), insideCluster_.end(), position);
}

bool SearchText::contains(const SearchText& query) const
{
    const QString& needle = query.folded_;
    if (needle.isEmpty())
        return true;
    qsizetype from = 0;
    while (true) {
        const qsizetype hit = folded_.indexOf(needle, from, Qt::CaseSensitive);
        if (hit < 0)
            return false;
        if (isClusterBoundary(hit) && isClusterBoundary(hit + needle.size()))
            return true;
        from = hit + 1;
    }
}

bool searchMatches(const QString& text, const QString& query, const QLocale& locale)
{
    return SearchText(text, locale).contains(SearchText(query, locale));
}

std::vector<TextRange> matchRanges(const QString& text, const QString& query, const QLocale& locale)
{
    const QString needle = fold(text::composed(query), locale);
    if (needle.isEmpty() || text.isEmpty())
        return {};
    // Each cluster is composed on its own, so that a cluster boundary in the folded text maps
    // back to one in `text`; matches may only start and end on those.
    QString composed;
    composed.reserve(text.size());
    std::vector<std::pair<qsizetype, qsizetype>> boundaries{{0, 0}}; // folded, original
    qsizetype previous = 0;
    for (const qsizetype end : text::graphemeBoundaries(text)) {
        composed += text::composed(text.sliced(previous, end - previous));
        boundaries.emplace_back(composed.size(), end);
        previous = end;
    }
    const QString folded = fold(composed, locale);
    auto original = [&](qsizetype position) -> std::optional<qsizetype> {
        const auto found = std::lower_bound(
            boundaries.begin(), boundaries.end(), position,
            [](const std::pair<qsizetype, qsizetype>& b, qsizetype p) { return b.first < p; });
        if (found == boundaries.end() || found->first != position)
            return std::nullopt;
        return found->second;
    };
    std::vector<TextRange> ranges;
    qsizetype from = 0;
    while (true) {
        const qsizetype hit = folded.indexOf(needle, from, Qt::CaseSensitive);
        if (hit < 0)
            return ranges;
        const auto start = original(hit);
        const auto end = original(hit + needle.size());
        if (start && end) {
            ranges.push_back({*start, *end - *start});
            from = hit + needle.size();
        } else {
            from = hit + 1;
        }
    }
}

} // namespace quillstow
