# SPDX-License-Identifier: GPL-3.0-or-later
"""Floating note windows on a real X server: the X11 tests of the view test binary
(skipped on the offscreen platform) on private virtual desktops with a window manager,
with and without a compositor, and the real application closing a floating note's window
when the library moves the note to the trash."""

import sqlite3
import time
from contextlib import closing

import harness
import railapp
from harness import Desktop


def run_floating_tests(args, desktop: Desktop) -> None:
    harness.run_view_tests_on_x11(args, desktop, "X11FloatingNotes.*")


def test_floating_windows_under_a_compositor(args):
    with Desktop(args.artifacts, "composited", compositor=True) as desktop:
        run_floating_tests(args, desktop)


def test_floating_windows_without_a_compositor(args):
    with Desktop(args.artifacts, "plain", compositor=False) as desktop:
        run_floating_tests(args, desktop)


def test_moving_a_floating_note_to_the_trash_in_the_library_closes_its_window(args):
    with Desktop(args.artifacts, "trash-from-library", session=True) as desktop:
        railapp.seed(desktop, args.binary, [("Suelta", "right", 0)])
        with closing(sqlite3.connect(railapp.store_path(desktop))) as db, db:
            db.execute("UPDATE Note SET isFloating = 1")
        desktop.launch(args.binary)
        desktop.wait_for_accessible("Hecha", role="push button", timeout=20)

        desktop.launch(args.binary, "--library")
        row = desktop.wait_for_accessible("Suelta", role="list item",
                                          window="En pantalla — Biblioteca", timeout=20)
        desktop.click(row["x"] + 100, row["y"] + row["height"] // 2, button=3)
        time.sleep(0.5)  # the menu opens
        # Pop-up menus are not in the accessibility tree: the menu of the section "En
        # pantalla" is walked with the keyboard, as a person without a mouse would.
        # "Marcar como hecha", "Archivar", then "Mover a la papelera".
        desktop.key("Down", "Down", "Down", "Return")

        desktop.wait_for(lambda: not desktop.find_accessible("Hecha", role="push button"),
                         "the floating window to close")
        note = railapp.notes(desktop)[0]
        with closing(sqlite3.connect(f"file:{railapp.store_path(desktop)}?mode=ro",
                                     uri=True)) as db:
            trashed, floating = db.execute(
                "SELECT deletedAt, isFloating FROM Note WHERE id = ?", (note["id"],)).fetchone()
        assert trashed and not floating, "in the trash, and back on a rail when restored"
        desktop.screenshot("trashed")


if __name__ == "__main__":
    harness.main(globals())
