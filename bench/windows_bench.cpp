// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/UserDefaults.h"
#include "surfaces/BundledFonts.h"
#include "windows/SettingsView.h"
#include "windows/TourIllustrations.h"

#include "BenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QTemporaryDir>

// The welcome tour repaints its drawing on every frame of a page change, and the settings
// window is built each time it opens.

namespace {

const QRectF pane(0, 0, 460, 420);

QImage canvas()
{
    QImage image(pane.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(TourIllustrations::background(ColorScheme::light));
    return image;
}

} // namespace

// One frame of the card opening between the first two pages.
static void BM_TourRailTransitionFrame(benchmark::State &state)
{
    const TourIllustration from = TourRail(true, false);
    const TourIllustration to = TourRail(true, true);
    QImage image = canvas();
    double progress = 0;
    for (auto _ : state) {
        QPainter painter(&image);
        TourIllustrations::paintTransition(painter, from, to, progress, pane, ColorScheme::light);
        progress = progress >= 1 ? 0 : progress + 0.05;
    }
}
BENCHMARK(BM_TourRailTransitionFrame)->Unit(benchmark::kMicrosecond);

static void BM_TourMenuBarFrame(benchmark::State &state)
{
    const TourIllustration menu = TourMenuBar();
    QImage image = canvas();
    for (auto _ : state) {
        QPainter painter(&image);
        TourIllustrations::paint(painter, menu, pane, ColorScheme::light);
    }
}
BENCHMARK(BM_TourMenuBarFrame)->Unit(benchmark::kMicrosecond);

static void BM_TourCloudFrame(benchmark::State &state)
{
    const TourIllustration cloud = TourCloud();
    QImage image = canvas();
    for (auto _ : state) {
        QPainter painter(&image);
        TourIllustrations::paint(painter, cloud, pane, ColorScheme::light);
    }
}
BENCHMARK(BM_TourCloudFrame)->Unit(benchmark::kMicrosecond);

// Building the whole settings form and laying it out, as opening the window does.
static void BM_SettingsViewOpen(benchmark::State &state)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath(QStringLiteral("Orlette.conf")));
    for (auto _ : state) {
        SettingsView view(defaults, {});
        view.resize(view.sizeHint());
        benchmark::DoNotOptimize(view.content()->layout()->totalHeightForWidth(460));
    }
}
BENCHMARK(BM_SettingsViewOpen)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runViewBenchmarks(argc, argv);
}
