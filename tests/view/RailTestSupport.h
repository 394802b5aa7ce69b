// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeWindowSystem.h"
#include "ManualClock.h"
#include "TestSupport.h"

#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/StyledText.h"
#include "rail/EdgeRailContent.h"
#include "rail/EdgeRailRoot.h"
#include "rail/EdgeRailView.h"
#include "rail/InteractiveRegions.h"
#include "rail/RailEnvironment.h"
#include "rail/RailFocus.h"
#include "rail/RailPointer.h"
#include "sync/SyncWatcher.h"

#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace RailTest {

using namespace std::chrono_literals;

// Everything a rail reads, for tests: an in-memory store, fresh settings, a fake window
// system (its virtual clock drives the wake dwell), a hand-moved animation clock, and the
// shared rail objects.
class Harness
{
public:
    Harness() : m_container(makeMemoryContainer()), sync(m_container.get()) {}

    ModelContainer *container() const { return m_container.get(); }
    ModelContext *context() const { return m_container->mainContext(); }

    RailEnvironment environment(RailPointer *railPointer, InteractiveRegions *railRegions)
    {
        RailEnvironment environment;
        environment.container = m_container.get();
        environment.railFocus = &focus;
        environment.railPointer = railPointer;
        environment.interactiveRegions = railRegions;
        environment.syncWatcher = &sync;
        environment.windowSystem = &windows;
        environment.animationClock = &clock;
        return environment;
    }

    // A note on `edge` at `sortIndex`, saved.
    Note *addNote(const QString &title, ScreenEdge edge = ScreenEdge::right, double sortIndex = 0,
                  NoteColor color = NoteColor::citrus)
    {
        Note *note = context()->insert(Note::make(
            title, StyledText::plain(title + QStringLiteral(" cuerpo")), color, edge, sortIndex));
        EXPECT_TRUE(context()->save());
        return note;
    }

    // The stored sort index of the note `id`, read through a context of its own.
    double storedSortIndex(const QUuid &id) const
    {
        const auto other = m_container->makeContext().value();
        const auto notes = other->fetch(FetchDescriptor{});
        for (Note *note : notes.value_or(QList<Note *>())) {
            if (note->id() == id)
                return note->sortIndex();
        }
        return qQNaN();
    }

    // Runs the springs until every card rests.
    void settle() { clock.run(3.0); }

private:
    ScopedDefaults m_defaults;
    std::unique_ptr<ModelContainer> m_container;

public:
    FakeWindowSystem windows;
    ManualClock clock{50};
    RailFocus focus;
    SyncWatcher sync;
};

// One rail as a shown top-level window, with its own pointer and regions.
struct Rail
{
    Rail(Harness &harness, ScreenEdge edge, QSize size = QSize(540, 900))
        : root(std::make_unique<EdgeRailRoot>(edge, harness.environment(&pointer, &regions)))
    {
        root->resize(size);
        root->show();
    }

    EdgeRailContent *content() const { return root->view()->content(); }
    QWindow *window() const { return root->windowHandle(); }

    RailPointer pointer;
    InteractiveRegions regions;
    std::unique_ptr<EdgeRailRoot> root;
};

} // namespace RailTest
