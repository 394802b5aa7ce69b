// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Note.h"
#include "model/StyledText.h"
#include "model/UserDefaults.h"
#include "rail/NewNoteTabView.h"
#include "surfaces/BundledFonts.h"
#include "surfaces/CardShadowCache.h"
#include "surfaces/NoteFormView.h"

#include "BenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// What painting note cards costs: one card in each phase, and whole rails of sleeping chips
// or awake tabs, painted into an image the size of a rail panel. Times are per frame.

namespace {

constexpr double railWidth = 540;

struct Rail
{
    std::vector<std::unique_ptr<Note>> notes;
    QWidget host;
    std::vector<NoteFormView *> cards;
    std::shared_ptr<CardShadowCache> shadows = std::make_shared<CardShadowCache>();
    QImage image;
};

const QStringList titles{QStringLiteral("Compras"),        QStringLiteral("Ideas para el viaje"),
                         QStringLiteral("Llamar a Marta"), QStringLiteral("Lecturas"),
                         QStringLiteral("Recetas"),        QStringLiteral("Nota sin título")};

NoteCardState stateFor(NotePhase phase, int index, double itemHeight)
{
    NoteCardState state;
    state.phase = phase;
    state.tabWidth = 70 + 4 * (index % 5);
    state.tilt = qEnvironmentVariableIsSet("NOTILT") ? 0 : (index % 2 == 0 ? 1.5 : -0.75);
    state.itemHeight = itemHeight;
    state.cardHeight = 260;
    return state;
}

// `count` cards of a rail in `phase`, laid out as the rail lays out its slots.
std::unique_ptr<Rail> makeRail(int count, NotePhase phase)
{
    auto rail = std::make_unique<Rail>();
    const bool awake = phase != NotePhase::chip;
    const double itemHeight = awake ? 58 : 12;
    const double pitch = awake ? itemHeight - 7 : itemHeight + 5;
    const double height = std::max(400.0, 48 + count * pitch);
    rail->host.resize(int(railWidth), int(height));
    rail->image = QImage(rail->host.size(), QImage::Format_ARGB32_Premultiplied);
    NoteSurfaceEnvironment environment;
    environment.colorScheme = ColorScheme::light;
    environment.shadows = rail->shadows;
    for (int i = 0; i < count; ++i) {
        rail->notes.push_back(Note::make(titles[i % titles.size()],
                                         StyledText::plain("Pan y leche"),
                                         NoteColors::allCases()[i % 6], ScreenEdge::right, i));
        auto *card = new NoteFormView(rail->notes.back().get(), ScreenEdge::right,
                                      NoteCardActions{}, environment, &rail->host);
        card->setState(stateFor(phase, i, itemHeight));
        const QSizeF size = card->cardSize();
        card->setCardFrame(QRectF(QPointF(railWidth - size.width(), 24 + i * pitch), size));
        rail->cards.push_back(card);
    }
    return rail;
}

// Paints every card's chrome straight onto the image, as a host drawing cards itself does.
void paintCards(Rail &rail)
{
    rail.image.fill(Qt::transparent);
    QPainter painter(&rail.image);
    for (NoteFormView *card : rail.cards)
        card->paintCard(painter);
}

void BM_CardPhase(benchmark::State &state)
{
    const auto phase = NotePhase(state.range(0));
    auto rail = makeRail(1, phase);
    for (auto _ : state) {
        paintCards(*rail);
        benchmark::DoNotOptimize(rail->image.constBits());
    }
    state.SetLabel(phase == NotePhase::chip ? "chip" : phase == NotePhase::tab ? "tab" : "preview");
}
BENCHMARK(BM_CardPhase)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The open card with its content (editor, footer) through the widget tree.
void BM_OpenCardWithContent(benchmark::State &state)
{
    auto rail = makeRail(1, NotePhase::preview);
    rail->host.show();
    QApplication::processEvents();
    for (auto _ : state) {
        rail->image.fill(Qt::transparent);
        rail->host.render(&rail->image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::DoNotOptimize(rail->image.constBits());
    }
}
BENCHMARK(BM_OpenCardWithContent)->Unit(benchmark::kMillisecond);

void BM_RailOfCards(benchmark::State &state)
{
    const int count = int(state.range(0));
    const auto phase = NotePhase(state.range(1));
    auto rail = makeRail(count, phase);
    for (auto _ : state) {
        paintCards(*rail);
        benchmark::DoNotOptimize(rail->image.constBits());
    }
    state.SetLabel(phase == NotePhase::chip ? "asleep chips" : "awake tabs");
}
BENCHMARK(BM_RailOfCards)
    ->ArgsProduct({{5, 40, 200}, {int(NotePhase::chip), int(NotePhase::tab)}})
    ->Unit(benchmark::kMillisecond);

// The same rails drawn by the widget system, one child widget per card.
void BM_RailOfCardWidgets(benchmark::State &state)
{
    const int count = int(state.range(0));
    const auto phase = NotePhase(state.range(1));
    auto rail = makeRail(count, phase);
    rail->host.show();
    QApplication::processEvents();
    for (auto _ : state) {
        rail->image.fill(Qt::transparent);
        rail->host.render(&rail->image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::DoNotOptimize(rail->image.constBits());
    }
    state.SetLabel(phase == NotePhase::chip ? "asleep chips" : "awake tabs");
}
BENCHMARK(BM_RailOfCardWidgets)
    ->ArgsProduct({{5, 40, 200}, {int(NotePhase::chip), int(NotePhase::tab)}})
    ->Unit(benchmark::kMillisecond);

// Waking: every tab of a 40-note rail grows from a chip, a new size each frame, so every
// shadow is made anew from its cached corner piece.
void BM_WakingRailFrame(benchmark::State &state)
{
    auto rail = makeRail(40, NotePhase::tab);
    double grow = 0;
    for (auto _ : state) {
        grow = grow >= 70 ? 0 : grow + 1.3;
        for (NoteFormView *card : rail->cards) {
            const QRectF frame = card->cardFrame();
            const double width = 6 + grow;
            card->setCardFrame(QRectF(railWidth - width, frame.y(), width, frame.height()));
        }
        paintCards(*rail);
        benchmark::DoNotOptimize(rail->image.constBits());
    }
}
BENCHMARK(BM_WakingRailFrame)->Unit(benchmark::kMillisecond);

// Opening a card: its frame grows from the tab towards the open size, each frame a new size.
void BM_OpeningCardFrame(benchmark::State &state)
{
    auto rail = makeRail(1, NotePhase::preview);
    NoteFormView *card = rail->cards.front();
    double grow = 0;
    for (auto _ : state) {
        grow = grow >= 330 ? 0 : grow + 7.1;
        const double width = card->state().tabWidth + grow;
        card->setCardFrame(QRectF(railWidth - width, 24, width, 116 + grow * 0.4));
        paintCards(*rail);
        benchmark::DoNotOptimize(rail->image.constBits());
    }
}
BENCHMARK(BM_OpeningCardFrame)->Unit(benchmark::kMillisecond);

void BM_NewNoteTab(benchmark::State &state)
{
    QWidget host;
    host.resize(int(railWidth), 200);
    NewNoteTabView tab(ScreenEdge::right, &host);
    tab.setColorScheme(ColorScheme::light);
    tab.setTilt(-1);
    tab.setTabRect(QRectF(railWidth - 78, 60, 78, 48));
    QImage image(host.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        tab.paintTab(painter);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_NewNoteTab)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runViewBenchmarks(argc, argv);
}
