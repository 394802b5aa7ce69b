// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>

// An xcb reply or array that xcb allocated with malloc.
struct X11FreeDeleter
{
    void operator()(void *pointer) const { std::free(pointer); }
};
template <typename T> using X11Reply = std::unique_ptr<T, X11FreeDeleter>;

// Qt's own connection to the X server, when the application runs on the xcb platform.
// Requests made through it are ordered with Qt's own requests, and its events reach
// native event filters.
class X11Connection
{
public:
    // Absent on every other platform, including "offscreen", whose X11 native interface
    // exists but has no connection.
    static std::optional<X11Connection> ofApplication();

    xcb_connection_t *connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    int screenNumber() const { return m_screenNumber; }

    xcb_atom_t atom(const QByteArray &name) const;
    // The extension's reply (cached by xcb); null when the server lacks it.
    const xcb_query_extension_reply_t *extension(xcb_extension_t *extension) const;
    // The first event code of an extension asked for by name; absent without it.
    std::optional<quint8> firstEventOf(const QByteArray &extensionName) const;
    void flush() const;
    // Asks the server for an event whenever `selection` gets a new owner or its owner goes
    // away (XFixes); the code of that event, absent when the server lacks XFixes 5.
    std::optional<quint8> watchSelectionOwner(xcb_atom_t selection) const;
    void unwatchSelectionOwner(xcb_atom_t selection) const;

    // The X button state of the pointer (the Button1Mask... bits of the core protocol).
    std::optional<quint16> pointerButtonMask() const;

private:
    X11Connection(xcb_connection_t *connection, xcb_window_t root, int screenNumber)
        : m_connection(connection), m_root(root), m_screenNumber(screenNumber)
    {
    }

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    int m_screenNumber;
};
