// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteScrollIndicator.h"

#include "surfaces/WithOpacity.h"

#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include <algorithm>

NoteScrollIndicator::NoteScrollIndicator(QScrollBar *scrollBar, QWidget *parent)
    : QWidget(parent), m_scrollBar(scrollBar)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    m_emphasis.setSingleShot(true);
    m_emphasis.setInterval(emphasisMilliseconds);
    connect(&m_emphasis, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    if (m_scrollBar) {
        connect(m_scrollBar, &QScrollBar::valueChanged, this, &NoteScrollIndicator::scrolled);
        connect(m_scrollBar, &QScrollBar::rangeChanged, this, &NoteScrollIndicator::rangeChanged);
    }
    rangeChanged();
}

void NoteScrollIndicator::setInk(const QColor &ink)
{
    if (m_ink == ink)
        return;
    m_ink = ink;
    update();
}

bool NoteScrollIndicator::showsBar() const
{
    return m_scrollBar && m_scrollBar->maximum() > m_scrollBar->minimum();
}

QRectF NoteScrollIndicator::thumbRect() const
{
    if (!m_scrollBar)
        return {};
    return thumbRect(width(), height(), m_scrollBar->minimum(), m_scrollBar->maximum(),
                     m_scrollBar->value(), m_scrollBar->pageStep());
}

QRectF NoteScrollIndicator::thumbRect(double width, double height, int minimum, int maximum,
                                      int value, int pageStep)
{
    const double range = double(maximum) - double(minimum);
    const double track = height - 2 * inset;
    if (range <= 0 || track <= 0 || width < thickness)
        return {};
    const double page = std::max(1, pageStep);
    const double length =
        std::clamp(track * page / (range + page), std::min(minimumLength, track), track);
    const double progress = std::clamp((double(value) - minimum) / range, 0.0, 1.0);
    const double top = inset + (track - length) * progress;
    return {width - inset - thickness, top, thickness, length};
}

void NoteScrollIndicator::place(const QRect &area)
{
    const int width = int(thickness + 2 * inset);
    setGeometry(area.right() + 1 - width, area.top(), width, area.height());
    raise();
}

void NoteScrollIndicator::scrolled()
{
    m_emphasis.start();
    update();
}

void NoteScrollIndicator::rangeChanged()
{
    setVisible(showsBar());
    update();
}

void NoteScrollIndicator::paintEvent(QPaintEvent *)
{
    const QRectF thumb = thumbRect();
    if (thumb.isEmpty() || !m_ink.isValid())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(thumb, thickness / 2, thickness / 2);
    painter.fillPath(path, withOpacity(m_ink, isEmphasised() ? scrollingOpacity : restingOpacity));
}
