// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/RailGeometry.h"

#include "rail/RailDrag.h"
#include "rail/RectContains.h"

#include <algorithm>
#include <array>

using namespace RailMetrics;

namespace {

double edgeX(ScreenEdge edge, QSizeF size, double width)
{
    return edge == ScreenEdge::right ? size.width() - width : 0;
}

bool sameID(const std::optional<QUuid> &optional, const QUuid &id)
{
    return optional.has_value() && *optional == id;
}

} // namespace

std::optional<ScreenEdge> RailGeometry::defaultEdgeFromToken(QStringView token)
{
    if (token == u"left")
        return ScreenEdge::left;
    if (token == u"right")
        return ScreenEdge::right;
    return std::nullopt;
}

double RailGeometry::tabWidth(const QUuid &noteID)
{
    const auto byte0 = quint8(noteID.toRfc4122().at(0));
    return baseTabWidth + ((byte0 % 5) - 2) * tabWidthStep;
}

double RailGeometry::tilt(const QUuid &noteID, ScreenEdge edge)
{
    static constexpr std::array<double, 4> table{-1, -0.5, 0.5, 1};
    const auto byte1 = quint8(noteID.toRfc4122().at(1));
    const double degrees = table[byte1 & 3] * tiltScale;
    // Mirrored, so a note leans the same way relative to its own edge on either rail.
    return edge == ScreenEdge::right ? degrees : -degrees;
}

QTransform RailGeometry::edgeRotation(const QRectF &frame, ScreenEdge edge, double degrees)
{
    const QPointF anchor(edge == ScreenEdge::right ? frame.right() : frame.left(),
                         frame.center().y());
    QTransform transform;
    transform.translate(anchor.x(), anchor.y());
    transform.rotate(degrees);
    transform.translate(-anchor.x(), -anchor.y());
    return transform;
}

std::optional<int> RailGeometry::indexOf(const QUuid &noteID) const
{
    const auto index = noteIDs.indexOf(noteID);
    if (index < 0)
        return std::nullopt;
    return int(index);
}

RailLayout RailGeometry::layout(std::optional<bool> awake) const
{
    return RailLayout::make(size, count(), awake.value_or(isAwake));
}

RailLayout RailGeometry::awakeLayout(QSizeF railSize) const
{
    return RailLayout::make(railSize, count(), true);
}

NotePhase RailGeometry::phase(const QUuid &noteID) const
{
    if (sameID(previewNoteID, noteID))
        return NotePhase::preview;
    return isAwake ? NotePhase::tab : NotePhase::chip;
}

double RailGeometry::peek(const QUuid &noteID, NotePhase phase) const
{
    return sameID(hoveredNoteID, noteID) && phase != NotePhase::preview ? hoverPeek : 0;
}

double RailGeometry::cardHeight() const
{
    return std::max(0.0, std::min(size.height() - verticalReserve, largestCardHeight));
}

double RailGeometry::dragStep() const
{
    return RailDrag::dragStep(isAwake);
}

int RailGeometry::displayIndex(int index) const
{
    if (!draggingNoteID)
        return index;
    const auto from = indexOf(*draggingNoteID);
    if (!from)
        return index;
    const int to = RailDrag::targetSlot(*from, dragOffset, count(), dragStep());
    return RailDrag::displayIndex(index, *from, to);
}

QRectF RailGeometry::itemRect(int index) const
{
    const QUuid &id = noteIDs.at(index);
    const RailLayout grid = layout();
    const NotePhase notePhase = phase(id);
    const bool open = notePhase == NotePhase::preview;
    const double visible = notePhase == NotePhase::chip ? chipWidth : tabWidth(id);
    const double extra = open ? previewExtraWidth : 0;
    const double width = visible + extra + peek(id, notePhase);
    const double height = open ? cardHeight() : grid.itemHeight;

    double y = 0;
    if (open) {
        // Level with its tab, but pushed up to keep 24 clear below, and never above 24.
        const double y0 = grid.itemY(displayIndex(index));
        y = std::min(std::max(y0, minimumTop),
                     std::max(size.height() - height - minimumTop, minimumTop));
    } else if (sameID(draggingNoteID, id)) {
        y = grid.itemY(index) + dragOffset;
    } else {
        y = grid.itemY(displayIndex(index));
    }
    return QRectF(edgeX(edge, size, width), y, width, height);
}

