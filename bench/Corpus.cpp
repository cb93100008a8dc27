#include "Corpus.h"

#include <random>

namespace quillstow::bench {

namespace {

const char* const asciiWords[] = {
    "the",
    "quick",
    "brown",
    "fox",
    "jumps",
    "over",
    "lazy",
    "dog",
    "server",
    "config",
    "deploy",
    "meeting",
    "invoice",
    "password",
    "review",
    "branch",
    "commit",
    "release",
    "function",
    "return",
    "const",
    "struct",
    "address",
    "street",
    "London",
    "Berlin",
    "Monday",
    "schedule",
    "project",
    "customer",
    "ticket",
    "error",
    "warning",
    "build",
    "install",
    "package",
    "https://example.org/path?q=1",
    "TODO",
};
const char* const otherWords[] = {
    "caf\xC3\xA9",
    "na\xC3\xAFve",
    "Stra\xC3\x9F"
    "e",
    "\xC3\xBC"
    "ber",
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
    "\xD0\xBC\xD0\xB8\xD1\x80",
    "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",
    "\xCE\xB1\xCE\xBB\xCF\x86\xCE\xB1",
    "Jos\xC3\xA9",
};

QString words(std::mt19937& rng, int targetLength, bool nonAscii)
{
    std::uniform_int_distribution<size_t> ascii(0, std::size(asciiWords) - 1);
    std::uniform_int_distribution<size_t> other(0, std::size(otherWords) - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    QString out;
    out.reserve(targetLength + 16);
    int sinceBreak = 0;
    while (out.size() < targetLength) {
        const bool exotic = nonAscii && percent(rng) < 15;
        out += QString::fromUtf8(exotic ? otherWords[other(rng)] : asciiWords[ascii(rng)]);
        if (++sinceBreak > 14 && percent(rng) < 20) {
            out += u'\n';
            sinceBreak = 0;
        } else {
            out += u' ';
        }
    }
    return out;
}

} // namespace

QList<ClipItem> realisticHistory(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> percent(0, 99);
    QList<ClipItem> items;
    items.reserve(count);
    double copiedAt = 786000000;
    for (int i = 0; i < count; ++i) {
        const int kind = percent(rng);
        int length = 0;
        if (i % 400 == 7)
            length = 50 * 1024; // a log or a file pasted whole
        else if (kind < 55)
            length = std::uniform_int_distribution<int>(10, 160)(rng);
        else if (kind < 90)
            length = std::uniform_int_distribution<int>(300, 2000)(rng);
        else
            length = std::uniform_int_distribution<int>(2000, 5000)(rng);
        const bool nonAscii = percent(rng) < 25;
        ClipItem item = ClipItem::create(words(rng, length, nonAscii), copiedAt);
        copiedAt -= std::uniform_real_distribution<double>(1, 600)(rng);
        items.append(item);
    }
    return items;
}

} // namespace quillstow::bench
