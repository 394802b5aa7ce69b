// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/StyledText.h"
#include "model/UserDefaults.h"
#include "platform/QtWindowSystem.h"
#include "surfaces/BundledFonts.h"
#include "surfaces/FloatingNotesCoordinator.h"
#include "surfaces/NoteWindowView.h"

#include "BenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

// What a floating note costs: painting its paper and shadow, steadily and while the window
// is resized (a new size every frame), and opening and closing its window.

namespace {

struct Store
{
    Store()
    {
        container = ModelContainer::create(ModelConfiguration::inMemory()).value();
        context = container->mainContext();
        note = context->insert(
            Note::make(QStringLiteral("Lista de la compra"),
                       StyledText::plain(QStringLiteral("Pan, tomates y aceite.\nLlamar a Marta.")),
                       NoteColor::sky, ScreenEdge::right, 0));
        note->setIsFloating(true);
        mustSucceed(context->save());
    }
    std::unique_ptr<ModelContainer> container;
    ModelContext *context = nullptr;
    Note *note = nullptr;
};

NoteSurfaceEnvironment environment(ModelContext *context)
{
    NoteSurfaceEnvironment result;
    result.context = context;
    result.colorScheme = ColorScheme::dark;
    return result;
}

// The paper, its border and shadow, without the controls on it.
void paintPaper(NoteWindowView &view, QImage &target)
{
    target.fill(Qt::transparent);
    view.render(&target, QPoint(), QRegion(), QWidget::DrawWindowBackground);
}

} // namespace

static void BM_PaintWindowPaper(benchmark::State &state)
{
    Store store;
    NoteWindowView view(store.note, NoteCardActions{}, environment(store.context));
    view.resize(380, 340);
    // As large as the resizing case's, so the two compare.
    QImage target(QSize(900, 800), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        paintPaper(view, target);
}
BENCHMARK(BM_PaintWindowPaper)->Unit(benchmark::kMicrosecond);

static void BM_PaintWindowPaperWhileResizing(benchmark::State &state)
{
    Store store;
    NoteWindowView view(store.note, NoteCardActions{}, environment(store.context));
    QImage target(QSize(900, 800), QImage::Format_ARGB32_Premultiplied);
    int step = 0;
    for (auto _ : state) {
        // A drag of the corner: every frame a size not painted before.
        ++step;
        view.resize(260 + step % 600, 200 + (step / 3) % 600);
        paintPaper(view, target);
    }
}
BENCHMARK(BM_PaintWindowPaperWhileResizing)->Unit(benchmark::kMicrosecond);

static void BM_OpenAndCloseWindow(benchmark::State &state)
{
    QTemporaryDir settings;
    UserDefaults::installStandard(
        std::make_unique<UserDefaults>(settings.filePath(QStringLiteral("bench.conf"))));
    Store store;
    QtWindowSystem windows;
    FloatingNotesCoordinator coordinator(store.container.get(), windows,
                                         environment(store.context));
    for (auto _ : state) {
        coordinator.open(store.note);
        QCoreApplication::processEvents();
        coordinator.close(store.note->id());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
BENCHMARK(BM_OpenAndCloseWindow)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runViewBenchmarks(argc, argv);
}
