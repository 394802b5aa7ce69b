// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11InputShape.h"

#include <xcb/shape.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace X11InputShape {

namespace {

xcb_shape_kind_t shapeKind(Kind kind)
{
    return kind == Kind::input ? xcb_shape_kind_t(XCB_SHAPE_SK_INPUT)
                               : xcb_shape_kind_t(XCB_SHAPE_SK_BOUNDING);
}

qint16 clampedCoordinate(int value)
{
    return qint16(std::clamp(value, int(std::numeric_limits<qint16>::min()),
                             int(std::numeric_limits<qint16>::max())));
}

quint16 clampedSize(int value)
{
    return quint16(std::clamp(value, 0, int(std::numeric_limits<quint16>::max())));
}

} // namespace

bool isAvailable(const X11Connection &x11)
{
    return x11.extension(&xcb_shape_id) != nullptr;
}

void set(const X11Connection &x11, xcb_window_t window, Kind kind, const QList<QRect> &rects)
{
    if (!isAvailable(x11) || window == XCB_WINDOW_NONE)
        return;
    std::vector<xcb_rectangle_t> xRects;
    xRects.reserve(size_t(rects.size()));
    for (const QRect &rect : rects) {
        if (rect.isEmpty())
            continue;
        xRects.push_back({clampedCoordinate(rect.x()), clampedCoordinate(rect.y()),
                          clampedSize(rect.width()), clampedSize(rect.height())});
    }
    xcb_shape_rectangles(x11.connection(), XCB_SHAPE_SO_SET, shapeKind(kind),
                         XCB_CLIP_ORDERING_UNSORTED, window, 0, 0, quint32(xRects.size()),
                         xRects.data());
    x11.flush();
}

void reset(const X11Connection &x11, xcb_window_t window, Kind kind)
{
    if (!isAvailable(x11) || window == XCB_WINDOW_NONE)
        return;
    xcb_shape_mask(x11.connection(), XCB_SHAPE_SO_SET, shapeKind(kind), window, 0, 0,
                   XCB_PIXMAP_NONE);
    x11.flush();
}

std::optional<QList<QRect>> read(const X11Connection &x11, xcb_window_t window, Kind kind)
{
    if (!isAvailable(x11) || window == XCB_WINDOW_NONE)
        return std::nullopt;
    const X11Reply<xcb_shape_get_rectangles_reply_t> reply(xcb_shape_get_rectangles_reply(
        x11.connection(), xcb_shape_get_rectangles(x11.connection(), window, shapeKind(kind)),
        nullptr));
    if (!reply)
        return std::nullopt;
    QList<QRect> rects;
    const xcb_rectangle_t *data = xcb_shape_get_rectangles_rectangles(reply.get());
    const int count = xcb_shape_get_rectangles_rectangles_length(reply.get());
    for (int i = 0; i < count; ++i)
        rects.append(QRect(data[i].x, data[i].y, data[i].width, data[i].height));
    return rects;
}

QList<QRect> toDevicePixels(const QList<QRectF> &rects, qreal devicePixelRatio)
{
    QList<QRect> result;
    result.reserve(rects.size());
    for (const QRectF &rect : rects) {
        const QRectF normalized = rect.normalized();
        if (normalized.isEmpty())
            continue;
        const int left = int(std::floor(normalized.left() * devicePixelRatio));
        const int top = int(std::floor(normalized.top() * devicePixelRatio));
        const int right = int(std::ceil(normalized.right() * devicePixelRatio));
        const int bottom = int(std::ceil(normalized.bottom() * devicePixelRatio));
        result.append(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
    }
    return result;
}

QList<QRect> toDevicePixels(const QRegion &region, qreal devicePixelRatio)
{
    QList<QRectF> rects;
    for (const QRect &rect : region)
        rects.append(QRectF(rect));
    return toDevicePixels(rects, devicePixelRatio);
}

} // namespace X11InputShape
