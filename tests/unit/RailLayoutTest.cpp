// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/RailLayout.h"
#include "rail/RailGeometry.h"

#include <gtest/gtest.h>

namespace {

// An id whose first two bytes (standard order) are `byte0` and `byte1`; `tag` tells ids apart.
QUuid idWith(quint8 byte0, quint8 byte1 = 0, quint8 tag = 0)
{
    QByteArray bytes(16, '\0');
    bytes[0] = char(byte0);
    bytes[1] = char(byte1);
    bytes[15] = char(tag);
    return QUuid::fromRfc4122(bytes);
}

void expectRect(const QRectF &actual, double x, double y, double width, double height)
{
    EXPECT_DOUBLE_EQ(actual.x(), x);
    EXPECT_DOUBLE_EQ(actual.y(), y);
    EXPECT_DOUBLE_EQ(actual.width(), width);
    EXPECT_DOUBLE_EQ(actual.height(), height);
}

// Three notes of widths 78, 70 and 86 on a 540 × 900 rail.
RailGeometry threeNotes(ScreenEdge edge = ScreenEdge::right, bool awake = true)
{
    RailGeometry rail;
    rail.edge = edge;
    rail.size = QSizeF(540, 900);
    rail.isAwake = awake;
    rail.noteIDs = {idWith(7, 0, 1), idWith(0, 0, 2), idWith(4, 0, 3)};
    return rail;
}

} // namespace

TEST(RailLayout, EmptyAndSingleRailsUseTheLargestSlot)
{
    const auto awakeEmpty = RailLayout::make(QSizeF(540, 900), 0, true);
    EXPECT_EQ(awakeEmpty.itemHeight, 116);
    EXPECT_EQ(awakeEmpty.stackHeight(), 48); // the new-note slot alone
    EXPECT_EQ(awakeEmpty.top(), 426);
    EXPECT_EQ(awakeEmpty.trailingY(), 426);

    const auto asleepEmpty = RailLayout::make(QSizeF(540, 900), 0, false);
    EXPECT_EQ(asleepEmpty.itemHeight, 26);
    EXPECT_EQ(asleepEmpty.spacing, 5);
    EXPECT_EQ(asleepEmpty.trailing, 0);
    EXPECT_EQ(asleepEmpty.stackHeight(), 0);
    EXPECT_EQ(asleepEmpty.top(), 450);

    // One tab, overlapped by 7 by the new-note slot below it.
    const auto single = RailLayout::make(QSizeF(540, 900), 1, true);
    EXPECT_EQ(single.itemHeight, 116);
    EXPECT_EQ(single.stackHeight(), 157);
    EXPECT_EQ(single.top(), 371.5);
    EXPECT_EQ(single.itemY(0), 371.5);
    EXPECT_EQ(single.trailingY(), 480.5);
    EXPECT_EQ(single.itemY(0) + single.itemHeight - single.trailingY(), 7);

    EXPECT_EQ(RailLayout::make(QSizeF(540, 900), 1, false).itemHeight, 26);
    EXPECT_EQ(RailLayout::make(QSizeF(540, 900), -3, true).count, 0);
}

TEST(RailLayout, SlotsShrinkBetweenTheLargestAndSmallestHeight)
{
    // Room enough: capped at the largest height and centred.
    const auto few = RailLayout::make(QSizeF(540, 900), 5, true);
    EXPECT_EQ(few.itemHeight, 116);
    EXPECT_EQ(few.stackHeight(), 593);
    EXPECT_EQ(few.top(), 153.5);
    EXPECT_EQ(few.itemY(2), 153.5 + 2 * 109);

    // 8 tabs: (900 - 48 - 48 + 7 × 7) / 8, between the bounds.
    const auto eight = RailLayout::make(QSizeF(540, 900), 8, true);
    EXPECT_DOUBLE_EQ(eight.itemHeight, 106.625);
    EXPECT_DOUBLE_EQ(eight.top(), 27.5);

    // 40 tabs: about 26.9 is raised to 58, the stack overflows and stays 24 from the top.
    const auto crowded = RailLayout::make(QSizeF(540, 900), 40, true);
    EXPECT_EQ(crowded.itemHeight, 58);
    EXPECT_EQ(crowded.stackHeight(), 2088);
    EXPECT_EQ(crowded.top(), 24);
    EXPECT_EQ(crowded.itemY(1), 75);
    EXPECT_EQ(crowded.trailingY(), 2064);

    // Asleep: 40 chips fit exactly, 100 are held at 12.
    const auto chips = RailLayout::make(QSizeF(540, 900), 40, false);
    EXPECT_DOUBLE_EQ(chips.itemHeight, 16.425);
    EXPECT_DOUBLE_EQ(chips.top(), 24);
    const auto manyChips = RailLayout::make(QSizeF(540, 900), 100, false);
    EXPECT_EQ(manyChips.itemHeight, 12);
    EXPECT_EQ(manyChips.stackHeight(), 1695);

    // A rail too short for anything still gets the smallest grid, not negative ones.
    EXPECT_EQ(RailLayout::make(QSizeF(540, 10), 2, false).itemHeight, 12);
}

