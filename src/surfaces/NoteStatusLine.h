// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/RelativeDateFormatter.h"

#include <QLabel>
#include <QPointer>
#include <QTimer>

class Note;

// The status line of an open note: "Guardado · " and when the note was last saved, or
// "Hecha" for a completed note where the host shows completion. Follows the note's date
// and completion, and rewords itself every minute while it shows, so "hace 1 minuto" does
// not linger.
class NoteStatusLine : public QLabel
{
    Q_OBJECT

public:
    enum class Completion
    {
        ignored, // always the saved line
        shown,   // "Hecha" when the note is completed
    };

    NoteStatusLine(Note *note, Completion completion, QWidget *parent = nullptr);

    void setColor(const QColor &color);
    // Rewords the line from the note as it is now.
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QPointer<Note> m_note;
    Completion m_completion;
    RelativeDateFormatter m_formatter;
    QTimer m_ticker;
};
