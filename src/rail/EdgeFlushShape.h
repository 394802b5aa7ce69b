// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"

#include <QPainterPath>
#include <QRectF>

// A rounded rectangle that sits flush against a screen edge: the two corners touching `edge`
// are square, the two on the opposite side are rounded with continuous (squircle-like)
// corners.
struct EdgeFlushShape
{
    ScreenEdge edge = ScreenEdge::right;
    double radius = 0;

    // The outline of the shape filling `rect`; the radius is limited to half the shorter side.
    QPainterPath path(const QRectF &rect) const;
    // The corner radius actually used in `rect`.
    double effectiveRadius(const QRectF &rect) const;

    friend bool operator==(const EdgeFlushShape &, const EdgeFlushShape &) = default;
};

// A rectangle with all four corners rounded in the same continuous (squircle-like) way as
// the rounded side of an `EdgeFlushShape`; the radius is limited to half the shorter side.
QPainterPath continuousRoundedRect(const QRectF &rect, double radius);
