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
    bool skipTaskbar = false;  // set or cleared
    bool skipPager = false;    // set or cleared
    bool allDesktops = false;  // set, or left as it is
    bool skipSwitcher = false; // KDE's own state, which its Alt+Tab reads; set or cleared
};

// What a window is to the window manager (_NET_WM_WINDOW_TYPE).
enum class WindowType
{
    // A rail: above normal windows on every window manager, never framed, never hidden
    // with an inactive application (KWin hides "utility" windows then), never focused by
    // a click or on mapping, out of the task bar and the window switcher.
    dock,
    // A floating note: moved and resized by the window manager, kept above by its state.
    normal,
    // A floating note where the window manager tiles normal windows (sway and the other
    // wlroots compositors): floated there at its own place and size.
    utility,
};

// Replaces the window type Qt wrote (Qt writes "utility" for tool windows, whenever it
// maps the window or its flags change).
void setWindowType(const X11Connection &x11, xcb_window_t window, WindowType type);
// The window's first _NET_WM_WINDOW_TYPE atom name, for checks.
QByteArray windowType(const X11Connection &x11, xcb_window_t window);

// The window manager's frame around `window` (the child of the root that holds it), or
// the window itself when nothing holds it.
xcb_window_t frame(const X11Connection &x11, xcb_window_t window);

// Tells compositors that the window draws its own shadows inside its transparent area:
// picom and compton (_COMPTON_SHADOW 0, on the window and, once it is mapped, on its frame)
// and mutter (client-side frame extents of zero) then draw none around it. KWin draws
// shadows only for decorations and windows that publish _KDE_NET_WM_SHADOW, which is
// removed. Call it again after every mapping: each mapping may bring a new frame.
void declineCompositorShadow(const X11Connection &x11, xcb_window_t window);

// For a window that is not mapped yet: writes the states and the desktop so the window
// manager reads them when the window is mapped. The other states (Qt's own, such as
// "above") are kept.
void prepareUnmapped(const X11Connection &x11, xcb_window_t window, const Placement &placement);

// For a mapped window: asks the window manager to add or remove the task-bar and pager
// states.
void setSkipTaskbarMapped(const X11Connection &x11, xcb_window_t window, bool skip);

// Asks the window manager to activate `window` as a pager would (which window managers
// honour even while another application is in front). `time` is the X time of the press
// that asked for it: with none (0) mutter flags the window instead of activating it.
void requestActivation(const X11Connection &x11, xcb_window_t window, xcb_timestamp_t time);

// The names of the window's _NET_WM_STATE atoms, for checks.
QByteArrayList states(const X11Connection &x11, xcb_window_t window);
// The window's _NET_WM_DESKTOP; 0xFFFFFFFF means every desktop.
std::optional<quint32> desktop(const X11Connection &x11, xcb_window_t window);

} // namespace X11WindowHints
