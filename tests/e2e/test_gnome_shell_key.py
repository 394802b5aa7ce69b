# SPDX-License-Identifier: GPL-3.0-or-later
"""The quick-note key in a GNOME Wayland session, end to end: GNOME Shell as the
compositor, gnome-settings-daemon's media-keys plugin running GNOME's keyboard shortcuts,
and Orlette started as a user would, with no variable of its own.

GNOME lets no application grab a key on Wayland. Orlette offers, in Ajustes, to add a
GNOME custom shortcut Super+Alt+N that runs `orlette --new-note`; the media-keys plugin
has the Shell grab it and runs the command, which hands the quick note to the running
program, or starts it. Until the person agrees, the key does nothing and Ajustes says why.

The settings window is read and pressed through the accessibility bus (with GNOME's
"assistive technologies" setting on, as a person using a screen reader has it) and
clicked with the real pointer; keys are pressed at the compositor.
"""

from __future__ import annotations

import re
from pathlib import Path
from typing import Optional

import harness
import railapp
from harness import HarnessError
from wayland import WaylandDesktop

MEDIA_KEYS = "org.gnome.settings-daemon.plugins.media-keys"
OURS = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/orlette/"
# Another program's shortcut, there before Orlette's: it must stay, and its key shows when
# the Shell and the media-keys plugin have handled the keys pressed before it.
OTHERS = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/"

ABSENT = "En GNOME sobre Wayland ninguna aplicación puede reservar teclas."
PRESENT = "Súper+Alt+N crea una nota nueva: es un atajo de GNOME"
OFFER = "Añadir el atajo a GNOME"


def entry(path: str) -> str:
    return f"{MEDIA_KEYS}.custom-keybinding:{path}"


def gsettings_get(desktop: WaylandDesktop, schema: str, key: str) -> str:
    return desktop.run(["gsettings", "get", schema, key]).stdout.strip()


def add_others_shortcut(desktop: WaylandDesktop, marker: Path) -> None:
    for key, value in (("name", "'Marca'"), ("command", f"'touch {marker}'"),
                       ("binding", "'<Super><Alt>m'")):
        desktop.run(["gsettings", "set", entry(OTHERS), key, value])
    desktop.run(["gsettings", "set", MEDIA_KEYS, "custom-keybindings", f"['{OTHERS}']"])


def hot_key_status(desktop: WaylandDesktop) -> str:
    """The text Ajustes shows about the quick-note key, once it is on the screen."""
    node = desktop.wait_for_accessible(containing="Súper+Alt+N", window="Ajustes")
    return node["name"] or node["text"]


def keyboard_rail(desktop: WaylandDesktop) -> Optional[int]:
    """The process whose right rail has the keyboard, None while no rail has it. New notes
    go to the right edge, and a rail's window becomes XWayland's active window when it
    opens a card to type in."""
    active = desktop.active_window()
    if active is None:
        return None
    try:
        geometry = desktop.geometry(active)
    except HarnessError:
        return None  # gone since (the program quit)
    if (geometry["x"] + geometry["width"] != desktop.size[0]
            or "DOCK" not in desktop.window_property(active, "_NET_WM_WINDOW_TYPE")):
        return None
    pid = re.search(r"= (\d+)", desktop.window_property(active, "_NET_WM_PID"))
    return int(pid.group(1)) if pid else None


def test_quick_note_key_in_gnome_shell(args):
    with WaylandDesktop(args.artifacts, "gnome-shell-key", compositor="gnome-shell",
                        helpers=harness.build_dir(args) / "tests", media_keys=True) as desktop:
        marker = desktop.home / "marker"
        add_others_shortcut(desktop, marker)
        desktop.wait_for(lambda: desktop.media_key_grabs() >= 2,
                         "the Shell to grab the other program's shortcut")
        desktop.run(["gsettings", "set", "org.gnome.desktop.interface",
                     "toolkit-accessibility", "true"])
        railapp.settle_first_launch(desktop)
        app = desktop.launch(args.binary)
        desktop.wait_for(lambda: desktop.find_windows(pid=app.pid), "Orlette's rails")

        # Ajustes, opened by a second start as from the application menu's entry.
        second = desktop.launch(args.binary, "--settings")
        assert second.wait(20) == 0, second.output()
        desktop.wait_for_window(name="^Ajustes$", pid=app.pid, timeout=15)
        # Ajustes may open while Orlette still asks the desktop's portal for shortcuts.
        desktop.wait_for(lambda: ABSENT in hot_key_status(desktop),
                         "Ajustes to say no application can have the key")
        desktop.wait_for_accessible(name=OFFER, role="push button", window="Ajustes")

        # Without consent the key does nothing: the other program's key, pressed after it,
        # is the only shortcut run.
        before = {note["id"] for note in railapp.notes(desktop)}
        desktop.key("super+alt+n", "super+alt+m")
        desktop.wait_for(marker.exists, "the other program's shortcut to run")
        assert desktop.media_key_launches() == 1, "the media-keys plugin ran another command"
        assert {note["id"] for note in railapp.notes(desktop)} == before, \
            "a note made with no shortcut added"
        assert OURS not in gsettings_get(desktop, MEDIA_KEYS, "custom-keybindings")

        # Consent, given with the real pointer on the offer.
        grabs = desktop.media_key_grabs()
        desktop.press_accessible(name=OFFER, role="push button", window="Ajustes")
        desktop.wait_for(lambda: PRESENT in hot_key_status(desktop),
                         "Ajustes to say the shortcut is GNOME's")
        assert not desktop.find_accessible(name=OFFER, role="push button", window="Ajustes"), \
            "the offer is still shown"
        listed = gsettings_get(desktop, MEDIA_KEYS, "custom-keybindings")
        assert OURS in listed and OTHERS in listed, listed
        assert gsettings_get(desktop, entry(OURS), "binding") == "'<Super><Alt>n'"
        command = gsettings_get(desktop, entry(OURS), "command")
        assert command == f"\"'{args.binary.resolve()}' --new-note\"", command
        desktop.wait_for(lambda: desktop.media_key_grabs() > grabs,
                         "the Shell to grab the new shortcut")

        # The key now makes a note from whatever has the keyboard, and opens its card.
        desktop.key("super+alt+n")
        made = desktop.wait_for(
            lambda: [note["id"] for note in railapp.notes(desktop) if note["id"] not in before],
            "the hot key to make a note")
        assert len(made) == 1, made
        if not app.running():
            raise HarnessError(f"orlette ended:\n{app.output()}")
        desktop.wait_for(lambda: keyboard_rail(desktop) == app.pid,
                         "the new note's card to open with the keyboard")
        desktop.type_text("hola gnome")
        desktop.wait_for(lambda: any(note["id"] == made[0] and note["plainText"] ==
                                     "hola gnome" for note in railapp.notes(desktop)),
                         "the typing to reach the new note's open card")

        # With Orlette quit, the shortcut starts it, and the note is made all the same.
        app.stop()
        before = {note["id"] for note in railapp.notes(desktop)}
        desktop.key("super+alt+n")
        made = desktop.wait_for(
            lambda: [note["id"] for note in railapp.notes(desktop) if note["id"] not in before],
            "the hot key to start Orlette and make a note", timeout=30)
        assert len(made) == 1, made
        desktop.wait_for(lambda: keyboard_rail(desktop) not in (None, app.pid),
                         "the new note's card to open in the Orlette the key started")
        desktop.screenshot("started-by-key")


if __name__ == "__main__":
    harness.main(globals())
