// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11InputShape.h"

#include <gtest/gtest.h>

TEST(X11InputShape, DevicePixelsCoverEveryLogicalPixelOfARect)
{
    EXPECT_EQ(X11InputShape::toDevicePixels(QList<QRectF>{QRectF(10, 20, 30, 40)}, 1),
              QList<QRect>{QRect(10, 20, 30, 40)});
    // At 1.5 a rect starting on a half pixel grows outwards rather than losing its edge.
    EXPECT_EQ(X11InputShape::toDevicePixels(QList<QRectF>{QRectF(1, 1, 3, 3)}, 1.5),
              QList<QRect>{QRect(QPoint(1, 1), QPoint(5, 5))});
    EXPECT_EQ(X11InputShape::toDevicePixels(QList<QRectF>{QRectF(0.2, 0, 0.5, 1)}, 2),
              QList<QRect>{QRect(0, 0, 2, 2)});
}

TEST(X11InputShape, EmptyAndNegativeRectsAreDroppedOrNormalized)
{
    EXPECT_TRUE(X11InputShape::toDevicePixels(QList<QRectF>{QRectF(5, 5, 0, 10)}, 1).isEmpty());
    EXPECT_EQ(X11InputShape::toDevicePixels(QList<QRectF>{QRectF(10, 10, -4, -4)}, 1),
              QList<QRect>{QRect(6, 6, 4, 4)});
    const QRegion region = QRegion(0, 0, 10, 10) + QRegion(20, 0, 5, 5);
    QRegion scaled;
    for (const QRect &rect : X11InputShape::toDevicePixels(region, 2))
        scaled += rect;
    EXPECT_EQ(scaled, QRegion(0, 0, 20, 20) + QRegion(40, 0, 10, 10));
}
