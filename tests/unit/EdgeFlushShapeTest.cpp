// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/EdgeFlushShape.h"

#include <gtest/gtest.h>

TEST(EdgeFlushShape, SquareAtTheScreenEdgeRoundedInside)
{
    const QRectF tab(10, 20, 100, 60);
    const QPainterPath right = EdgeFlushShape{ScreenEdge::right, 15}.path(tab);
    EXPECT_NEAR(right.boundingRect().left(), 10, 1e-9);
    EXPECT_NEAR(right.boundingRect().right(), 110, 1e-9);
    EXPECT_NEAR(right.boundingRect().top(), 20, 1e-9);
    EXPECT_NEAR(right.boundingRect().bottom(), 80, 1e-9);
    // Square corners against the right edge.
    EXPECT_TRUE(right.contains(QPointF(109.5, 20.5)));
    EXPECT_TRUE(right.contains(QPointF(109.5, 79.5)));
    // Rounded corners on the inner side.
    EXPECT_FALSE(right.contains(QPointF(11, 21)));
    EXPECT_FALSE(right.contains(QPointF(11, 79)));
    // The straight middle of the inner side and the centre.
    EXPECT_TRUE(right.contains(QPointF(10.5, 50)));
    EXPECT_TRUE(right.contains(QPointF(60, 50)));

    const QPainterPath left = EdgeFlushShape{ScreenEdge::left, 15}.path(tab);
    EXPECT_TRUE(left.contains(QPointF(10.5, 20.5)));
    EXPECT_TRUE(left.contains(QPointF(10.5, 79.5)));
    EXPECT_FALSE(left.contains(QPointF(109, 21)));
    EXPECT_FALSE(left.contains(QPointF(109, 79)));
    EXPECT_TRUE(left.contains(QPointF(109.5, 50)));
}

TEST(EdgeFlushShape, MirroredEdgesCoverTheSameArea)
{
    // Sample both shapes on a grid: the left shape is the right one mirrored.
    const QRectF card(0, 0, 80, 116);
    const QPainterPath right = EdgeFlushShape{ScreenEdge::right, 15}.path(card);
    const QPainterPath left = EdgeFlushShape{ScreenEdge::left, 15}.path(card);
    for (double y = 0.25; y < 116; y += 1.5) {
        for (double x = 0.25; x < 80; x += 1.5)
            ASSERT_EQ(right.contains(QPointF(x, y)), left.contains(QPointF(80 - x, y)))
                << x << ", " << y;
    }
}

TEST(EdgeFlushShape, RadiusIsLimitedToHalfTheShorterSide)
{
    // A chip 6 wide: a radius of 15 becomes 3.
    const EdgeFlushShape shape{ScreenEdge::right, 15};
    const QRectF chip(0, 0, 6, 26);
    EXPECT_EQ(shape.effectiveRadius(chip), 3);
    const QPainterPath path = shape.path(chip);
    EXPECT_NEAR(path.boundingRect().width(), 6, 1e-9);
    EXPECT_TRUE(path.contains(QPointF(0.2, 13)));
    EXPECT_FALSE(path.contains(QPointF(0.3, 0.3)));
    EXPECT_TRUE(path.contains(QPointF(5.8, 0.2)));

    // A radius of half the height leaves no straight inner side, yet stays inside the box.
    const QPainterPath pill = EdgeFlushShape{ScreenEdge::left, 40}.path(QRectF(0, 0, 100, 30));
    EXPECT_NEAR(pill.boundingRect().height(), 30, 1e-9);
    EXPECT_NEAR(pill.boundingRect().right(), 100, 1e-9);
    EXPECT_TRUE(pill.contains(QPointF(99.5, 15)));
    EXPECT_FALSE(pill.contains(QPointF(99.5, 2)));

    // No radius: a plain rectangle.
    const QPainterPath square = EdgeFlushShape{ScreenEdge::right, 0}.path(chip);
    EXPECT_TRUE(square.contains(QPointF(0.1, 0.1)));
    EXPECT_EQ(EdgeFlushShape({ScreenEdge::right, -4}).effectiveRadius(chip), 0);
}

TEST(EdgeFlushShape, ContinuousCornersStayWithinOneAndAHalfRadii)
{
    // A continuous corner leaves the sides gently 1.53 radii before the corner point, so at
    // one radius it has already left them (where a circular corner just touches them), and
    // it cuts the diagonal about as deep as a circular one (0.29 r).
    const QRectF card(0, 0, 200, 200);
    const QPainterPath path = EdgeFlushShape{ScreenEdge::right, 20}.path(card);
    EXPECT_TRUE(path.contains(QPointF(0.05, 31)));
    EXPECT_TRUE(path.contains(QPointF(31, 0.05)));
    EXPECT_FALSE(path.contains(QPointF(0.1, 20)));
    EXPECT_FALSE(path.contains(QPointF(20, 0.1)));
    EXPECT_TRUE(path.contains(QPointF(0.3, 20)));
    EXPECT_FALSE(path.contains(QPointF(5.5, 5.5)));
    EXPECT_TRUE(path.contains(QPointF(6.5, 6.5)));
    EXPECT_FALSE(path.contains(QPointF(0.1, 180)));
    EXPECT_TRUE(path.contains(QPointF(0.05, 100)));
}
