#include "surfaces/Perforation.h"

#include <QPainter>
#include <QPen>

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
    QPen pen(color, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    // Qt counts dash lengths in units of the pen width.
    pen.setDashPattern({dashOn / lineWidth, dashOff / lineWidth});
    painter.save();
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(VerticalLine().path(frame));
    painter.restore();
}
