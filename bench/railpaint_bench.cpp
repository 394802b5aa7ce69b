// SPDX-License-Identifier: GPL-3.0-or-later
// What one repaint of a rail panel costs: the rail content with 5, 40 and 200 notes drawn
// into an image, asleep (the chips a rail shows all day) and awake (the fanned-out tabs),
// plus the work of a pointer movement over an awake rail.

#include "../tests/support/ManualClock.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/StyledText.h"
#include "model/UserDefaults.h"
#include "rail/EdgeRailContent.h"
#include "rail/EdgeRailView.h"
#include "surfaces/BundledFonts.h"

#include "BenchmarkMain.h"

#include <benchmark/benchmark.h>

#include "surfaces/NoteFormView.h"
#include "surfaces/NotePreviewBody.h"
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <memory>

namespace {

const QSize railSize(540, 1000);

// A rail of `count` notes on the right edge, shown on the offscreen platform.
struct RailFixture
{
    explicit RailFixture(int count, bool awake)
    {
        container = ModelContainer::create(ModelConfiguration::inMemory()).value();
        ModelContext *context = container->mainContext();
        const QList<NoteColor> colors{NoteColor::citrus,   NoteColor::coral, NoteColor::rose,
                                      NoteColor::lavender, NoteColor::sky,   NoteColor::mint};
        for (int i = 0; i < count; ++i) {
            const QString title = QStringLiteral("Nota número %1").arg(i + 1);
            context->insert(Note::make(title, StyledText::plain(title), colors[i % colors.size()],
                                       ScreenEdge::right, i * 1024.0));
        }
        mustSucceed(context->save());

        RailEnvironment environment;
        environment.container = container.get();
        environment.railPointer = &pointer;
        environment.wakeDwell = std::chrono::milliseconds(0);
        environment.animationClock = &clock;
        view = std::make_unique<EdgeRailView>(ScreenEdge::right, environment);
        view->resize(railSize);
        // Shown, but drawn only when the benchmark asks.
        view->setAttribute(Qt::WA_DontShowOnScreen);
        view->show();
        if (awake) {
            pointer.setLocation(QPointF(railSize.width() - 10, railSize.height() / 2.0));
            while (!content()->isAwake())
                QCoreApplication::processEvents();
        }
        // Springs come to rest, so every measured frame shows a resting rail.
        clock.advance(10);
        QCoreApplication::processEvents();
    }

    EdgeRailContent *content() const { return view->content(); }

    std::unique_ptr<ModelContainer> container;
    RailPointer pointer;
    ManualClock clock;
    std::unique_ptr<EdgeRailView> view;
};

void paintRail(benchmark::State &state, bool awake)
{
    RailFixture rail(int(state.range(0)), awake);
    QImage image(railSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (rail.content()->paintsChips() == awake)
        state.SkipWithError("the rail is not in the expected state");
    for (auto _ : state) {
        rail.view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::ClobberMemory();
    }
}

void BM_RailPaintAsleep(benchmark::State &state)
{
    paintRail(state, false);
}
BENCHMARK(BM_RailPaintAsleep)
    ->Arg(5)
    ->Arg(40)
    ->Arg(200)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

void BM_RailPaintAwake(benchmark::State &state)
{
    paintRail(state, true);
}
BENCHMARK(BM_RailPaintAwake)
    ->Arg(5)
    ->Arg(40)
    ->Arg(200)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

// Frames in the middle of waking and falling asleep, when every card changes size: each
// iteration draws one frame of each. With a second argument of 0 nothing is drawn: what is
// left is the rail's own work (state, springs, card frames).
void BM_RailPaintWaking(benchmark::State &state)
{
    RailFixture rail(int(state.range(0)), true);
    QImage image(railSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QPointF band(railSize.width() - 10, railSize.height() / 2.0);
    for (auto _ : state) {
        rail.pointer.setLocation(QPointF(10, 10));
        rail.clock.advance(0.08);
        if (state.range(1))
            rail.view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        rail.pointer.setLocation(band);
        while (!rail.content()->isAwake())
            QCoreApplication::processEvents();
        rail.clock.advance(0.08);
        if (state.range(1))
            rail.view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RailPaintWaking)
    ->Args({5, 1})
    ->Args({40, 1})
    ->Args({200, 1})
    ->Args({40, 0})
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

// One frame of the rail waking or falling asleep, as the display draws it 60 times a
// second: the springs step by a sixtieth of a second and the panel is drawn once. When the
// springs come to rest the pointer leaves or comes back (not timed), so every timed frame
// is one where the cards change size.
void BM_RailPaintMidWakeFrame(benchmark::State &state)
{
    RailFixture rail(int(state.range(0)), true);
    QImage image(railSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QPointF band(railSize.width() - 10, railSize.height() / 2.0);
    bool awake = true;
    for (auto _ : state) {
        if (!rail.clock.isRunning()) {
            state.PauseTiming();
            awake = !awake;
            rail.pointer.setLocation(awake ? band : QPointF(10, 10));
            while (rail.content()->isAwake() != awake)
                QCoreApplication::processEvents();
            state.ResumeTiming();
        }
        rail.clock.advance(1.0 / 60);
        rail.view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RailPaintMidWakeFrame)
    ->Arg(5)
    ->Arg(40)
    ->Arg(200)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

// A sleeping rail after a change of its look (a colour, the theme): the chips are drawn again.
void BM_RailPaintAsleepRedrawn(benchmark::State &state)
{
    RailFixture rail(int(state.range(0)), false);
    QImage image(railSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (auto _ : state) {
        QEvent change(QEvent::PaletteChange);
        QCoreApplication::sendEvent(rail.content(), &change);
        rail.view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RailPaintAsleepRedrawn)
    ->Arg(5)
    ->Arg(40)
    ->Arg(200)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

// The pointer moving from one tab to the next on an awake rail: hover, z-order, springs set
// off (not the frames they run).
void BM_RailHoverChange(benchmark::State &state)
{
    RailFixture rail(int(state.range(0)), true);
    const RailLayout layout = rail.content()->geometry().layout();
    const QPointF a(railSize.width() - 10, layout.itemY(1) + 10);
    const QPointF b(railSize.width() - 10, layout.itemY(2) + 10);
    bool flip = false;
    for (auto _ : state) {
        rail.pointer.setLocation(flip ? a : b);
        flip = !flip;
    }
}
BENCHMARK(BM_RailHoverChange)
    ->Arg(5)
    ->Arg(40)
    ->Arg(200)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

// The cards' own drawing of an awake rail, without the widgets around it.
void BM_CardsPaintDirect(benchmark::State &state)
{
    RailFixture rail(int(state.range(0)), true);
    QImage image(railSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (auto _ : state) {
        QPainter painter(&image);
        for (NoteFormView *card : rail.content()->cards())
            card->paintCard(painter);
        painter.end();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CardsPaintDirect)
    ->Arg(5)
    ->Arg(40)
    ->Arg(200)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

} // namespace

int main(int argc, char **argv)
{
    return runViewBenchmarks(argc, argv);
}
