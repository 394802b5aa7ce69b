// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteStatusLine.h"

#include "model/Note.h"
#include "surfaces/NoteChromeFonts.h"

NoteStatusLine::NoteStatusLine(Note *note, Completion completion, QWidget *parent)
    : QLabel(parent), m_note(note), m_completion(completion)
{
    setFont(NoteChromeFonts::status());
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_ticker.setInterval(60 * 1000);
    connect(&m_ticker, &QTimer::timeout, this, &NoteStatusLine::refresh);
    if (note != nullptr) {
        connect(note, &Note::updatedAtChanged, this, &NoteStatusLine::refresh);
        connect(note, &Note::completedAtChanged, this, &NoteStatusLine::refresh);
    }
    refresh();
}

void NoteStatusLine::setColor(const QColor &color)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, color);
    setPalette(palette);
}

void NoteStatusLine::refresh()
{
    if (!m_note)
        return;
    if (m_completion == Completion::shown && m_note->isCompleted())
        setText(QStringLiteral("Hecha"));
    else
        setText(m_formatter.saved(m_note->updatedAt()));
}

void NoteStatusLine::showEvent(QShowEvent *event)
{
    QLabel::showEvent(event);
    refresh();
    m_ticker.start();
}

void NoteStatusLine::hideEvent(QHideEvent *event)
{
    QLabel::hideEvent(event);
    m_ticker.stop();
}
