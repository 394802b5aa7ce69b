// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/TourDots.h"

#include <QPainter>

TourDots::TourDots(int count, QWidget *parent) : QWidget(parent), m_count(count)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TourDots::setCurrent(int index)
{
    if (index == m_current)
        return;
    m_current = index;
    setAccessibleDescription(QString::number(index + 1) + QStringLiteral(" de ") +
                             QString::number(m_count));
    update();
}

QSize TourDots::sizeHint() const
{
    return {m_count * diameter + std::max(0, m_count - 1) * spacing, diameter};
}

void TourDots::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor ink = palette().color(QPalette::WindowText);
    for (int i = 0; i < m_count; ++i) {
        QColor color = ink;
        color.setAlphaF(i == m_current ? 0.85f : 0.2f);
        painter.setBrush(color);
        painter.drawEllipse(QRectF(i * (diameter + spacing), 0, diameter, diameter));
    }
}
