// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11TrayHost.h"

#include <QCoreApplication>

#include <xcb/xfixes.h>

X11TrayHost::X11TrayHost(QObject *parent) : QObject(parent)
{
    m_x11 = X11Connection::ofApplication();
    if (!m_x11)
        return;
    m_selection = m_x11->atom("_NET_SYSTEM_TRAY_S" + QByteArray::number(m_x11->screenNumber()));
    m_colors = m_x11->atom("_NET_SYSTEM_TRAY_COLORS");
    if (const std::optional<quint8> event = m_x11->watchSelectionOwner(m_selection)) {
        m_xfixesEvent = *event;
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    // Asked after selecting the events, so a host that starts in between is not missed.
    follow(queryOwner());
    m_x11->flush();
}

X11TrayHost::~X11TrayHost()
{
    if (!m_xfixesEvent)
        return;
    if (auto *application = QCoreApplication::instance())
        application->removeNativeEventFilter(this);
    m_x11->unwatchSelectionOwner(m_selection);
}

std::optional<QColor> X11TrayHost::foregroundOf(const quint32 *values, int count)
{
    if (!values || count < 3)
        return std::nullopt;
    const auto channel = [](quint32 value) { return int(qMin<quint32>(value, 65535) / 257); };
    return QColor(channel(values[0]), channel(values[1]), channel(values[2]));
}

xcb_window_t X11TrayHost::queryOwner() const
{
    const X11Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        m_x11->connection(), xcb_get_selection_owner(m_x11->connection(), m_selection), nullptr));
    return reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
}

std::optional<QColor> X11TrayHost::queryForeground() const
{
    if (m_owner == XCB_WINDOW_NONE)
        return std::nullopt;
    const X11Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_x11->connection(),
        xcb_get_property(m_x11->connection(), 0, m_owner, m_colors, XCB_ATOM_CARDINAL, 0, 12),
        nullptr));
    if (!reply || reply->format != 32)
        return std::nullopt;
    return foregroundOf(static_cast<const quint32 *>(xcb_get_property_value(reply.get())),
                        xcb_get_property_value_length(reply.get()) / 4);
}

void X11TrayHost::follow(xcb_window_t owner)
{
    m_owner = owner;
    if (owner != XCB_WINDOW_NONE) {
        // The host's colours may come or change after it took the selection.
        const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_x11->connection(), owner, XCB_CW_EVENT_MASK, &mask);
    }
    m_foreground = queryForeground();
}

bool X11TrayHost::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_xfixesEvent || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type == *m_xfixesEvent) {
        const auto *notify = static_cast<const xcb_xfixes_selection_notify_event_t *>(message);
        if (notify->selection != m_selection)
            return false;
        follow(notify->owner);
    } else if (type == XCB_PROPERTY_NOTIFY) {
        const auto *notify = static_cast<const xcb_property_notify_event_t *>(message);
        if (notify->window != m_owner || notify->atom != m_colors)
            return false;
        m_foreground = queryForeground();
    } else {
        return false;
    }
    // Told on the next turn of the event loop, outside Qt's event dispatch.
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT changed(); }, Qt::QueuedConnection);
    // Qt follows the tray too.
    return false;
}
