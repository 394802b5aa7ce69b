// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/TourIllustrationView.h"

#include <QPainter>

TourIllustrationView::TourIllustrationView(const TourIllustration &illustration, QWidget *parent)
    : QWidget(parent), m_from(illustration), m_to(illustration)
{
    setFixedWidth(paneWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void TourIllustrationView::setIllustration(const TourIllustration &illustration)
{
    m_from = illustration;
    m_to = illustration;
    m_progress = 1;
    update();
}

void TourIllustrationView::beginTransition(const TourIllustration &illustration)
{
    // A change in the middle of another starts from where that one was heading.
    m_from = m_to;
    m_to = illustration;
    m_progress = 0;
    update();
}

void TourIllustrationView::setProgress(double progress)
{
    if (progress == m_progress)
        return;
    m_progress = progress;
    update();
}

void TourIllustrationView::finishTransition()
{
    m_from = m_to;
    m_progress = 1;
    update();
}

void TourIllustrationView::setColorScheme(std::optional<ColorScheme> scheme)
{
    m_scheme = scheme;
    update();
}

ColorScheme TourIllustrationView::colorScheme() const
{
    return m_scheme.value_or(currentColorScheme());
}

void TourIllustrationView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const ColorScheme scheme = colorScheme();
    painter.fillRect(rect(), TourIllustrations::background(scheme));
    if (m_progress >= 1 && m_from == m_to)
        TourIllustrations::paint(painter, m_to, QRectF(rect()), scheme);
    else
        TourIllustrations::paintTransition(painter, m_from, m_to, m_progress, QRectF(rect()),
                                           scheme);
}
