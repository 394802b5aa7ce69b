// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11WindowHints.h"

#include <QList>

#include <array>

namespace X11WindowHints {

namespace {

constexpr quint32 allDesktopsValue = 0xFFFFFFFFu;
constexpr quint32 netWmStateRemove = 0;
constexpr quint32 netWmStateAdd = 1;
constexpr quint32 sourceIndicationPager = 2;

void sendToRoot(const X11Connection &x11, xcb_window_t window, xcb_atom_t type,
                const std::array<quint32, 5> &data)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    for (size_t i = 0; i < data.size(); ++i)
        event.data.data32[i] = data[i];
    xcb_send_event(x11.connection(), 0, x11.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
}

QList<xcb_atom_t> stateAtoms(const X11Connection &x11, xcb_window_t window, xcb_atom_t property)
{
    QList<xcb_atom_t> atoms;
    const X11Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        x11.connection(),
        xcb_get_property(x11.connection(), 0, window, property, XCB_ATOM_ATOM, 0, 1024), nullptr));
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto *data = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
        const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
        for (int i = 0; i < count; ++i)
            atoms.append(data[i]);
    }
    return atoms;
}

} // namespace

void prepareUnmapped(const X11Connection &x11, xcb_window_t window, const Placement &placement)
{
    if (window == XCB_WINDOW_NONE)
        return;
    const xcb_atom_t stateProperty = x11.atom("_NET_WM_STATE");
    QList<xcb_atom_t> atoms = stateAtoms(x11, window, stateProperty);
    const auto setState = [&](const char *name, bool present) {
        const xcb_atom_t atom = x11.atom(name);
        if (atom == XCB_ATOM_NONE)
            return;
        atoms.removeAll(atom);
        if (present)
            atoms.append(atom);
    };
    setState("_NET_WM_STATE_SKIP_TASKBAR", placement.skipTaskbar);
    setState("_NET_WM_STATE_SKIP_PAGER", placement.skipPager);
    if (placement.allDesktops)
        setState("_NET_WM_STATE_STICKY", true);
    setState("_KDE_NET_WM_STATE_SKIP_SWITCHER", placement.skipSwitcher);
    xcb_change_property(x11.connection(), XCB_PROP_MODE_REPLACE, window, stateProperty,
                        XCB_ATOM_ATOM, 32, quint32(atoms.size()), atoms.constData());
    if (placement.allDesktops) {
        xcb_change_property(x11.connection(), XCB_PROP_MODE_REPLACE, window,
                            x11.atom("_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1,
                            &allDesktopsValue);
    }
    x11.flush();
}

void setWindowType(const X11Connection &x11, xcb_window_t window, WindowType type)
{
    if (window == XCB_WINDOW_NONE)
        return;
    const char *name = "_NET_WM_WINDOW_TYPE_NORMAL";
    if (type == WindowType::dock)
        name = "_NET_WM_WINDOW_TYPE_DOCK";
    else if (type == WindowType::utility)
        name = "_NET_WM_WINDOW_TYPE_UTILITY";
    const xcb_atom_t atom = x11.atom(name);
    xcb_change_property(x11.connection(), XCB_PROP_MODE_REPLACE, window,
                        x11.atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &atom);
    x11.flush();
}

QByteArray windowType(const X11Connection &x11, xcb_window_t window)
{
    const QList<xcb_atom_t> atoms = stateAtoms(x11, window, x11.atom("_NET_WM_WINDOW_TYPE"));
    if (atoms.isEmpty())
        return {};
    const X11Reply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(
        x11.connection(), xcb_get_atom_name(x11.connection(), atoms.first()), nullptr));
    return reply ? QByteArray(xcb_get_atom_name_name(reply.get()),
                              xcb_get_atom_name_name_length(reply.get()))
                 : QByteArray();
}

xcb_window_t frame(const X11Connection &x11, xcb_window_t window)
{
    // Window managers nest a frame a level or two deep; a few steps up always suffice.
    constexpr int deepestNesting = 8;
    xcb_window_t current = window;
    for (int level = 0; level < deepestNesting && current != XCB_WINDOW_NONE; ++level) {
        const X11Reply<xcb_query_tree_reply_t> reply(xcb_query_tree_reply(
            x11.connection(), xcb_query_tree(x11.connection(), current), nullptr));
        if (!reply || reply->parent == XCB_WINDOW_NONE || reply->parent == reply->root)
            return current;
        current = reply->parent;
    }
    return current;
}

void declineCompositorShadow(const X11Connection &x11, xcb_window_t window)
{
    if (window == XCB_WINDOW_NONE)
        return;
    constexpr quint32 noShadow = 0;
    const xcb_atom_t comptonShadow = x11.atom("_COMPTON_SHADOW");
    xcb_change_property(x11.connection(), XCB_PROP_MODE_REPLACE, window, comptonShadow,
                        XCB_ATOM_CARDINAL, 32, 1, &noShadow);
    // picom 9 reads the property on the window manager's frame only.
    if (const xcb_window_t outer = frame(x11, window); outer != window) {
        xcb_change_property(x11.connection(), XCB_PROP_MODE_REPLACE, outer, comptonShadow,
                            XCB_ATOM_CARDINAL, 32, 1, &noShadow);
    }
    constexpr std::array<quint32, 4> noExtents{0, 0, 0, 0};
    xcb_change_property(x11.connection(), XCB_PROP_MODE_REPLACE, window,
                        x11.atom("_GTK_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 32, 4, noExtents.data());
    xcb_delete_property(x11.connection(), window, x11.atom("_KDE_NET_WM_SHADOW"));
    x11.flush();
}

void setSkipTaskbarMapped(const X11Connection &x11, xcb_window_t window, bool skip)
{
    if (window == XCB_WINDOW_NONE)
        return;
    sendToRoot(x11, window, x11.atom("_NET_WM_STATE"),
               {skip ? netWmStateAdd : netWmStateRemove, x11.atom("_NET_WM_STATE_SKIP_TASKBAR"),
                x11.atom("_NET_WM_STATE_SKIP_PAGER"), sourceIndicationPager, 0});
    x11.flush();
}

void requestActivation(const X11Connection &x11, xcb_window_t window, xcb_timestamp_t time)
{
    if (window == XCB_WINDOW_NONE)
        return;
    sendToRoot(x11, window, x11.atom("_NET_ACTIVE_WINDOW"),
               {sourceIndicationPager, time, XCB_WINDOW_NONE, 0, 0});
    x11.flush();
}

QByteArrayList states(const X11Connection &x11, xcb_window_t window)
{
    QByteArrayList names;
    for (const xcb_atom_t atom : stateAtoms(x11, window, x11.atom("_NET_WM_STATE"))) {
        const X11Reply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(
            x11.connection(), xcb_get_atom_name(x11.connection(), atom), nullptr));
        if (reply) {
            names.append(QByteArray(xcb_get_atom_name_name(reply.get()),
                                    xcb_get_atom_name_name_length(reply.get())));
        }
    }
    return names;
}

std::optional<quint32> desktop(const X11Connection &x11, xcb_window_t window)
{
    const X11Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        x11.connection(),
        xcb_get_property(x11.connection(), 0, window, x11.atom("_NET_WM_DESKTOP"),
                         XCB_ATOM_CARDINAL, 0, 1),
        nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
}

} // namespace X11WindowHints
