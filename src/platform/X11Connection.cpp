// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11Connection.h"

#include <QGuiApplication>

#include <xcb/xfixes.h>

std::optional<X11Connection> X11Connection::ofApplication()
{
    const auto *application = qGuiApp;
    if (!application)
        return std::nullopt;
    const auto *x11 = application->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return std::nullopt;
    xcb_connection_t *connection = x11->connection();
    if (!connection || xcb_connection_has_error(connection))
        return std::nullopt;

    // Qt connects to the default screen of $DISPLAY; nearly every desktop has only one.
    int screenNumber = 0;
    char *host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screenNumber) == 0)
        screenNumber = 0;
    std::free(host);

    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    if (it.rem == 0)
        return std::nullopt;
    if (screenNumber < 0 || screenNumber >= it.rem)
        screenNumber = 0;
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&it);
    return X11Connection(connection, it.data->root, screenNumber);
}

xcb_atom_t X11Connection::atom(const QByteArray &name) const
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(m_connection, 0, quint16(name.size()), name.constData());
    const X11Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(m_connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

const xcb_query_extension_reply_t *X11Connection::extension(xcb_extension_t *extension) const
{
    const xcb_query_extension_reply_t *reply = xcb_get_extension_data(m_connection, extension);
    return reply && reply->present ? reply : nullptr;
}

std::optional<quint8> X11Connection::firstEventOf(const QByteArray &extensionName) const
{
    const xcb_query_extension_cookie_t cookie =
        xcb_query_extension(m_connection, quint16(extensionName.size()), extensionName.constData());
    const X11Reply<xcb_query_extension_reply_t> reply(
        xcb_query_extension_reply(m_connection, cookie, nullptr));
    if (!reply || !reply->present)
        return std::nullopt;
    return reply->first_event;
}

void X11Connection::flush() const
{
    xcb_flush(m_connection);
}

std::optional<quint8> X11Connection::watchSelectionOwner(xcb_atom_t selection) const
{
    const xcb_query_extension_reply_t *xfixes = extension(&xcb_xfixes_id);
    if (xfixes == nullptr)
        return std::nullopt;
    // XFixes requests need the version handshake on the connection first.
    const X11Reply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
        m_connection, xcb_xfixes_query_version(m_connection, 5, 0), nullptr));
    if (!version)
        return std::nullopt;
    xcb_xfixes_select_selection_input(m_connection, m_root, selection,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    return quint8(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
}

void X11Connection::unwatchSelectionOwner(xcb_atom_t selection) const
{
    xcb_xfixes_select_selection_input(m_connection, m_root, selection, 0);
    flush();
}

std::optional<quint16> X11Connection::pointerButtonMask() const
{
    const X11Reply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr));
    if (!reply)
        return std::nullopt;
    return quint16(reply->mask);
}
