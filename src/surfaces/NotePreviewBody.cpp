// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NotePreviewBody.h"

#include "model/Note.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NotePlainTextView.h"
#include "surfaces/NoteStatusLine.h"
#include "surfaces/NoteTextButton.h"
#include "surfaces/WithOpacity.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

NotePreviewBody::NotePreviewBody(Note *note, const NotePaint &paint, bool isEditing, bool autoFocus,
                                 std::function<void()> onOpen,
                                 const NoteSurfaceEnvironment &environment, QWidget *parent)
    : QWidget(parent), m_note(note), m_paint(paint), m_isEditing(isEditing), m_autoFocus(autoFocus),
      m_onOpen(std::move(onOpen)), m_environment(environment), m_column(new QVBoxLayout(this)),
      m_status(new NoteStatusLine(note, NoteStatusLine::Completion::ignored, this)),
      m_open(new NoteTextButton(QStringLiteral("Abrir"), this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_column->setContentsMargins(padding, padding, padding, padding);
    m_column->setSpacing(rowSpacing);

    auto *footer = new QHBoxLayout;
    footer->setContentsMargins(0, 0, 0, 0);
    footer->setSpacing(8);
    footer->addWidget(m_status, 0, Qt::AlignVCenter);
    footer->addWidget(m_open, 0, Qt::AlignVCenter);
    footer->addStretch(1);
    m_column->addLayout(footer);

    connect(m_open, &QAbstractButton::clicked, this, [this] {
        if (m_onOpen)
            m_onOpen();
    });
    connect(m_open, &NoteTextButton::hoveringChanged, this,
            [this](bool hovering) { m_isHoveringOpen = hovering; });
    rebuildBody();
    applyPaint();
}

void NotePreviewBody::setPaint(const NotePaint &paint)
{
    if (m_paint == paint)
        return;
    m_paint = paint;
    applyPaint();
}

void NotePreviewBody::setEditing(bool editing)
{
    if (m_isEditing == editing)
        return;
    m_isEditing = editing;
    rebuildBody();
}

void NotePreviewBody::setAutoFocus(bool autoFocus)
{
    m_autoFocus = autoFocus;
    if (m_editor != nullptr)
        m_editor->setAutoFocus(autoFocus);
}

void NotePreviewBody::rebuildBody()
{
    const bool wantsEditor = m_isEditing && m_environment.noteEditingEnabled && m_note;
    if (wantsEditor == (m_editor != nullptr) && (wantsEditor || m_plainText != nullptr))
        return;
    // The editor writes what is pending as it goes.
    delete m_editor;
    m_editor = nullptr;
    delete m_plainText;
    m_plainText = nullptr;

    if (wantsEditor) {
        m_editor = new NoteEditorView(m_note, m_paint, m_autoFocus,
                                      NoteEditorView::initialText(*m_note), m_environment, this);
        m_column->insertWidget(0, m_editor, 1);
        return;
    }
    m_plainText = new NotePlainTextView(this);
    m_plainText->setLineSpacing(2);
    m_plainText->setColor(withOpacity(m_paint.ink, 0.88));
    m_plainText->showNote(m_note, m_environment);
    m_column->insertWidget(0, m_plainText, 1);
}

void NotePreviewBody::applyPaint()
{
    if (m_editor != nullptr)
        m_editor->setPaint(m_paint);
    if (m_plainText != nullptr)
        m_plainText->setColor(withOpacity(m_paint.ink, 0.88));
    m_status->setColor(withOpacity(m_paint.ink, 0.45));
    m_open->setLook(
        NoteTextButton::Look{withOpacity(m_paint.ink, 0.9), withOpacity(m_paint.ink, 0.09),
                             withOpacity(m_paint.ink, 0.16), QMarginsF(12, 6, 12, 6), 8});
}
