// SPDX-License-Identifier: GPL-3.0-or-later
// The sync watcher's fingerprint and the library's search over a store of 10,000 notes.
#include "library/LibraryFilter.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "sync/SyncWatcher.h"

#include "BenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <map>
#include <memory>

namespace {

const QStringList words{"reunión", "compra", "llamar", "viaje", "médico", "ideas",
                        "libro",   "regalo", "pagar",  "cita",  "jardín", "correo"};

// Notes in every state, a few of them about coffee.
void fill(ModelContainer &container, int count)
{
    ModelContext *context = container.mainContext();
    const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    for (int i = 0; i < count; ++i) {
        auto note = std::make_unique<Note>();
        note->setTitle(QStringLiteral("%1 %2").arg(words[i % words.size()]).arg(i));
        QString body;
        for (int w = 0; w < 30; ++w)
            body += words[(i * 7 + w) % words.size()] + QLatin1Char(' ');
        if (i % 50 == 3)
            body += QStringLiteral("Café con Ana");
        note->setPlainText(body);
        note->setEdgeToken(i % 2 ? QStringLiteral("left") : QStringLiteral("right"));
        note->setSortIndex(i * 1024.0);
        note->setUpdatedAt(t0.addSecs(i));
        if (i % 10 == 0)
            note->setCompletedAt(t0);
        if (i % 17 == 0)
            note->setDeletedAt(t0);
        context->insert(std::move(note));
    }
    if (!context->save())
        qFatal("the benchmark store could not be saved");
}

struct Store
{
    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
};

// One filled store per size and kind, kept for the whole run.
ModelContainer &store(int count, bool onDisk)
{
    static std::map<std::pair<int, bool>, std::unique_ptr<Store>> stores;
    auto &slot = stores[{count, onDisk}];
    if (!slot) {
        slot = std::make_unique<Store>();
        const auto configuration =
            onDisk ? ModelConfiguration::onDisk(slot->dir.filePath("default.store"), true)
                   : ModelConfiguration::inMemory();
        auto created = ModelContainer::create(configuration);
        if (!created)
            qFatal("%s", qPrintable(created.error().description));
        slot->container = std::move(created).value();
        fill(*slot->container, count);
    }
    return *slot->container;
}

void fingerprint(benchmark::State &state, bool onDisk)
{
    ModelContainer &container = store(int(state.range(0)), onDisk);
    for (auto _ : state)
        benchmark::DoNotOptimize(SyncWatcher::fingerprint(&container));
}

void BM_FingerprintOnDisk(benchmark::State &state)
{
    fingerprint(state, true);
}
void BM_FingerprintInMemory(benchmark::State &state)
{
    fingerprint(state, false);
}

// The library's query as its list runs it: the main context, whose notes are loaded.
void librarySearch(benchmark::State &state, LibraryFilter filter, const QString &search)
{
    ModelContainer &container = store(int(state.range(0)), true);
    const FetchDescriptor descriptor = filter.fetchDescriptor(search);
    qsizetype found = 0;
    for (auto _ : state) {
        const auto notes = container.mainContext()->fetch(descriptor);
        found = notes ? notes->size() : -1;
        benchmark::DoNotOptimize(found);
    }
    state.counters["notes"] = double(found);
}

void BM_LibrarySearch(benchmark::State &state)
{
    librarySearch(state, LibraryFilter::pinned, QStringLiteral("  cafe "));
}
void BM_LibrarySearchTrash(benchmark::State &state)
{
    librarySearch(state, LibraryFilter::trashed, QStringLiteral("MEDICO"));
}
void BM_LibraryListWithoutSearch(benchmark::State &state)
{
    librarySearch(state, LibraryFilter::pinned, QString());
}

// The first search of a freshly opened window: every matching note is loaded.
void BM_LibrarySearchColdContext(benchmark::State &state)
{
    ModelContainer &container = store(int(state.range(0)), true);
    const FetchDescriptor descriptor = LibraryFilter(LibraryFilter::pinned).fetchDescriptor("cafe");
    for (auto _ : state) {
        const auto context = container.makeContext().value();
        benchmark::DoNotOptimize(context->fetch(descriptor));
    }
}

} // namespace

BENCHMARK(BM_FingerprintOnDisk)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FingerprintInMemory)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibrarySearch)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibrarySearchTrash)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryListWithoutSearch)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibrarySearchColdContext)->Arg(10000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runModelBenchmarks(argc, argv);
}
