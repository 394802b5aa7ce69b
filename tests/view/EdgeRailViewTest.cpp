// SPDX-License-Identifier: GPL-3.0-or-later
#include "RailTestSupport.h"
#include "StoreSabotage.h"

#include "surfaces/NoteFormView.h"
#include "surfaces/NotePreviewBody.h"

#include <gtest/gtest.h>

using namespace RailTest;

TEST(EdgeRailViewTest, ShowsTheNotesOnItsEdgeInSortOrder)
{
    Harness harness;
    Note *last = harness.addNote(QStringLiteral("Última"), ScreenEdge::right, 2048);
    Note *firstNote = harness.addNote(QStringLiteral("Primera"), ScreenEdge::right, -10);
    Note *middle = harness.addNote(QStringLiteral("Media"), ScreenEdge::right, 1024);
    harness.addNote(QStringLiteral("Izquierda"), ScreenEdge::left, 0);
    Note *done = harness.addNote(QStringLiteral("Hecha"), ScreenEdge::right, 1);
    done->setCompletedAt(QDateTime::currentDateTimeUtc());
    Note *archived = harness.addNote(QStringLiteral("Archivada"), ScreenEdge::right, 2);
    archived->setIsArchived(true);
    Note *floating = harness.addNote(QStringLiteral("Flotante"), ScreenEdge::right, 3);
    floating->setIsFloating(true);
    Note *trashed = harness.addNote(QStringLiteral("Papelera"), ScreenEdge::right, 4);
    trashed->setDeletedAt(QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(harness.context()->save());

    Rail rail(harness, ScreenEdge::right);
    EXPECT_EQ(rail.content()->notes(), (QList<Note *>{firstNote, middle, last}));
    ASSERT_EQ(rail.content()->cards().size(), 3);
    EXPECT_EQ(rail.content()->cards()[1]->note(), middle);

    // A note coming back from the library joins at its place; cards stay with their notes.
    NoteFormView *kept = rail.content()->card(middle->id());
    archived->setIsArchived(false);
    EXPECT_TRUE(harness.context()->save());
    EXPECT_EQ(rail.content()->notes(), (QList<Note *>{firstNote, archived, middle, last}));
    EXPECT_EQ(rail.content()->card(middle->id()), kept);
}

TEST(EdgeRailViewTest, ChangesWhoseSaveFailsStillShowOnTheRail)
{
    Harness harness;
    Note *note = harness.addNote(QStringLiteral("Nota"), ScreenEdge::right, 0);
    Rail rail(harness, ScreenEdge::right);
    StoreSabotage sabotage(*harness.container());
    sabotage.failWrites();

    rail.content()->createNote();
    ASSERT_EQ(rail.content()->notes().size(), 2);
    Note *created = rail.content()->notes().last();
    EXPECT_TRUE(harness.context()->hasChanges());
    EXPECT_EQ(rail.content()->previewNoteID(), created->id());

    rail.content()->cardActions(note).complete();
    EXPECT_EQ(rail.content()->notes(), QList<Note *>{created});

    // Once the store takes writes again, the next save keeps both changes.
    sabotage.repair();
    EXPECT_TRUE(harness.context()->save());
    EXPECT_FALSE(harness.context()->hasChanges());
    EXPECT_EQ(harness.storedSortIndex(created->id()), 1024);
}
