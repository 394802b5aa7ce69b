// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteWindowView.h"

#include "model/Note.h"
#include "rail/EdgeFlushShape.h"
#include "surfaces/NoteWindowBody.h"
#include "surfaces/WithOpacity.h"

#include <QEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

Qt::CursorShape cursorFor(Qt::Edges edges)
{
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling =
            edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
        return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    return horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

} // namespace

NoteWindowView::NoteWindowView(Note *note, const NoteCardActions &actions,
                               const NoteSurfaceEnvironment &environment, QWidget *parent)
    : QWidget(parent), m_note(note), m_environment(environment),
      m_shadows(environment.shadows ? environment.shadows : std::make_shared<CardShadowCache>()),
      m_scheme(environment.scheme()),
      m_paint(NoteColors::paint(note ? note->color() : NoteColor::citrus, m_scheme)),
      m_body(new NoteWindowBody(note, m_paint, actions, true, environment, this))
{
    // Only the paper and its shadow are drawn; the desktop shows through the rest.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);
    if (note != nullptr)
        connect(note, &Note::colorTokenChanged, this, &NoteWindowView::refreshPaint);
    m_body->setGeometry(paperRect().toAlignedRect());
}

Note *NoteWindowView::note() const
{
    return m_note;
}

QRectF NoteWindowView::paperRect(const QSizeF &size)
{
    return QRectF(QPointF(0, 0), size).adjusted(padding, padding, -padding, -padding);
}

QRectF NoteWindowView::paperRect() const
{
    return paperRect(QSizeF(size()));
}

QPainterPath NoteWindowView::paperPath(const QSizeF &size)
{
    return continuousRoundedRect(paperRect(size), cornerRadius);
}

QRectF NoteWindowView::mouseRect(const QSizeF &size)
{
    return paperRect(size).adjusted(-resizeBand, -resizeBand, resizeBand, resizeBand);
}

Qt::Edges NoteWindowView::resizeEdgesAt(const QSizeF &size, const QPointF &point)
{
    const QRectF paper = paperRect(size);
    if (!mouseRect(size).contains(point))
        return {};
    const auto near = [](double a, double b, double reach) { return std::abs(a - b) <= reach; };
    Qt::Edges edges;
    if (near(point.x(), paper.left(), resizeBand))
        edges |= Qt::LeftEdge;
    else if (near(point.x(), paper.right(), resizeBand))
        edges |= Qt::RightEdge;
    if (near(point.y(), paper.top(), resizeBand))
        edges |= Qt::TopEdge;
    else if (near(point.y(), paper.bottom(), resizeBand))
        edges |= Qt::BottomEdge;
    // Along a rounded corner the rim belongs to both of its sides, so the corner is easy to
    // catch.
    const double corner = cornerRadius + resizeBand;
    if (edges == Qt::LeftEdge || edges == Qt::RightEdge) {
        if (near(point.y(), paper.top(), corner))
            edges |= Qt::TopEdge;
        else if (near(point.y(), paper.bottom(), corner))
            edges |= Qt::BottomEdge;
    } else if (edges == Qt::TopEdge || edges == Qt::BottomEdge) {
        if (near(point.x(), paper.left(), corner))
            edges |= Qt::LeftEdge;
        else if (near(point.x(), paper.right(), corner))
            edges |= Qt::RightEdge;
    }
    return edges;
}

CardShadow NoteWindowView::shadow(ColorScheme scheme)
{
    return CardShadow{20, scheme == ColorScheme::dark ? 0.6 : 0.26, QPointF(0, 8)};
}

bool NoteWindowView::event(QEvent *event)
{
    if (isAppearanceChange(event))
        refreshPaint();
    return QWidget::event(event);
}

void NoteWindowView::refreshPaint()
{
    const ColorScheme scheme = m_environment.scheme();
    const NotePaint paint = NoteColors::paint(m_note ? m_note->color() : NoteColor::citrus, scheme);
    if (scheme == m_scheme && paint == m_paint)
        return;
    if (scheme != m_scheme) {
        m_scheme = scheme;
        m_body->setScheme(scheme);
    }
    m_paint = paint;
    m_body->setPaint(paint);
    update();
}

