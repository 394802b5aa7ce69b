// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QRect>

#include <functional>

class QPainter;

// A picture of a sleeping rail's chips, drawn once and then copied: a rail stands asleep all
// day, and each of its repaints should cost one image copy whatever its number of notes.
class RailChipSnapshot
{
public:
    // Forgets the picture; the next paint draws it again.
    void invalidate() { m_valid = false; }
    bool isValid() const { return m_valid; }

    // Copies the picture of `area` (the painter's coordinates) to `painter`, first drawing it
    // with `render` when it is missing or was made for another area or pixel ratio.
    void paint(QPainter &painter, const QRect &area, qreal devicePixelRatio,
               const std::function<void(QPainter &)> &render);

private:
    QPixmap m_picture;
    QRect m_area;
    qreal m_ratio = 0;
    bool m_valid = false;
};
