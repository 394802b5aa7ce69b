// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncWatcher.h"
#include "model/ModelContext.h"
#include "model/Note.h"

#include "StoreSabotage.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);

class SyncWatcherTest : public ::testing::Test
{
protected:
    // A note saved by another context, as the sync merges records from another computer.
    Note *arrives(const QDateTime &updated)
    {
        auto note = std::make_unique<Note>();
        note->setUpdatedAt(updated);
        Note *inserted = sync->insert(std::move(note));
        EXPECT_TRUE(sync->save());
        return inserted;
    }
    // Lets queued notifications and checks run.
    void settle()
    {
        waitUntil([] { return false; }, 40);
    }

    std::unique_ptr<ModelContainer> container = makeMemoryContainer();
    std::unique_ptr<ModelContext> sync = container->makeContext().value();
};

} // namespace

TEST_F(SyncWatcherTest, TheStateFoundAtCreationIsNoChange)
{
    EXPECT_EQ(SyncWatcher::fingerprint(container.get()), SyncWatcher::Fingerprint{});
    EXPECT_EQ(SyncWatcher::Fingerprint{}.latest.date(), QDate(1, 1, 1));

    arrives(t0);
    arrives(t0.addSecs(-10));
    SyncWatcher watcher(container.get());
    EXPECT_EQ(watcher.rendered(), (SyncWatcher::Fingerprint{2, t0}));
    watcher.check();
    EXPECT_EQ(watcher.generation(), 0);
    EXPECT_FALSE(watcher.isPending());
}

TEST_F(SyncWatcherTest, OnlyCountAndNewestDateAreSeen)
{
    SyncWatcher watcher(container.get());
    QSignalSpy generations(&watcher, &SyncWatcher::generationChanged);

    Note *first = arrives(t0);
    watcher.check();
    EXPECT_EQ(watcher.generation(), 1) << "the first note of an empty store is a change";

    // Same count, same newest date: a recolour without a new date, and an older note
    // replacing another one.
    Note *older = arrives(t0.addSecs(-100));
    watcher.check();
    ASSERT_EQ(watcher.generation(), 2);
    older->setColorToken("mint");
    ASSERT_TRUE(sync->save());
    sync->remove(older);
    arrives(t0.addSecs(-50));
    watcher.check();
    EXPECT_EQ(watcher.generation(), 2);

    first->setUpdatedAt(t0.addSecs(1));
    ASSERT_TRUE(sync->save());
    watcher.check();
    EXPECT_EQ(watcher.generation(), 3);
    EXPECT_EQ(watcher.rendered(), (SyncWatcher::Fingerprint{2, t0.addSecs(1)}));
    EXPECT_EQ(generations.count(), 3);
}

TEST_F(SyncWatcherTest, UnsavedChangesOfTheMainContextPlayNoPart)
{
    SyncWatcher watcher(container.get());
    auto note = std::make_unique<Note>();
    container->mainContext()->insert(std::move(note));
    watcher.check();
    EXPECT_EQ(watcher.generation(), 0);
    EXPECT_EQ(SyncWatcher::fingerprint(container.get()).count, 0);
}

TEST_F(SyncWatcherTest, ChangesWhileEditingWaitAndApplyOnceWhenEditingEnds)
{
    arrives(t0);
    SyncWatcher watcher(container.get());
    watcher.start(1h);
    QSignalSpy editing(&watcher, &SyncWatcher::isEditingChanged);
    QSignalSpy pending(&watcher, &SyncWatcher::isPendingChanged);

    watcher.setIsEditing(true);
    watcher.setIsEditing(true);
    EXPECT_EQ(editing.count(), 1) << "equal writes notify nobody";

    // Each save of the sync reaches the watcher through the store's remote-change signal.
    arrives(t0.addSecs(1));
    ASSERT_TRUE(waitUntil([&] { return watcher.isPending(); }));
    arrives(t0.addSecs(2));
    settle();
    EXPECT_EQ(watcher.generation(), 0);
    EXPECT_TRUE(watcher.isPending());
    EXPECT_EQ(pending.count(), 1);

    watcher.setIsEditing(false);
    EXPECT_EQ(watcher.generation(), 1);
    EXPECT_FALSE(watcher.isPending());
    EXPECT_EQ(watcher.rendered(), (SyncWatcher::Fingerprint{3, t0.addSecs(2)}));
    settle();
    watcher.check();
    EXPECT_EQ(watcher.generation(), 1) << "no second increment for the same changes";

    // Ending an edit with nothing waiting changes nothing.
    watcher.setIsEditing(true);
    watcher.setIsEditing(false);
    EXPECT_EQ(watcher.generation(), 1);
}

TEST_F(SyncWatcherTest, ThePollSeesChangesWithoutANotification)
{
    SyncWatcher watcher(container.get());
    watcher.start(10ms);
    EXPECT_TRUE(watcher.isStarted());
    // A save of the main context is no remote change; only the poll finds it.
    auto note = std::make_unique<Note>();
    container->mainContext()->insert(std::move(note));
    ASSERT_TRUE(container->mainContext()->save());
    EXPECT_TRUE(waitUntil([&] { return watcher.generation() == 1; }));
    settle();
    EXPECT_EQ(watcher.generation(), 1);
}

TEST_F(SyncWatcherTest, FailingReadsGiveTheEmptyFingerprint)
{
    arrives(t0);
    SyncWatcher watcher(container.get());
    StoreSabotage sabotage(*container);
    sabotage.failReads();
    EXPECT_EQ(SyncWatcher::fingerprint(container.get()), SyncWatcher::Fingerprint{});
    watcher.check();
    EXPECT_EQ(watcher.generation(), 1) << "a failure may cost one extra rebuild, never an error";
    sabotage.repair();
    watcher.check();
    EXPECT_EQ(watcher.generation(), 2);
    EXPECT_EQ(watcher.rendered(), (SyncWatcher::Fingerprint{1, t0}));
}
