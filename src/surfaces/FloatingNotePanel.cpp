// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/FloatingNotePanel.h"

#include "surfaces/NoteWindowView.h"

#include <QEvent>
#include <QPolygon>
#include <QRegion>

PanelOptions FloatingNotePanel::options()
{
    PanelOptions options;
    options.takesFocusOnClick = true;
    options.ignoresMouseEvents = false;
    options.minimumSize = minimumSize;
    return options;
}

FloatingNotePanel::FloatingNotePanel(WindowSystem &windows, const QRectF &frame,
                                     std::unique_ptr<NoteWindowView> view, QObject *parent)
    : QObject(parent), m_windows(windows), m_panel(windows.createPanel(frame, options())),
      m_view(view.get())
{
    m_panel->setContent(std::move(view));
    connect(m_panel.get(), &Panel::moved, this, [this](const QPointF &origin) {
        if (onMoved)
            onMoved(origin);
    });
    if (m_view) {
        Panel *panel = m_panel.get();
        connect(m_view, &NoteWindowView::moveRequested, panel, &Panel::startUserMove);
        connect(m_view, &NoteWindowView::resizeRequested, panel, &Panel::startUserResize);
        m_view->installEventFilter(this);
    }
    connect(&windows, &WindowSystem::compositingChanged, this, &FloatingNotePanel::refreshShape);
    refreshShape();
}

FloatingNotePanel::~FloatingNotePanel()
{
    // The view goes with the panel; nothing it does while it goes may reach this half-gone
    // window.
    onMoved = nullptr;
    if (m_view)
        m_view->removeEventFilter(this);
    m_panel->disconnect(this);
    m_panel.reset();
}

bool FloatingNotePanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::Resize)
        refreshShape();
    return QObject::eventFilter(watched, event);
}

void FloatingNotePanel::refreshShape()
{
    const QSizeF size = m_panel->frame().size();
    m_panel->setMouseRects(QList<QRectF>{NoteWindowView::mouseRect(size)});
    if (m_windows.isCompositing()) {
        m_panel->setVisibleRegion(std::nullopt);
        return;
    }
    // Without compositing the transparent margin would show black: keep to the paper.
    m_panel->setVisibleRegion(
        QRegion(NoteWindowView::paperPath(size).toFillPolygon().toPolygon(), Qt::WindingFill));
}
