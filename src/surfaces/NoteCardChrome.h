// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"
#include "rail/EdgeFlushShape.h"
#include "surfaces/CardShadowCache.h"
#include "surfaces/NotePhase.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

// The geometry of one note card as drawn: its paper, tab strip, preview panel, label,
// perforation, shadow and tilt, from the values a rail gives it. A plain value; every
// rectangle is in the coordinates of `frame`.
//
// `frame` is the visible card, flush with the screen edge on the side of `edge`. The paper
// runs `bleed` further, past the screen edge, so a tilted card never shows a gap there. The
// strip keeps its width and the panel takes what is left of the frame, so a frame that
// grows or shrinks in an animation opens or folds the panel.
struct NoteCardChrome
{
    // Paper beyond the screen edge.
    static constexpr double bleed = 16;
    // Width of the strip of a chip on a sleeping rail.
    static constexpr double chipWidth = 6;
    // Width of the content of an open card.
    static constexpr double openPanelWidth = 330;
    // The label runs the strip's height less this.
    static constexpr double labelInset = 26;
    // The label sits this much off the strip's middle, towards the screen's interior.
    static constexpr double labelShift = 5;
    // Letter spacing of the label.
    static constexpr double labelTracking = 1.6;
    // The perforation keeps this far from the strip's top and bottom...
    static constexpr double perforationInsetY = 10;
    // ...and this far from the strip's screen-edge side.
    static constexpr double perforationInsetX = 17;
    static constexpr double borderWidth = 0.8;

    ScreenEdge edge = ScreenEdge::right;
    NotePhase phase = NotePhase::chip;
    QRectF frame;
    double tabWidth = 78;
    double peek = 0;
    double tilt = 0; // degrees
    bool isHovered = false;

    // The size a card takes on the rail for these values.
    static QSizeF cardSize(NotePhase phase, double tabWidth, double peek, double itemHeight,
                           double cardHeight);

    // Width the strip has once the frame has grown to its size: 6 for a chip, `tabWidth`
    // otherwise, plus `peek`.
    double targetStripWidth() const;
    double stripWidth() const;
    double panelWidth() const;
    // The panel fades in as it opens.
    double panelOpacity() const;
    // The label and the perforation show on tabs, fading in as a chip grows into a tab.
    double labelOpacity() const;

    QRectF paperRect() const;
    QRectF stripRect() const;
    // The part of the panel that shows.
    QRectF panelRect() const;
    // Where the content of an open card is laid out: `openPanelWidth` wide, against the panel's
    // screen-edge side, so that it slides out of the tab as the panel opens.
    QRectF bodyRect() const;
    // The label's box before it is turned: its centre, and its length along the strip.
    QPointF labelCentre() const;
    double labelLength() const;
    QRectF perforationFrame() const;

    double cornerRadius() const;
    EdgeFlushShape shape() const { return EdgeFlushShape{edge, cornerRadius()}; }
    CardShadow shadow() const;
    // The rotation by `tilt` about the middle of the paper's screen-edge side.
    QTransform tiltTransform() const;
    // Everything the card paints, shadow and tilt included.
    QRectF boundingRect() const;
    // Whether `point` is on the (tilted) paper.
    bool contains(const QPointF &point) const;

    friend bool operator==(const NoteCardChrome &, const NoteCardChrome &) = default;
};
