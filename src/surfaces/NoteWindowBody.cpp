// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteWindowBody.h"

#include "model/Note.h"
#include "surfaces/NoteActionsBar.h"
#include "surfaces/NoteChromeFonts.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NotePlainTextView.h"
#include "surfaces/NoteStatusLine.h"
#include "surfaces/NoteTitleField.h"
#include "surfaces/WithOpacity.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

} // namespace

NoteWindowBody::NoteWindowBody(Note *note, const NotePaint &paint, const NoteCardActions &actions,
                               bool isEditing, const NoteSurfaceEnvironment &environment,
                               QWidget *parent)
    : QWidget(parent), m_note(note), m_paint(paint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    const bool editable = environment.noteEditingEnabled && note != nullptr;

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(8);
    if (editable) {
        m_titleField = new NoteTitleField(note, paint, environment, this);
        header->addWidget(m_titleField, 1, Qt::AlignVCenter);
    } else {
        m_titleLabel = new QLabel(this);
        m_titleLabel->setFont(NoteChromeFonts::windowTitle());
        m_titleLabel->setTextFormat(Qt::PlainText);
        // Long titles are cut short rather than widening the window.
        m_titleLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        header->addWidget(m_titleLabel, 1, Qt::AlignVCenter);
        m_titleLabel->installEventFilter(this);
        if (note != nullptr) {
            connect(note, &Note::titleChanged, this, &NoteWindowBody::refreshTitleLabel);
            connect(note, &Note::plainTextChanged, this, &NoteWindowBody::refreshTitleLabel);
        }
    }
    m_status = new NoteStatusLine(note, NoteStatusLine::Completion::shown, this);
    header->addWidget(m_status, 0, Qt::AlignVCenter);
    column->addLayout(header);
    column->addSpacing(10);

    m_divider = new QWidget(this);
    m_divider->setFixedHeight(1);
    m_divider->setAutoFillBackground(true);
    column->addWidget(m_divider);

    if (editable && isEditing) {
        column->addSpacing(8);
        m_editor = new NoteEditorView(note, paint, false, NoteEditorView::initialText(*note),
                                      environment, this);
        column->addWidget(m_editor, 1);
    } else {
        m_plainText = new NotePlainTextView(this);
        m_plainText->setLineSpacing(2);
        m_plainText->showNote(note, environment);
        column->addWidget(m_plainText, 1);
    }
    column->addSpacing(10);

    m_actionsBar = new NoteActionsBar(note, paint, actions, environment.scheme(), this);
    column->addWidget(m_actionsBar);

    refreshTitleLabel();
    applyPaint();
}

void NoteWindowBody::setPaint(const NotePaint &paint)
{
    if (m_paint == paint)
        return;
    m_paint = paint;
    applyPaint();
}

void NoteWindowBody::setScheme(ColorScheme scheme)
{
    m_actionsBar->setScheme(scheme);
}

bool NoteWindowBody::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_titleLabel && event->type() == QEvent::Resize)
        refreshTitleLabel();
    return QWidget::eventFilter(watched, event);
}

void NoteWindowBody::refreshTitleLabel()
{
    if (m_titleLabel == nullptr || !m_note)
        return;
    const QString title = m_note->displayTitle();
    m_titleLabel->setToolTip(title);
    m_titleLabel->setText(
        QFontMetrics(m_titleLabel->font())
            .elidedText(title, Qt::ElideRight, std::max(0, m_titleLabel->width())));
}

void NoteWindowBody::applyPaint()
{
    if (m_titleField != nullptr)
        m_titleField->setPaint(m_paint);
    if (m_titleLabel != nullptr)
        setTextColor(m_titleLabel, m_paint.ink);
    m_status->setColor(withOpacity(m_paint.ink, 0.45));
    QPalette dividerPalette = m_divider->palette();
    dividerPalette.setColor(QPalette::Window, withOpacity(m_paint.ink, 0.12));
    m_divider->setPalette(dividerPalette);
    if (m_editor != nullptr)
        m_editor->setPaint(m_paint);
    if (m_plainText != nullptr)
        m_plainText->setColor(withOpacity(m_paint.ink, 0.9));
    m_actionsBar->setPaint(m_paint);
}
