# SPDX-License-Identifier: GPL-3.0-or-later
"""Two computers of one person, as two instances of the real application with their own
data and settings folders on two virtual desktops, mirroring through one shared folder (a
Syncthing or Nextcloud folder stands for it)."""

import sqlite3
from contextlib import closing
import tempfile
import time
from pathlib import Path

import harness
import railapp
from harness import Desktop


def prepare(desktop: Desktop, shared: Path) -> None:
    railapp.mirror_to_folder(desktop, shared)


def notes(desktop: Desktop) -> list[dict]:
    path = desktop.home / "data" / "Orlette" / "default.store"
    if not path.exists():
        return []
    try:
        with closing(sqlite3.connect(f"file:{path}?mode=ro", uri=True, timeout=5)) as db:
            db.row_factory = sqlite3.Row
            return [dict(row) for row in db.execute("SELECT * FROM Note")]
    except sqlite3.OperationalError:
        return []


def test_a_note_written_on_one_computer_reaches_the_other(args):
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as folder, \
            Desktop(args.artifacts, "computer-a") as a, \
            Desktop(args.artifacts, "computer-b") as b:
        shared = Path(folder)
        prepare(a, shared)
        prepare(b, shared)
        app_a = a.launch(args.binary)
        app_b = b.launch(args.binary)
        a.wait_for(lambda: (a.home / "data" / "Orlette" / "default.store").exists(),
                   "A's store", timeout=20)

        # A quick note on A, typed into at once.
        time.sleep(1.0)
        a.launch(args.binary, "--new-note")
        a.wait_for(lambda: len(notes(a)) == 1, "the note on A", timeout=15)
        time.sleep(0.8)
        a.type_text("escrita en A")
        a.wait_for(lambda: "escrita en A" in notes(a)[0]["plainText"], "the text on A",
                   timeout=15)

        # The folder holds the note's record, and B takes it in.
        a.wait_for(lambda: list((shared / "Orlette").rglob("*.json")), "the shared records",
                   timeout=30)
        b.wait_for(lambda: any("escrita en A" in n["plainText"] for n in notes(b)),
                   "the note on B", timeout=60)
        arrived = [n for n in notes(b) if "escrita en A" in n["plainText"]]
        assert len(arrived) == 1, "the note arrives once"
        assert arrived[0]["id"] == notes(a)[0]["id"], "the same note, not a copy"
        b.screenshot("note-from-a")
        assert app_a.running() and app_b.running()


if __name__ == "__main__":
    harness.main(globals())
