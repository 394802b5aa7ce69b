# SPDX-License-Identifier: GPL-3.0-or-later
"""The whole application on a private X desktop: the first launch with its tour and welcome
notes, the quick-note hot key, one instance per person, and floating notes that come back
where they were left."""

import configparser
import os
import signal
import sqlite3
from contextlib import closing
import time
import uuid
from pathlib import Path

import harness
from harness import Desktop


def store_path(desktop: Desktop) -> Path:
    return desktop.home / "data" / "Orlette" / "default.store"


def settings_path(desktop: Desktop) -> Path:
    return desktop.home / "config" / "Orlette" / "Orlette.conf"


def notes(desktop: Desktop) -> list[dict]:
    path = store_path(desktop)
    if not path.exists():
        return []
    with closing(sqlite3.connect(f"file:{path}?mode=ro", uri=True, timeout=5)) as db:
        db.row_factory = sqlite3.Row
        try:
            return [dict(row) for row in db.execute("SELECT * FROM Note ORDER BY sortIndex")]
        except sqlite3.OperationalError:
            return []


def write_settings(desktop: Desktop, values: dict[str, str]) -> None:
    path = settings_path(desktop)
    path.parent.mkdir(parents=True, exist_ok=True)
    parser = configparser.ConfigParser()
    parser.optionxform = str
    if path.exists():
        parser.read(path)
    if "General" not in parser:
        parser["General"] = {}
    parser["General"].update(values)
    with open(path, "w") as out:
        parser.write(out, space_around_delimiters=False)


def read_setting(desktop: Desktop, key: str):
    parser = configparser.ConfigParser()
    parser.optionxform = str
    parser.read(settings_path(desktop))
    return parser["General"].get(key) if "General" in parser else None


def test_first_launch_opens_the_tour_and_seeds_the_welcome_notes(args):
    with Desktop(args.artifacts, "first-launch") as desktop:
        started = time.monotonic()
        app = desktop.launch(args.binary, env={"ORLETTE_WELCOME_DELAY_MS": "2500"})
        tour = desktop.wait_for_window(name="Bienvenida", pid=app.pid, timeout=20)
        opened_after = time.monotonic() - started
        assert opened_after >= 0.9, f"the tour opened after {opened_after:.2f} s, not ~1 s"
        desktop.screenshot("tour")
        assert tour

        desktop.wait_for(lambda: len(notes(desktop)) == 3, "the three welcome notes", timeout=20)
        seeded = notes(desktop)
        assert [n["title"] for n in seeded] == ["Bienvenida", "Atajos", "iCloud"]
        assert [n["colorToken"] for n in seeded] == ["citrus", "mint", "sky"]
        assert [n["sortIndex"] for n in seeded] == [0, 1024, 2048]
        assert {n["edgeToken"] for n in seeded} == {"right"}
        assert read_setting(desktop, "hasSeededWelcomeNotes") == "true"
        desktop.screenshot("welcome-notes")


def test_hot_key_makes_a_note_from_another_application(args):
    with Desktop(args.artifacts, "hot-key") as desktop:
        write_settings(desktop, {"hasSeenTour": "true", "hasSeededWelcomeNotes": "true",
                                 "defaultEdge": "left"})
        app = desktop.launch(args.binary)
        desktop.wait_for(lambda: store_path(desktop).exists(), "the store", timeout=20)
        desktop.spawn(["xmessage", "-geometry", "+600+400", "otra aplicación"])
        window = desktop.wait_for_window(name="xmessage", timeout=20)
        desktop.xdotool("windowactivate", "--sync", window)
        time.sleep(0.5)
        desktop.key("super+alt+n")
        desktop.wait_for(lambda: len(notes(desktop)) == 1, "the quick note", timeout=15)
        note = notes(desktop)[0]
        assert note["edgeToken"] == "left"
        assert note["colorToken"] == "citrus"
        # The note opens on its rail with the editor taking the keyboard: typing lands in it.
        time.sleep(1.0)
        desktop.type_text("desde el atajo")
        desktop.wait_for(lambda: "desde el atajo" in (notes(desktop)[0]["plainText"] or ""),
                         "the typed text in the store", timeout=15)
        desktop.screenshot("quick-note")
        assert app.running()


def test_a_second_start_hands_over_to_the_running_one(args):
    with Desktop(args.artifacts, "single-instance") as desktop:
        write_settings(desktop, {"hasSeenTour": "true", "hasSeededWelcomeNotes": "true"})
        app = desktop.launch(args.binary)
        desktop.wait_for(lambda: store_path(desktop).exists(), "the store", timeout=20)
        time.sleep(1.0)
        second = desktop.launch(args.binary, "--library")
        assert second.wait(timeout=15) == 0, "the second start should hand over and leave"
        desktop.wait_for_window(name="Biblioteca", pid=app.pid, timeout=15)
        desktop.screenshot("library")
        assert app.running()


