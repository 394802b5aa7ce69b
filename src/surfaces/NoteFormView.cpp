// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteFormView.h"

#include "model/Note.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NotePreviewBody.h"

#include <QEvent>
#include <QGraphicsProxyWidget>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>

NoteFormView::NoteFormView(Note *note, ScreenEdge edge, const NoteCardActions &actions,
                           const NoteSurfaceEnvironment &environment, QWidget *parent)
    : QWidget(parent), m_note(note), m_edge(edge), m_actions(actions), m_environment(environment),
      m_painter(environment.shadows)
{
    // The card paints only its paper; everything around it shows what lies behind.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    if (note != nullptr) {
        connect(note, &Note::colorTokenChanged, this, &NoteFormView::refreshPaint);
        connect(note, &Note::titleChanged, this, &NoteFormView::refreshTitle);
        connect(note, &Note::plainTextChanged, this, &NoteFormView::refreshTitle);
    }
    refreshPaint();
    refreshTitle();
    m_frame = QRectF(QPointF(0, 0), cardSize());
    relayout();
}

NoteFormView::~NoteFormView()
{
    // The editor writes what is pending before the card goes.
    if (m_body)
        m_body->setEditing(false);
}

void NoteFormView::setState(const NoteCardState &state)
{
    applyState(state);
}

void NoteFormView::applyState(const NoteCardState &state)
{
    if (state == m_state)
        return;
    const bool dimmedChanged = state.isDimmed != m_state.isDimmed;
    m_state = state;
    if (dimmedChanged)
        refreshPaint();
    relayout();
}

void NoteFormView::setActions(const NoteCardActions &actions)
{
    m_actions = actions;
}

void NoteFormView::setEnvironment(const NoteSurfaceEnvironment &environment)
{
    if (environment.shadows != m_environment.shadows)
        m_painter = NoteCardPainter(environment.shadows);
    m_environment = environment;
    // The content depends on the environment (editing allowed, fonts, the context): build
    // it again.
    removePanel();
    refreshPaint();
    relayout();
}

QSizeF NoteFormView::cardSize() const
{
    return NoteCardChrome::cardSize(m_state.phase, m_state.tabWidth, m_state.peek,
                                    m_state.itemHeight, m_state.cardHeight);
}

void NoteFormView::setCardFrame(const QRectF &frame)
{
    if (frame == m_frame)
        return;
    m_frame = frame;
    relayout();
}

void NoteFormView::fitCardFrame()
{
    const QSizeF size = cardSize();
    QRectF frame(m_frame.topLeft(), size);
    if (m_edge == ScreenEdge::right)
        frame.moveRight(m_frame.right());
    setCardFrame(frame);
}

QRectF NoteFormView::cardRect() const
{
    return m_frame.translated(-QPointF(pos()));
}

NoteCardChrome NoteFormView::chrome() const
{
    NoteCardChrome chrome;
    chrome.edge = m_edge;
    chrome.phase = m_state.phase;
    chrome.frame = m_frame;
    chrome.tabWidth = m_state.tabWidth;
    chrome.peek = m_state.peek;
    chrome.tilt = m_state.tilt;
    chrome.isHovered = m_state.isHovered;
    return chrome;
}

NotePreviewBody *NoteFormView::previewBody() const
{
    return m_body;
}

bool NoteFormView::hitTest(const QPointF &point) const
{
    return chrome().contains(point);
}

void NoteFormView::paintCard(QPainter &painter)
{
    m_painter.paint(painter, chrome(), m_paint, m_title);
}

bool NoteFormView::event(QEvent *event)
{
    if (isAppearanceChange(event))
        refreshPaint();
    return QWidget::event(event);
}

void NoteFormView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.translate(-QPointF(pos()));
    paintCard(painter);
}

void NoteFormView::refreshPaint()
{
    const ColorScheme scheme = m_environment.scheme();
    const NoteColor color = m_note ? m_note->color() : NoteColor::citrus;
    NotePaint paint = NoteColors::paint(color, scheme);
    if (m_state.isDimmed)
        paint = paint.dimmed(scheme);
    if (paint == m_paint)
        return;
    m_paint = paint;
    if (m_body)
        m_body->setPaint(m_paint);
    update();
}

