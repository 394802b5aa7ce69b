// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/FloatingNotePressRouter.h"

#include "platform/SessionKind.h"
#include "surfaces/NoteWindowView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace {

QWidget *widgetOf(const QWindow *window)
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows) {
        if (widget->windowHandle() == window)
            return widget;
    }
    return nullptr;
}

// A window the compositor tiles, below every floating one. Dialogs, tool windows, windows
// of a fixed size and windows that belong to another float, the focused one in front.
bool isTiled(const QWidget *widget)
{
    return widget != nullptr && widget->windowType() == Qt::Window &&
           widget->parentWidget() == nullptr && !widget->isModal() &&
           !widget->windowFlags().testFlag(Qt::WindowStaysOnTopHint) &&
           widget->minimumSize() != widget->maximumSize();
}

} // namespace

bool FloatingNotePressRouter::isNeeded()
{
    const SessionKind session(SessionKind::Environment::fromProcess());
    return session.isWlroots() && session.seesPointerOnlyOverOwnWindows();
}

FloatingNotePressRouter::FloatingNotePressRouter(Notes notes, QObject *parent)
    : QObject(parent), m_notes(std::move(notes))
{
    qApp->installEventFilter(this);
}

FloatingNotePressRouter::~FloatingNotePressRouter()
{
    qApp->removeEventFilter(this);
}

bool FloatingNotePressRouter::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    // Only the events the platform gives a window; its widgets get them from there.
    auto *window = qobject_cast<QWindow *>(watched);
    if (window == nullptr)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (m_from && window == m_from) {
        if (m_to)
            deliver(m_to, *mouse);
        if (type == QEvent::MouseButtonRelease && mouse->buttons() == Qt::NoButton) {
            m_from = nullptr;
            m_to = nullptr;
        }
        return true;
    }
    if (type != QEvent::MouseButtonPress)
        return false;
    NoteWindowView *note = noteAbove(window, mouse->globalPosition());
    if (note == nullptr)
        return false;
    m_from = window;
    m_to = note;
    deliver(note, *mouse);
    return true;
}

NoteWindowView *FloatingNotePressRouter::noteAbove(QWindow *window,
                                                   const QPointF &globalPoint) const
{
    if (!isTiled(widgetOf(window)))
        return nullptr;
    NoteWindowView *found = nullptr;
    const QList<NoteWindowView *> notes = m_notes();
    for (NoteWindowView *note : notes) {
        if (note == nullptr || !note->isVisible() || note->window()->windowHandle() == window)
            continue;
        const QPointF point = note->mapFromGlobal(globalPoint);
        // The shadow's margin takes no clicks: what is under it gets them.
        if (!NoteWindowView::mouseRect(QSizeF(note->size())).contains(point))
            continue;
        // Of notes over one another, the one with the keyboard is in front.
        if (note->isActiveWindow())
            return note;
        if (found == nullptr)
            found = note;
    }
    return found;
}

void FloatingNotePressRouter::deliver(NoteWindowView *note, const QMouseEvent &event)
{
    QWindow *target = note->window()->windowHandle();
    if (target == nullptr)
        return;
    const QPointF global = event.globalPosition();
    const QPointF local = global - QPointF(target->mapToGlobal(QPoint(0, 0)));
    QMouseEvent handed(event.type(), local, local, global, event.button(), event.buttons(),
                       event.modifiers(), event.pointingDevice());
    QCoreApplication::sendEvent(target, &handed);
}
