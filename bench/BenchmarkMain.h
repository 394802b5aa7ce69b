// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The entry points the benchmarks share: an application object of the right kind, and for
// views the offscreen platform, the bundled fonts and settings of a throwaway folder, so a
// run never reads or writes the person's own.

#include "model/Expected.h"
#include "model/UserDefaults.h"
#include "surfaces/BundledFonts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

// A set-up step that failed would leave a benchmark timing nothing: stop instead.
template <typename E> void mustSucceed(const Expected<void, E> &done)
{
    if (!done)
        qFatal("%s", qPrintable(done.error().description));
}

inline int runBenchmarks(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// For the store, the mirroring and other code without windows.
inline int runModelBenchmarks(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}

// For painting and windows.
inline int runViewBenchmarks(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BundledFonts::registerAll();
    const QTemporaryDir settings;
    UserDefaults::installStandard(
        std::make_unique<UserDefaults>(settings.filePath(QStringLiteral("Orlette.conf"))));
    const int status = runBenchmarks(argc, argv);
    UserDefaults::installStandard(nullptr);
    return status;
}
