// SPDX-License-Identifier: GPL-3.0-or-later
// Store operations at 10,000 and 100,000 notes, on a WAL store on disk.
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NoteActions.h"
#include "model/NotePredicate.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include "BenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <map>

namespace {

const QStringList words{"café", "reunión", "compra", "llamar",  "niño",       "año",
                        "piña", "lunes",   "martes", "informe", "vacaciones", "médico"};

struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
};

// One store per size, filled once and shared by every benchmark of that size.
Fixture &storeWith(int count)
{
    static std::map<int, std::unique_ptr<Fixture>> stores;
    auto &slot = stores[count];
    if (slot)
        return *slot;
    slot = std::make_unique<Fixture>();
    slot->container = ModelContainer::create(
                          ModelConfiguration::onDisk(slot->dir.filePath("default.store"), true))
                          .value();
    ModelContext *context = slot->container->mainContext();
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-400);
    for (int i = 0; i < count; ++i) {
        auto note = std::make_unique<Note>();
        note->setTitle(words[i % words.size()] + QString::number(i));
        note->setPlainText(QStringLiteral("Nota %1 sobre %2 y %3, con más texto para que el "
                                          "cuerpo tenga un tamaño realista de varias líneas.\n"
                                          "Segunda línea.")
                               .arg(i)
                               .arg(words[(i * 7) % words.size()], words[(i * 3) % words.size()]));
        note->setEdgeToken(i % 2 ? "left" : "right");
        note->setSortIndex(i * 1024.0);
        note->setUpdatedAt(start.addSecs(i));
        if (i % 10 == 0)
            note->setIsArchived(true);
        context->insert(std::move(note));
    }
    mustSucceed(context->save());
    return *slot;
}

// A context of its own for each measurement, so the identity map starts cold as it
// does for a background counter.
void BM_RailQuery(benchmark::State &state)
{
    Fixture &fixture = storeWith(int(state.range(0)));
    ModelContext *context = fixture.container->mainContext();
    for (auto _ : state)
        benchmark::DoNotOptimize(NoteActions::railNotes(ScreenEdge::right, *context));
}

void BM_MakeNoteAndSave(benchmark::State &state)
{
    Fixture &fixture = storeWith(int(state.range(0)));
    auto context = fixture.container->makeContext().value();
    for (auto _ : state) {
        Note *note = NoteActions::makeNote(*context, ScreenEdge::left);
        mustSucceed(context->save());
        state.PauseTiming();
        context->remove(note);
        mustSucceed(context->save());
        state.ResumeTiming();
    }
}

void BM_CountAll(benchmark::State &state)
{
    Fixture &fixture = storeWith(int(state.range(0)));
    auto context = fixture.container->makeContext().value();
    for (auto _ : state)
        benchmark::DoNotOptimize(context->fetchCount({}));
}

void BM_NewestUpdatedAt(benchmark::State &state)
{
    Fixture &fixture = storeWith(int(state.range(0)));
    auto context = fixture.container->makeContext().value();
    const FetchDescriptor newest{{}, {SortDescriptor{Note::Field::updatedAt, false}}, 1};
    for (auto _ : state)
        benchmark::DoNotOptimize(context->fetch(newest));
}

void BM_AccentInsensitiveSearch(benchmark::State &state)
{
    Fixture &fixture = storeWith(int(state.range(0)));
    auto context = fixture.container->makeContext().value();
    // A selective needle, as a person types one, and with an accent the notes lack.
    const FetchDescriptor search{NotePredicate::contains(Note::Field::title, "MÉDICO12") ||
                                     NotePredicate::contains(Note::Field::plainText, "MÉDICO12"),
                                 {SortDescriptor{Note::Field::updatedAt, false}},
                                 std::nullopt};
    for (auto _ : state)
        benchmark::DoNotOptimize(context->fetch(search));
}

} // namespace

BENCHMARK(BM_RailQuery)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakeNoteAndSave)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewestUpdatedAt)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AccentInsensitiveSearch)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runModelBenchmarks(argc, argv);
}
