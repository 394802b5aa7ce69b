// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/InteractiveRegions.h"

#include "rail/RectContains.h"

#include <algorithm>

namespace {

// QRectF's operator== is fuzzy; a rectangle that moved by a fraction of a point is a change.
bool sameRect(const QRectF &x, const QRectF &y)
{
    return x.x() == y.x() && x.y() == y.y() && x.width() == y.width() && x.height() == y.height();
}

bool sameRects(const QList<QRectF> &a, const QList<QRectF> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), sameRect);
}

} // namespace

InteractiveRegions::InteractiveRegions(QObject *parent) : QObject(parent) {}

void InteractiveRegions::setRects(const QList<QRectF> &rects)
{
    if (sameRects(m_rects, rects))
        return;
    m_rects = rects;
    Q_EMIT rectsChanged();
}

void InteractiveRegions::publish(const QList<QRectF> &rects)
{
    setRects(rects);
    if (m_onChange) {
        // A copy, so a callback that replaces itself does not destroy the running function.
        const auto callback = m_onChange;
        callback();
    }
}

void InteractiveRegions::setWakeBand(const QRectF &band)
{
    if (sameRect(m_wakeBand, band))
        return;
    m_wakeBand = band;
    Q_EMIT wakeBandChanged();
}

bool InteractiveRegions::contains(const QPointF &point) const
{
    return std::any_of(m_rects.begin(), m_rects.end(),
                       [&](const QRectF &rect) { return rectContains(rect, point); });
}

void InteractiveRegions::setOnChange(std::function<void()> callback)
{
    m_onChange = std::move(callback);
}
