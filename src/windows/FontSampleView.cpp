// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/FontSampleView.h"

#include "surfaces/NoteChromeFonts.h"
#include "surfaces/NotePaint.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr int textFlags = Qt::AlignLeading | Qt::AlignTop | Qt::TextWordWrap;

} // namespace

FontSampleView::FontSampleView(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setAccessibleName(sampleText);
}

void FontSampleView::setStyle(const NoteFontStyle &style)
{
    if (style == m_style)
        return;
    m_style = style;
    updateGeometry();
    update();
}

void FontSampleView::setColorScheme(std::optional<ColorScheme> scheme)
{
    m_scheme = scheme;
    update();
}

ColorScheme FontSampleView::colorScheme() const
{
    return m_scheme.value_or(currentColorScheme());
}

QFont FontSampleView::sampleFont() const
{
    return NoteChromeFonts::inDesignUnits(m_style.font());
}

int FontSampleView::heightForWidth(int width) const
{
    const QFontMetricsF metrics(sampleFont());
    const double textWidth = std::max(1.0, width - 2 * padding);
    const QRectF bounds =
        metrics.boundingRect(QRectF(0, 0, textWidth, 10000), textFlags, sampleText);
    return int(std::ceil(bounds.height() + 2 * padding));
}

QSize FontSampleView::sizeHint() const
{
    const int width = 400;
    return {width, heightForWidth(width)};
}

void FontSampleView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const NotePaint paint = NoteColors::paint(NoteColor::citrus, colorScheme());
    QPainterPath paper;
    paper.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(paper, paint.surface);
    painter.setFont(sampleFont());
    painter.setPen(paint.ink);
    painter.drawText(QRectF(rect()).adjusted(padding, padding, -padding, -padding), textFlags,
                     sampleText);
}

void FontSampleView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        update();
    QWidget::changeEvent(event);
}
