// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/EdgeFlushShape.h"

#include <algorithm>

namespace {

// A continuous corner starts this many radii away from the corner along each side. Its curve
// is the usual approximation of the smooth corner of macOS and iOS shapes, made exactly
// symmetric about the corner's diagonal.
constexpr double continuousReach = 1.52866483;

// A point of a rounded corner as offsets from the corner point, in units of the radius:
// `along` back along the side that ends at the corner, `across` along the side that starts
// there. The points go from the incoming side to the outgoing side.
struct CornerCurve
{
    double along;
    double across;
};

constexpr CornerCurve continuousCorner[] = {
    // first cubic: control, control, end
    {1.08849323, 0.0},
    {0.86840689, 0.0},
    {0.66993427, 0.06549600},
    // straight piece
    {0.63149399, 0.07491100},
    // second cubic
    {0.37282392, 0.16905899},
    {0.16905899, 0.37282392},
    {0.07491100, 0.63149399},
    // straight piece, mirroring the first one
    {0.06549600, 0.66993427},
    // third cubic, mirroring the first one
    {0.0, 0.86840689},
    {0.0, 1.08849323},
    {0.0, continuousReach},
};

// Adds a corner at `corner`: `in` is the unit direction pointing from the corner back along
// the incoming side, `out` the unit direction along the outgoing side. The path is expected
// to stand at the start of the corner already.
void addCorner(QPainterPath &path, QPointF corner, QPointF in, QPointF out, double r,
               bool continuous)
{
    if (r <= 0) {
        path.lineTo(corner);
        return;
    }
    if (!continuous) {
        // A circular quarter: the cubic with the classic 0.5523 control distance.
        constexpr double k = 0.5522847498;
        const QPointF start = corner + in * r;
        const QPointF end = corner + out * r;
        path.cubicTo(start - in * (r * k), end - out * (r * k), end);
        return;
    }
    const auto at = [&](const CornerCurve &c) {
        return corner + in * (c.along * r) + out * (c.across * r);
    };
    const auto &p = continuousCorner;
    path.cubicTo(at(p[0]), at(p[1]), at(p[2]));
    path.lineTo(at(p[3]));
    path.cubicTo(at(p[4]), at(p[5]), at(p[6]));
    path.lineTo(at(p[7]));
    path.cubicTo(at(p[8]), at(p[9]), at(p[10]));
}

} // namespace

double EdgeFlushShape::effectiveRadius(const QRectF &rect) const
{
    const QRectF r = rect.normalized();
    return std::max(0.0, std::min(radius, std::min(r.width(), r.height()) * 0.5));
}

QPainterPath EdgeFlushShape::path(const QRectF &rect) const
{
    const QRectF box = rect.normalized();
    const double r = effectiveRadius(box);
    // The smooth corner needs 1.53 r of straight side on each rounded corner; where the box is
    // too small for that (a radius close to half the shorter side) the corner is circular.
    const bool continuous =
        continuousReach * r <= box.height() * 0.5 && continuousReach * r <= box.width();
    const double reach = continuous ? continuousReach * r : r;

    const QPointF up(0, -1), down(0, 1), leftward(-1, 0), rightward(1, 0);
    QPainterPath path;
    if (edge == ScreenEdge::right) {
        // Clockwise from the square top-right corner; the left corners are rounded.
        path.moveTo(box.topRight());
        path.lineTo(box.bottomRight());
        path.lineTo(box.bottomLeft() + QPointF(reach, 0));
        addCorner(path, box.bottomLeft(), rightward, up, r, continuous);
        path.lineTo(box.topLeft() + QPointF(0, reach));
        addCorner(path, box.topLeft(), down, rightward, r, continuous);
    } else {
        // Clockwise from the square top-left corner; the right corners are rounded.
        path.moveTo(box.topLeft());
        path.lineTo(box.topRight() - QPointF(reach, 0));
        addCorner(path, box.topRight(), leftward, down, r, continuous);
        path.lineTo(box.bottomRight() - QPointF(0, reach));
        addCorner(path, box.bottomRight(), up, leftward, r, continuous);
        path.lineTo(box.bottomLeft());
    }
    path.closeSubpath();
    return path;
}

QPainterPath continuousRoundedRect(const QRectF &rect, double radius)
{
    const QRectF box = rect.normalized();
    const double r = std::max(0.0, std::min(radius, std::min(box.width(), box.height()) * 0.5));
    // Each side must hold two smooth corners; otherwise they are circular.
    const bool continuous =
        continuousReach * r <= box.height() * 0.5 && continuousReach * r <= box.width() * 0.5;
    const double reach = continuous ? continuousReach * r : r;

    const QPointF up(0, -1), down(0, 1), leftward(-1, 0), rightward(1, 0);
    QPainterPath path;
    // Clockwise from the top side, just after the top-left corner.
    path.moveTo(box.topLeft() + QPointF(reach, 0));
    path.lineTo(box.topRight() - QPointF(reach, 0));
    addCorner(path, box.topRight(), leftward, down, r, continuous);
    path.lineTo(box.bottomRight() - QPointF(0, reach));
    addCorner(path, box.bottomRight(), up, leftward, r, continuous);
    path.lineTo(box.bottomLeft() + QPointF(reach, 0));
    addCorner(path, box.bottomLeft(), rightward, up, r, continuous);
    path.lineTo(box.topLeft() + QPointF(0, reach));
    addCorner(path, box.topLeft(), down, rightward, r, continuous);
    path.closeSubpath();
    return path;
}
