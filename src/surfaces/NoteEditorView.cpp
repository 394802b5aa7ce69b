// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteEditorView.h"

#include "model/ConflictCopy.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/RichTextCoder.h"
#include "model/UserDefaults.h"
#include "surfaces/NoteScrollIndicator.h"
#include "surfaces/StyledTextDocument.h"
#include "surfaces/WithOpacity.h"

#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <tuple>

NoteEditorView::NoteEditorView(Note *note, const NotePaint &paint, bool autoFocus,
                               const StyledText &initialText,
                               const NoteSurfaceEnvironment &environment, QWidget *parent)
    : QTextEdit(parent), m_note(note), m_paint(paint), m_autoFocus(autoFocus),
      m_environment(environment), m_saveDelay(environment.saveDelay), m_baseline(initialText),
      m_hold(note)
{
    // Plain: no frame, no background, no scroll bars, so the note's paper shows through.
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The hidden scroll bar still tracks the scrolling; the indicator shows it on the paper.
    m_scrollIndicator = new NoteScrollIndicator(verticalScrollBar(), this);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    document()->setDocumentMargin(0);
    setTabChangesFocus(false);
    applyPaint();
    applyFont();

    StyledTextDocument::setStyledText(*document(), initialText);
    moveCursor(QTextCursor::End);

    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(m_saveDelay);
    connect(&m_saveTimer, &QTimer::timeout, this, &NoteEditorView::commit);
    connect(this, &QTextEdit::textChanged, this, &NoteEditorView::scheduleSave);
    if (note)
        connect(note, &Note::richTextChanged, this, &NoteEditorView::followStoredText);
    connect(&m_environment.settings(), &UserDefaults::didChange, this, &NoteEditorView::applyFont);
}

NoteEditorView::~NoteEditorView()
{
    commit();
}

StyledText NoteEditorView::initialText(const Note &note)
{
    return RichTextCoder::decodeForEditor(note.richText(), note.plainText());
}

StyledText NoteEditorView::styledText() const
{
    return StyledTextDocument::toStyledText(*document());
}

void NoteEditorView::setPaint(const NotePaint &paint)
{
    if (m_paint == paint)
        return;
    m_paint = paint;
    applyPaint();
}

void NoteEditorView::setAutoFocus(bool autoFocus)
{
    if (m_autoFocus == autoFocus)
        return;
    m_autoFocus = autoFocus;
    if (autoFocus && isVisible())
        setFocus(Qt::OtherFocusReason);
}

void NoteEditorView::setSaveDelay(std::chrono::milliseconds delay)
{
    m_saveDelay = delay;
    m_saveTimer.setInterval(delay);
}

void NoteEditorView::scheduleSave()
{
    // Restarting the one timer keeps a single pending write: a burst of typing writes once,
    // a pause after its last keystroke.
    if (!m_loading)
        m_saveTimer.start();
}

void NoteEditorView::commit()
{
    m_saveTimer.stop();
    if (!m_note)
        return;
    const StyledText text = styledText();
    if (text == m_baseline)
        return;
    m_baseline = text;
    if (text == RichTextCoder::decode(m_note->richText()))
        return;
    m_writing = true;
    m_note->setText(text);
    m_writing = false;
    ModelContext *context =
        m_environment.context ? m_environment.context.data() : m_note->modelContext();
    // A failed save keeps the change in the context; the next save that succeeds takes it.
    if (context != nullptr)
        std::ignore = context->save();
    Q_EMIT wrote();
}

void NoteEditorView::followStoredText()
{
    if (!m_note || m_writing)
        return;
    const StyledText stored = initialText(*m_note);
    if (stored == m_baseline)
        return;
    if (styledText() == m_baseline) {
        // Nothing typed here since: the editor shows what arrived, or the next keystroke
        // would write the older text back over it.
        const int position = textCursor().position();
        m_loading = true;
        StyledTextDocument::setStyledText(*document(), stored);
        m_loading = false;
        QTextCursor cursor = textCursor();
        cursor.setPosition(qMin(position, document()->characterCount() - 1));
        setTextCursor(cursor);
        m_baseline = stored;
        return;
    }
    // Typed here while another text arrived: the typing stays and is written at the next
    // commit; what arrived is kept beside it, archived, instead of being written over.
    ModelContext *context =
        m_environment.context ? m_environment.context.data() : m_note->modelContext();
    if (context != nullptr)
        ConflictCopy::keep(*context, *m_note, stored);
    m_baseline = stored;
}

void NoteEditorView::showEvent(QShowEvent *event)
{
    QTextEdit::showEvent(event);
    if (m_autoFocus)
        setFocus(Qt::OtherFocusReason);
}

void NoteEditorView::hideEvent(QHideEvent *event)
{
    QTextEdit::hideEvent(event);
    commit();
}

void NoteEditorView::insertFromMimeData(const QMimeData *source)
{
    // Pasted rich text keeps only what a note can store (the styled text's attributes), so
    // what shows after a paste is what is written and what comes back next time.
    if (source == nullptr || !source->hasHtml()) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    QTextDocument pasted;
    pasted.setHtml(source->html());
    QTextDocument kept;
    StyledTextDocument::setStyledText(kept, StyledTextDocument::toStyledText(pasted));
    QTextCursor cursor = textCursor();
    cursor.insertFragment(QTextDocumentFragment(&kept));
    setTextCursor(cursor);
}

void NoteEditorView::applyPaint()
{
    QPalette palette = this->palette();
    const QColor ink = withOpacity(m_paint.ink, 0.9);
    palette.setColor(QPalette::Text, ink);
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Window, Qt::transparent);
    palette.setColor(QPalette::Highlight, withOpacity(m_paint.ink, 0.22));
    palette.setColor(QPalette::HighlightedText, ink);
    setPalette(palette);
    m_scrollIndicator->setInk(m_paint.ink);
}

void NoteEditorView::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    m_scrollIndicator->place(viewport()->geometry());
}

void NoteEditorView::applyFont()
{
    const QFont font = m_environment.noteFont(1.0);
    if (this->font() != font)
        setFont(font);
}
