// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SessionKind.h"

#include <gtest/gtest.h>

namespace {

SessionKind::Environment gnomeOnWayland()
{
    SessionKind::Environment environment;
    environment.sessionType = "wayland";
    environment.waylandDisplay = "wayland-0";
    environment.x11Display = ":0";
    environment.currentDesktop = "GNOME";
    return environment;
}

} // namespace

TEST(SessionKind, WaylandSessionsWithXWaylandRunTheRailsThroughIt)
{
    const SessionKind gnome(gnomeOnWayland());
    EXPECT_TRUE(gnome.isWayland());
    EXPECT_FALSE(gnome.isWlroots());
    EXPECT_EQ(gnome.platformToChoose(), "xcb");
    EXPECT_EQ(gnome.rails(), SessionKind::Rails::atEdges);

    auto kde = gnomeOnWayland();
    kde.currentDesktop = "KDE";
    EXPECT_EQ(SessionKind(kde).platformToChoose(), "xcb");
    EXPECT_EQ(SessionKind(kde).rails(), SessionKind::Rails::atEdges);

    // A session that only sets WAYLAND_DISPLAY is a Wayland session too.
    auto unnamed = gnomeOnWayland();
    unnamed.sessionType.clear();
    EXPECT_EQ(SessionKind(unnamed).platformToChoose(), "xcb");
}

TEST(SessionKind, LeavesX11SessionsAndThePersonsChoiceAlone)
{
    SessionKind::Environment x11;
    x11.sessionType = "x11";
    x11.x11Display = ":0";
    // A terminal of a nested compositor can leave WAYLAND_DISPLAY behind.
    x11.waylandDisplay = "wayland-1";
    EXPECT_FALSE(SessionKind(x11).isWayland());
    EXPECT_TRUE(SessionKind(x11).platformToChoose().isEmpty());
    EXPECT_EQ(SessionKind(x11).rails(), SessionKind::Rails::atEdges);

    auto chosen = gnomeOnWayland();
    chosen.qtPlatform = "wayland";
    EXPECT_TRUE(SessionKind(chosen).platformToChoose().isEmpty());
    EXPECT_EQ(SessionKind(chosen).rails(), SessionKind::Rails::unplaceableNativeWayland);

    chosen.qtPlatform = "xcb";
    EXPECT_TRUE(SessionKind(chosen).platformToChoose().isEmpty());
    EXPECT_EQ(SessionKind(chosen).rails(), SessionKind::Rails::atEdges);

    // Qt takes the first platform of a list that loads.
    chosen.qtPlatform = "wayland;xcb";
    EXPECT_EQ(SessionKind(chosen).rails(), SessionKind::Rails::unplaceableNativeWayland);
    chosen.qtPlatform = "xcb;wayland";
    EXPECT_EQ(SessionKind(chosen).rails(), SessionKind::Rails::atEdges);
}

TEST(SessionKind, WithoutXWaylandQtChoosesAndTheRailsCannotStandAtTheEdges)
{
    auto bare = gnomeOnWayland();
    bare.x11Display.clear();
    EXPECT_TRUE(SessionKind(bare).platformToChoose().isEmpty());
    EXPECT_EQ(SessionKind(bare).rails(), SessionKind::Rails::unplaceableNativeWayland);
}

TEST(SessionKind, RecognisesWlrootsCompositors)
{
    auto sway = gnomeOnWayland();
    sway.currentDesktop = "sway";
    EXPECT_TRUE(SessionKind(sway).isWlroots());
    EXPECT_EQ(SessionKind(sway).rails(), SessionKind::Rails::unplaceableCompositor);
    // Library and floating notes still run through XWayland there.
    EXPECT_EQ(SessionKind(sway).platformToChoose(), "xcb");

    auto listed = gnomeOnWayland();
    listed.currentDesktop = "Hyprland:wlroots";
    EXPECT_TRUE(SessionKind(listed).isWlroots());
    listed.currentDesktop = "labwc:wlroots";
    EXPECT_TRUE(SessionKind(listed).isWlroots());

    // Without XDG_CURRENT_DESKTOP, the compositors' own variables.
    auto bySocket = gnomeOnWayland();
    bySocket.currentDesktop.clear();
    bySocket.swaySocket = "/run/user/1000/sway-ipc.1000.123.sock";
    EXPECT_TRUE(SessionKind(bySocket).isWlroots());
    auto byHyprland = gnomeOnWayland();
    byHyprland.currentDesktop.clear();
    byHyprland.hyprlandInstance = "abc_123";
    EXPECT_TRUE(SessionKind(byHyprland).isWlroots());
    auto byLabwc = gnomeOnWayland();
    byLabwc.currentDesktop.clear();
    byLabwc.labwcProcess = "4242";
    EXPECT_EQ(SessionKind(byLabwc).rails(), SessionKind::Rails::unplaceableCompositor);

    // Names that only contain a compositor's name are not it, and an X11 session run from
    // sway's variables is still X11.
    auto gnomeish = gnomeOnWayland();
    gnomeish.currentDesktop = "ubuntu:GNOME";
    EXPECT_FALSE(SessionKind(gnomeish).isWlroots());
    auto x11 = bySocket;
    x11.sessionType = "x11";
    EXPECT_FALSE(SessionKind(x11).isWlroots());
}

TEST(SessionKind, SetsThePlatformForQtToRead)
{
    const QByteArray before = qgetenv("QT_QPA_PLATFORM");
    qunsetenv("QT_QPA_PLATFORM");
    SessionKind(gnomeOnWayland()).applyPlatformChoice();
    EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), "xcb");
    qunsetenv("QT_QPA_PLATFORM");

    SessionKind::Environment x11;
    x11.sessionType = "x11";
    x11.x11Display = ":0";
    SessionKind(x11).applyPlatformChoice();
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"));
    qputenv("QT_QPA_PLATFORM", before);
}

TEST(SessionKind, NamesTheDesktopAndWhereThePointerIsSeenOnlyOverOwnWindows)
{
    auto ubuntu = gnomeOnWayland();
    ubuntu.currentDesktop = "ubuntu:GNOME";
    ubuntu.qtPlatform = "xcb";
    EXPECT_TRUE(SessionKind(ubuntu).isDesktop("GNOME"));
    EXPECT_FALSE(SessionKind(ubuntu).isDesktop("KDE"));
    EXPECT_TRUE(SessionKind(ubuntu).seesPointerOnlyOverOwnWindows());

    auto x11 = ubuntu;
    x11.sessionType = "x11";
    x11.waylandDisplay.clear();
    EXPECT_FALSE(SessionKind(x11).seesPointerOnlyOverOwnWindows());

    auto native = ubuntu;
    native.qtPlatform = "wayland";
    EXPECT_FALSE(SessionKind(native).seesPointerOnlyOverOwnWindows())
        << "a native Wayland client is told where the pointer is";
}
