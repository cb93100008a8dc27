// Figures for the history spine with 2,000 stored items: search, add with its commit, loading,
// importing the settings file's history, bytes written per copy and the heap against the text.
#include "Corpus.h"
#include "history/HistoryStore.h"
#include "vault/ObsidianService.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <malloc.h>
#include <memory>

using namespace quillstow;

namespace {

constexpr int storedItems = 2000;

qsizetype utf8Bytes(const QList<ClipItem>& items)
{
    qsizetype total = 0;
    for (const ClipItem& item : items)
        total += item.content.toUtf8().size();
    return total;
}

// One of the counters of /proc/self/io: "wchar" (bytes handed to write calls) or "write_bytes"
// (bytes sent to the storage).
double ioCounter(const QByteArray& name)
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().toDouble();
    return 0;
}

// A history of `count` items, imported once from a seeded settings file.
struct StoredHistory
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Quillstow.conf"));
    QString database = dir.filePath(QStringLiteral("data/history.sqlite3"));
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<ObsidianService> vault;
    std::unique_ptr<HistoryStore> store;

    explicit StoredHistory(int count = storedItems)
    {
        QSettings seed(path, QSettings::IniFormat);
        seed.setValue(HistoryStore::maxItemsKey, count);
        seed.setValue(HistoryStore::storageKey, encodeHistory(bench::realisticHistory(count)));
        seed.sync();
        open();
    }
    void open()
    {
        store.reset();
        vault.reset();
        settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
        vault = std::make_unique<ObsidianService>(*settings);
        store = std::make_unique<HistoryStore>(*settings, *vault, database);
    }
};

StoredHistory& history()
{
    static StoredHistory h;
    return h;
}

void BM_Filter(benchmark::State& state, const char* query)
{
    HistoryStore& store = *history().store;
    const QString q = QString::fromUtf8(query);
    store.filtered(q); // the search texts are built on first use
    qsizetype hits = 0;
    for (auto _ : state) {
        hits = store.filtered(q).size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = double(hits);
}

void BM_FirstFilterAfterLoad(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        history().open();
        state.ResumeTiming();
        benchmark::DoNotOptimize(history().store->filtered(QStringLiteral("e")).size());
    }
}

// Steady state at the capacity: each add also trims the oldest item, in the same commit.
void BM_AddWithCommit(benchmark::State& state)
{
    StoredHistory h(int(state.range(0)));
    HistoryStore& store = *h.store;
    int n = 0;
    const double wcharBefore = ioCounter("wchar");
    const double storageBefore = ioCounter("write_bytes");
    for (auto _ : state)
        store.add(ClipItem::create(QStringLiteral("a freshly copied line %1").arg(++n)));
    state.counters["items"] = double(store.items().size());
    state.counters["written_per_copy_B"] = (ioCounter("wchar") - wcharBefore) / n;
    state.counters["to_storage_per_copy_B"] = (ioCounter("write_bytes") - storageBefore) / n;
}

void BM_Load(benchmark::State& state)
{
    StoredHistory& h = history();
    for (auto _ : state) {
        QSettings settings(h.path, QSettings::IniFormat);
        ObsidianService vault(settings);
        HistoryStore store(settings, vault, h.database);
        benchmark::DoNotOptimize(store.items().size());
    }
    state.counters["file_MB"] = double(QFileInfo(h.database).size()) / 1e6;
}

// The first start after an update: the settings file's history goes into a new database.
void BM_Migrate(benchmark::State& state)
{
    const QByteArray seeded = encodeHistory(bench::realisticHistory(storedItems));
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("Quillstow.conf")), QSettings::IniFormat);
        settings.setValue(HistoryStore::storageKey, seeded);
        settings.sync();
        ObsidianService vault(settings);
        state.ResumeTiming();
        HistoryStore store(settings, vault, dir.filePath(QStringLiteral("history.sqlite3")));
        benchmark::DoNotOptimize(store.items().size());
    }
}

// The heap a loaded history takes, against its text in UTF-8.
void BM_HeapAfterLoad(benchmark::State& state)
{
    StoredHistory& h = history();
    double heap = 0;
    qsizetype text = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        QSettings settings(h.path, QSettings::IniFormat);
        ObsidianService vault(settings);
        HistoryStore store(settings, vault, h.database);
        heap = double(mallinfo2().uordblks) - double(before);
        text = utf8Bytes(store.items());
    }
    state.counters["heap_MB"] = heap / 1e6;
    state.counters["text_MB"] = double(text) / 1e6;
    state.counters["heap_per_text"] = heap / double(text);
}

} // namespace

BENCHMARK_CAPTURE(BM_Filter, ascii_1, "e")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Filter, ascii_3, "ser")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Filter, ascii_12, "quick brown ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Filter, nonascii_1, "\xC3\xA9")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Filter, nonascii_3, "CAF")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Filter, nonascii_3b,
                  "\xC3\x9C"
                  "BE")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Filter, nonascii_12,
                  "Stra\xC3\x9F"
                  "e caf\xC3\xA9 ")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFilterAfterLoad)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_AddWithCommit)->Arg(500)->Arg(storedItems)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Migrate)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_HeapAfterLoad)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const qsizetype bytes = utf8Bytes(history().store->items());
    std::printf("history: %lld items, %.2f MB of text\n",
                static_cast<long long>(history().store->items().size()), double(bytes) / 1e6);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
