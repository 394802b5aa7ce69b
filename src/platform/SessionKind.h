// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// The kind of desktop session the process starts in, read from its environment before Qt
// chooses a platform, and what it means for the rails.
//
// A native Wayland client cannot place or stack the rails (an xdg_toplevel has no position
// and no "above"); mutter and KWin honour the X positions and stacking of XWayland windows,
// so in their Wayland sessions the rails run through XWayland. wlroots compositors (sway,
// Hyprland, labwc, ...) ignore X positions either way.
class SessionKind
{
public:
    // The variables the decision reads.
    struct Environment
    {
        QByteArray sessionType;      // XDG_SESSION_TYPE
        QByteArray waylandDisplay;   // WAYLAND_DISPLAY
        QByteArray x11Display;       // DISPLAY
        QByteArray qtPlatform;       // QT_QPA_PLATFORM
        QByteArray currentDesktop;   // XDG_CURRENT_DESKTOP
        QByteArray swaySocket;       // SWAYSOCK
        QByteArray hyprlandInstance; // HYPRLAND_INSTANCE_SIGNATURE
        QByteArray labwcProcess;     // LABWC_PID

        static Environment fromProcess();
    };

    // Where the rails can be in a session.
    enum class Rails
    {
        // At the screen edges, above other windows.
        atEdges,
        // The compositor ignores where its windows ask to be: the rails would stand in the
        // middle of the screen.
        unplaceableCompositor,
        // A Wayland session in which Orlette runs as a native Wayland client (no XWayland,
        // or the person chose it with QT_QPA_PLATFORM).
        unplaceableNativeWayland,
    };

    explicit SessionKind(Environment environment);

    bool isWayland() const;
    // sway, Hyprland, labwc, river, Wayfire or another wlroots compositor.
    bool isWlroots() const;
    // Whether XDG_CURRENT_DESKTOP names `desktop` ("GNOME", "KDE"), case aside.
    bool isDesktop(const QByteArray &desktop) const;
    // The Qt platform to start on, or empty to leave Qt's own choice: "xcb" in a Wayland
    // session with XWayland unless the person set QT_QPA_PLATFORM.
    QByteArray platformToChoose() const;
    Rails rails() const;
    // Whether the application learns where the pointer is, and of its clicks, only while
    // the pointer is over one of its own windows: X11 clients in a Wayland session, through
    // XWayland.
    bool seesPointerOnlyOverOwnWindows() const;
    // The same for this process, read from its environment after the platform choice.
    static bool processSeesPointerOnlyOverOwnWindows();

    // Sets the chosen platform in the process environment, for QApplication to read.
    void applyPlatformChoice() const;

private:
    bool platformIsX11() const;

    Environment m_environment;
};
