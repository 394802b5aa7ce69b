// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/RailDrag.h"

#include "rail/RailLayout.h"

#include <algorithm>
#include <cmath>

bool RailDrag::change(const QUuid &noteID, double dy)
{
    if (!(std::abs(dy) > threshold))
        return false;
    const bool changed =
        !m_dragExceededThreshold || m_draggingNoteID != noteID || m_dragOffset != dy;
    m_dragExceededThreshold = true;
    m_draggingNoteID = noteID;
    m_dragOffset = dy;
    return changed;
}

RailDrag::Outcome RailDrag::end(const QUuid &noteID, int index, double dy,
                                const QList<double> &sortIndexes, double step)
{
    Outcome outcome;
    if (!m_dragExceededThreshold) {
        outcome.kind = Outcome::Kind::open;
        outcome.noteID = noteID;
    } else {
        const int to = targetSlot(index, dy, int(sortIndexes.size()), step);
        if (to != index) {
            outcome.kind = Outcome::Kind::reorder;
            outcome.noteID = noteID;
            outcome.sortIndex = sortIndex(index, to, sortIndexes);
        }
    }
    reset();
    return outcome;
}

void RailDrag::reset()
{
    m_dragExceededThreshold = false;
    m_draggingNoteID.reset();
    m_dragOffset = 0;
}

double RailDrag::dragStep(bool awake)
{
    using namespace RailMetrics;
    return awake ? awakeLargestItemHeight + awakeSpacing : asleepLargestItemHeight + asleepSpacing;
}

int RailDrag::targetSlot(int from, double dy, int count, double step)
{
    if (count < 1 || !(step > 0))
        return from;
    // Clamped as a double first: a wild translation must not overflow the conversion.
    const double steps = std::round(dy / step);
    if (std::isnan(steps))
        return std::clamp(from, 0, count - 1);
    const double to = std::clamp(double(from) + steps, 0.0, double(count - 1));
    return int(to);
}

int RailDrag::displayIndex(int index, int from, int to)
{
    if (index == from)
        return to;
    if (from < index && index <= to)
        return index - 1;
    if (to <= index && index < from)
        return index + 1;
    return index;
}

double RailDrag::sortIndex(int from, int to, const QList<double> &list)
{
    const int length = int(list.size());
    const bool fromValid = from >= 0 && from < length;
    if (from == to || !fromValid || to < 0 || to >= length)
        return fromValid ? list[from] : 0;
    QList<double> rest = list;
    rest.removeAt(from);
    if (to == 0)
        return rest.isEmpty() ? 0 : rest[0] - sortIndexGap;
    const double before = rest[to - 1];
    if (to < rest.size())
        return (before + rest[to]) * 0.5;
    return before + sortIndexGap;
}
