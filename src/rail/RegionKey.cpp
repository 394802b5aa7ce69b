// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/RegionKey.h"

#include <QDebug>

bool operator==(const RegionKey &a, const RegionKey &b)
{
    // QSizeF's own comparison is fuzzy; a sub-point change of size must still republish.
    return a.size.width() == b.size.width() && a.size.height() == b.size.height() &&
           a.awake == b.awake && a.open == b.open && a.count == b.count &&
           a.dragging == b.dragging && a.dragOffset == b.dragOffset;
}

QDebug operator<<(QDebug debug, const RegionKey &key)
{
    const QDebugStateSaver saver(debug);
    debug.nospace() << "RegionKey(" << key.size << ", awake " << key.awake << ", open "
                    << (key.open ? key.open->toString() : QStringLiteral("none")) << ", count "
                    << key.count << ", dragging "
                    << (key.dragging ? key.dragging->toString() : QStringLiteral("none"))
                    << ", offset " << key.dragOffset << ')';
    return debug;
}
