// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeWindowSystem.h"
#include "TestSupport.h"

#include "app/AppDelegate.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NotePredicate.h"
#include "surfaces/FloatingNotesCoordinator.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>

namespace {

// Where the desktop cannot keep the rails at the screen edges (wlroots compositors), a
// quick note has no rail to stand on: its window is the only place it is seen.
class QuickNoteWithoutRailsTest : public ::testing::Test
{
protected:
    std::unique_ptr<AppDelegate> delegate(bool startsRails)
    {
        AppDelegate::Options options;
        options.storePath = folder.filePath(QStringLiteral("default.store"));
        options.startsRails = startsRails;
        return std::make_unique<AppDelegate>(windows, settings.defaults(), options);
    }

    QList<Note *> notes(AppDelegate &app) const
    {
        return app.container()->mainContext()->fetch(FetchDescriptor()).value();
    }

    QTemporaryDir folder;
    ScopedDefaults settings;
    FakeWindowSystem windows;
};

TEST_F(QuickNoteWithoutRailsTest, FloatsInItsWindowAndComesBackAtTheNextStart)
{
    QUuid made;
    {
        const std::unique_ptr<AppDelegate> first = delegate(false);
        first->handleArguments({QStringLiteral("--new-note")});
        const QList<Note *> stored = notes(*first);
        ASSERT_EQ(stored.size(), 1);
        made = stored.first()->id();
        EXPECT_TRUE(stored.first()->isFloating());
        EXPECT_NE(first->floatingNotes()->panel(made), nullptr);
    }

    // The next start brings floating notes back in their windows.
    const std::unique_ptr<AppDelegate> next = delegate(false);
    next->floatingNotes()->restore();
    EXPECT_NE(next->floatingNotes()->panel(made), nullptr);
}

TEST_F(QuickNoteWithoutRailsTest, WithRailsTheNoteIsLeftToTheRail)
{
    const std::unique_ptr<AppDelegate> app = delegate(true);
    app->handleArguments({QStringLiteral("--new-note")});
    const QList<Note *> stored = notes(*app);
    ASSERT_EQ(stored.size(), 1);
    EXPECT_FALSE(stored.first()->isFloating());
}

} // namespace
