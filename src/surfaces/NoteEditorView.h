// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ModelContext.h"
#include "model/StyledText.h"
#include "surfaces/NotePaint.h"
#include "surfaces/NoteSurfaceEnvironment.h"

#include <QPointer>
#include <QTextEdit>
#include <QTimer>

#include <chrono>

class Note;
class NoteScrollIndicator;

// The editor of a note's body: styled text on the note's paper, in the note font, written to
// the note a short pause after the last change and at once when the editor goes away.
//
// A write happens only when the text differs from what the note holds, and only after the
// person actually changed something here: merely opening and closing a note leaves it, and
// its date, untouched, even when its stored text could not be read and the editor opened on
// the plain copy.
class NoteEditorView : public QTextEdit
{
    Q_OBJECT

public:
    // `initialText` is what the editor opens with; `initialText(note)` gives the usual one.
    NoteEditorView(Note *note, const NotePaint &paint, bool autoFocus,
                   const StyledText &initialText, const NoteSurfaceEnvironment &environment,
                   QWidget *parent = nullptr);
    ~NoteEditorView() override;

    // The styled text of `note` for editing: its stored RTF, or its plain text when the RTF
    // cannot be read, so an edit never starts from an empty body that is not empty.
    static StyledText initialText(const Note &note);

    Note *note() const { return m_note; }
    StyledText styledText() const;
    const NotePaint &paint() const { return m_paint; }
    void setPaint(const NotePaint &paint);
    bool autoFocus() const { return m_autoFocus; }
    // A change to true while the editor shows takes the focus at once.
    void setAutoFocus(bool autoFocus);
    // The pause between the last change and the write.
    std::chrono::milliseconds saveDelay() const { return m_saveDelay; }
    void setSaveDelay(std::chrono::milliseconds delay);
    // Whether a write is waiting for the pause to end.
    bool hasPendingSave() const { return m_saveTimer.isActive(); }
    // Where the text is, when it is longer than the card.
    NoteScrollIndicator *scrollIndicator() const { return m_scrollIndicator; }

public Q_SLOTS:
    // Writes what is pending now; does nothing when nothing changed.
    void commit();

Q_SIGNALS:
    // The text was written to the note (the save of the context may still have failed).
    void wrote();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void scheduleSave();
    // The note's stored text changed: it came from elsewhere (another computer, an undo in
    // the library) unless this editor wrote it.
    void followStoredText();
    void applyPaint();
    void applyFont();

    QPointer<Note> m_note;
    NotePaint m_paint;
    bool m_autoFocus;
    NoteSurfaceEnvironment m_environment;
    std::chrono::milliseconds m_saveDelay;
    QTimer m_saveTimer;
    NoteScrollIndicator *m_scrollIndicator = nullptr;
    // The text as last loaded or written: a commit without a change since writes nothing.
    StyledText m_baseline;
    bool m_writing = false;
    bool m_loading = false;
    // While the editor is open, nothing deletes its note on its own.
    NoteEditingHold m_hold;
};