TEST(RailLayout, BandHugsTheEdgeAndReachesBeyondTheStack)
{
    const auto single = RailLayout::make(QSizeF(540, 900), 1, true);
    expectRect(single.band(ScreenEdge::left, 46, 40), 0, 331.5, 46, 237);
    expectRect(single.band(ScreenEdge::right, 126, 40), 414, 331.5, 126, 237);
    // Near the top the band starts at 0 but keeps the full height.
    const auto crowded = RailLayout::make(QSizeF(540, 900), 40, true);
    expectRect(crowded.band(ScreenEdge::right, 126, 40), 414, 0, 126, 2168);
}

TEST(RailGeometry, PerNoteLookComesFromTheIdBytes)
{
    EXPECT_EQ(RailGeometry::tabWidth(idWith(7)), 78);
    EXPECT_EQ(RailGeometry::tabWidth(idWith(0)), 70);
    EXPECT_EQ(RailGeometry::tabWidth(idWith(1)), 74);
    EXPECT_EQ(RailGeometry::tabWidth(idWith(3)), 82);
    EXPECT_EQ(RailGeometry::tabWidth(idWith(4)), 86);
    EXPECT_EQ(RailGeometry::tabWidth(idWith(255)), 70); // 255 mod 5 = 0

    const double rightTilts[] = {-1.5, -0.75, 0.75, 1.5};
    for (quint8 byte1 : {0, 1, 2, 3, 4, 6, 255}) {
        const QUuid id = idWith(0, byte1);
        EXPECT_EQ(RailGeometry::tilt(id, ScreenEdge::right), rightTilts[byte1 & 3]) << byte1;
        EXPECT_EQ(RailGeometry::tilt(id, ScreenEdge::left), -rightTilts[byte1 & 3]) << byte1;
    }

    // The bytes are read in the id's written order: "0a" first, then "01".
    const QUuid written = QUuid::fromString(u"{0a01ffff-0000-4000-8000-000000000000}");
    EXPECT_EQ(RailGeometry::tabWidth(written), 70);
    EXPECT_EQ(RailGeometry::tilt(written, ScreenEdge::right), -0.75);
}

TEST(RailGeometry, PhasesPeekAndStackingOrder)
{
    auto rail = threeNotes();
    const QUuid a = rail.noteIDs[0], b = rail.noteIDs[1], c = rail.noteIDs[2];
    rail.hoveredNoteID = b;
    rail.previewNoteID = c;
    rail.focusNoteID = c;

    EXPECT_EQ(rail.phase(a), NotePhase::tab);
    EXPECT_EQ(rail.phase(c), NotePhase::preview);
    EXPECT_EQ(rail.peek(b, rail.phase(b)), 8);
    EXPECT_EQ(rail.peek(a, rail.phase(a)), 0);
    EXPECT_EQ(rail.zIndex(0), 0);
    EXPECT_EQ(rail.zIndex(1), 8000);
    EXPECT_EQ(rail.zIndex(2), 10000);

    // A hovered note that is open does not peek.
    rail.hoveredNoteID = c;
    EXPECT_EQ(rail.peek(c, NotePhase::preview), 0);
    EXPECT_EQ(rail.zIndex(2), 10000);

    // The dragged note is above the hovered one, below the open one.
    rail.previewNoteID.reset();
    rail.draggingNoteID = c;
    rail.dragOffset = 20;
    EXPECT_EQ(rail.zIndex(2), 9000);

    rail.isAwake = false;
    rail.draggingNoteID.reset();
    EXPECT_EQ(rail.phase(a), NotePhase::chip);
    EXPECT_EQ(rail.peek(c, NotePhase::chip), 8); // a hovered chip slides out too
}

