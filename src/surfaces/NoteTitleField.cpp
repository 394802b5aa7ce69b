// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteTitleField.h"

#include "model/ModelContext.h"
#include "model/Note.h"
#include "surfaces/NoteChromeFonts.h"
#include "surfaces/WithOpacity.h"
#include <tuple>

NoteTitleField::NoteTitleField(Note *note, const NotePaint &paint,
                               const NoteSurfaceEnvironment &environment, QWidget *parent)
    : QLineEdit(parent), m_note(note), m_paint(paint), m_environment(environment),
      m_saveDelay(environment.saveDelay), m_hold(note)
{
    setFrame(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFont(NoteChromeFonts::windowTitle());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setTextMargins(0, 0, 0, 0);
    applyPaint();
    if (note != nullptr) {
        m_baseline = note->title();
        setText(m_baseline);
        setCursorPosition(0);
        connect(note, &Note::titleChanged, this, &NoteTitleField::refreshPrompt);
        connect(note, &Note::titleChanged, this, &NoteTitleField::followTitle);
        connect(note, &Note::plainTextChanged, this, &NoteTitleField::refreshPrompt);
    }
    refreshPrompt();

    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(m_saveDelay);
    connect(&m_saveTimer, &QTimer::timeout, this, &NoteTitleField::commit);
    connect(this, &QLineEdit::textChanged, this, &NoteTitleField::scheduleSave);
    connect(this, &QLineEdit::returnPressed, this, &NoteTitleField::commit);
}

NoteTitleField::~NoteTitleField()
{
    commit();
}

void NoteTitleField::setPaint(const NotePaint &paint)
{
    if (m_paint == paint)
        return;
    m_paint = paint;
    applyPaint();
}

void NoteTitleField::setSaveDelay(std::chrono::milliseconds delay)
{
    m_saveDelay = delay;
    m_saveTimer.setInterval(delay);
}

void NoteTitleField::scheduleSave()
{
    if (text() == m_baseline)
        m_saveTimer.stop();
    else
        m_saveTimer.start();
}

void NoteTitleField::followTitle()
{
    if (!m_note || text() != m_baseline || m_note->title() == m_baseline)
        return;
    m_baseline = m_note->title();
    const int cursor = cursorPosition();
    setText(m_baseline);
    setCursorPosition(qMin(cursor, int(m_baseline.size())));
}

void NoteTitleField::commit()
{
    m_saveTimer.stop();
    if (!m_note || text() == m_baseline)
        return;
    m_baseline = text();
    if (m_note->title() == m_baseline)
        return;
    m_note->setTitle(m_baseline);
    m_note->setUpdatedAt(QDateTime::currentDateTimeUtc());
    ModelContext *context =
        m_environment.context ? m_environment.context.data() : m_note->modelContext();
    // A failed save keeps the change in the context for the next save that succeeds.
    if (context != nullptr)
        std::ignore = context->save();
    Q_EMIT wrote();
}

void NoteTitleField::hideEvent(QHideEvent *event)
{
    QLineEdit::hideEvent(event);
    commit();
}

void NoteTitleField::refreshPrompt()
{
    if (m_note)
        setPlaceholderText(m_note->displayTitle());
}

void NoteTitleField::applyPaint()
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Text, m_paint.ink);
    palette.setColor(QPalette::PlaceholderText, withOpacity(m_paint.ink, 0.35));
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Window, Qt::transparent);
    palette.setColor(QPalette::Highlight, withOpacity(m_paint.ink, 0.22));
    palette.setColor(QPalette::HighlightedText, m_paint.ink);
    setPalette(palette);
}
