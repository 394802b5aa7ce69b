// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>
#include <QRectF>

// Whether `rect` contains `point`, half-open: the minimum edges belong to the rectangle, the
// maximum edges to its neighbour. Every rail hit test uses this, so two touching rectangles
// never both claim a point on their shared edge.
inline bool rectContains(const QRectF &rect, const QPointF &point)
{
    const QRectF r = rect.normalized();
    return point.x() >= r.left() && point.x() < r.left() + r.width() && point.y() >= r.top() &&
           point.y() < r.top() + r.height();
}
