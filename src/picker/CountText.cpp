#include "picker/CountText.h"

#include <QCoreApplication>
#include <algorithm>
#include <limits>
#include <optional>

namespace quillstow {

namespace {

int clamped(qsizetype n)
{
    return static_cast<int>(std::min<qsizetype>(n, std::numeric_limits<int>::max()));
}

// A translation is loaded for `source` when the lookup gives more than the source itself.
std::optional<QString> translated(const char* context, const char* source, int count)
{
    const QString text = QCoreApplication::translate(context, source, nullptr, count);
    QString untranslated = QString::fromUtf8(source);
    untranslated.replace(QStringLiteral("%n"), QString::number(count));
    if (text == untranslated)
        return std::nullopt;
    return text;
}

// `source` uses Linguist's "(s)" convention for the plural noun.
QString counted(const char* source, qsizetype n)
{
    const int count = clamped(n);
    if (auto text = translated("Counts", source, count))
        return *text;
    QString untranslated = QString::fromUtf8(source);
    untranslated.replace(QStringLiteral("%n"), QString::number(count));
    untranslated.replace(QStringLiteral("(s)"), count == 1 ? QString() : QStringLiteral("s"));
    return untranslated;
}

} // namespace

QString numerusText(const char* context, const char* source, qsizetype n, const QString& one,
                    const QString& many)
{
    const int count = clamped(n);
    if (auto text = translated(context, source, count))
        return *text;
    return count == 1 ? one : QString(many).arg(count);
}

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
