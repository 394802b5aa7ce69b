// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GlobalCoordinates.h"

#include <QGuiApplication>
#include <QScreen>

GlobalCoordinates::GlobalCoordinates(const QRect &mainScreenGeometry)
    : m_left(mainScreenGeometry.x()),
      m_bottom(qreal(mainScreenGeometry.y()) + mainScreenGeometry.height())
{
}

QRectF GlobalCoordinates::rectToGlobal(const QRectF &qtRect) const
{
    return {qtRect.x() - m_left, m_bottom - qtRect.y() - qtRect.height(), qtRect.width(),
            qtRect.height()};
}

QRectF GlobalCoordinates::rectFromGlobal(const QRectF &globalRect) const
{
    return {globalRect.x() + m_left, m_bottom - globalRect.y() - globalRect.height(),
            globalRect.width(), globalRect.height()};
}

QPointF GlobalCoordinates::pointToGlobal(const QPointF &qtPoint) const
{
    return {qtPoint.x() - m_left, m_bottom - 1 - qtPoint.y()};
}

QPointF GlobalCoordinates::pointFromGlobal(const QPointF &globalPoint) const
{
    return {globalPoint.x() + m_left, m_bottom - 1 - globalPoint.y()};
}

GlobalCoordinates GlobalCoordinates::ofApplication()
{
    const QScreen *main = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    return main ? GlobalCoordinates(main->geometry()) : GlobalCoordinates();
}
