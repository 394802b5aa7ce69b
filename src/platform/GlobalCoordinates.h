// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>

// The one conversion between Qt's desktop coordinates (origin at the top-left of the
// virtual desktop, y downwards) and the application's global coordinates (origin at the
// bottom-left of the main screen, y upwards).
//
// Areas (screen frames, window frames) flip as areas: a Qt rectangle covering rows
// [top, top + h) becomes the global rectangle [H - top - h, H - top).
// Pointer locations name a pixel: Qt pixel row r becomes global row H - 1 - r, so the
// pointer on the top row of a screen lies inside that screen's half-open global frame
// and not on the bottom edge of the screen above it.
// H is the bottom of the main screen in Qt coordinates; x only shifts by the main
// screen's left edge.
class GlobalCoordinates
{
public:
    // No main screen: the identity with the flip around y = 0.
    GlobalCoordinates() = default;
    // `mainScreenGeometry` is the main screen's geometry in Qt coordinates.
    explicit GlobalCoordinates(const QRect &mainScreenGeometry);
    // Around the application's primary screen, as it is now.
    static GlobalCoordinates ofApplication();

    QRectF rectToGlobal(const QRectF &qtRect) const;
    QRectF rectFromGlobal(const QRectF &globalRect) const;
    QPointF pointToGlobal(const QPointF &qtPoint) const;
    QPointF pointFromGlobal(const QPointF &globalPoint) const;

    friend bool operator==(const GlobalCoordinates &, const GlobalCoordinates &) = default;

private:
    qreal m_left = 0;
    qreal m_bottom = 0;
};
