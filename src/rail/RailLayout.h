// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"

#include <QRectF>
#include <QSizeF>

// The fixed numbers of the rail's geometry, in points.
namespace RailMetrics {
// Slot parameters of a sleeping rail.
inline constexpr double asleepSpacing = 5;
inline constexpr double asleepTrailing = 0;
inline constexpr double asleepLargestItemHeight = 26;
inline constexpr double asleepSmallestItemHeight = 12;
// Slot parameters of an awake rail: tabs overlap by 7, the new-note tab gets a trailing slot.
inline constexpr double awakeSpacing = -7;
inline constexpr double awakeTrailing = 48;
inline constexpr double awakeLargestItemHeight = 116;
inline constexpr double awakeSmallestItemHeight = 58;
// Room kept free at the top and bottom of the panel when sizing the slots.
inline constexpr double verticalReserve = 48;
// The stack, and an open card, never start closer than this to the top (nor end closer to the
// bottom, for an open card).
inline constexpr double minimumTop = 24;

// Card sizes.
inline constexpr double chipWidth = 6;
inline constexpr double baseTabWidth = 78;
inline constexpr double tabWidthStep = 4;
inline constexpr double previewExtraWidth = 330;
inline constexpr double largestCardHeight = 260;
inline constexpr double hoverPeek = 8;
inline constexpr double tiltScale = 1.5;

// The new-note tab.
inline constexpr double addTabWidth = 78;
inline constexpr double addTabHoveredWidth = 86;
inline constexpr double addTabHeight = 48;
inline constexpr double addTabBleed = 16;
inline constexpr double addTabTilt = 1;

// Stacking order of cards; notes otherwise stack by index.
inline constexpr double previewZ = 10000;
inline constexpr double draggedZ = 9000;
inline constexpr double hoveredZ = 8000;
inline constexpr double addTabZ = 7000;

// Published rectangles grow by these on each side, so the panel already takes the mouse a
// little before the pointer reaches the drawn edge of a tab.
inline constexpr double publishInsetX = 4;
inline constexpr double publishInsetY = 2;

// Hover hit rectangles.
inline constexpr double awakeHitWidth = 78;
inline constexpr double asleepHitWidth = 6;
inline constexpr double hitInsetX = 12;
inline constexpr double hitInsetY = 2;

// Wake band.
inline constexpr double previewWakeBandWidth = 416;
inline constexpr double awakeWakeBandWidth = 126;
inline constexpr double asleepWakeBandWidth = 46;
inline constexpr double wakeBandMargin = 40;
} // namespace RailMetrics

// The slot layout of one rail for a size, a note count and a wake state. A plain value:
// recompute it whenever it is needed.
struct RailLayout
{
    int count = 0;         // notes on the rail
    QSizeF size;           // the rail's size (W, H)
    double itemHeight = 0; // height of one note slot
    double spacing = 0;    // gap between slots; negative when the slots overlap
    double trailing = 0;   // height of the new-note slot after the notes; 0 when there is none

    // The layout of `count` notes on a rail of `size`, awake or asleep.
    static RailLayout make(QSizeF size, int count, bool awake);

    // Height of the whole stack: the notes plus the trailing slot.
    double stackHeight() const;
    // Top of the stack: centred vertically, never above 24.
    double top() const;
    // Top of slot `index`.
    double itemY(int index) const;
    // Top of the trailing slot.
    double trailingY() const;
    // A rectangle `width` wide against `edge`, reaching `margin` beyond the stack above and below.
    QRectF band(ScreenEdge edge, double width, double margin) const;

    friend bool operator==(const RailLayout &, const RailLayout &) = default;
};
