// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QUuid>

#include <optional>

// The one request, shared by both rails, to open a note in place with its editor focused.
// The rail that holds the note consumes it. Main thread only.
class RailFocus : public QObject
{
    Q_OBJECT

public:
    explicit RailFocus(QObject *parent = nullptr);

    // The note to open, if any.
    std::optional<QUuid> requestedNoteID() const { return m_requestedNoteID; }
    // Sets or clears the request; an equal value notifies nobody.
    void setRequestedNoteID(std::optional<QUuid> id);
    // Clears the request if it still names `id`, so a newer request is never lost.
    void consume(const QUuid &id);

Q_SIGNALS:
    // The request changed.
    void requestedNoteIDChanged();

private:
    std::optional<QUuid> m_requestedNoteID;
};
