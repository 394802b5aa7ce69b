// SPDX-License-Identifier: GPL-3.0-or-later
// First upload of a store of notes to an empty sync target: a folder and a WebDAV server
// on the loopback interface. One pass = set-up, import (nothing there yet) and export.

#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "sync/FolderTransport.h"
#include "sync/SyncEngineWorker.h"
#include "sync/WebDavTransport.h"

#include "../tests/support/FakeWebDavServer.h"

#include "BenchmarkMain.h"
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>

namespace {

std::unique_ptr<ModelContainer> storeWith(int count)
{
    auto container = ModelContainer::create(ModelConfiguration::inMemory()).value();
    ModelContext *context = container->mainContext();
    for (int i = 0; i < count; ++i) {
        auto note = std::make_unique<Note>();
        note->setTitle(QStringLiteral("Nota %1").arg(i));
        note->setPlainText(
            QStringLiteral("Texto de la nota número %1, con algo de cuerpo.").arg(i));
        note->setRichText(QByteArray(600, 'r'));
        note->setSortIndex(i * 1024.0);
        context->insert(std::move(note));
    }
    mustSucceed(context->save());
    return container;
}

void runFirstUpload(benchmark::State &state,
                    const std::function<SyncTarget(QTemporaryDir &)> &target,
                    const std::function<std::unique_ptr<SyncTransport>(QTemporaryDir &)> &transport)
{
    const int count = int(state.range(0));
    int failures = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto container = storeWith(count);
        QTemporaryDir folder;
        QTemporaryDir data;
        SyncEngineWorker::Options options;
        options.dataDirectory = data.path();
        SyncEngineWorker worker(
            container.get(), target(folder), [&] { return transport(folder); }, options);
        QObject::connect(&worker, &SyncEngineWorker::eventChanged, [&](const SyncEvent &event) {
            if (event.error)
                ++failures;
        });
        state.ResumeTiming();
        worker.runCycle();
    }
    state.counters["failures"] = failures;
    state.counters["notes/s"] =
        benchmark::Counter(double(count) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_FirstUploadToFolder(benchmark::State &state)
{
    runFirstUpload(
        state, [](QTemporaryDir &folder) { return SyncTarget::inFolder(folder.path()); },
        [](QTemporaryDir &folder) { return std::make_unique<FolderTransport>(folder.path()); });
}

void BM_FirstUploadToWebDav(benchmark::State &state)
{
    FakeWebDavServer server;
    runFirstUpload(
        state, [&](QTemporaryDir &) { return SyncTarget::onWebDav(server.url(), QString()); },
        [&](QTemporaryDir &) {
            server.files.clear();
            server.folders = {QStringLiteral("/dav/")};
            return std::make_unique<WebDavTransport>(server.url(), QString(), std::nullopt);
        });
}

// The same against a real server, when bench/webdav_upload.sh provides one: its address
// names a folder holding the empty folders run0, run1, ... one per pass.
void BM_FirstUploadToApache(benchmark::State &state)
{
    const QString base = qEnvironmentVariable("ORLETTE_BENCH_WEBDAV_URL");
    if (base.isEmpty()) {
        state.SkipWithError("no server: run bench/webdav_upload.sh");
        return;
    }
    const QString user = qEnvironmentVariable("ORLETTE_BENCH_WEBDAV_USER");
    const QString password = qEnvironmentVariable("ORLETTE_BENCH_WEBDAV_PASSWORD");
    int pass = 0;
    QUrl current;
    runFirstUpload(
        state,
        [&](QTemporaryDir &) {
            current = QUrl(base + QStringLiteral("run%1/").arg(pass++));
            return SyncTarget::onWebDav(current, user);
        },
        [&](QTemporaryDir &) {
            return std::make_unique<WebDavTransport>(current, user, password);
        });
}

// A pass that finds nothing new on either side, over a folder already holding the notes.
void BM_IdlePassOverFolder(benchmark::State &state)
{
    auto container = storeWith(int(state.range(0)));
    QTemporaryDir folder;
    QTemporaryDir data;
    SyncEngineWorker::Options options;
    options.dataDirectory = data.path();
    SyncEngineWorker worker(
        container.get(), SyncTarget::inFolder(folder.path()),
        [&] { return std::make_unique<FolderTransport>(folder.path()); }, options);
    worker.runCycle();
    for (auto _ : state)
        worker.runCycle();
}

} // namespace

BENCHMARK(BM_IdlePassOverFolder)->Arg(1000)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstUploadToFolder)->Arg(1000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstUploadToWebDav)->Arg(1000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstUploadToApache)->Arg(1000)->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runModelBenchmarks(argc, argv);
}
