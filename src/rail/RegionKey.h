// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSizeF>
#include <QUuid>

#include <optional>

class QDebug;

// Everything the published mouse regions of a rail depend on; when it changes, the rail
// publishes its rectangles again. Compared field by field, exactly.
struct RegionKey
{
    QSizeF size;                   // the rail's size
    bool awake = false;            // the rail is awake
    std::optional<QUuid> open;     // the note open in place
    int count = 0;                 // notes on the rail
    std::optional<QUuid> dragging; // the note being dragged
    double dragOffset = 0;         // vertical translation of the dragged note

    // Exact equality of every field (sizes and offsets are not compared fuzzily).
    friend bool operator==(const RegionKey &a, const RegionKey &b);
};

// Readable form for test failures and debugging.
QDebug operator<<(QDebug debug, const RegionKey &key);