double RailGeometry::zIndex(int index) const
{
    const QUuid &id = noteIDs.at(index);
    if (sameID(previewNoteID, id))
        return previewZ;
    if (sameID(draggingNoteID, id))
        return draggedZ;
    if (sameID(hoveredNoteID, id))
        return hoveredZ;
    return index;
}

RailCard RailGeometry::card(int index) const
{
    RailCard card;
    card.noteID = noteIDs.at(index);
    card.phase = phase(card.noteID);
    card.frame = itemRect(index);
    card.tabWidth = tabWidth(card.noteID);
    card.tilt = tilt(card.noteID);
    card.peek = peek(card.noteID, card.phase);
    card.itemHeight = layout().itemHeight;
    card.cardHeight = cardHeight();
    card.zIndex = zIndex(index);
    card.isHovered = sameID(hoveredNoteID, card.noteID);
    card.isDimmed = previewNoteID.has_value() && *previewNoteID != card.noteID;
    card.autoFocus = sameID(focusNoteID, card.noteID);
    return card;
}

bool RailGeometry::showsAddTab() const
{
    if (isAwake)
        return true;
    return noteIDs.isEmpty() && defaultEdge == edge;
}

QRectF RailGeometry::addTabRect(QSizeF railSize) const
{
    const double width = !showsAddTab() ? chipWidth
                         : isAddHovered ? addTabHoveredWidth
                                        : addTabWidth;
    return QRectF(edgeX(edge, railSize, width), awakeLayout(railSize).trailingY(), width,
                  addTabHeight);
}

QRectF RailGeometry::addTabFrame() const
{
    const QRectF rect = addTabRect();
    return QRectF(rect.topLeft(), QSizeF(rect.width() + addTabBleed, addTabHeight));
}

double RailGeometry::addTabTilt() const
{
    return edge == ScreenEdge::right ? -RailMetrics::addTabTilt : RailMetrics::addTabTilt;
}

bool RailGeometry::isOverAddTab(const QPointF &point) const
{
    return showsAddTab() && rectContains(addTabRect().adjusted(-publishInsetX, -publishInsetY,
                                                               publishInsetX, publishInsetY),
                                         point);
}

QList<QRectF> RailGeometry::publishedRects() const
{
    QList<QRectF> rects;
    if (!isMeasured())
        return rects;
    rects.reserve(count() + 1);
    for (int i = 0; i < count(); ++i)
        rects.append(
            itemRect(i).adjusted(-publishInsetX, -publishInsetY, publishInsetX, publishInsetY));
    if (showsAddTab())
        rects.append(
            addTabRect().adjusted(-publishInsetX, -publishInsetY, publishInsetX, publishInsetY));
    return rects;
}

RegionKey RailGeometry::regionKey() const
{
    return RegionKey{size, isAwake, previewNoteID, count(), draggingNoteID, dragOffset};
}

QRectF RailGeometry::hitRect(int index) const
{
    const RailLayout grid = layout();
    const double width = isAwake ? awakeHitWidth : asleepHitWidth;
    return QRectF(edgeX(edge, size, width), grid.itemY(index), width, grid.itemHeight)
        .adjusted(-hitInsetX, -hitInsetY, hitInsetX, hitInsetY);
}

std::optional<int> RailGeometry::noteIndex(const QPointF &point) const
{
    for (int i = 0; i < count(); ++i) {
        if (rectContains(hitRect(i), point))
            return i;
    }
    return std::nullopt;
}

std::optional<QUuid> RailGeometry::noteID(const QPointF &point) const
{
    const auto index = noteIndex(point);
    if (!index)
        return std::nullopt;
    return noteIDs.at(*index);
}

double RailGeometry::wakeBandWidth() const
{
    if (isPreviewOpen())
        return previewWakeBandWidth;
    return isAwake ? awakeWakeBandWidth : asleepWakeBandWidth;
}

QRectF RailGeometry::wakeBand() const
{
    return layout().band(edge, wakeBandWidth(), wakeBandMargin);
}

bool RailGeometry::isInWakeZone(const QPointF &point) const
{
    if (!isMeasured())
        return false;
    if (isPreviewOpen())
        return true;
    if (noteIndex(point))
        return true;
    if (isOverAddTab(point))
        return true;
    return rectContains(wakeBand(), point);
}
