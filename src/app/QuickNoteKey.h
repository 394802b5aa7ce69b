// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/GnomeCustomKeybinding.h"
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
        // The desktop's service refused it; `error` says why when it said.
        refused,
        // No service can register a key in this session.
        noService,
    };
    Outcome outcome = Outcome::noService;
    QString error;
};

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
