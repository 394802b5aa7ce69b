// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/EdgeFlushShape.h"
#include "rail/RailGeometry.h"
#include "rail/RailSprings.h"
#include "rail/SpringAnimator.h"

#include "../tests/support/ManualClock.h"

#include <benchmark/benchmark.h>

namespace {

RailGeometry crowdedRail(int count)
{
    RailGeometry rail;
    rail.size = QSizeF(540, 1080);
    rail.isAwake = true;
    for (int i = 0; i < count; ++i)
        rail.noteIDs.append(QUuid::createUuid());
    rail.hoveredNoteID = rail.noteIDs[count / 2];
    rail.draggingNoteID = rail.noteIDs[1];
    rail.dragOffset = 230;
    return rail;
}

void publishedRects(benchmark::State &state)
{
    const RailGeometry rail = crowdedRail(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(rail.publishedRects());
}
BENCHMARK(publishedRects)->Arg(5)->Arg(40)->Arg(200);

void wakeZoneAndHover(benchmark::State &state)
{
    const RailGeometry rail = crowdedRail(int(state.range(0)));
    const QPointF pointer(500, 700);
    for (auto _ : state) {
        benchmark::DoNotOptimize(rail.isInWakeZone(pointer));
        benchmark::DoNotOptimize(rail.noteIndex(pointer));
    }
}
BENCHMARK(wakeZoneAndHover)->Arg(5)->Arg(40)->Arg(200);

void allCards(benchmark::State &state)
{
    const RailGeometry rail = crowdedRail(int(state.range(0)));
    for (auto _ : state) {
        for (int i = 0; i < rail.count(); ++i)
            benchmark::DoNotOptimize(rail.card(i));
    }
}
BENCHMARK(allCards)->Arg(40);

void edgeFlushPath(benchmark::State &state)
{
    const EdgeFlushShape shape{ScreenEdge::right, 18};
    for (auto _ : state)
        benchmark::DoNotOptimize(shape.path(QRectF(124, 262.5, 432, 260)));
}
BENCHMARK(edgeFlushPath);

void springFrame(benchmark::State &state)
{
    ManualClock clock;
    SpringAnimator animator(&clock);
    animator.setValue(QRectF(0, 0, 10, 10));
    // A spring slow enough to stay in flight for every frame of the run.
    animator.animateTo(QRectF(400, 300, 20, 20), Spring{1e6, 0.82});
    for (auto _ : state)
        clock.advance(1.0 / 60);
    benchmark::DoNotOptimize(animator.rectValue());
}
BENCHMARK(springFrame);

} // namespace

BENCHMARK_MAIN();
