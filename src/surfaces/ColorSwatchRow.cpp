// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/ColorSwatchRow.h"

#include "surfaces/ColorSwatchAccessible.h"
#include "surfaces/NotePaint.h"
#include "surfaces/WithOpacity.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <cmath>

namespace {

QPainterPath roundedSquare(const QRectF &rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

} // namespace

ColorSwatchRow::ColorSwatchRow(QWidget *parent) : QWidget(parent), m_ink(Qt::black)
{
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ColorSwatchRowAccessible::install();
}

void ColorSwatchRow::setScheme(ColorScheme scheme)
{
    if (m_scheme == scheme)
        return;
    m_scheme = scheme;
    update();
}

void ColorSwatchRow::setCurrent(NoteColor color)
{
    if (m_current == color)
        return;
    m_current = color;
    update();
}

void ColorSwatchRow::setInk(const QColor &ink)
{
    if (m_ink == ink)
        return;
    m_ink = ink;
    update();
}

QRectF ColorSwatchRow::swatchRect(NoteColor color) const
{
    const auto index = NoteColors::allCases().indexOf(color);
    return QRectF(ringRoom + double(index) * (swatchSize + spacing), ringRoom, swatchSize,
                  swatchSize);
}

std::optional<NoteColor> ColorSwatchRow::colorAt(const QPointF &point) const
{
    for (const NoteColor color : NoteColors::allCases()) {
        // Half the gap on either side belongs to the nearer swatch.
        const QRectF target =
            swatchRect(color).adjusted(-spacing / 2, -ringRoom, spacing / 2, ringRoom);
        if (target.contains(point))
            return color;
    }
    return std::nullopt;
}

QSize ColorSwatchRow::sizeHint() const
{
    const double count = double(NoteColors::allCases().size());
    const double width = count * swatchSize + (count - 1) * spacing + 2 * ringRoom;
    return QSize(int(std::ceil(width)), int(std::ceil(swatchSize + 2 * ringRoom)));
}

bool ColorSwatchRow::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (const auto color = colorAt(help->pos()))
            QToolTip::showText(help->globalPos(), NoteColors::displayName(*color), this,
                               swatchRect(*color).toAlignedRect());
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void ColorSwatchRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const NoteColor color : NoteColors::allCases()) {
        const QRectF swatch = swatchRect(color);
        const QPainterPath shape = roundedSquare(swatch, cornerRadius);
        painter.fillPath(shape, NoteColors::paint(color, m_scheme).surface);
        if (color == m_current) {
            const QRectF ring = swatch.adjusted(-2.5, -2.5, 2.5, 2.5);
            painter.strokePath(roundedSquare(ring, cornerRadius),
                               QPen(withOpacity(m_ink, 0.75), 2));
        } else {
            painter.strokePath(shape, QPen(withOpacity(m_ink, 0.12), 0.8));
        }
    }
}

void ColorSwatchRow::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton ? colorAt(event->position()) : std::nullopt;
    if (m_pressed)
        event->accept();
    else
        event->ignore();
}

void ColorSwatchRow::mouseReleaseEvent(QMouseEvent *event)
{
    const auto pressed = std::exchange(m_pressed, std::nullopt);
    if (event->button() != Qt::LeftButton || !pressed) {
        event->ignore();
        return;
    }
    // Like a button: the click counts when it ends over the swatch it started on.
    if (colorAt(event->position()) == pressed)
        Q_EMIT picked(*pressed);
    event->accept();
}
