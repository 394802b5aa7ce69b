// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRectF>

class QPainter;

// The straight line from the middle of the top edge to the middle of the bottom edge of a
// frame.
struct VerticalLine
{
    QPainterPath path(const QRectF &frame) const;
};

// The dashed tear line along a tab, between its label and the rest of the note: the
// vertical line stroked 1.2 wide with round caps, 2.5 on and 5 off.
struct Perforation
{
    // Width of the frame the line is drawn in.
    static constexpr double frameWidth = 2;
    static constexpr double lineWidth = 1.2;
    static constexpr double dashOn = 2.5;
    static constexpr double dashOff = 5;

    QColor color;

    void paint(QPainter &painter, const QRectF &frame) const;
};
