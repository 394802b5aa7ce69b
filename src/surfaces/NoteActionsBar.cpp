// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteActionsBar.h"

#include "model/Note.h"
#include "surfaces/ColorSwatchRow.h"
#include "surfaces/NoteTextButton.h"
#include "surfaces/WithOpacity.h"

#include <QHBoxLayout>

namespace {

NoteTextButton::Look barButtonLook(const QColor &ink, const QColor &text, bool compact)
{
    const QColor fill = withOpacity(ink, 0.07);
    // A bar too narrow for the full padding (a floating note at its narrowest, or a wide
    // system font) tightens its buttons rather than cutting their labels.
    const qreal sides = compact ? 4 : 9;
    return NoteTextButton::Look{text, fill, fill, QMarginsF(sides, 5, sides, 5), 7};
}

} // namespace

NoteActionsBar::NoteActionsBar(Note *note, const NotePaint &paint, const NoteCardActions &actions,
                               ColorScheme scheme, QWidget *parent)
    : QWidget(parent), m_note(note), m_paint(paint), m_actions(actions),
      m_swatches(new ColorSwatchRow(this)),
      m_delete(new NoteTextButton(QStringLiteral("Borrar"), this)),
      m_complete(new NoteTextButton(QStringLiteral("Hecha"), this)),
      m_close(new NoteTextButton(QStringLiteral("Cerrar"), this))
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_swatches->setScheme(scheme);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(4);
    buttons->addWidget(m_delete);
    buttons->addWidget(m_complete);
    buttons->addWidget(m_close);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(m_swatches, 0, Qt::AlignVCenter);
    row->addSpacerItem(new QSpacerItem(8, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    row->addLayout(buttons);

    connect(m_swatches, &ColorSwatchRow::picked, this, [this](NoteColor color) {
        if (m_actions.recolor)
            m_actions.recolor(color);
    });
    connect(m_delete, &QAbstractButton::clicked, this, [this] {
        if (m_actions.remove)
            m_actions.remove();
    });
    connect(m_complete, &QAbstractButton::clicked, this, [this] {
        if (m_actions.complete)
            m_actions.complete();
    });
    connect(m_close, &QAbstractButton::clicked, this, [this] {
        if (m_actions.close)
            m_actions.close();
    });
    if (note != nullptr) {
        connect(note, &Note::colorTokenChanged, this, &NoteActionsBar::refreshFromNote);
        connect(note, &Note::completedAtChanged, this, &NoteActionsBar::refreshFromNote);
    }
    refreshFromNote();
    applyPaint();
}

void NoteActionsBar::setPaint(const NotePaint &paint)
{
    if (m_paint == paint)
        return;
    m_paint = paint;
    applyPaint();
}

void NoteActionsBar::setScheme(ColorScheme scheme)
{
    m_swatches->setScheme(scheme);
}

void NoteActionsBar::refreshFromNote()
{
    if (!m_note)
        return;
    m_swatches->setCurrent(m_note->color());
    const QString label =
        m_note->isCompleted() ? QStringLiteral("Reabrir") : QStringLiteral("Hecha");
    if (m_complete->text() != label) {
        m_complete->setText(label);
        m_complete->updateGeometry();
    }
}

void NoteActionsBar::applyPaint()
{
    m_swatches->setInk(m_paint.ink);
    m_delete->setLook(barButtonLook(m_paint.ink, destructiveColor(), m_compact));
    m_complete->setLook(barButtonLook(m_paint.ink, withOpacity(m_paint.ink, 0.8), m_compact));
    m_close->setLook(barButtonLook(m_paint.ink, withOpacity(m_paint.ink, 0.8), m_compact));
}

void NoteActionsBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The width the bar needs with full padding: 10 between the parts, 8 of flexible space
    // at least, 4 between the buttons, and 10 more padding per button than compact.
    const int buttons = m_delete->sizeHint().width() + m_complete->sizeHint().width() +
                        m_close->sizeHint().width() + 2 * 4;
    const int fullPadding = m_compact ? 3 * 10 : 0;
    const int needed = m_swatches->sizeHint().width() + 2 * 10 + 8 + buttons + fullPadding;
    const bool compact = width() < needed;
    if (compact != m_compact) {
        m_compact = compact;
        applyPaint();
    }
}
