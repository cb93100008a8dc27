#pragma once

#include <QString>

// Counts as the picker words them. Each goes through Qt's translation with its number, so that
// a translation can give the plural forms its language has; with none loaded, the English
// singular and plural are chosen here.
namespace quillstow {

// "1 word", "3 words".
QString wordCountText(int words);
// "1 item", "12 items".
QString itemCountText(qsizetype items);
// While a query narrows the list: "3 of 12 items", "1 of 1 item".
QString filteredCountText(qsizetype shown, qsizetype total);

// `source` (marked with QT_TRANSLATE_N_NOOP in `context`, %n for the count) translated for `n`;
// with no translation loaded, English `one` or `many` (%1 for the count) instead, for sentences
// whose English singular is worded differently from the plural.
QString numerusText(const char* context, const char* source, qsizetype n, const QString& one,
                    const QString& many);

} // namespace quillstow
