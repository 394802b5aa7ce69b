// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibrarySymbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>

namespace LibrarySymbols {

namespace {

// Every drawing is made on a 20 × 20 grid and scaled to the square it is given.
constexpr qreal grid = 20;

void drawSidebar(QPainter &p)
{
    p.drawRoundedRect(QRectF(2, 3.5, 16, 13), 2.5, 2.5);
    p.drawLine(QPointF(12.5, 3.5), QPointF(12.5, 16.5));
    const QColor ink = p.pen().color();
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(14, 5.5, 2.5, 3), 0.6, 0.6);
    p.drawRoundedRect(QRectF(14, 9.5, 2.5, 3), 0.6, 0.6);
    p.restore();
}

void drawCheckmarkCircle(QPainter &p)
{
    p.drawEllipse(QPointF(10, 10), 7.5, 7.5);
    QPainterPath check;
    check.moveTo(6.5, 10.3);
    check.lineTo(8.9, 12.7);
    check.lineTo(13.6, 7.4);
    p.drawPath(check);
}

void drawArchivebox(QPainter &p)
{
    p.drawRoundedRect(QRectF(2, 3.5, 16, 4), 1.2, 1.2);
    QPainterPath body;
    body.moveTo(3.5, 7.5);
    body.lineTo(3.5, 15);
    body.quadTo(3.5, 16.5, 5, 16.5);
    body.lineTo(15, 16.5);
    body.quadTo(16.5, 16.5, 16.5, 15);
    body.lineTo(16.5, 7.5);
    p.drawPath(body);
    p.drawLine(QPointF(8, 10.5), QPointF(12, 10.5));
}

void drawTrash(QPainter &p)
{
    p.drawLine(QPointF(3, 5), QPointF(17, 5));
    QPainterPath handle;
    handle.moveTo(7.5, 5);
    handle.lineTo(7.5, 3.6);
    handle.quadTo(7.5, 2.8, 8.3, 2.8);
    handle.lineTo(11.7, 2.8);
    handle.quadTo(12.5, 2.8, 12.5, 3.6);
    handle.lineTo(12.5, 5);
    p.drawPath(handle);
    QPainterPath can;
    can.moveTo(4.5, 5);
    can.lineTo(5.4, 16);
    can.quadTo(5.5, 17.2, 6.7, 17.2);
    can.lineTo(13.3, 17.2);
    can.quadTo(14.5, 17.2, 14.6, 16);
    can.lineTo(15.5, 5);
    p.drawPath(can);
    p.drawLine(QPointF(8.3, 8), QPointF(8.5, 14.2));
    p.drawLine(QPointF(11.7, 8), QPointF(11.5, 14.2));
}

void drawPinFill(QPainter &p)
{
    // A push pin leaning to the right, as if just pressed into a board.
    p.save();
    p.translate(10, 10);
    p.rotate(35);
    const QColor ink = p.pen().color();
    QPainterPath head;
    head.moveTo(-3.2, -8.5);
    head.lineTo(3.2, -8.5);
    head.lineTo(2.3, -3.2);
    head.lineTo(5, 0.5);
    head.lineTo(-5, 0.5);
    head.lineTo(-2.3, -3.2);
    head.closeSubpath();
    p.setBrush(ink);
    p.drawPath(head);
    p.drawLine(QPointF(0, 0.5), QPointF(0, 9));
    p.restore();
}

void drawMagnifyingGlass(QPainter &p)
{
    p.drawEllipse(QPointF(8.5, 8.5), 5.5, 5.5);
    p.drawLine(QPointF(12.6, 12.6), QPointF(17, 17));
}

} // namespace

bool isKnown(const QString &symbol)
{
    return symbol == sidebarSquaresRight || symbol == checkmarkCircle || symbol == archivebox ||
           symbol == trash || symbol == pinFill || symbol == magnifyingglass;
}

void paint(QPainter &painter, const QString &symbol, const QRectF &rect, const QColor &color)
{
    if (!isKnown(symbol) || rect.isEmpty())
        return;
    const qreal side = std::min(rect.width(), rect.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.center().x() - side / 2, rect.center().y() - side / 2);
    painter.scale(side / grid, side / grid);
    // Lines keep about the weight of regular text at every size.
    QPen pen(color, std::clamp(grid / side * 1.3, 1.3, 2.2), Qt::SolidLine, Qt::RoundCap,
             Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (symbol == sidebarSquaresRight)
        drawSidebar(painter);
    else if (symbol == checkmarkCircle)
        drawCheckmarkCircle(painter);
    else if (symbol == archivebox)
        drawArchivebox(painter);
    else if (symbol == trash)
        drawTrash(painter);
    else if (symbol == pinFill)
        drawPinFill(painter);
    else if (symbol == magnifyingglass)
        drawMagnifyingGlass(painter);
    painter.restore();
}

QIcon icon(const QString &symbol, const QColor &color, int size,
           const std::optional<QColor> &selectedColor)
{
    QIcon result;
    const auto draw = [&](const QColor &ink, int scale) {
        QPixmap pixmap(size * scale, size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(painter, symbol, QRectF(0, 0, size, size), ink);
        painter.end();
        return pixmap;
    };
    for (const int scale : {1, 2}) {
        result.addPixmap(draw(color, scale), QIcon::Normal);
        if (selectedColor)
            result.addPixmap(draw(*selectedColor, scale), QIcon::Selected);
    }
    return result;
}

} // namespace LibrarySymbols
