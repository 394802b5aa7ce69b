// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11CompositingWatcher.h"

#include <QCoreApplication>

#include <xcb/xfixes.h>

X11CompositingWatcher::X11CompositingWatcher(QObject *parent) : QObject(parent)
{
    m_x11 = X11Connection::ofApplication();
    if (!m_x11)
        return;
    m_selection = m_x11->atom("_NET_WM_CM_S" + QByteArray::number(m_x11->screenNumber()));
    m_compositing = queryOwner();
    if (const std::optional<quint8> event = m_x11->watchSelectionOwner(m_selection)) {
        m_xfixesEvent = *event;
        m_x11->flush();
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

X11CompositingWatcher::~X11CompositingWatcher()
{
    if (!m_xfixesEvent)
        return;
    if (auto *application = QCoreApplication::instance())
        application->removeNativeEventFilter(this);
    m_x11->unwatchSelectionOwner(m_selection);
}

bool X11CompositingWatcher::queryOwner() const
{
    const X11Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        m_x11->connection(), xcb_get_selection_owner(m_x11->connection(), m_selection), nullptr));
    return reply && reply->owner != XCB_WINDOW_NONE;
}

bool X11CompositingWatcher::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_xfixesEvent || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != *m_xfixesEvent)
        return false;
    const auto *notify = static_cast<const xcb_xfixes_selection_notify_event_t *>(message);
    if (notify->selection != m_selection)
        return false;
    const bool compositing = notify->owner != XCB_WINDOW_NONE;
    if (compositing != m_compositing) {
        m_compositing = compositing;
        QMetaObject::invokeMethod(
            this, [this, compositing] { Q_EMIT compositingChanged(compositing); },
            Qt::QueuedConnection);
    }
    // Qt follows the compositor too.
    return false;
}
