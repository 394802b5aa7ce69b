// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/RailFocus.h"

RailFocus::RailFocus(QObject *parent) : QObject(parent) {}

void RailFocus::setRequestedNoteID(std::optional<QUuid> id)
{
    if (m_requestedNoteID == id)
        return;
    m_requestedNoteID = id;
    Q_EMIT requestedNoteIDChanged();
}

void RailFocus::consume(const QUuid &id)
{
    if (m_requestedNoteID == id)
        setRequestedNoteID(std::nullopt);
}
