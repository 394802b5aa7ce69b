// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/RailDrag.h"

#include <gtest/gtest.h>

#include <limits>

namespace {
const QUuid note = QUuid::fromString(u"{6f1f0c52-1a7e-4b7b-9a65-2ad0d1e4b001}");
const QList<double> fourNotes{0, 1024, 2048, 3072};
} // namespace

TEST(RailDrag, DragStepUsesTheLargestSlot)
{
    EXPECT_EQ(RailDrag::dragStep(true), 109);
    EXPECT_EQ(RailDrag::dragStep(false), 31);
}

TEST(RailDrag, TargetSlotRoundsAndClamps)
{
    EXPECT_EQ(RailDrag::targetSlot(0, 54, 4, 109), 0);
    EXPECT_EQ(RailDrag::targetSlot(0, 55, 4, 109), 1);
    EXPECT_EQ(RailDrag::targetSlot(2, -54.5, 4, 109), 1); // halves round away from zero
    EXPECT_EQ(RailDrag::targetSlot(2, -54.4, 4, 109), 2);
    EXPECT_EQ(RailDrag::targetSlot(0, 10000, 4, 109), 3);
    EXPECT_EQ(RailDrag::targetSlot(3, -10000, 4, 109), 0);
    EXPECT_EQ(RailDrag::targetSlot(1, 31, 4, 31), 2);
    // Nothing to drag over, or no pitch: the note stays.
    EXPECT_EQ(RailDrag::targetSlot(0, 500, 0, 109), 0);
    EXPECT_EQ(RailDrag::targetSlot(1, 500, 4, 0), 1);
    // Wild translations neither overflow nor leave the rail.
    EXPECT_EQ(RailDrag::targetSlot(1, std::numeric_limits<double>::infinity(), 4, 109), 3);
    EXPECT_EQ(RailDrag::targetSlot(1, -1e300, 4, 1e-300), 0);
    EXPECT_EQ(RailDrag::targetSlot(1, std::numeric_limits<double>::quiet_NaN(), 4, 109), 1);
}

TEST(RailDrag, DisplayIndexOpensAGapWhereTheNoteWouldLand)
{
    // Dragging slot 1 down to 3: slots 2 and 3 move up.
    const int down[] = {0, 3, 1, 2, 4};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(RailDrag::displayIndex(i, 1, 3), down[i]) << i;
    // Dragging slot 3 up to 0: slots 0 to 2 move down.
    const int up[] = {1, 2, 3, 0, 4};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(RailDrag::displayIndex(i, 3, 0), up[i]) << i;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(RailDrag::displayIndex(i, 2, 2), i) << i;
}

TEST(RailDrag, SortIndexFromTheNewNeighbours)
{
    // To the top: the first remaining note less 1024, which may be negative.
    EXPECT_EQ(RailDrag::sortIndex(3, 0, fourNotes), -1024);
    EXPECT_EQ(RailDrag::sortIndex(0, 0 + 1, fourNotes), 1536); // between 1024 and 2048
    EXPECT_EQ(RailDrag::sortIndex(3, 1, fourNotes), 512);
    // After the last: the last remaining note plus 1024.
    EXPECT_EQ(RailDrag::sortIndex(0, 3, fourNotes), 4096);
    EXPECT_EQ(RailDrag::sortIndex(1, 3, fourNotes), 4096);
    // The dragged note's own value is never a neighbour.
    EXPECT_EQ(RailDrag::sortIndex(1, 2, {0, 5000, 2048, 3072}), 2560);

    // Repeated moves between the same two neighbours halve the gap each time.
    QList<double> list{0, 1024, 2048};
    double previousGap = 1024;
    for (int round = 0; round < 5; ++round) {
        list[2] = RailDrag::sortIndex(2, 1, list);
        std::sort(list.begin(), list.end());
        const double gap = list[1] - list[0];
        EXPECT_EQ(gap, previousGap / 2);
        previousGap = gap;
    }
}

TEST(RailDrag, SortIndexOfNoMoveOrInvalidSlots)
{
    EXPECT_EQ(RailDrag::sortIndex(2, 2, fourNotes), 2048);
    EXPECT_EQ(RailDrag::sortIndex(1, 4, fourNotes), 1024);
    EXPECT_EQ(RailDrag::sortIndex(1, -1, fourNotes), 1024);
    EXPECT_EQ(RailDrag::sortIndex(-1, 2, fourNotes), 0);
    EXPECT_EQ(RailDrag::sortIndex(4, 0, fourNotes), 0);
    EXPECT_EQ(RailDrag::sortIndex(0, 0, {}), 0);
}

TEST(RailDrag, SmallMovementsAreAClick)
{
    RailDrag drag;
    EXPECT_FALSE(drag.change(note, 6));
    EXPECT_FALSE(drag.change(note, -6));
    EXPECT_FALSE(drag.dragExceededThreshold());
    EXPECT_FALSE(drag.draggingNoteID());
    const auto outcome = drag.end(note, 2, 5, fourNotes, 109);
    EXPECT_EQ(outcome.kind, RailDrag::Outcome::Kind::open);
    EXPECT_EQ(outcome.noteID, note);
}

TEST(RailDrag, ADragKeepsItsLastOffsetWithinTheThreshold)
{
    RailDrag drag;
    EXPECT_TRUE(drag.change(note, 6.5));
    EXPECT_TRUE(drag.dragExceededThreshold());
    EXPECT_EQ(drag.draggingNoteID(), note);
    EXPECT_EQ(drag.dragOffset(), 6.5);
    EXPECT_TRUE(drag.change(note, -40));
    EXPECT_EQ(drag.dragOffset(), -40);
    EXPECT_FALSE(drag.change(note, -40));
    // Back near the start: the offset stays where it was and it is no longer a click.
    EXPECT_FALSE(drag.change(note, 2));
    EXPECT_EQ(drag.dragOffset(), -40);
    const auto outcome = drag.end(note, 1, 2, fourNotes, 109);
    EXPECT_EQ(outcome.kind, RailDrag::Outcome::Kind::none);
    // The state never outlives the gesture.
    EXPECT_FALSE(drag.dragExceededThreshold());
    EXPECT_FALSE(drag.draggingNoteID());
    EXPECT_EQ(drag.dragOffset(), 0);
}

TEST(RailDrag, ReleaseReordersWhenTheSlotChanges)
{
    RailDrag drag;
    drag.change(note, 55);
    auto outcome = drag.end(note, 0, 55, fourNotes, 109);
    EXPECT_EQ(outcome.kind, RailDrag::Outcome::Kind::reorder);
    EXPECT_EQ(outcome.noteID, note);
    EXPECT_EQ(outcome.sortIndex, 1536);

    drag.change(note, 54);
    EXPECT_EQ(drag.end(note, 0, 54, fourNotes, 109).kind, RailDrag::Outcome::Kind::none);

    // Beyond the last slot: after the last remaining note.
    drag.change(note, 900);
    outcome = drag.end(note, 1, 900, fourNotes, 109);
    EXPECT_EQ(outcome.kind, RailDrag::Outcome::Kind::reorder);
    EXPECT_EQ(outcome.sortIndex, 4096);

    // To the top on an asleep rail (31 pt slots).
    drag.change(note, -70);
    outcome = drag.end(note, 2, -70, {10, 20, 30}, 31);
    EXPECT_EQ(outcome.sortIndex, 10 - 1024);

    // A rail with one note never reorders.
    drag.change(note, 500);
    EXPECT_EQ(drag.end(note, 0, 500, {7}, 109).kind, RailDrag::Outcome::Kind::none);
}
