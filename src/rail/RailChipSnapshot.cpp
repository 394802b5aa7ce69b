// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/RailChipSnapshot.h"

#include <QPainter>

void RailChipSnapshot::paint(QPainter &painter, const QRect &area, qreal devicePixelRatio,
                             const std::function<void(QPainter &)> &render)
{
    if (area.isEmpty())
        return;
    if (!m_valid || area != m_area || devicePixelRatio != m_ratio) {
        m_picture = QPixmap(area.size() * devicePixelRatio);
        m_picture.setDevicePixelRatio(devicePixelRatio);
        m_picture.fill(Qt::transparent);
        QPainter picture(&m_picture);
        picture.translate(-area.topLeft());
        render(picture);
        picture.end();
        m_area = area;
        m_ratio = devicePixelRatio;
        m_valid = true;
    }
    painter.drawPixmap(m_area.topLeft(), m_picture);
}
