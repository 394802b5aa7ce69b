// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NotePlainTextView.h"

#include "model/Note.h"
#include "model/UserDefaults.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>

NotePlainTextView::NotePlainTextView(QWidget *parent) : QWidget(parent), m_color(Qt::black)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::NoFocus);
    m_document.setDocumentMargin(0);
    m_document.setUndoRedoEnabled(false);
    rebuild();
}

void NotePlainTextView::showNote(Note *note, const NoteSurfaceEnvironment &environment)
{
    setTextFont(environment.noteFont(1.0));
    connect(&environment.settings(), &UserDefaults::didChange, this,
            [this, environment] { setTextFont(environment.noteFont(1.0)); });
    if (note == nullptr)
        return;
    setText(note->plainText());
    connect(note, &Note::plainTextChanged, this, [this, note] { setText(note->plainText()); });
}

void NotePlainTextView::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    rebuild();
}

void NotePlainTextView::setColor(const QColor &color)
{
    if (m_color == color)
        return;
    m_color = color;
    update();
}

void NotePlainTextView::setTextFont(const QFont &font)
{
    if (m_document.defaultFont() == font)
        return;
    m_document.setDefaultFont(font);
    rebuild();
}

void NotePlainTextView::setLineSpacing(double spacing)
{
    if (m_lineSpacing == spacing)
        return;
    m_lineSpacing = spacing;
    rebuild();
}

void NotePlainTextView::rebuild()
{
    m_document.setPlainText(m_text);
    QTextCursor all(&m_document);
    all.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setLineHeight(m_lineSpacing, QTextBlockFormat::LineDistanceHeight);
    all.mergeBlockFormat(format);
    m_document.setTextWidth(width());
    updateGeometry();
    update();
}

QSize NotePlainTextView::sizeHint() const
{
    return m_document.size().toSize().expandedTo(QSize(0, 0));
}

void NotePlainTextView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, m_color);
    context.clip = QRectF(rect());
    painter.setClipRect(rect());
    m_document.documentLayout()->draw(&painter, context);
}

void NotePlainTextView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_document.setTextWidth(width());
}
