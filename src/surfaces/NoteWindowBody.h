// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteCommands.h"
#include "surfaces/NotePaint.h"
#include "surfaces/NoteSurfaceEnvironment.h"

#include <QPointer>
#include <QWidget>

class Note;
class NoteActionsBar;
class NoteEditorView;
class NotePlainTextView;
class NoteStatusLine;
class NoteTitleField;
class QLabel;

// The content of a floating note window: the title (editable, or plain text when editing is
// off) with the status line, a divider, the body, and the action bar.
class NoteWindowBody : public QWidget
{
    Q_OBJECT

public:
    static constexpr int padding = 16;

    NoteWindowBody(Note *note, const NotePaint &paint, const NoteCardActions &actions,
                   bool isEditing, const NoteSurfaceEnvironment &environment,
                   QWidget *parent = nullptr);

    void setPaint(const NotePaint &paint);
    void setScheme(ColorScheme scheme);

    NoteTitleField *titleField() const { return m_titleField; }
    // The title as text, when editing is off.
    QLabel *titleLabel() const { return m_titleLabel; }
    NoteStatusLine *statusLine() const { return m_status; }
    NoteEditorView *editor() const { return m_editor; }
    NotePlainTextView *plainText() const { return m_plainText; }
    NoteActionsBar *actionsBar() const { return m_actionsBar; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyPaint();
    void refreshTitleLabel();

    QPointer<Note> m_note;
    NotePaint m_paint;
    NoteTitleField *m_titleField = nullptr;
    QLabel *m_titleLabel = nullptr;
    NoteStatusLine *m_status = nullptr;
    QWidget *m_divider = nullptr;
    NoteEditorView *m_editor = nullptr;
    NotePlainTextView *m_plainText = nullptr;
    NoteActionsBar *m_actionsBar = nullptr;
};