TEST(RailGeometry, CardsAreAnchoredToTheirEdge)
{
    auto rail = threeNotes();
    rail.hoveredNoteID = rail.noteIDs[1];
    // Slots 262.5, 371.5 and 480.5 high up the 900 pt rail, each 116 high.
    expectRect(rail.itemRect(0), 462, 262.5, 78, 116);
    expectRect(rail.itemRect(1), 462, 371.5, 78, 116); // 70 + 8 of peek
    expectRect(rail.itemRect(2), 454, 480.5, 86, 116);

    auto left = threeNotes(ScreenEdge::left);
    expectRect(left.itemRect(0), 0, 262.5, 78, 116);
    expectRect(left.itemRect(2), 0, 480.5, 86, 116);

    // Asleep: 6 wide chips in 26 pt grid 5 apart.
    auto asleep = threeNotes(ScreenEdge::right, false);
    expectRect(asleep.itemRect(0), 534, 406, 6, 26);
    expectRect(asleep.itemRect(2), 534, 468, 6, 26);
    expectRect(threeNotes(ScreenEdge::left, false).itemRect(1), 0, 437, 6, 26);
}

TEST(RailGeometry, OpenCardGrowsInwardAndStaysOnScreen)
{
    auto rail = threeNotes();
    rail.previewNoteID = rail.noteIDs[2];
    // Level with its tab: 86 + 330 wide, min(852, 260) high.
    expectRect(rail.itemRect(2), 124, 480.5, 416, 260);
    rail.edge = ScreenEdge::left;
    expectRect(rail.itemRect(2), 0, 480.5, 416, 260);

    // The last of 8 grid starts at 724.875; the card is pushed up to end 24 above the bottom.
    RailGeometry crowded;
    crowded.size = QSizeF(540, 900);
    crowded.isAwake = true;
    for (quint8 i = 0; i < 8; ++i)
        crowded.noteIDs.append(idWith(7, 0, i));
    crowded.previewNoteID = crowded.noteIDs[7];
    EXPECT_DOUBLE_EQ(crowded.itemRect(7).y(), 616);

    // On a 300 pt rail the card is 252 high and sits at 24 whatever its slot.
    auto shortRail = threeNotes();
    shortRail.size = QSizeF(540, 300);
    EXPECT_EQ(shortRail.cardHeight(), 252);
    for (int i = 0; i < 3; ++i) {
        shortRail.previewNoteID = shortRail.noteIDs[i];
        EXPECT_EQ(shortRail.itemRect(i).y(), 24) << i;
        EXPECT_EQ(shortRail.itemRect(i).height(), 252) << i;
    }

    // A rail shorter than the reserve gets no negative card.
    shortRail.size = QSizeF(540, 30);
    EXPECT_EQ(shortRail.cardHeight(), 0);
}

TEST(RailGeometry, CardValuesForTheViews)
{
    auto rail = threeNotes();
    rail.previewNoteID = rail.noteIDs[1];
    rail.focusNoteID = rail.noteIDs[1];
    rail.hoveredNoteID = rail.noteIDs[0];

    const RailCard open = rail.card(1);
    EXPECT_EQ(open.phase, NotePhase::preview);
    EXPECT_EQ(open.tabWidth, 70); // the tab width whatever the phase
    EXPECT_EQ(open.cardHeight, 260);
    EXPECT_EQ(open.itemHeight, 116);
    EXPECT_TRUE(open.autoFocus);
    EXPECT_FALSE(open.isDimmed);
    EXPECT_EQ(open.frame, rail.itemRect(1));

    const RailCard hovered = rail.card(0);
    EXPECT_TRUE(hovered.isHovered);
    EXPECT_TRUE(hovered.isDimmed);
    EXPECT_FALSE(hovered.autoFocus);
    EXPECT_EQ(hovered.peek, 8);
    EXPECT_EQ(hovered.zIndex, 8000);

    rail.previewNoteID.reset();
    EXPECT_FALSE(rail.card(0).isDimmed);
    EXPECT_EQ(rail.card(2).tilt, RailGeometry::tilt(rail.noteIDs[2], ScreenEdge::right));
}

