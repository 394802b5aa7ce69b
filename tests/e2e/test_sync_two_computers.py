# SPDX-License-Identifier: GPL-3.0-or-later
"""Two computers of one person, each an instance of the real application on a desktop of
its own with its own data and settings, mirroring through one shared folder: changes made
with the mouse and keyboard on one reach the other, edits made apart keep both texts, and
the welcome notes are made once for both. Buttons are found through the accessibility
bus and pressed with the real pointer."""

import json
import tempfile
import time
from pathlib import Path

import harness
import railapp
from harness import Desktop

WAIT = 45  # a change goes out 3 s after its save; the other side reads it 1.5 s later


def prepare(desktop: Desktop, shared: Path, seeded: bool = True) -> None:
    railapp.mirror_to_folder(desktop, shared, seeded)


def notes(desktop: Desktop) -> list[dict]:
    return railapp.query(desktop, "SELECT * FROM Note ORDER BY createdAt")


def note(desktop: Desktop, note_id: str) -> dict:
    return next((n for n in notes(desktop) if n["id"] == note_id), {})


def write_new_note(desktop: Desktop, binary: Path, text: str) -> dict:
    """A quick note from the command line, typed into at once."""
    desktop.launch(binary, "--new-note")
    desktop.wait_for(lambda: len(notes(desktop)) >= 1 and not notes(desktop)[-1]["plainText"],
                     "the new note", timeout=15)
    time.sleep(0.8)
    desktop.type_text(text)
    return desktop.wait_for(lambda: next((n for n in notes(desktop) if n["plainText"] == text),
                                         None), f"{text!r} saved", timeout=15)


def open_on_rail(desktop: Desktop, rails: railapp.Rails) -> None:
    """Wakes the right rail, which holds one note, and opens that note in place."""
    top, _ = railapp.asleep_stack(1)
    # The note may have any colour: wait for something other than the bare desktop.
    bare = desktop.pixel(960, 4)

    def painted(x: int, y: int) -> bool:
        return max(abs(p - q) for p, q in zip(desktop.pixel(x, y), bare)) > 30

    desktop.wait_for(lambda: painted(1917, int(top + 13)), "the chip at the edge")
    desktop.move(1912, int(top + 13))
    desktop.wait_for(lambda: painted(1855, 520), "the rail to wake")
    railapp.wait_for_pointer_hit(desktop, rails.right, 1895, 520)
    desktop.xdotool("click", 1)


def open_window(desktop: Desktop, rails: railapp.Rails) -> None:
    """Opens the one note of the right rail in a window of its own."""
    open_on_rail(desktop, rails)
    desktop.press_accessible("Abrir", role="push button")
    desktop.wait_for_accessible("Hecha", role="push button")


def close_cards(desktop: Desktop) -> None:
    desktop.click(700, 500)
    time.sleep(0.5)


def test_a_recolour_and_a_deletion_reach_the_other_computer(args):
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as folder, \
            Desktop(args.artifacts, "change-a", session=True) as a, \
            Desktop(args.artifacts, "change-b", session=True) as b:
        shared = Path(folder)
        prepare(a, shared)
        prepare(b, shared)
        rails_a = railapp.launch(a, args.binary)
        rails_b = railapp.launch(b, args.binary)
        written = write_new_note(a, args.binary, "compartida")
        b.wait_for(lambda: note(b, written["id"]).get("plainText") == "compartida",
                   "the note on B", timeout=WAIT)
        close_cards(a)

        # B paints it mint in its window and puts it back on the rail; A's copy turns mint
        # and stays on A's rail.
        open_window(b, rails_b)
        b.press_accessible("Menta", role="push button")
        b.wait_for(lambda: note(b, written["id"])["colorToken"] == "mint", "mint on B")
        b.screenshot("mint")
        b.press_accessible("Cerrar", role="push button")
        b.wait_for(lambda: not note(b, written["id"])["isFloating"], "the note docked on B")
        a.wait_for(lambda: (lambda n: n.get("colorToken") == "mint" and not n["isFloating"])(
            note(a, written["id"])), "mint on A's rail", timeout=WAIT)

        # A throws it away from its window, which closes; on B it lands in the trash.
        open_window(a, rails_a)
        a.press_accessible("Borrar", role="push button")
        a.wait_for(lambda: note(a, written["id"])["deletedAt"], "the note in A's trash")
        a.wait_for(lambda: not a.find_accessible("Hecha", role="push button"),
                   "A's note window to close")
        trashed = b.wait_for(lambda: (lambda n: n if n.get("deletedAt") else None)(
            note(b, written["id"])), "the note in B's trash", timeout=WAIT)
        assert trashed["plainText"] == "compartida" and trashed["colorToken"] == "mint"
        assert len(notes(a)) == len(notes(b)) == 1, "moved to the trash, not copied"


