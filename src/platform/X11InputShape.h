// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/X11Connection.h"

#include <QList>
#include <QRect>
#include <QRectF>
#include <QRegion>

#include <optional>

// The SHAPE extension's input and bounding regions of a window. The input region decides
// where the window takes the mouse (outside it clicks reach the window behind, without a
// round trip through the application); the bounding region decides what is drawn at all.
// Rectangles are in device pixels relative to the window.
namespace X11InputShape {

enum class Kind
{
    input,
    bounding
};

bool isAvailable(const X11Connection &x11);

// `rects` empty: nothing (no input, or nothing drawn).
void set(const X11Connection &x11, xcb_window_t window, Kind kind, const QList<QRect> &rects);
// Back to the whole window.
void reset(const X11Connection &x11, xcb_window_t window, Kind kind);
// The current region, for checks; absent when it cannot be read.
std::optional<QList<QRect>> read(const X11Connection &x11, xcb_window_t window, Kind kind);

// Logical rectangles (or a region) to device pixels, rounded outwards so that nothing
// that should take the mouse is lost to rounding.
QList<QRect> toDevicePixels(const QList<QRectF> &rects, qreal devicePixelRatio);
QList<QRect> toDevicePixels(const QRegion &region, qreal devicePixelRatio);

} // namespace X11InputShape
