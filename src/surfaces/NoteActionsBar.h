// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteCommands.h"
#include "surfaces/ColorScheme.h"
#include "surfaces/NotePaint.h"

#include <QPointer>
#include <QWidget>

class ColorSwatchRow;
class Note;
class NoteTextButton;

// The bottom row of a note window: the six colour swatches, then "Borrar", "Hecha" (or
// "Reabrir" for a completed note) and "Cerrar".
class NoteActionsBar : public QWidget
{
    Q_OBJECT

public:
    // Text colour of the destructive button.
    static QColor destructiveColor() { return QColor(176, 58, 46); }

    NoteActionsBar(Note *note, const NotePaint &paint, const NoteCardActions &actions,
                   ColorScheme scheme, QWidget *parent = nullptr);

    void setPaint(const NotePaint &paint);
    void setScheme(ColorScheme scheme);

    ColorSwatchRow *swatches() const { return m_swatches; }
    NoteTextButton *deleteButton() const { return m_delete; }
    NoteTextButton *completeButton() const { return m_complete; }
    NoteTextButton *closeButton() const { return m_close; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void refreshFromNote();
    void applyPaint();

    QPointer<Note> m_note;
    NotePaint m_paint;
    NoteCardActions m_actions;
    ColorSwatchRow *m_swatches;
    bool m_compact = false;
    NoteTextButton *m_delete;
    NoteTextButton *m_complete;
    NoteTextButton *m_close;
};
