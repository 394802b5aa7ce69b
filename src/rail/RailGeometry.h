// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"
#include "rail/RailLayout.h"
#include "rail/RegionKey.h"
#include "surfaces/NotePhase.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <QUuid>

#include <optional>

// The values a rail hands to one note card, all in rail coordinates.
struct RailCard
{
    QUuid noteID;
    NotePhase phase = NotePhase::chip;
    QRectF frame;          // where the card is drawn, before its tilt
    double tabWidth = 0;   // width of the tab strip, whatever the phase
    double tilt = 0;       // degrees, about the middle of the card's screen-edge side
    double peek = 0;       // extra width of a hovered tab
    double itemHeight = 0; // height in the chip and tab phases
    double cardHeight = 0; // height in the preview phase
    double zIndex = 0;     // stacking order: higher draws above
    bool isHovered = false;
    bool isDimmed = false;
    bool autoFocus = false;
};

// The geometry of one rail for a snapshot of the content's state: layout, placement of every
// card and of the new-note tab, z-order, published and hover rectangles and the wake zone.
// A plain value; build one whenever the state changes and ask it.
struct RailGeometry
{
    ScreenEdge edge = ScreenEdge::right;
    QList<QUuid> noteIDs; // the notes of the rail in sort order
    QSizeF size;          // the rail's measured size; empty until measured
    bool isAwake = false;
    std::optional<QUuid> previewNoteID; // the note open in place
    std::optional<QUuid> hoveredNoteID; // the note under the pointer
    std::optional<QUuid> focusNoteID;   // the note whose editor takes focus when shown
    bool isAddHovered = false;          // the pointer is over the new-note tab
    std::optional<QUuid> draggingNoteID;
    double dragOffset = 0;
    // The default-edge setting; absent when it names neither edge.
    std::optional<ScreenEdge> defaultEdge = ScreenEdge::right;

    // Reads the default-edge setting's token: "left", "right", or absent for anything else.
    static std::optional<ScreenEdge> defaultEdgeFromToken(QStringView token);

    // Per-note look from the note's id, the same wherever the note shows.
    // Width of the tab strip: 70, 74, 78, 82 or 86, from byte 0 of the id.
    static double tabWidth(const QUuid &noteID);
    // Tilt in degrees from byte 1 of the id: ±0.75 or ±1.5, mirrored between the edges.
    static double tilt(const QUuid &noteID, ScreenEdge edge);
    // Rotation by `degrees` about the middle of the `frame` side that touches `edge`.
    static QTransform edgeRotation(const QRectF &frame, ScreenEdge edge, double degrees);

    // Number of notes on the rail.
    int count() const { return int(noteIDs.size()); }
    // Index of `noteID` on the rail, or absent.
    std::optional<int> indexOf(const QUuid &noteID) const;
    // Whether the rail has a measured, non-empty size.
    bool isMeasured() const { return !size.isEmpty(); }
    // Whether a note is open in place.
    bool isPreviewOpen() const { return previewNoteID.has_value(); }

    // The slot layout for `size`; `awake` absent means the current wake state.
    RailLayout layout(std::optional<bool> awake = std::nullopt) const;
    // Slot layout of the awake rail for `railSize`, whatever the current state.
    RailLayout awakeLayout(QSizeF railSize) const;

    // Phase of a note: preview when open, else tab awake and chip asleep.
    NotePhase phase(const QUuid &noteID) const;
    // This rail's tilt for a note.
    double tilt(const QUuid &noteID) const { return tilt(noteID, edge); }
    // 8 for the hovered note unless it is open in place, else 0.
    double peek(const QUuid &noteID, NotePhase phase) const;
    // Height of an open card: the panel height less 48, at most 260 (never negative).
    double cardHeight() const;
    // Slot pitch for converting a drag distance into slots in the current wake state.
    double dragStep() const;
    // The slot where the note at `index` shows while another note is dragged.
    int displayIndex(int index) const;

    // Frame of the card of the note at `index` (untilted, not enlarged).
    QRectF itemRect(int index) const;
    // Stacking order of the card at `index`.
    double zIndex(int index) const;
    // Everything the card of the note at `index` needs.
    RailCard card(int index) const;

    // Whether the new-note tab shows: awake, or asleep on an empty rail at the default edge.
    bool showsAddTab() const;
    // Rectangle of the new-note tab for `railSize`, placed by the awake layout.
    QRectF addTabRect(QSizeF railSize) const;
    // Rectangle of the new-note tab for the current size.
    QRectF addTabRect() const { return addTabRect(size); }
    // Frame of the new-note tab view: its rectangle's origin, 16 wider for the bleed.
    QRectF addTabFrame() const;
    // Tilt of the new-note tab in degrees: -1 on the right edge, +1 on the left.
    double addTabTilt() const;
    // Whether `point` is over the new-note tab (its rectangle grown by 4 and 2), when it shows.
    bool isOverAddTab(const QPointF &point) const;

    // The mouse-taking rectangles to publish: every card grown by 4 and 2, then the new-note
    // tab; nothing while the rail is unmeasured.
    QList<QRectF> publishedRects() const;
    // The key whose change calls for publishing again.
    RegionKey regionKey() const;

    // Hover rectangle of the note at `index` (not published).
    QRectF hitRect(int index) const;
    // The first note whose hover rectangle contains `point`, or absent.
    std::optional<int> noteIndex(const QPointF &point) const;
    // The id of the note under `point`, or absent.
    std::optional<QUuid> noteID(const QPointF &point) const;

    // Width of the wake band: 416 with a note open, 126 awake, 46 asleep.
    double wakeBandWidth() const;
    // The band at the edge within which the pointer wakes the rail or keeps it awake.
    QRectF wakeBand() const;
    // Whether `point` keeps the rail awake or lets it wake.
    bool isInWakeZone(const QPointF &point) const;
};