def test_edits_made_apart_keep_both_texts(args):
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as folder, \
            Desktop(args.artifacts, "apart-a", session=True) as a, \
            Desktop(args.artifacts, "apart-b", session=True) as b:
        shared = Path(folder) / "nube"
        shared.mkdir()
        prepare(a, shared)
        prepare(b, shared)
        rails_a = railapp.launch(a, args.binary)
        rails_b = railapp.launch(b, args.binary)
        written = write_new_note(a, args.binary, "lista")
        b.wait_for(lambda: note(b, written["id"]).get("plainText") == "lista", "the note on B",
                   timeout=WAIT)
        close_cards(a)

        # The shared folder goes away (a drive unplugged) and both computers edit the note.
        away = Path(folder) / "fuera"
        shared.rename(away)
        for desktop, rails, word in ((a, rails_a, "pan"), (b, rails_b, "leche")):
            open_on_rail(desktop, rails)
            editor = desktop.wait_for_accessible(role="text", containing="lista")
            desktop.press(editor)
            desktop.key("ctrl+End")
            desktop.type_text(f" {word}")
            desktop.wait_for(lambda: note(desktop, written["id"])["plainText"] == f"lista {word}",
                             f"{word!r} saved", timeout=15)
            close_cards(desktop)
        assert len(notes(a)) == len(notes(b)) == 1
        time.sleep(4)  # both have tried to send their edit and found no folder

        # Back again: each computer ends with both texts, one of them in a conflict copy.
        away.rename(shared)

        def both_texts(desktop: Desktop):
            rows = notes(desktop)
            texts = sorted(n["plainText"] for n in rows if not n["deletedAt"])
            return rows if texts == ["lista leche", "lista pan"] else None

        rows_a = a.wait_for(lambda: both_texts(a), "both texts on A", timeout=90)
        rows_b = b.wait_for(lambda: both_texts(b), "both texts on B", timeout=90)
        assert {n["id"] for n in rows_a} == {n["id"] for n in rows_b}, "the same two notes"
        copies = [n for n in rows_a if n["id"] != written["id"]]
        assert len(copies) == 1 and copies[0]["isArchived"] == 1, copies
        assert copies[0]["title"], "the copy says what it is"
        a.screenshot("both-texts")


def test_the_welcome_notes_are_made_once_for_both_computers(args):
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as folder, \
            Desktop(args.artifacts, "welcome-a", session=True) as a, \
            Desktop(args.artifacts, "welcome-b", session=True) as b:
        shared = Path(folder)
        prepare(a, shared, seeded=False)
        prepare(b, shared, seeded=False)
        delay = 3000
        quick = {"ORLETTE_WELCOME_DELAY_MS": str(delay)}
        a.launch(args.binary, env=quick)
        welcome = a.wait_for(lambda: (lambda rows: rows if len(rows) >= 3 else None)(notes(a)),
                             "the welcome notes on A", timeout=30)
        flag = shared / "Orlette" / "keyvalue.json"
        a.wait_for(lambda: flag.exists() and "welcomeNotesCreated" in flag.read_text(),
                   "the shared flag", timeout=WAIT)

        # The second computer starts later: it takes A's notes and makes none of its own.
        b.launch(args.binary, env=quick)
        b.wait_for(lambda: {n["id"] for n in notes(b)} == {n["id"] for n in welcome},
                   "A's welcome notes on B", timeout=WAIT)
        time.sleep(delay / 1000 + 5)
        assert {n["id"] for n in notes(b)} == {n["id"] for n in welcome}, notes(b)
        assert len(notes(a)) == len(welcome) == 3, notes(a)
        settings_b = (b.home / "config" / "Orlette" / "Orlette.conf").read_text()
        assert "hasSeededWelcomeNotes=true" in settings_b
        document = json.loads(flag.read_text())
        assert "welcomeNotesCreated" in json.dumps(document)


def test_welcome_notes_both_computers_made_apart_end_as_one_set(args):
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as folder, \
            Desktop(args.artifacts, "race-a", session=True) as a, \
            Desktop(args.artifacts, "race-b", session=True) as b:
        # The shared folder is not there yet (the other program has not made it): each
        # computer makes its own welcome notes.
        shared = Path(folder) / "nube"
        prepare(a, shared, seeded=False)
        prepare(b, shared, seeded=False)
        quick = {"ORLETTE_WELCOME_DELAY_MS": "1500"}
        a.launch(args.binary, env=quick)
        b.launch(args.binary, env=quick)
        for desktop in (a, b):
            desktop.wait_for(lambda: len(notes(desktop)) == 3, "its own welcome notes",
                             timeout=20)
        assert not {n["id"] for n in notes(a)} & {n["id"] for n in notes(b)}

        # Once the folder is there, both end with the same three notes: the older copy
        # of each.
        shared.mkdir()

        def settled(desktop: Desktop):
            rows = notes(desktop)
            return {n["id"] for n in rows} if len(rows) == 3 else None

        def same_set():
            ids_a, ids_b = settled(a), settled(b)
            return ids_a if ids_a and ids_a == ids_b else None

        kept = a.wait_for(same_set, "one set of welcome notes on both", timeout=90)
        assert len({n["title"] for n in notes(a)}) == 3
        time.sleep(5)
        assert settled(a) == settled(b) == kept, "and it stays so"
        a.screenshot("one-set")


if __name__ == "__main__":
    harness.main(globals())
