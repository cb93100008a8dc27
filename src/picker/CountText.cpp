#include "picker/CountText.h"

#include <QCoreApplication>
#include <algorithm>
#include <limits>

namespace quillstow {

namespace {

// `source` uses Linguist's "(s)" convention for the plural noun.
QString counted(const char* source, qsizetype n)
{
    const int count = static_cast<int>(std::min<qsizetype>(n, std::numeric_limits<int>::max()));
    const QString translated = QCoreApplication::translate("Counts", source, nullptr, count);
    QString untranslated = QString::fromLatin1(source);
    untranslated.replace(QStringLiteral("%n"), QString::number(count));
    if (translated != untranslated)
        return translated;
    untranslated.replace(QStringLiteral("(s)"), count == 1 ? QString() : QStringLiteral("s"));
    return untranslated;
}

} // namespace

QString wordCountText(int words)
{
    return counted(QT_TRANSLATE_N_NOOP("Counts", "%n word(s)"), words);
}

QString itemCountText(qsizetype items)
{
    return counted(QT_TRANSLATE_N_NOOP("Counts", "%n item(s)"), items);
}

QString filteredCountText(qsizetype shown, qsizetype total)
{
    return counted(QT_TRANSLATE_N_NOOP("Counts", "%1 of %n item(s)"), total).arg(shown);
}

} // namespace quillstow
