// Figures for the history spine with 2,000 stored items: search, add with its durable write, and
// loading the stored history.
#include "Corpus.h"
#include "history/HistoryStore.h"
#include "vault/ObsidianService.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

using namespace quillstow;

namespace {

constexpr int storedItems = 2000;

struct StoredHistory
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Quillstow.conf"));
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<ObsidianService> vault;
    std::unique_ptr<HistoryStore> store;

    StoredHistory()
    {
        QSettings seed(path, QSettings::IniFormat);
        seed.setValue(HistoryStore::maxItemsKey, storedItems);
        seed.setValue(HistoryStore::storageKey,
                      encodeHistory(bench::realisticHistory(storedItems)));
        seed.sync();
        open();
    }
    void open()
    {
        store.reset();
        vault.reset();
        settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
        vault = std::make_unique<ObsidianService>(*settings);
        store = std::make_unique<HistoryStore>(*settings, *vault);
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

void BM_AddWithDurableWrite(benchmark::State& state)
{
    HistoryStore& store = *history().store;
    int n = 0;
    for (auto _ : state)
        store.add(ClipItem::create(QStringLiteral("a freshly copied line %1").arg(++n)));
    state.counters["items"] = double(store.items().size());
}

void BM_Load(benchmark::State& state)
{
    StoredHistory& h = history();
    for (auto _ : state) {
        QSettings settings(h.path, QSettings::IniFormat);
        ObsidianService vault(settings);
        HistoryStore store(settings, vault);
        benchmark::DoNotOptimize(store.items().size());
    }
    QFileInfo info(h.path);
    state.counters["file_MB"] = double(info.size()) / 1e6;
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
BENCHMARK(BM_AddWithDurableWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const qsizetype bytes = [] {
        qsizetype total = 0;
        for (const ClipItem& item : history().store->items())
            total += item.content.toUtf8().size();
        return total;
    }();
    std::printf("history: %lld items, %.2f MB of text\n",
                static_cast<long long>(history().store->items().size()), double(bytes) / 1e6);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
// Where the time of an add goes: the settings store's own INI write of the whole value.
static void BM_SettingsStoreWriteOnly(benchmark::State& state)
{
    const QByteArray bytes = encodeHistory(history().store->items());
    QSettings s(history().dir.filePath(QStringLiteral("write-only.conf")), QSettings::IniFormat);
    int n = 0;
    for (auto _ : state) {
        QByteArray changed = bytes;
        changed[1] = char('0' + (++n % 10)); // a changed value, or sync writes nothing
        s.setValue(HistoryStore::storageKey, changed);
        s.sync();
    }
}
BENCHMARK(BM_SettingsStoreWriteOnly)->Unit(benchmark::kMillisecond);

static void BM_EncodeUncached(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeHistory(history().store->items()).size());
}
BENCHMARK(BM_EncodeUncached)->Unit(benchmark::kMillisecond);
