// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/X11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QColor>
#include <QObject>

#include <optional>

// The system tray host of the screen: the owner of the _NET_SYSTEM_TRAY_Sn selection, and
// the icon colour it asks for in _NET_SYSTEM_TRAY_COLORS. Follows the selection through
// XFixes, so a host that starts late, quits or is restarted is noticed at once. Where there
// is no X server it reports no host and never changes.
class X11TrayHost : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit X11TrayHost(QObject *parent = nullptr);
    ~X11TrayHost() override;

    bool isWatching() const { return m_xfixesEvent.has_value(); }
    bool hasHost() const { return m_owner != XCB_WINDOW_NONE; }
    // The foreground colour the host wants icons drawn in, when it says.
    std::optional<QColor> foreground() const { return m_foreground; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // The foreground of a _NET_SYSTEM_TRAY_COLORS value: twelve numbers, three per colour
    // (foreground, error, warning, success), each channel from 0 to 65535.
    static std::optional<QColor> foregroundOf(const quint32 *values, int count);

Q_SIGNALS:
    // A host appeared, went away or was replaced, or changed its colours.
    void changed();

private:
    void follow(xcb_window_t owner);
    xcb_window_t queryOwner() const;
    std::optional<QColor> queryForeground() const;

    std::optional<X11Connection> m_x11;
    xcb_atom_t m_selection = XCB_ATOM_NONE;
    xcb_atom_t m_colors = XCB_ATOM_NONE;
    std::optional<quint8> m_xfixesEvent;
    xcb_window_t m_owner = XCB_WINDOW_NONE;
    std::optional<QColor> m_foreground;
};
