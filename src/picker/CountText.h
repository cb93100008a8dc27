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

} // namespace quillstow