def floating_window(desktop: Desktop, pid: int) -> int:
    """The floating note's window: the one of the application sized like one (380 × 340
    plus the room for its shadow), not a rail."""
    def find():
        for window in desktop.find_windows(pid=pid):
            size = desktop.geometry(window)
            if 380 <= size["width"] <= 480 and 340 <= size["height"] <= 440:
                return window
        return None
    return desktop.wait_for(find, "the floating note's window", timeout=20)


def insert_floating_note(desktop: Desktop) -> str:
    """Adds a floating note to the store of a stopped application; returns its id."""
    note_id = str(uuid.uuid4()).upper()
    now = int(time.time() * 1000)
    with closing(sqlite3.connect(store_path(desktop), timeout=5)) as db, db:
        db.execute(
            "INSERT INTO Note (pk, id, title, richText, plainText, colorToken, edgeToken,"
            " sortIndex, createdAt, updatedAt, isArchived, isFloating, searchTitle,"
            " searchBody, rowVersion) VALUES (?, ?, 'Suelta', x'', 'flotando', 'sky',"
            " 'right', 0, ?, ?, 0, 1, 'suelta', 'flotando', 1)",
            (4242, note_id, now, now))
    return note_id


def test_a_moved_floating_note_comes_back_where_it_was(args):
    with Desktop(args.artifacts, "floating") as desktop:
        write_settings(desktop, {"hasSeenTour": "true", "hasSeededWelcomeNotes": "true"})
        app = desktop.launch(args.binary)
        desktop.wait_for(lambda: store_path(desktop).exists(), "the store", timeout=20)
        app.stop()

        note_id = insert_floating_note(desktop)

        app = desktop.launch(args.binary)
        window = floating_window(desktop, app.pid)
        desktop.xdotool("windowmove", "--sync", window, 300, 200)
        key = f"floatingNote.{note_id}"
        desktop.wait_for(lambda: read_setting(desktop, key), "the stored position", timeout=10)
        before = desktop.geometry(window)
        desktop.screenshot("moved")
        app.stop()

        app = desktop.launch(args.binary)
        window = floating_window(desktop, app.pid)
        after = desktop.geometry(window)
        assert (after["x"], after["y"]) == (before["x"], before["y"]), (before, after)


def test_a_closed_terminal_ends_orlette_through_the_termination_sequence(args):
    """SIGHUP, sent when the launching terminal closes, ends Orlette as SIGTERM does: the
    event loop ends, the edit typed a moment before is saved, the exit is a normal one."""
    for number, name in ((signal.SIGHUP, "sighup"), (signal.SIGTERM, "sigterm")):
        with Desktop(args.artifacts, name) as desktop:
            write_settings(desktop, {"hasSeenTour": "true", "hasSeededWelcomeNotes": "true"})
            app = desktop.launch(args.binary)
            desktop.wait_for(lambda: store_path(desktop).exists(), "the store", timeout=20)
            app.stop()
            note_id = insert_floating_note(desktop)

            app = desktop.launch(args.binary)
            window = floating_window(desktop, app.pid)
            size = desktop.geometry(window)
            desktop.click(size["x"] + size["width"] // 2, size["y"] + size["height"] // 2)
            desktop.wait_for(lambda: desktop.active_window() == window, "the focused note",
                             timeout=10)
            desktop.type_text(" y algo mas")
            # Well within the editor's pause before saving.
            os.kill(app.pid, number)
            assert app.wait(timeout=15) == 0, f"{name} should end Orlette normally"
            text = next(n["plainText"] for n in notes(desktop) if n["id"] == note_id)
            assert "y algo mas" in text, (name, text)


def test_changing_the_default_edge_gathers_every_note_there(args):
    with Desktop(args.artifacts, "default-edge") as desktop:
        write_settings(desktop, {"hasSeenTour": "true", "hasSeededWelcomeNotes": "true"})
        app = desktop.launch(args.binary)
        desktop.wait_for(lambda: store_path(desktop).exists(), "the store", timeout=20)
        time.sleep(1.0)
        for _ in range(3):
            desktop.launch(args.binary, "--new-note").wait(timeout=15)
        desktop.wait_for(lambda: len(notes(desktop)) == 3, "three notes", timeout=15)
        assert {n["edgeToken"] for n in notes(desktop)} == {"right"}

        # The settings file changes under the running application, as the settings window
        # or another process changes it.
        write_settings(desktop, {"defaultEdge": "left"})
        desktop.wait_for(lambda: {n["edgeToken"] for n in notes(desktop)} == {"left"},
                         "every note on the left edge", timeout=15)
        assert [n["sortIndex"] for n in notes(desktop)] == [0, 1024, 2048]
        desktop.screenshot("gathered-left")
        assert app.running()


if __name__ == "__main__":
    harness.main(globals())
