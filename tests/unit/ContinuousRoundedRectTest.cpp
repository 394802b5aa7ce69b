// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/EdgeFlushShape.h"

#include <gtest/gtest.h>

TEST(ContinuousRoundedRect, EachHalfIsTheEdgeFlushShapeRoundedOnThatSide)
{
    // The paper of a floating note: the same smooth corners as a card's rounded side, on
    // all four corners.
    const QRectF paper(24, 24, 332, 292);
    const QPainterPath all = continuousRoundedRect(paper, 18);
    const QPainterPath roundedLeft = EdgeFlushShape{ScreenEdge::right, 18}.path(paper);
    const QPainterPath roundedRight = EdgeFlushShape{ScreenEdge::left, 18}.path(paper);
    EXPECT_NEAR(all.boundingRect().left(), paper.left(), 1e-9);
    EXPECT_NEAR(all.boundingRect().right(), paper.right(), 1e-9);
    EXPECT_NEAR(all.boundingRect().top(), paper.top(), 1e-9);
    EXPECT_NEAR(all.boundingRect().bottom(), paper.bottom(), 1e-9);
    for (double y = paper.top() + 0.25; y < paper.bottom(); y += 1.5) {
        for (double x = paper.left() + 0.25; x < paper.right(); x += 1.5) {
            const QPointF point(x, y);
            const QPainterPath &half = x < paper.center().x() ? roundedLeft : roundedRight;
            ASSERT_EQ(all.contains(point), half.contains(point)) << x << ", " << y;
        }
    }
    EXPECT_FALSE(all.contains(paper.topLeft() + QPointF(1, 1)));
    EXPECT_FALSE(all.contains(paper.bottomRight() - QPointF(1, 1)));
}

TEST(ContinuousRoundedRect, ASmallBoxGetsCircularCornersWithinIt)
{
    // 30 high: a radius of 40 becomes 15, too big for smooth corners.
    const QPainterPath pill = continuousRoundedRect(QRectF(0, 0, 100, 30), 40);
    EXPECT_NEAR(pill.boundingRect().width(), 100, 1e-9);
    EXPECT_NEAR(pill.boundingRect().height(), 30, 1e-9);
    EXPECT_TRUE(pill.contains(QPointF(0.5, 15)));
    EXPECT_TRUE(pill.contains(QPointF(99.5, 15)));
    EXPECT_FALSE(pill.contains(QPointF(2, 2)));
    EXPECT_FALSE(pill.contains(QPointF(98, 28)));

    const QPainterPath square = continuousRoundedRect(QRectF(0, 0, 10, 10), 0);
    EXPECT_TRUE(square.contains(QPointF(0.1, 0.1)));
    EXPECT_TRUE(square.contains(QPointF(9.9, 9.9)));
}
