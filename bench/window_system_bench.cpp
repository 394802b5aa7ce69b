// SPDX-License-Identifier: GPL-3.0-or-later
// What the 0.1 s pointer sampler and the monitors cost: the pointer read, the buttons,
// the screens. Runs on Qt's offscreen platform by default; on a desktop (or under
// xvfb-run) with QT_QPA_PLATFORM=xcb it measures the round trips to the X server.

#include "platform/GlobalCoordinates.h"
#include "platform/NotificationCenter.h"
#include "platform/QtWindowSystem.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

QtWindowSystem &windowSystem()
{
    static QtWindowSystem system;
    return system;
}

void pointerLocation(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(windowSystem().pointerLocation());
}
BENCHMARK(pointerLocation);

void pressedMouseButtons(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(windowSystem().pressedMouseButtons());
}
BENCHMARK(pressedMouseButtons);

void screens(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(windowSystem().screens());
}
BENCHMARK(screens);

void pointConversion(benchmark::State &state)
{
    const GlobalCoordinates coordinates(QRect(0, 0, 1920, 1080));
    QPointF point(100, 200);
    for (auto _ : state) {
        point = coordinates.pointFromGlobal(coordinates.pointToGlobal(point));
        benchmark::DoNotOptimize(point);
    }
}
BENCHMARK(pointConversion);

void postToTenObservers(benchmark::State &state)
{
    NotificationCenter center;
    std::vector<Subscription> observers;
    int calls = 0;
    for (int i = 0; i < 10; ++i)
        observers.push_back(
            center.addObserver(Notifications::openWindow, [&calls](const QVariant &) { ++calls; }));
    const QVariant object = QStringLiteral("library");
    for (auto _ : state)
        center.post(Notifications::openWindow, object);
    benchmark::DoNotOptimize(calls);
}
BENCHMARK(postToTenObservers);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
