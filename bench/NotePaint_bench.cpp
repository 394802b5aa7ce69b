// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/RelativeDateFormatter.h"
#include "surfaces/BundledFonts.h"
#include "surfaces/NoteFontStyle.h"
#include "surfaces/NotePaint.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

// What a card computes each time it paints: its paint (dimmed or not), the font of its
// text and its status line.

static void BM_DimmedPaint(benchmark::State &state)
{
    for (auto _ : state) {
        const NotePaint paint = NoteColors::paint(NoteColor::lavender, ColorScheme::light);
        benchmark::DoNotOptimize(paint.dimmed(ColorScheme::light));
    }
}
BENCHMARK(BM_DimmedPaint);

static void BM_NoteFont(benchmark::State &state)
{
    const NoteFontStyle style{QStringLiteral("noteworthy"), 20, 1.0};
    for (auto _ : state)
        benchmark::DoNotOptimize(style.font());
}
BENCHMARK(BM_NoteFont);

static void BM_SavedLine(benchmark::State &state)
{
    const RelativeDateFormatter formatter;
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime saved = now.addSecs(-5 * 60);
    for (auto _ : state)
        benchmark::DoNotOptimize(formatter.saved(saved, now));
}
BENCHMARK(BM_SavedLine);

static void BM_FormatterCreation(benchmark::State &state)
{
    for (auto _ : state) {
        const RelativeDateFormatter formatter;
        benchmark::DoNotOptimize(&formatter);
    }
}
BENCHMARK(BM_FormatterCreation);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    BundledFonts::registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
