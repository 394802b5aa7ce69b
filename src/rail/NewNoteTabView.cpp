// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/NewNoteTabView.h"

#include "surfaces/WithOpacity.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

NewNoteTabView::NewNoteTabView(ScreenEdge edge, QWidget *parent)
    : QAbstractButton(parent), m_edge(edge)
{
    setToolTip(QStringLiteral("Nueva nota"));
    // The button shows only a drawn "+": screen readers need its words.
    setAccessibleName(toolTip());
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_NoSystemBackground);
    setTabRect(QRectF(0, 0, 78, 48));
}

void NewNoteTabView::setEdge(ScreenEdge edge)
{
    if (m_edge == edge)
        return;
    m_edge = edge;
    relayout();
}

void NewNoteTabView::setHovered(bool hovered)
{
    if (m_isHovered == hovered)
        return;
    m_isHovered = hovered;
    update();
}

void NewNoteTabView::setBleed(double bleed)
{
    if (m_bleed == bleed)
        return;
    m_bleed = bleed;
    relayout();
}

void NewNoteTabView::setTilt(double degrees)
{
    if (m_tilt == degrees)
        return;
    m_tilt = degrees;
    relayout();
}

void NewNoteTabView::setColorScheme(std::optional<ColorScheme> scheme)
{
    if (m_scheme == scheme)
        return;
    m_scheme = scheme;
    update();
}

ColorScheme NewNoteTabView::colorScheme() const
{
    return m_scheme.value_or(currentColorScheme());
}

void NewNoteTabView::setTabRect(const QRectF &rect)
{
    if (m_tabRect == rect)
        return;
    m_tabRect = rect;
    relayout();
}

QRectF NewNoteTabView::bodyRect() const
{
    // The bleed lies past the screen edge on both rails, so the tabs mirror each other.
    if (m_edge == ScreenEdge::right)
        return m_tabRect.adjusted(0, 0, m_bleed, 0);
    return m_tabRect.adjusted(-m_bleed, 0, 0, 0);
}

QPointF NewNoteTabView::glyphCentre() const
{
    const double shift = m_edge == ScreenEdge::right ? -m_bleed * 0.5 : m_bleed * 0.5;
    return bodyRect().center() + QPointF(shift, 0);
}

QTransform NewNoteTabView::tiltTransform() const
{
    const QRectF body = bodyRect();
    const QPointF anchor(m_edge == ScreenEdge::right ? body.right() : body.left(),
                         body.center().y());
    QTransform transform;
    transform.translate(anchor.x(), anchor.y());
    transform.rotate(m_tilt);
    transform.translate(-anchor.x(), -anchor.y());
    return transform;
}

void NewNoteTabView::paintTab(QPainter &painter) const
{
    const QRectF body = bodyRect();
    if (body.isEmpty())
        return;
    const NotePaint neutral = paint();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(tiltTransform(), true);

    const QPainterPath outline = EdgeFlushShape{m_edge, cornerRadius}.path(body);
    QLinearGradient gradient(body.topLeft(), body.bottomLeft());
    gradient.setColorAt(0, neutral.surface);
    gradient.setColorAt(1, neutral.deep);
    painter.fillPath(outline, gradient);
    painter.strokePath(outline, QPen(withOpacity(neutral.ink, 0.1), 0.8));

    const QPointF centre = glyphCentre();
    const double arm = glyphSize / 2;
    painter.setPen(QPen(withOpacity(neutral.ink, m_isHovered ? 0.9 : 0.55), glyphStroke,
                        Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre - QPointF(arm, 0), centre + QPointF(arm, 0));
    painter.drawLine(centre - QPointF(0, arm), centre + QPointF(0, arm));
    painter.restore();
}

bool NewNoteTabView::event(QEvent *event)
{
    if (event->type() == QEvent::ThemeChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::ApplicationPaletteChange)
        update();
    return QAbstractButton::event(event);
}

void NewNoteTabView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.translate(-QPointF(pos()));
    paintTab(painter);
}

bool NewNoteTabView::hitButton(const QPoint &pos) const
{
    bool invertible = false;
    const QTransform inverse = tiltTransform().inverted(&invertible);
    const QPointF inParent = QPointF(pos) + QPointF(this->pos());
    const QPointF local = invertible ? inverse.map(inParent) : inParent;
    return bodyRect().contains(local);
}

void NewNoteTabView::relayout()
{
    const QRect bounds = tiltTransform().mapRect(bodyRect()).adjusted(-1, -1, 1, 1).toAlignedRect();
    if (geometry() != bounds)
        setGeometry(bounds);
    update();
}
