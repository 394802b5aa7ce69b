// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/Perforation.h"

#include <QPainter>

#include <algorithm>

QPainterPath VerticalLine::path(const QRectF &frame) const
{
    QPainterPath line;
    line.moveTo(frame.center().x(), frame.top());
    line.lineTo(frame.center().x(), frame.bottom());
    return line;
}

void Perforation::paint(QPainter &painter, const QRectF &frame) const
{
    if (frame.height() <= 0 || color.alpha() == 0)
        return;
    // The dashes of a round-capped stroke are capsules: each dash grows by half the line width
    // at both ends. Filling them as one path costs a fraction of dashing a stroke.
    const QPainterPath line = VerticalLine().path(frame);
    const double x = line.elementAt(0).x;
    const double top = line.elementAt(0).y;
    const double bottom = line.elementAt(1).y;
    const double cap = lineWidth / 2;
    QPainterPath dashes;
    for (double start = top; start <= bottom; start += dashOn + dashOff) {
        const double end = std::min(start + dashOn, bottom);
        dashes.addRoundedRect(QRectF(x - cap, start - cap, lineWidth, end - start + lineWidth), cap,
                              cap);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(dashes, color);
    painter.restore();
}