TEST(RailGeometry, NewNoteTabPlacement)
{
    // Awake: in the trailing slot, 78 wide, 86 while hovered.
    auto rail = threeNotes();
    EXPECT_TRUE(rail.showsAddTab());
    expectRect(rail.addTabRect(), 462, 589.5, 78, 48);
    rail.isAddHovered = true;
    expectRect(rail.addTabRect(), 454, 589.5, 86, 48);
    expectRect(rail.addTabFrame(), 454, 589.5, 102, 48);
    EXPECT_EQ(rail.addTabTilt(), -1);
    rail.edge = ScreenEdge::left;
    expectRect(rail.addTabRect(), 0, 589.5, 86, 48);
    EXPECT_EQ(rail.addTabTilt(), 1);

    // Asleep with notes: hidden, 6 wide, but already where the awake trailing slot will be.
    auto asleep = threeNotes(ScreenEdge::right, false);
    EXPECT_FALSE(asleep.showsAddTab());
    expectRect(asleep.addTabRect(), 534, 589.5, 6, 48);
    EXPECT_FALSE(asleep.isOverAddTab(QPointF(536, 600)));

    // Asleep and empty: only on the default edge.
    RailGeometry empty;
    empty.size = QSizeF(540, 900);
    empty.defaultEdge = ScreenEdge::right;
    EXPECT_TRUE(empty.showsAddTab());
    expectRect(empty.addTabRect(), 462, 426, 78, 48);
    empty.edge = ScreenEdge::left;
    EXPECT_FALSE(empty.showsAddTab());
    empty.defaultEdge = RailGeometry::defaultEdgeFromToken(u"izquierda");
    EXPECT_FALSE(empty.showsAddTab());
    empty.edge = ScreenEdge::right;
    EXPECT_FALSE(empty.showsAddTab());
    empty.defaultEdge = RailGeometry::defaultEdgeFromToken(u"left");
    empty.edge = ScreenEdge::left;
    EXPECT_TRUE(empty.showsAddTab());
    EXPECT_EQ(RailGeometry::defaultEdgeFromToken(u"right"), ScreenEdge::right);
}

TEST(RailGeometry, PointerOverTheNewNoteTab)
{
    auto rail = threeNotes();
    // The tab (462, 589.5, 78, 48) grown by 4 and 2.
    EXPECT_TRUE(rail.isOverAddTab(QPointF(458, 587.5)));
    EXPECT_TRUE(rail.isOverAddTab(QPointF(543.9, 639.4)));
    EXPECT_FALSE(rail.isOverAddTab(QPointF(457.9, 600)));
    EXPECT_FALSE(rail.isOverAddTab(QPointF(500, 639.5)));
    EXPECT_FALSE(rail.isOverAddTab(QPointF(500, 587.4)));
}

TEST(RailGeometry, PublishedRectanglesCoverCardsAndTheNewNoteTab)
{
    auto rail = threeNotes();
    const auto rects = rail.publishedRects();
    ASSERT_EQ(rects.size(), 4);
    expectRect(rects[0], 458, 260.5, 86, 120);
    expectRect(rects[1], 466, 369.5, 78, 120);
    expectRect(rects[2], 450, 478.5, 94, 120);
    expectRect(rects[3], 458, 587.5, 86, 52);

    // An open card is published whole.
    rail.previewNoteID = rail.noteIDs[0];
    expectRect(rail.publishedRects()[0], 128, 260.5, 416, 264);

    // Asleep with notes: chips only.
    const auto chips = threeNotes(ScreenEdge::left, false).publishedRects();
    ASSERT_EQ(chips.size(), 3);
    expectRect(chips[1], -4, 435, 14, 30);

    // Asleep and empty on the default edge: the new-note tab alone; elsewhere nothing.
    RailGeometry empty;
    empty.size = QSizeF(540, 900);
    ASSERT_EQ(empty.publishedRects().size(), 1);
    expectRect(empty.publishedRects()[0], 458, 424, 86, 52);
    empty.edge = ScreenEdge::left;
    EXPECT_TRUE(empty.publishedRects().isEmpty());

    // Not yet measured: nothing, so every click passes through.
    rail.size = QSizeF();
    EXPECT_TRUE(rail.publishedRects().isEmpty());
}

