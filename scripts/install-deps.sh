#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Orlette needs to build, run and be tested.
set -euo pipefail

packages=(
    cmake g++ make ninja-build pkg-config ccache python3
    qt6-base-dev libsqlite3-dev libicu-dev libsodium-dev qtkeychain-qt6-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libxcb1-dev libxcb-xinput-dev libxcb-xfixes0-dev libxcb-shape0-dev libxcb-keysyms1-dev
    clang libclang-rt-14-dev
    xvfb xauth xdotool x11-utils x11-xserver-utils xclip imagemagick openbox xcompmgr trayer
    # A StatusNotifierItem watcher of its own (status-notifier-watcher) for the tray tests.
    haskell-status-notifier-item-utils
    # The window managers of the desktop matrix: KDE Plasma's, GNOME's (X11 mode), XFCE's,
    # and a compositor that draws shadows.
    kwin-x11 mutter xfwm4 picom
    xvfb xauth xdotool x11-utils x11-xserver-utils x11-xkb-utils xclip imagemagick openbox xcompmgr trayer
    fonts-dejavu-core
    # The desktop session of the end-to-end tests: a D-Bus session, the accessibility bus
    # through which they read and press the windows, and a secret store (libsecret is
    # what QtKeychain loads for it); Apache with mod_dav is their WebDAV server.
    dbus dbus-bin at-spi2-core python3-pyatspi gnome-keyring libsecret-1-0
    apache2 apache2-utils
    # Free stand-ins for the note typefaces that are not free: Comic Neue Light and
    # Humor Sans for "Noteworthy", Dancing Script Bold for "Bradley Hand", Quicksand for the
    # rounded system face (Caveat itself ships inside the application).
    fonts-comic-neue fonts-humor-sans fonts-dancingscript fonts-quicksand
    # The hygiene checks of the test command: C++ format, shell scripts, Python harness.
    clang-format-14 shellcheck python3-pyflakes git
    # Wayland sessions of the end-to-end tests: headless mutter (its remote-desktop input
    # and screen cast through PipeWire, read with GStreamer) and KWin (its fake-input
    # protocol, for which the tests build a small client), both with XWayland; Qt's
    # Wayland platform for the native window the tests click on.
    mutter kwin-wayland xwayland qt6-wayland
    pipewire wireplumber gstreamer1.0-pipewire gstreamer1.0-plugins-base
    gir1.2-gstreamer-1.0 gir1.2-gst-plugins-base-1.0 python3-dbus python3-gi libglib2.0-bin
    libwayland-dev wayland-protocols plasma-wayland-protocols
    # The sway session of the end-to-end tests (wlroots): sway with swaybar, wtype for its
    # keyboard, grim for its pixels; setpriv (util-linux) runs it as its own account.
    sway wtype grim util-linux
    # The package and its checks: dpkg-shlibdeps for the dependencies of the .deb, the
    # validators of the desktop entry and the AppStream metadata, lintian; rsvg-convert
    # renders the icon's PNG sizes again when its drawing changes.
    dpkg-dev fakeroot desktop-file-utils appstream lintian librsvg2-bin
    # The quick-note key in Wayland sessions: GNOME's schema of custom keyboard shortcuts,
    # KDE's global-shortcut daemon and the desktop portal, which the tests run on a
    # private bus.
    gnome-settings-daemon-common libkf5globalaccel-bin xdg-desktop-portal
    # GNOME's Wayland session itself for the quick-note key's end-to-end test: GNOME Shell
    # as the compositor, and gnome-settings-daemon, whose media-keys plugin has the Shell
    # grab the custom shortcuts' keys and runs their commands.
    gnome-shell gnome-settings-daemon
    # A second, real WebDAV server for the mirroring's tests: rclone's, which takes writes
    # whose condition fails.
    rclone
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
