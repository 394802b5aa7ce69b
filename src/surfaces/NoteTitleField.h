// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ModelContext.h"
#include "surfaces/NotePaint.h"
#include "surfaces/NoteSurfaceEnvironment.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <chrono>

class Note;

// The one-line title of an open note. Shows the note's display title greyed while empty,
// and writes the title exactly as typed (an empty title too) a short pause after typing,
// on Return, and when the field goes away. Only typing is written: a title changed
// elsewhere (another computer) while nothing is typed here is shown, never written back.
class NoteTitleField : public QLineEdit
{
    Q_OBJECT

public:
    NoteTitleField(Note *note, const NotePaint &paint, const NoteSurfaceEnvironment &environment,
                   QWidget *parent = nullptr);
    ~NoteTitleField() override;

    Note *note() const { return m_note; }
    void setPaint(const NotePaint &paint);
    std::chrono::milliseconds saveDelay() const { return m_saveDelay; }
    void setSaveDelay(std::chrono::milliseconds delay);
    bool hasPendingSave() const { return m_saveTimer.isActive(); }

public Q_SLOTS:
    // Writes the title now if it differs from the note's.
    void commit();

Q_SIGNALS:
    // The title was written to the note.
    void wrote();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void scheduleSave();
    void followTitle();
    void refreshPrompt();
    void applyPaint();

    QPointer<Note> m_note;
    NotePaint m_paint;
    NoteSurfaceEnvironment m_environment;
    std::chrono::milliseconds m_saveDelay;
    QTimer m_saveTimer;
    // The note's title as last shown or written here: text that still equals it was not
    // typed.
    QString m_baseline;
    // While the field is open, nothing deletes its note on its own.
    NoteEditingHold m_hold;
};