TEST(RailGeometry, DraggedCardFollowsThePointerAndOthersMakeRoom)
{
    RailGeometry rail;
    rail.size = QSizeF(540, 900);
    rail.isAwake = true;
    for (quint8 i = 0; i < 4; ++i)
        rail.noteIDs.append(idWith(7, 0, i));
    const RailLayout grid = rail.layout();
    rail.draggingNoteID = rail.noteIDs[0];

    // 54 / 109 rounds to 0: nothing moves but the dragged card.
    rail.dragOffset = 54;
    EXPECT_EQ(rail.displayIndex(1), 1);
    EXPECT_EQ(rail.itemRect(0).y(), grid.itemY(0) + 54);
    EXPECT_EQ(rail.itemRect(1).y(), grid.itemY(1));

    // 55 moves it one slot: the second note closes up.
    rail.dragOffset = 55;
    EXPECT_EQ(rail.displayIndex(0), 1);
    EXPECT_EQ(rail.displayIndex(1), 0);
    EXPECT_EQ(rail.displayIndex(2), 2);
    EXPECT_EQ(rail.itemRect(0).y(), grid.itemY(0) + 55);
    EXPECT_EQ(rail.itemRect(1).y(), grid.itemY(0));
    // The published rectangle moves with the dragged card.
    EXPECT_EQ(rail.publishedRects()[0].y(), grid.itemY(0) + 55 - 2);

    // Dragging the last note far up clamps to the top; everything above moves down.
    rail.draggingNoteID = rail.noteIDs[3];
    rail.dragOffset = -5000;
    EXPECT_EQ(rail.displayIndex(3), 0);
    EXPECT_EQ(rail.displayIndex(0), 1);
    EXPECT_EQ(rail.displayIndex(2), 3);

    // A dragged note that is no longer on the rail moves nothing.
    rail.draggingNoteID = idWith(9, 9, 9);
    EXPECT_EQ(rail.displayIndex(0), 0);
    EXPECT_EQ(rail.displayIndex(3), 3);
}

TEST(RailGeometry, DragStepIgnoresShrunkenSlots)
{
    RailGeometry crowded;
    crowded.size = QSizeF(540, 900);
    crowded.isAwake = true;
    for (quint8 i = 0; i < 40; ++i)
        crowded.noteIDs.append(idWith(7, 0, i));
    ASSERT_EQ(crowded.layout().itemHeight, 58);
    EXPECT_EQ(crowded.dragStep(), 109);
    crowded.draggingNoteID = crowded.noteIDs[0];
    crowded.dragOffset = 54; // more than one 51 pt slot pitch, less than half a step
    EXPECT_EQ(crowded.displayIndex(1), 1);
    crowded.isAwake = false;
    EXPECT_EQ(crowded.dragStep(), 31);
}

TEST(RailGeometry, HoverFindsTheFirstNoteUnderThePointer)
{
    auto rail = threeNotes();
    // Awake hit rectangles are 78 wide whatever the tab, grown by 12 and 2.
    expectRect(rail.hitRect(0), 450, 260.5, 102, 120);
    EXPECT_EQ(rail.noteIndex(QPointF(455, 300)), 0);
    EXPECT_EQ(rail.noteIndex(QPointF(449.9, 300)), std::nullopt);
    // Overlapping tabs: the earlier note wins.
    EXPECT_EQ(rail.noteIndex(QPointF(500, 375)), 0);
    EXPECT_EQ(rail.noteIndex(QPointF(500, 380.5)), 1);
    EXPECT_EQ(rail.noteID(QPointF(500, 590)), rail.noteIDs[2]);
    EXPECT_EQ(rail.noteIndex(QPointF(500, 598.5)), std::nullopt);

    // Hit rectangles keep the slot of the index, even while another note is dragged.
    rail.draggingNoteID = rail.noteIDs[0];
    rail.dragOffset = 200;
    EXPECT_EQ(rail.noteIndex(QPointF(500, 300)), 0);

    // Asleep: 6 wide, grown to 30.
    const auto asleep = threeNotes(ScreenEdge::right, false);
    expectRect(asleep.hitRect(0), 522, 404, 30, 30);
    EXPECT_EQ(asleep.noteIndex(QPointF(522, 440)), 1);
    EXPECT_EQ(asleep.noteIndex(QPointF(521.9, 440)), std::nullopt);
    EXPECT_EQ(threeNotes(ScreenEdge::left, false).noteIndex(QPointF(17.9, 470)), 2);
}

