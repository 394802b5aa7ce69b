// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteCardChrome.h"

#include "surfaces/Perforation.h"

#include <algorithm>

QSizeF NoteCardChrome::cardSize(NotePhase phase, double tabWidth, double peek, double itemHeight,
                                double cardHeight)
{
    const double strip = (phase == NotePhase::chip ? chipWidth : tabWidth) + peek;
    const double panel = phase == NotePhase::preview ? openPanelWidth : 0;
    return {std::max(0.0, strip + panel),
            std::max(0.0, phase == NotePhase::preview ? cardHeight : itemHeight)};
}

double NoteCardChrome::targetStripWidth() const
{
    return std::max(0.0, (phase == NotePhase::chip ? chipWidth : tabWidth) + peek);
}

double NoteCardChrome::stripWidth() const
{
    return std::clamp(frame.width(), 0.0, targetStripWidth());
}

double NoteCardChrome::panelWidth() const
{
    return std::max(0.0, frame.width() - stripWidth());
}

double NoteCardChrome::panelOpacity() const
{
    return std::clamp(panelWidth() / openPanelWidth, 0.0, 1.0);
}

double NoteCardChrome::labelOpacity() const
{
    if (phase == NotePhase::chip)
        return 0;
    const double travel = targetStripWidth() - chipWidth;
    if (travel <= 0)
        return 1;
    return std::clamp((stripWidth() - chipWidth) / travel, 0.0, 1.0);
}

QRectF NoteCardChrome::paperRect() const
{
    if (edge == ScreenEdge::right)
        return frame.adjusted(0, 0, bleed, 0);
    return frame.adjusted(-bleed, 0, 0, 0);
}

QRectF NoteCardChrome::stripRect() const
{
    const double width = stripWidth();
    if (edge == ScreenEdge::right)
        return QRectF(frame.left(), frame.top(), width, frame.height());
    return QRectF(frame.right() - width, frame.top(), width, frame.height());
}

QRectF NoteCardChrome::panelRect() const
{
    const double width = panelWidth();
    if (edge == ScreenEdge::right)
        return QRectF(frame.right() - width, frame.top(), width, frame.height());
    return QRectF(frame.left(), frame.top(), width, frame.height());
}

QRectF NoteCardChrome::bodyRect() const
{
    const QRectF panel = panelRect();
    if (edge == ScreenEdge::right)
        return QRectF(panel.right() - openPanelWidth, panel.top(), openPanelWidth, panel.height());
    return QRectF(panel.left(), panel.top(), openPanelWidth, panel.height());
}

QPointF NoteCardChrome::labelCentre() const
{
    const QRectF strip = stripRect();
    const double shift = edge == ScreenEdge::right ? -labelShift : labelShift;
    return {strip.center().x() + shift, strip.center().y()};
}

double NoteCardChrome::labelLength() const
{
    return std::max(0.0, frame.height() - labelInset);
}

QRectF NoteCardChrome::perforationFrame() const
{
    const QRectF strip = stripRect();
    const double x = edge == ScreenEdge::right
                         ? strip.right() - perforationInsetX - Perforation::frameWidth
                         : strip.left() + perforationInsetX;
    return QRectF(x, strip.top() + perforationInsetY, Perforation::frameWidth,
                  std::max(0.0, strip.height() - 2 * perforationInsetY));
}

double NoteCardChrome::cornerRadius() const
{
    switch (phase) {
    case NotePhase::chip:
        return 3;
    case NotePhase::tab:
        return 15;
    case NotePhase::preview:
        return 18;
    }
    return 15;
}

CardShadow NoteCardChrome::shadow() const
{
    double radius = 0;
    double opacity = 0;
    switch (phase) {
    case NotePhase::chip:
        radius = 4;
        opacity = 0.1;
        break;
    case NotePhase::tab:
        radius = isHovered ? 14 : 8;
        opacity = isHovered ? 0.24 : 0.16;
        break;
    case NotePhase::preview:
        radius = 26;
        opacity = 0.28;
        break;
    }
    // The shadow falls towards the screen's interior, and a little down.
    const double towardsInterior = edge == ScreenEdge::right ? -1 : 1;
    return CardShadow{radius, opacity, QPointF(towardsInterior * radius / 3, 2)};
}

QTransform NoteCardChrome::tiltTransform() const
{
    const QRectF paper = paperRect();
    const QPointF anchor(edge == ScreenEdge::right ? paper.right() : paper.left(),
                         paper.center().y());
    QTransform transform;
    if (tilt == 0)
        return transform;
    transform.translate(anchor.x(), anchor.y());
    transform.rotate(tilt);
    transform.translate(-anchor.x(), -anchor.y());
    return transform;
}

QRectF NoteCardChrome::boundingRect() const
{
    const QRectF paper = paperRect();
    const CardShadow cast = shadow();
    const double reach = CardShadowCache::margin(cast.radius) + 1;
    const QRectF shadowRect = paper.translated(cast.offset).adjusted(-reach, -reach, reach, reach);
    return tiltTransform().mapRect(paper.united(shadowRect)).adjusted(-1, -1, 1, 1);
}

bool NoteCardChrome::contains(const QPointF &point) const
{
    bool invertible = false;
    const QTransform inverse = tiltTransform().inverted(&invertible);
    const QPointF local = invertible ? inverse.map(point) : point;
    return shape().path(paperRect()).contains(local);
}
