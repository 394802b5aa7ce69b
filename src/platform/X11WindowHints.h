// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/X11Connection.h"

#include <QByteArrayList>

#include <optional>

// Extended window-manager hints (EWMH) that Qt does not set: staying out of the task bar and pager,
// standing on every desktop, and the request to activate a window.
namespace X11WindowHints {

struct Placement
{
    bool skipTaskbar = false; // set or cleared
    bool skipPager = false;   // set or cleared
    bool allDesktops = false; // set, or left as it is
};

// For a window that is not mapped yet: writes the states and the desktop so the window
// manager reads them when the window is mapped. The other states (Qt's own, such as
// "above") are kept.
void prepareUnmapped(const X11Connection &x11, xcb_window_t window, const Placement &placement);

// For a mapped window: asks the window manager to add or remove the task-bar and pager
// states.
void setSkipTaskbarMapped(const X11Connection &x11, xcb_window_t window, bool skip);

// Asks the window manager to activate `window` as a pager would (which window managers
// honour even while another application is in front).
void requestActivation(const X11Connection &x11, xcb_window_t window, xcb_timestamp_t time);

// The names of the window's _NET_WM_STATE atoms, for checks.
QByteArrayList states(const X11Connection &x11, xcb_window_t window);
// The window's _NET_WM_DESKTOP; 0xFFFFFFFF means every desktop.
std::optional<quint32> desktop(const X11Connection &x11, xcb_window_t window);

} // namespace X11WindowHints
