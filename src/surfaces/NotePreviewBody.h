// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "surfaces/NotePaint.h"
#include "surfaces/NoteSurfaceEnvironment.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class Note;
class NoteEditorView;
class NotePlainTextView;
class NoteStatusLine;
class NoteTextButton;
class QVBoxLayout;

// The content of a note opened in place on the rail: the body (the editor while editing,
// else the plain text), and below it the saved line and the "Abrir" button that takes the
// note off the rail into a window of its own.
class NotePreviewBody : public QWidget
{
    Q_OBJECT

public:
    static constexpr int padding = 16;
    static constexpr int rowSpacing = 10;

    NotePreviewBody(Note *note, const NotePaint &paint, bool isEditing, bool autoFocus,
                    std::function<void()> onOpen, const NoteSurfaceEnvironment &environment,
                    QWidget *parent = nullptr);

    void setPaint(const NotePaint &paint);
    bool isEditing() const { return m_isEditing; }
    // Leaving editing removes the editor, which writes what is pending.
    void setEditing(bool editing);
    void setAutoFocus(bool autoFocus);

    // The editor, while there is one.
    NoteEditorView *editor() const { return m_editor; }
    // The read-only body, while there is one.
    NotePlainTextView *plainText() const { return m_plainText; }
    NoteStatusLine *statusLine() const { return m_status; }
    NoteTextButton *openButton() const { return m_open; }
    bool isHoveringOpen() const { return m_isHoveringOpen; }

private:
    void rebuildBody();
    void applyPaint();

    QPointer<Note> m_note;
    NotePaint m_paint;
    bool m_isEditing;
    bool m_autoFocus;
    std::function<void()> m_onOpen;
    NoteSurfaceEnvironment m_environment;
    bool m_isHoveringOpen = false;

    QVBoxLayout *m_column;
    NoteEditorView *m_editor = nullptr;
    NotePlainTextView *m_plainText = nullptr;
    NoteStatusLine *m_status;
    NoteTextButton *m_open;
};
