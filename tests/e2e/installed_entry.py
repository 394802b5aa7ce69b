#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The installed desktop entry: its actions, run as a menu runs them, hand their request
to the running Orlette, whose windows carry the entry's StartupWMClass; the icon it names
is in the hicolor theme. Run by scripts/check-package.sh against /usr/bin/orlette."""

import configparser
import shlex
import shutil
from pathlib import Path

import harness
import railapp
from harness import Desktop

ENTRY = Path("/usr/share/applications/org.orlette.Orlette.desktop")
ICONS = Path("/usr/share/icons/hicolor")


def read_entry() -> configparser.ConfigParser:
    entry = configparser.ConfigParser(interpolation=None)
    entry.optionxform = str
    entry.read(ENTRY, encoding="utf-8")
    return entry


def test_the_entry_actions_open_their_windows_in_the_running_program(args):
    entry = read_entry()
    main = entry["Desktop Entry"]
    assert (ICONS / "scalable" / "apps" / f"{main['Icon']}.svg").is_file()
    assert (ICONS / "48x48" / "apps" / f"{main['Icon']}.png").is_file()
    actions = [name for name in main["Actions"].split(";") if name]
    names = {entry[f"Desktop Action {name}"]["Name"]: name for name in actions}
    assert set(names) == {"Nueva nota", "Biblioteca…", "Ajustes…"}, names

    with Desktop(args.artifacts, "installed-entry") as desktop:
        shutil.copy(ICONS / "256x256" / "apps" / f"{main['Icon']}.png",
                    desktop.artifacts / "icon-256.png")
        rails = railapp.launch(desktop, args.binary)

        def run_action(label: str) -> None:
            command = shlex.split(entry[f"Desktop Action {names[label]}"]["Exec"])
            # The menu finds the program on PATH, as it finds the installed one.
            assert shutil.which(command[0]) == str(args.binary), command
            assert desktop.run(command, timeout=20).returncode == 0

        run_action("Biblioteca…")
        library = desktop.wait_for_window(name="Biblioteca", pid=rails.app.pid, timeout=15)
        wm_class = desktop.window_property(library, "WM_CLASS")
        assert f'"{main["StartupWMClass"]}"' in wm_class, wm_class

        run_action("Ajustes…")
        desktop.wait_for_window(name="Ajustes", pid=rails.app.pid, timeout=15)

        run_action("Nueva nota")
        desktop.wait_for(lambda: len(railapp.notes(desktop)) == 1, "the new note in the store")
        desktop.screenshot("actions")
        railapp.stop(desktop, rails)


if __name__ == "__main__":
    harness.main(globals())
