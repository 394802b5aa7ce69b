// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/PassthroughHostingView.h"

#include "rail/InteractiveRegions.h"
#include "rail/RailPointer.h"
#include "rail/RectContains.h"
#include "rail/WindowSystem.h"

#include <QEvent>
#include <QSinglePointEvent>
#include <QVBoxLayout>
#include <QWindow>

PassthroughHostingView::PassthroughHostingView(InteractiveRegions &regions, RailPointer &pointer,
                                               std::unique_ptr<QWidget> rootView, QWidget *parent)
    : QWidget(parent), m_regions(regions), m_pointer(pointer)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (rootView) {
        m_rootView = rootView.release();
        layout->addWidget(m_rootView);
    }
    m_regions.setOnChange([view = QPointer<PassthroughHostingView>(this)] {
        if (view)
            view->refreshMouseAcceptance();
    });
    connect(&m_regions, &InteractiveRegions::rectsChanged, this,
            &PassthroughHostingView::publishMouseRects);
}

PassthroughHostingView::~PassthroughHostingView()
{
    m_regions.setOnChange({});
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
}

void PassthroughHostingView::setPanel(Panel *panel)
{
    m_panel = panel;
    publishMouseRects();
}

QWidget *PassthroughHostingView::hitTest(const QPointF &point) const
{
    if (!inBounds(point) || !m_regions.contains(point))
        return nullptr;
    QWidget *child = childAt(point.toPoint());
    return child ? child : const_cast<PassthroughHostingView *>(this);
}

void PassthroughHostingView::updatePointer(const QPointF &screenPoint)
{
    if (!m_panel) {
        m_pointer.setLocation(std::nullopt);
        return;
    }
    m_lastScreenPoint = screenPoint;
    const Located located = locate(screenPoint);
    acceptMouse(located.hit);
    m_pointer.setLocation(located.location);
}

void PassthroughHostingView::refreshMouseAcceptance()
{
    if (!m_panel || !m_lastScreenPoint)
        return;
    acceptMouse(locate(*m_lastScreenPoint).hit);
}

void PassthroughHostingView::handleClick(const QPointF &screenPoint)
{
    if (m_panel && locate(screenPoint).hit)
        return; // the click belongs to the rail
    m_pointer.addOutsideClick();
}

QPointF PassthroughHostingView::toView(const QPointF &screenPoint) const
{
    const QPointF inContent = m_panel->mapFromGlobal(screenPoint);
    QWidget *content = m_panel->content();
    if (content && content != this && content->isAncestorOf(this))
        return mapFrom(content, inContent);
    return inContent;
}

bool PassthroughHostingView::inBounds(const QPointF &point) const
{
    return rectContains(QRectF(QPointF(), QSizeF(size())), point);
}

PassthroughHostingView::Located PassthroughHostingView::locate(const QPointF &screenPoint) const
{
    const QPointF point = toView(screenPoint);
    if (!inBounds(point))
        return {};
    return {m_regions.contains(point), point};
}

void PassthroughHostingView::acceptMouse(bool hit)
{
    if (m_panel->ignoresMouseEvents() != !hit)
        m_panel->setIgnoresMouseEvents(!hit);
}

void PassthroughHostingView::publishMouseRects()
{
    // While the panel takes the mouse it does so only over these rectangles, so a click
    // that lands beside a tab in the moment before the next sample still falls through.
    if (m_panel)
        m_panel->setMouseRects(m_regions.rects());
}

bool PassthroughHostingView::event(QEvent *event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange)
        watchWindow();
    return QWidget::event(event);
}

void PassthroughHostingView::watchWindow()
{
    QWindow *handle = window()->windowHandle();
    if (handle == m_watchedWindow)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = handle;
    if (handle)
        handle->installEventFilter(this);
}

bool PassthroughHostingView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_watchedWindow)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel: {
        // Where the window system cannot shape the panel's input, a press may still reach
        // it outside the rectangles; it is dropped rather than given to the content.
        // Moves and releases go on, so a drag that leaves its rectangle keeps going.
        const QPointF inWindow = static_cast<QSinglePointEvent *>(event)->position();
        const QWidget *top = window();
        return hitTest(top == this ? inWindow : mapFrom(top, inWindow)) == nullptr;
    }
    default:
        return false;
    }
}
