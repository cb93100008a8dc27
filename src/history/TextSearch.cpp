#include "history/TextSearch.h"

#include <QTextBoundaryFinder>
#include <algorithm>

namespace quillstow {

namespace {

bool isTurkic(const QLocale& locale)
{
    return locale.language() == QLocale::Turkish || locale.language() == QLocale::Azerbaijani;
}

// Simple case folding keeps the length in code units, so positions in the folded text are
// positions in the composed text.
QString fold(const QString& composed, const QLocale& locale)
{
    if (!isTurkic(locale))
        return composed.toCaseFolded();
    QString s = composed;
    for (QChar& c : s) {
        if (c == u'I')
            c = QChar(0x0131); // dotless i
        else if (c.unicode() == 0x0130)
            c = u'i';
    }
    return s.toCaseFolded();
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
    const QString composed = text.normalized(QString::NormalizationForm_C);
    folded_ = fold(composed, locale);
    if (isPlain(composed))
        return;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, composed);
    qsizetype previous = 0;
    for (qsizetype next = finder.toNextBoundary(); next != -1; next = finder.toNextBoundary()) {
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

} // namespace quillstow
