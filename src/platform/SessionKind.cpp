// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SessionKind.h"

#include <QList>
#include <QtGlobal>

#include <utility>

SessionKind::Environment SessionKind::Environment::fromProcess()
{
    Environment environment;
    environment.sessionType = qgetenv("XDG_SESSION_TYPE");
    environment.waylandDisplay = qgetenv("WAYLAND_DISPLAY");
    environment.x11Display = qgetenv("DISPLAY");
    environment.qtPlatform = qgetenv("QT_QPA_PLATFORM");
    environment.currentDesktop = qgetenv("XDG_CURRENT_DESKTOP");
    environment.swaySocket = qgetenv("SWAYSOCK");
    environment.hyprlandInstance = qgetenv("HYPRLAND_INSTANCE_SIGNATURE");
    environment.labwcProcess = qgetenv("LABWC_PID");
    return environment;
}

SessionKind::SessionKind(Environment environment) : m_environment(std::move(environment)) {}

bool SessionKind::isWayland() const
{
    // A session started as X11 can still carry a stray WAYLAND_DISPLAY (a nested
    // compositor's terminal); the session type, where set, says what it is.
    const QByteArray type = m_environment.sessionType.trimmed().toLower();
    if (type == "x11")
        return false;
    return type == "wayland" || !m_environment.waylandDisplay.isEmpty();
}

bool SessionKind::isWlroots() const
{
    if (!isWayland())
        return false;
    if (!m_environment.swaySocket.isEmpty() || !m_environment.hyprlandInstance.isEmpty() ||
        !m_environment.labwcProcess.isEmpty())
        return true;
    // XDG_CURRENT_DESKTOP is a colon-separated list, e.g. "sway" or "Hyprland".
    static const QList<QByteArray> wlroots = {"sway",    "hyprland", "labwc", "river",
                                              "wayfire", "wlroots",  "niri",  "dwl"};
    const QList<QByteArray> desktops = m_environment.currentDesktop.toLower().split(':');
    for (const QByteArray &desktop : desktops) {
        if (wlroots.contains(desktop.trimmed()))
            return true;
    }
    return false;
}

bool SessionKind::isDesktop(const QByteArray &desktop) const
{
    const QList<QByteArray> desktops = m_environment.currentDesktop.toLower().split(':');
    for (const QByteArray &named : desktops) {
        if (named.trimmed() == desktop.toLower())
            return true;
    }
    return false;
}

QByteArray SessionKind::platformToChoose() const
{
    if (!m_environment.qtPlatform.isEmpty() || !isWayland() || m_environment.x11Display.isEmpty())
        return {};
    return QByteArrayLiteral("xcb");
}

bool SessionKind::platformIsX11() const
{
    if (!m_environment.qtPlatform.isEmpty()) {
        // Qt takes the first platform of a list that loads, e.g. "wayland;xcb".
        const QByteArray first = m_environment.qtPlatform.split(';').first().split(':').first();
        return first.trimmed() == "xcb";
    }
    return !isWayland() || !m_environment.x11Display.isEmpty();
}

SessionKind::Rails SessionKind::rails() const
{
    if (!isWayland())
        return Rails::atEdges;
    if (isWlroots())
        return Rails::unplaceableCompositor;
    return platformIsX11() ? Rails::atEdges : Rails::unplaceableNativeWayland;
}

bool SessionKind::seesPointerOnlyOverOwnWindows() const
{
    return isWayland() && platformIsX11();
}

bool SessionKind::processSeesPointerOnlyOverOwnWindows()
{
    return SessionKind(Environment::fromProcess()).seesPointerOnlyOverOwnWindows();
}

void SessionKind::applyPlatformChoice() const
{
    const QByteArray platform = platformToChoose();
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}