void NoteWindowView::paintEvent(QPaintEvent *)
{
    const QRectF paper = paperRect();
    if (paper.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintShadow(painter, paper);

    const QPainterPath outline = continuousRoundedRect(paper, cornerRadius);
    QLinearGradient gradient(paper.topLeft(), paper.bottomLeft());
    gradient.setColorAt(0, m_paint.surface);
    gradient.setColorAt(1, m_paint.deep);
    painter.fillPath(outline, gradient);
    painter.strokePath(outline, QPen(withOpacity(m_paint.ink, 0.12), borderWidth));
}

void NoteWindowView::paintShadow(QPainter &painter, const QRectF &paper)
{
    // Drawn in nine pieces from two small blurred cards, one rounded on the left and one on
    // the right: corners copied, the straight middles stretched. A window being resized
    // then costs no blur and no image of its own size per frame. Each small card is wide
    // enough that its square side lies beyond the blur's reach of the middle column.
    const CardShadow cast = shadow(m_scheme);
    const int reach = CardShadowCache::margin(cast.radius);
    const int corner = int(std::ceil(1.53 * cornerRadius)) + reach;
    const int side = 2 * corner + 1;
    const QRect target =
        paper.translated(cast.offset).toAlignedRect().adjusted(-reach, -reach, reach, reach);
    const int end = reach + corner; // a corner piece with its blur margin
    if (target.width() < 2 * end + 1 || target.height() < 2 * end + 1)
        return;
    const QImage left = m_shadows->image(EdgeFlushShape{ScreenEdge::right, cornerRadius},
                                         QSize(side, side), cast.radius);
    const QImage right = m_shadows->image(EdgeFlushShape{ScreenEdge::left, cornerRadius},
                                          QSize(side, side), cast.radius);

    const int sourceX[] = {0, end, end + 1};
    const int sourceW[] = {end, 1, end};
    const int targetX[] = {target.left(), target.left() + end, target.right() + 1 - end};
    const int targetW[] = {end, target.width() - 2 * end, end};
    const int targetY[] = {target.top(), target.top() + end, target.bottom() + 1 - end};
    const int targetH[] = {end, target.height() - 2 * end, end};
    painter.save();
    painter.setOpacity(painter.opacity() * cast.opacity);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QRect piece(targetX[column], targetY[row], targetW[column], targetH[row]);
            if (row == 1 && column == 1) {
                // The even middle, under the paper: one colour.
                painter.fillRect(piece, left.pixelColor(end, end));
                continue;
            }
            const QImage &source = column == 2 ? right : left;
            painter.drawImage(QRect(targetX[column], targetY[row], targetW[column], targetH[row]),
                              source,
                              QRect(sourceX[column], sourceX[row], sourceW[column], sourceW[row]));
        }
    }
    painter.restore();
}

void NoteWindowView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_body->setGeometry(paperRect().toAlignedRect());
}

void NoteWindowView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QPointF point = event->position();
    if (const Qt::Edges edges = resizeEdgesAt(QSizeF(size()), point)) {
        event->accept();
        Q_EMIT resizeRequested(edges);
        return;
    }
    if (paperPath(QSizeF(size())).contains(point)) {
        event->accept();
        Q_EMIT moveRequested();
        return;
    }
    // The shadow's margin is not part of the note.
    event->ignore();
}

void NoteWindowView::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::NoButton) {
        if (const Qt::Edges edges = resizeEdgesAt(QSizeF(size()), event->position()))
            setCursor(cursorFor(edges));
        else
            unsetCursor();
    }
    QWidget::mouseMoveEvent(event);
}

void NoteWindowView::leaveEvent(QEvent *event)
{
    unsetCursor();
    QWidget::leaveEvent(event);
}