void NoteFormView::refreshTitle()
{
    if (!m_note)
        return;
    const QString title = m_note->displayTitle();
    if (title == m_title)
        return;
    m_title = title;
    // The tab's label is painted, so screen readers are told it.
    setAccessibleName(title);
    update();
}

void NoteFormView::relayout()
{
    const QRect bounds = chrome().boundingRect().toAlignedRect();
    if (geometry() != bounds)
        setGeometry(bounds);
    syncPanel();
    update();
}

void NoteFormView::syncPanel()
{
    NoteCardChrome local = chrome();
    local.frame = cardRect();
    const bool open = m_state.phase == NotePhase::preview;
    // The content stays while the panel folds, then goes.
    const bool wanted = open || (m_body && local.panelWidth() > 0.5);
    if (!wanted) {
        removePanel();
        return;
    }
    if (!m_body)
        createPanel();

    m_body->setPaint(m_paint);
    m_body->setEditing(open);
    m_body->setAutoFocus(m_state.autoFocus);

    const QTransform tilt = local.tiltTransform();
    const QRectF panel = local.panelRect();
    const QRectF body = local.bodyRect();
    const QRect viewRect = tilt.mapRect(panel).toAlignedRect().intersected(rect());
    m_panelView->setGeometry(viewRect);
    m_panelView->setSceneRect(viewRect);
    m_panelScene->setSceneRect(viewRect);
    m_panelClip->setRect(panel);
    m_panelClip->setTransform(tilt);
    m_panelClip->setOpacity(local.panelOpacity());
    if (m_panelProxy->geometry() != body)
        m_panelProxy->setGeometry(body);
    m_panelView->setVisible(!viewRect.isEmpty() && local.panelWidth() > 0);
}

void NoteFormView::createPanel()
{
    // Widgets do not turn; a graphics view holding the content through a proxy turns it with
    // the paper, and it still takes clicks and typing.
    m_panelView = new QGraphicsView(this);
    m_panelView->setFrameShape(QFrame::NoFrame);
    m_panelView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_panelView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_panelView->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_panelView->setBackgroundBrush(Qt::NoBrush);
    m_panelView->setAutoFillBackground(false);
    m_panelView->viewport()->setAutoFillBackground(false);
    m_panelView->setAttribute(Qt::WA_NoSystemBackground);
    m_panelView->viewport()->setAttribute(Qt::WA_NoSystemBackground);
    m_panelView->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                                QPainter::SmoothPixmapTransform);
    m_panelScene = new QGraphicsScene(m_panelView);
    m_panelClip = new QGraphicsRectItem;
    m_panelClip->setPen(Qt::NoPen);
    m_panelClip->setBrush(Qt::NoBrush);
    m_panelClip->setFlag(QGraphicsItem::ItemClipsChildrenToShape);
    m_panelScene->addItem(m_panelClip);

    const bool open = m_state.phase == NotePhase::preview;
    QPointer<NoteFormView> card(this);
    auto *body = new NotePreviewBody(
        m_note, m_paint, open, m_state.autoFocus,
        [card] {
            if (card && card->m_actions.open)
                card->m_actions.open();
        },
        m_environment);
    m_body = body;
    m_panelProxy = new QGraphicsProxyWidget(m_panelClip);
    m_panelProxy->setWidget(body);
    m_panelView->setScene(m_panelScene);
    m_panelView->show();
    if (open && m_state.autoFocus && body->editor() != nullptr) {
        m_panelView->setFocus(Qt::OtherFocusReason);
        body->editor()->setFocus(Qt::OtherFocusReason);
    }
}

void NoteFormView::removePanel()
{
    if (m_body)
        m_body->setEditing(false);
    if (m_panelView != nullptr) {
        // Later: this may run inside a click on the content's own button.
        m_panelView->hide();
        m_panelView->deleteLater();
    }
    m_panelView = nullptr;
    m_panelScene = nullptr;
    m_panelClip = nullptr;
    m_panelProxy = nullptr;
    m_body = nullptr;
}
