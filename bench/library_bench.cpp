// SPDX-License-Identifier: GPL-3.0-or-later
// The library window over 10,000 notes: opening it, typing a search, a save that moves one
// note to the top, and measuring every row again after a font change.
#include "library/LibraryListModel.h"
#include "library/LibraryRow.h"
#include "library/LibraryView.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/UserDefaults.h"
#include "surfaces/BundledFonts.h"

#include "BenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListView>
#include <QTemporaryDir>

#include <memory>

namespace {

const QStringList words{"reunión", "compra", "llamar", "viaje", "médico", "ideas",
                        "libro",   "regalo", "pagar",  "cita",  "jardín", "correo"};
const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);

// Notes on screen with texts of one to a few lines; one in ten is done.
std::unique_ptr<ModelContainer> filledStore(int count)
{
    auto container = ModelContainer::create(ModelConfiguration::inMemory()).value();
    ModelContext *context = container->mainContext();
    for (int i = 0; i < count; ++i) {
        auto note = std::make_unique<Note>();
        note->setTitle(i % 3 ? QStringLiteral("%1 %2").arg(words[i % words.size()]).arg(i)
                             : QString());
        QString body;
        const int length = 3 + (i * 13) % 40;
        for (int w = 0; w < length; ++w)
            body += words[(i * 7 + w) % words.size()] + (w % 9 == 8 ? u'\n' : u' ');
        note->setPlainText(body);
        note->setUpdatedAt(t0.addSecs(i));
        note->setIsFloating(i % 97 == 0);
        if (i % 10 == 0)
            note->setCompletedAt(t0);
        context->insert(std::move(note));
    }
    if (!context->save())
        qFatal("the benchmark store could not be saved");
    return container;
}

// Lays the list out and paints what is visible, as showing the window does.
void settle(LibraryView &view)
{
    view.listView()->doItemsLayout();
    view.grab();
}

void BM_OpenLibrary(benchmark::State &state)
{
    const auto container = filledStore(int(state.range(0)));
    qsizetype listed = 0;
    for (auto _ : state) {
        LibraryView view(container.get(), nullptr);
        view.show();
        settle(view);
        listed = view.listedNotes().size();
    }
    state.counters["rows"] = double(listed);
}

void BM_TypeSearch(benchmark::State &state)
{
    const auto container = filledStore(int(state.range(0)));
    LibraryView view(container.get(), nullptr);
    view.show();
    settle(view);
    const QStringList keystrokes{"m", "me", "med", "medi", "medic", "medico", ""};
    for (auto _ : state) {
        for (const QString &text : keystrokes) {
            view.setSearch(text);
            settle(view);
        }
    }
    state.counters["keystrokes"] = benchmark::Counter(
        double(state.iterations() * keystrokes.size()), benchmark::Counter::kIsRate);
}

void BM_SaveMovesOneNoteToTheTop(benchmark::State &state)
{
    const auto container = filledStore(int(state.range(0)));
    LibraryView view(container.get(), nullptr);
    view.show();
    settle(view);
    ModelContext *context = container->mainContext();
    int step = 0;
    for (auto _ : state) {
        Note *last = view.listedNotes().last();
        last->setUpdatedAt(t0.addSecs(1'000'000 + ++step));
        mustSucceed(context->save());
        settle(view);
    }
}

void BM_MeasureEveryRow(benchmark::State &state)
{
    const auto container = filledStore(int(state.range(0)));
    LibraryView view(container.get(), nullptr);
    view.show();
    settle(view);
    NoteFontStyle style = view.row()->noteFontStyle();
    for (auto _ : state) {
        // A new size in the settings: every excerpt is measured again.
        style.size = style.size == 20 ? 22 : 20;
        view.row()->setNoteFontStyle(style);
        view.listView()->doItemsLayout();
    }
}

} // namespace

BENCHMARK(BM_OpenLibrary)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeSearch)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveMovesOneNoteToTheTop)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureEveryRow)->Arg(10000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runViewBenchmarks(argc, argv);
}
