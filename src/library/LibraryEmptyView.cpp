// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibraryEmptyView.h"

#include "library/LibrarySymbols.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int symbolGap = 12;

QFont textFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(LibraryEmptyView::textPixelSize);
    font.setWeight(QFont::Bold);
    return font;
}

} // namespace

LibraryEmptyView::LibraryEmptyView(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setAccessibleName(text());
}

void LibraryEmptyView::setSection(LibraryFilter section)
{
    if (section == m_section)
        return;
    m_section = section;
    setAccessibleName(text());
    update();
}

QSize LibraryEmptyView::sizeHint() const
{
    const QFontMetrics metrics(textFont());
    return QSize(metrics.horizontalAdvance(text()) + 40,
                 symbolSize + symbolGap + metrics.height() + 40);
}

void LibraryEmptyView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFont font = textFont();
    const QFontMetrics metrics(font);
    QColor faint = palette().color(QPalette::Text);
    faint.setAlphaF(0.5);

    const int blockHeight = symbolSize + symbolGap + metrics.height();
    const int top = (height() - blockHeight) / 2;
    const QRectF symbolRect((width() - symbolSize) / 2.0, top, symbolSize, symbolSize);
    LibrarySymbols::paint(painter, symbol(), symbolRect, faint);

    painter.setFont(font);
    painter.setPen(faint);
    const QRect textRect(0, top + symbolSize + symbolGap, width(), metrics.height());
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, text());
}
