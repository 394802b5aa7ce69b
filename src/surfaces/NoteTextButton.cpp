// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteTextButton.h"

#include "surfaces/NoteChromeFonts.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

NoteTextButton::NoteTextButton(const QString &text, QWidget *parent) : QAbstractButton(parent)
{
    setText(text);
    setFont(NoteChromeFonts::button());
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void NoteTextButton::setLook(const Look &look)
{
    const bool resized = look.padding != m_look.padding;
    m_look = look;
    if (resized)
        updateGeometry();
    update();
}

QSize NoteTextButton::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const double width =
        metrics.horizontalAdvance(text()) + m_look.padding.left() + m_look.padding.right();
    const double height = metrics.height() + m_look.padding.top() + m_look.padding.bottom();
    return QSize(int(std::ceil(width)), int(std::ceil(height)));
}

void NoteTextButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    QPainterPath shape;
    shape.addRoundedRect(box, m_look.cornerRadius, m_look.cornerRadius);
    painter.fillPath(shape, m_hovering ? m_look.hoverFill : m_look.fill);
    painter.setPen(m_look.text);
    painter.setFont(font());
    const QRectF label = box.marginsRemoved(m_look.padding);
    painter.drawText(label, Qt::AlignCenter | Qt::TextSingleLine, text());
}

void NoteTextButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    setHovering(true);
}

void NoteTextButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    setHovering(false);
}

void NoteTextButton::setHovering(bool hovering)
{
    if (m_hovering == hovering)
        return;
    m_hovering = hovering;
    update();
    Q_EMIT hoveringChanged(hovering);
}
