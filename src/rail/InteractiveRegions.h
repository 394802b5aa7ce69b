// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>

#include <functional>

// The rectangles of a rail (top-left origin, points) that take the mouse; everywhere else the
// rail lets clicks through. Main thread only.
class InteractiveRegions : public QObject
{
    Q_OBJECT

public:
    explicit InteractiveRegions(QObject *parent = nullptr);

    // The rectangles that currently take the mouse, in publishing order.
    const QList<QRectF> &rects() const { return m_rects; }
    // Replaces the rectangles; an equal list (same rectangles in the same order) notifies nobody.
    void setRects(const QList<QRectF> &rects);
    // Replaces the rectangles and then runs the change callback, equal list or not: the
    // hosting view re-checks mouse acceptance after every publication.
    void publish(const QList<QRectF> &rects);

    // The band along the screen edge where the pointer wakes the rail or keeps it awake
    // (top-left origin, points); empty until the rail is laid out.
    QRectF wakeBand() const { return m_wakeBand; }
    // Replaces the band; the same band notifies nobody.
    void setWakeBand(const QRectF &band);

    // Whether any rectangle contains `point`; an empty list contains nothing.
    bool contains(const QPointF &point) const;

    // The callback run after each publication (set by the hosting view; may be empty).
    const std::function<void()> &onChange() const { return m_onChange; }
    // Sets or clears the publication callback.
    void setOnChange(std::function<void()> callback);

Q_SIGNALS:
    // The rectangles changed.
    void rectsChanged();
    // The wake band changed.
    void wakeBandChanged();

private:
    QList<QRectF> m_rects;
    QRectF m_wakeBand;
    std::function<void()> m_onChange;
};
