#include "history/TextRules.h"

#include <QChar>
#include <algorithm>
#include <memory>
#include <unicode/ubrk.h>
#include <unicode/unorm2.h>

namespace quillstow::text {

bool isNewline(char32_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isWhitespace(char32_t c)
{
    if (c == 0x09 || c == 0x20)
        return true;
    if (c < 0xA0)
        return false;
    return QChar::category(c) == QChar::Separator_Space;
}

bool isWhitespaceOrNewline(char32_t c)
{
    return isWhitespace(c) || isNewline(c);
}

namespace {

// Every member of both classes lies in the BMP, so code units can be tested one by one: a
// surrogate is never a member.
template <typename Pred> QString trimmedBy(QStringView s, Pred isMember)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isMember(s[begin].unicode()))
        ++begin;
    while (end > begin && isMember(s[end - 1].unicode()))
        --end;
    return s.sliced(begin, end - begin).toString();
}

// True when every code unit is its own grapheme cluster: printable ASCII and the controls other
// than a CR directly followed by LF.
bool isSimpleText(QStringView s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c >= 0x80)
            return false;
        if (c == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n')
            return false;
    }
    return true;
}

struct BreakIteratorClose
{
    void operator()(UBreakIterator* it) const { ubrk_close(it); }
};

// Opening an ICU iterator loads its rules, which costs far more than a search through one text;
// one iterator per thread is opened once and handed each text in turn. The root locale's rules
// are Unicode's own.
UBreakIterator* characterIterator(QStringView s)
{
    thread_local std::unique_ptr<UBreakIterator, BreakIteratorClose> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UBreakIterator, BreakIteratorClose> it(
            ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
        if (U_FAILURE(status))
            qFatal("ICU cannot open a character break iterator: %s", u_errorName(status));
        return it;
    }();
    UErrorCode status = U_ZERO_ERROR;
    ubrk_setText(iterator.get(), s.utf16(), static_cast<int32_t>(s.size()), &status);
    if (U_FAILURE(status))
        qFatal("ICU cannot take a text of %lld code units: %s", static_cast<long long>(s.size()),
               u_errorName(status));
    return iterator.get();
}

// Calls `f(end)` for each cluster's end until it returns false.
template <typename F> void forEachClusterEnd(QStringView s, F f)
{
    if (isSimpleText(s)) {
        for (qsizetype i = 1; i <= s.size(); ++i) {
            if (!f(i))
                return;
        }
        return;
    }
    UBreakIterator* it = characterIterator(s);
    for (int32_t end = ubrk_next(it); end != UBRK_DONE; end = ubrk_next(it)) {
        if (!f(qsizetype{end}))
            return;
    }
}

qsizetype utf8Length(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

const UNormalizer2* nfc()
{
    static const UNormalizer2* normalizer = [] {
        UErrorCode status = U_ZERO_ERROR;
        const UNormalizer2* n = unorm2_getNFCInstance(&status);
        if (U_FAILURE(status))
            qFatal("ICU has no NFC data: %s", u_errorName(status));
        return n;
    }();
    return normalizer;
}

} // namespace

QString trimmedWhitespace(QStringView s)
{
    return trimmedBy(s, [](char16_t c) { return isWhitespace(c); });
}

QString trimmedWhitespaceAndNewlines(QStringView s)
{
    return trimmedBy(s, [](char16_t c) { return isWhitespaceOrNewline(c); });
}

std::vector<qsizetype> graphemeBoundaries(QStringView s)
{
    std::vector<qsizetype> ends;
    forEachClusterEnd(s, [&](qsizetype end) {
        ends.push_back(end);
        return true;
    });
    return ends;
}

qsizetype graphemeCount(QStringView s)
{
    if (isSimpleText(s))
        return s.size();
    qsizetype count = 0;
    forEachClusterEnd(s, [&](qsizetype) {
        ++count;
        return true;
    });
    return count;
}

QString graphemePrefix(const QString& s, qsizetype count)
{
    if (count <= 0)
        return {};
    if (s.size() <= count)
        return s;
    // One unit past the cut shows whether the cut falls inside a cluster.
    if (isSimpleText(QStringView(s).first(count + 1)))
        return s.first(count);
    qsizetype taken = 0;
    qsizetype position = s.size();
    forEachClusterEnd(s, [&](qsizetype end) {
        position = end;
        return ++taken < count;
    });
    return s.first(position);
}

QString utf8Prefix(const QString& s, qsizetype maxBytes)
{
    // Bytes up to each code point's end, so a cluster's cost is read off at its end.
    std::vector<qsizetype> bytesBefore(static_cast<size_t>(s.size()) + 1, 0);
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < s.size()) {
        const bool pair = s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate();
        bytes += pair ? 4 : utf8Length(s[i].isSurrogate() ? 0xFFFD : s[i].unicode());
        i += pair ? 2 : 1;
        bytesBefore[static_cast<size_t>(i)] = bytes;
        if (pair)
            bytesBefore[static_cast<size_t>(i - 1)] = -1; // inside a character
    }
    if (bytes <= maxBytes)
        return s;
    qsizetype cut = 0;
    forEachClusterEnd(s, [&](qsizetype end) {
        if (bytesBefore[static_cast<size_t>(end)] > maxBytes)
            return false;
        cut = end;
        return true;
    });
    if (cut > 0)
        return s.first(cut);
    for (qsizetype end = 1; end <= s.size(); ++end) {
        const qsizetype taken = bytesBefore[static_cast<size_t>(end)];
        if (taken > maxBytes)
            break;
        if (taken >= 0)
            cut = end;
    }
    return s.first(cut);
}

QString composed(const QString& s)
{
    const auto length = static_cast<int32_t>(s.size());
    const char16_t* units = QStringView(s).utf16();
    UErrorCode status = U_ZERO_ERROR;
    // Copied text nearly always is composed already, which the quick check sees in one pass.
    const int32_t done = unorm2_spanQuickCheckYes(nfc(), units, length, &status);
    if (U_FAILURE(status) || done == length)
        return s;
    // The composed part is kept and only the rest normalised onto it.
    QString out;
    qsizetype capacity = s.size() + (s.size() - done) / 2 + 16;
    for (int attempt = 0; attempt < 2; ++attempt) {
        out.resize(capacity);
        std::copy(s.cbegin(), s.cbegin() + done, out.begin());
        status = U_ZERO_ERROR;
        const int32_t written = unorm2_normalizeSecondAndAppend(
            nfc(), reinterpret_cast<UChar*>(out.data()), done, static_cast<int32_t>(out.size()),
            units + done, length - done, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            capacity = written;
            continue;
        }
        if (U_FAILURE(status))
            break;
        out.truncate(written);
        return out;
    }
    qWarning("ICU could not compose a text of %d code units: %s", length, u_errorName(status));
    return s;
}

bool canonicallyEqual(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    // Either canonical form decides equivalence; composed is the one most copied text is in
    // already.
    return composed(a) == composed(b);
}

} // namespace quillstow::text
