// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/GnomeCustomKeybinding.h"
#include "platform/PortalHotKeyService.h"
#include "windows/SettingsView.h"

#include <QString>

// What the settings tell of the quick-note key (Super+Alt+N), from how its registration
// went and, on GNOME on Wayland, from GNOME's custom shortcuts, where a shortcut that runs
// `orlette --new-note` is offered with the person's consent.
namespace QuickNoteKey {

struct Registration
{
    enum class Outcome
    {
        registered,
        // The desktop portal was asked whether it offers global shortcuts and has not
        // answered yet: which service will hold the key is not known.
        choosing,
        // Asked for; the desktop has not answered yet (it may be asking the person).
        pending,
        // The desktop's service refused it; `error` says why when it said.
        refused,
        // No service can register a key in this session.
        noService,
    };
    // Who holds the key for Orlette.
    enum class Route
    {
        // Orlette's own grab on the X server.
        keyGrab,
        // KDE's global-shortcut service.
        kdeShortcuts,
        // The desktop portal's global shortcuts.
        desktopPortal,
    };
    Outcome outcome = Outcome::noService;
    QString error{};
    Route route = Route::keyGrab;
    // The key as the desktop names it, where the person may have chosen another one;
    // empty when the desktop did not say.
    QString trigger{};
};

// A registration through the desktop portal, from the portal's answer so far.
Registration portalRegistration(const PortalHotKeyService::Binding &binding);

// The GNOME custom shortcut's entry for this application.
inline const QString gnomePath =
    QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/orlette/");

// The shortcut: "orlette --new-note" when the program found on the search path is this one,
// else this program by its full path (a copy run from elsewhere).
GnomeCustomKeybinding::Binding gnomeBinding(const QString &programPath,
                                            const QString &programOnPath);

// `gnome` is null where no GNOME shortcut is offered (not GNOME, or not Wayland). It must
// outlive the status's offer.
SettingsView::HotKeyStatus status(const Registration &registration,
                                  const GnomeCustomKeybinding *gnome,
                                  const GnomeCustomKeybinding::Binding &binding);

} // namespace QuickNoteKey
