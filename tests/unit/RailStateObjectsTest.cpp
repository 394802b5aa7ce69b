// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/InteractiveRegions.h"
#include "rail/RailFocus.h"
#include "rail/RailPointer.h"
#include "rail/RegionKey.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(InteractiveRegions, ContainsOnlyInsidePublishedRectangles)
{
    InteractiveRegions regions;
    EXPECT_TRUE(regions.rects().isEmpty());
    EXPECT_FALSE(regions.contains(QPointF(0, 0)));
    EXPECT_FALSE(regions.contains(QPointF(500, 400)));

    regions.setRects({QRectF(458, 260, 86, 120), QRectF(0, 0, 10, 10)});
    EXPECT_TRUE(regions.contains(QPointF(458, 260)));
    EXPECT_TRUE(regions.contains(QPointF(543.9, 379.9)));
    EXPECT_FALSE(regions.contains(QPointF(544, 300))); // the far edges belong outside
    EXPECT_FALSE(regions.contains(QPointF(500, 380)));
    EXPECT_TRUE(regions.contains(QPointF(5, 5)));
    EXPECT_FALSE(regions.contains(QPointF(200, 200)));
}

TEST(InteractiveRegions, NotifiesOnlyRealChanges)
{
    InteractiveRegions regions;
    QSignalSpy changes(&regions, &InteractiveRegions::rectsChanged);
    const QList<QRectF> rects{QRectF(1, 2, 3, 4), QRectF(5, 6, 7, 8)};

    regions.setRects({});
    EXPECT_EQ(changes.count(), 0);
    regions.setRects(rects);
    EXPECT_EQ(changes.count(), 1);
    regions.setRects(rects);
    EXPECT_EQ(changes.count(), 1);
    regions.setRects({rects[1], rects[0]}); // order matters
    EXPECT_EQ(changes.count(), 2);
    regions.setRects({rects[1], rects[0].adjusted(0, 0, 0.001, 0)});
    EXPECT_EQ(changes.count(), 3);
    regions.setRects({rects[1]});
    EXPECT_EQ(changes.count(), 4);
    EXPECT_EQ(regions.rects(), QList<QRectF>{rects[1]});
}

TEST(InteractiveRegions, PublishingAlwaysRunsTheCallback)
{
    InteractiveRegions regions;
    QSignalSpy changes(&regions, &InteractiveRegions::rectsChanged);
    int calls = 0;
    bool sawNewRects = false;
    regions.setOnChange([&] {
        ++calls;
        sawNewRects = regions.contains(QPointF(1, 1));
    });
    regions.publish({QRectF(0, 0, 2, 2)});
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(sawNewRects); // the callback sees the published rectangles
    regions.publish({QRectF(0, 0, 2, 2)});
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(changes.count(), 1);

    // A callback that replaces itself while running is safe.
    regions.setOnChange([&] { regions.setOnChange([&] { calls += 10; }); });
    regions.publish({});
    regions.publish({});
    EXPECT_EQ(calls, 12);
    regions.setOnChange({});
    regions.publish({QRectF(0, 0, 1, 1)});
    EXPECT_EQ(calls, 12);
}

TEST(RailPointer, LocationNotifiesOnlyRealChanges)
{
    RailPointer pointer;
    QSignalSpy moves(&pointer, &RailPointer::locationChanged);
    EXPECT_FALSE(pointer.location());

    pointer.setLocation(std::nullopt);
    EXPECT_EQ(moves.count(), 0);
    pointer.setLocation(QPointF(10, 20));
    pointer.setLocation(QPointF(10, 20));
    EXPECT_EQ(moves.count(), 1);
    pointer.setLocation(QPointF(10, 20.000001));
    EXPECT_EQ(moves.count(), 2);
    pointer.setLocation(QPointF(0, 0));
    EXPECT_EQ(moves.count(), 3);
    pointer.setLocation(std::nullopt); // leaving the rail is a change too
    EXPECT_EQ(moves.count(), 4);
    EXPECT_FALSE(pointer.location());
}

TEST(RailPointer, EveryOutsideClickCounts)
{
    RailPointer pointer;
    QSignalSpy clicks(&pointer, &RailPointer::outsideClicksChanged);
    EXPECT_EQ(pointer.outsideClicks(), 0);
    pointer.addOutsideClick();
    pointer.addOutsideClick();
    EXPECT_EQ(pointer.outsideClicks(), 2);
    EXPECT_EQ(clicks.count(), 2);
}

TEST(RailFocus, RequestsAreConsumedOnlyByTheirOwnNote)
{
    RailFocus focus;
    QSignalSpy changes(&focus, &RailFocus::requestedNoteIDChanged);
    const QUuid first = QUuid::createUuid(), second = QUuid::createUuid();

    focus.consume(first); // nothing requested
    focus.setRequestedNoteID(std::nullopt);
    EXPECT_EQ(changes.count(), 0);

    focus.setRequestedNoteID(first);
    focus.setRequestedNoteID(first);
    EXPECT_EQ(changes.count(), 1);

    // A newer request is not lost to the consumption of an older one.
    focus.setRequestedNoteID(second);
    focus.consume(first);
    EXPECT_EQ(focus.requestedNoteID(), second);
    EXPECT_EQ(changes.count(), 2);

    focus.consume(second);
    EXPECT_FALSE(focus.requestedNoteID());
    EXPECT_EQ(changes.count(), 3);
}

TEST(RegionKey, EveryFieldCountsExactly)
{
    const RegionKey key{QSizeF(540, 900), true, QUuid::createUuid(), 3, std::nullopt, 0};
    EXPECT_EQ(key, key);
    auto other = key;
    other.size = QSizeF(540, 900.0000000001); // fuzzy size comparison would miss this
    EXPECT_FALSE(other == key);
    other = key;
    other.open.reset();
    EXPECT_FALSE(other == key);
    other = key;
    other.count = 4;
    EXPECT_FALSE(other == key);
    other = key;
    other.dragging = QUuid::createUuid();
    EXPECT_FALSE(other == key);
    other = key;
    other.dragOffset = -0.25;
    EXPECT_FALSE(other == key);
    other = key;
    other.awake = false;
    EXPECT_FALSE(other == key);
}