TEST(RailGeometry, WakeZone)
{
    auto asleep = threeNotes(ScreenEdge::right, false);
    EXPECT_EQ(asleep.wakeBandWidth(), 46);
    expectRect(asleep.wakeBand(), 494, 366, 46, 168);
    EXPECT_TRUE(asleep.isInWakeZone(QPointF(494, 366)));
    EXPECT_FALSE(asleep.isInWakeZone(QPointF(493.9, 400)));
    EXPECT_FALSE(asleep.isInWakeZone(QPointF(520, 534)));
    EXPECT_FALSE(asleep.isInWakeZone(QPointF(520, 365.9)));

    auto awake = threeNotes();
    EXPECT_EQ(awake.wakeBandWidth(), 126);
    EXPECT_TRUE(awake.isInWakeZone(QPointF(414, 250)));
    EXPECT_FALSE(awake.isInWakeZone(QPointF(413.9, 250)));

    // With a note open the rail stays awake wherever the pointer is.
    awake.previewNoteID = awake.noteIDs[0];
    EXPECT_EQ(awake.wakeBandWidth(), 416);
    EXPECT_TRUE(awake.isInWakeZone(QPointF(0, 0)));

    // A tab's hover rectangle keeps the zone even where it reaches past the band.
    auto left = threeNotes(ScreenEdge::left, false);
    EXPECT_TRUE(left.isInWakeZone(QPointF(-5, 470)));
    EXPECT_FALSE(left.isInWakeZone(QPointF(-5, 500)));
    left.size = QSizeF();
    EXPECT_FALSE(left.isInWakeZone(QPointF(1, 450)));
}

TEST(RailGeometry, RegionKeyFollowsWhatThePublishedRectanglesDependOn)
{
    auto rail = threeNotes();
    const RegionKey start = rail.regionKey();
    EXPECT_EQ(rail.regionKey(), start);

    const auto changed = [&](auto change) {
        auto other = rail;
        change(other);
        return !(other.regionKey() == start);
    };
    EXPECT_TRUE(changed([](RailGeometry &r) { r.size.setHeight(900.25); }));
    EXPECT_TRUE(changed([](RailGeometry &r) { r.isAwake = false; }));
    EXPECT_TRUE(changed([](RailGeometry &r) { r.previewNoteID = r.noteIDs[1]; }));
    EXPECT_TRUE(changed([](RailGeometry &r) { r.noteIDs.removeLast(); }));
    EXPECT_TRUE(changed([](RailGeometry &r) { r.draggingNoteID = r.noteIDs[1]; }));
    EXPECT_TRUE(changed([](RailGeometry &r) { r.dragOffset = 0.5; }));
    EXPECT_FALSE(changed([](RailGeometry &r) { r.hoveredNoteID = r.noteIDs[1]; }));
    EXPECT_FALSE(changed([](RailGeometry &r) { r.focusNoteID = r.noteIDs[1]; }));
}

TEST(RailGeometry, EdgeRotationTurnsAboutTheScreenEdgeSide)
{
    const QRectF frame(462, 100, 78, 116);
    const QTransform right = RailGeometry::edgeRotation(frame, ScreenEdge::right, 90);
    EXPECT_EQ(right.map(QPointF(540, 158)), QPointF(540, 158));
    // Positive turns clockwise on screen: a point to the left of the anchor goes up.
    const QPointF turned = right.map(QPointF(440, 158));
    EXPECT_NEAR(turned.x(), 540, 1e-9);
    EXPECT_NEAR(turned.y(), 58, 1e-9);

    const QTransform left =
        RailGeometry::edgeRotation(QRectF(0, 100, 78, 116), ScreenEdge::left, 1);
    EXPECT_EQ(left.map(QPointF(0, 158)), QPointF(0, 158));
    EXPECT_GT(left.map(QPointF(78, 158)).y(), 158);
}
