// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/RailPointer.h"

namespace {

// QPointF's operator== is fuzzy; the content must see every real movement.
bool sameLocation(const std::optional<QPointF> &a, const std::optional<QPointF> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || (a->x() == b->x() && a->y() == b->y());
}

} // namespace

RailPointer::RailPointer(QObject *parent) : QObject(parent) {}

void RailPointer::setLocation(std::optional<QPointF> location)
{
    if (sameLocation(m_location, location))
        return;
    m_location = location;
    Q_EMIT locationChanged();
}

void RailPointer::addOutsideClick()
{
    ++m_outsideClicks;
    Q_EMIT outsideClicksChanged();
}
