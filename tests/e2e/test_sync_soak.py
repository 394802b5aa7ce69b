# SPDX-License-Identifier: GPL-3.0-or-later
"""A randomized soak of the mirroring: three computers, each the real application on a
desktop of its own, share one folder while the test writes new notes from the command line
and types into them, opens notes on the rails and types into those, recolours them in their
windows, trashes them and moves them to the other edge from their menus, kills an
application with SIGKILL and starts it again, and takes the shared folder away and brings it
back. At the end every store holds the same
notes, and every edit whose save was seen in a store is present, in its note or in a
conflict copy.

    ORLETTE_SOAK_SECONDS  how long the random part runs (150 by default)
    ORLETTE_SOAK_SEED     the seed of the random choices (printed; random by default)
"""

import os
import random
import signal
import sqlite3
import tempfile
import time
from contextlib import ExitStack, closing
from pathlib import Path

import harness
import railapp
from harness import Desktop, HarnessError

COMPUTERS = 3
# Notes on a right rail, at most, for its tabs to stay tall enough to hit; from the lower
# number on, notes go to the other edge instead of new ones being made.
RAIL_LIMIT = 16
RAIL_FULL = 10
COLOURS = ["Menta", "Cielo", "Coral", "Rosa", "Lavanda", "Cítrico"]


def prepare(desktop: Desktop, shared: Path) -> None:
    railapp.mirror_to_folder(desktop, shared)


def rows(desktop: Desktop) -> list[dict]:
    path = railapp.store_path(desktop)
    if not path.exists():
        return []
    try:
        with closing(sqlite3.connect(f"file:{path}?mode=ro", uri=True, timeout=5)) as db:
            db.row_factory = sqlite3.Row
            return [dict(row) for row in db.execute(
                "SELECT id, plainText, colorToken, edgeToken, sortIndex, deletedAt, isArchived,"
                " isFloating, completedAt FROM Note")]
    except sqlite3.OperationalError:
        return []


def on_right_rail(desktop: Desktop) -> list[dict]:
    return sorted((n for n in rows(desktop) if n["edgeToken"] == "right" and not n["deletedAt"]
                   and not n["isArchived"] and not n["isFloating"] and not n["completedAt"]),
                  key=lambda n: n["sortIndex"])


def holds(desktop: Desktop, token: str) -> bool:
    return any(token in (n["plainText"] or "") for n in rows(desktop))


class Computer:
    def __init__(self, desktop: Desktop, binary: Path, shared: Path):
        self.desktop = desktop
        self.binary = binary
        prepare(desktop, shared)
        self.rails = railapp.launch(desktop, binary)

    def running(self) -> bool:
        return self.rails.app.running()

    def kill(self) -> None:
        os.killpg(self.rails.app.pid, signal.SIGKILL)
        self.rails.app.wait()

    def restart(self) -> None:
        self.rails = railapp.launch(self.desktop, self.binary)

    def close_cards(self) -> None:
        self.desktop.click(700, 500)
        time.sleep(0.4)

    def type_and_wait(self, token: str) -> bool:
        self.desktop.type_text(token)
        try:
            self.desktop.wait_for(lambda: holds(self.desktop, token), f"{token} saved",
                                  timeout=10)
            return True
        except HarnessError:
            return False

    def new_note(self, token: str) -> bool:
        before = {n["id"] for n in rows(self.desktop)}
        self.desktop.launch(self.binary, "--new-note")
        try:
            self.desktop.wait_for(
                lambda: any(n["id"] not in before and not n["plainText"]
                            for n in rows(self.desktop)), "the new note", timeout=10)
        except HarnessError:
            return False
        time.sleep(0.8)
        saved = self.type_and_wait(token)
        self.close_cards()
        return saved

    def point_at_note(self, rng: random.Random) -> str:
        """Wakes the right rail over a random note of it; the first word of the note's
        text, by which its editor is found, or "" when there was none to point at."""
        rail = on_right_rail(self.desktop)
        notes = [n for n in rail if n["plainText"]]
        if not notes or len(rail) > RAIL_LIMIT:
            return ""
        chosen = rng.choice(notes)
        index = [n["id"] for n in rail].index(chosen["id"])
        slots = railapp.awake_slots(len(rail))
        item = (slots[1] - slots[0] + 7) if len(rail) >= 2 else 116
        y = int(slots[index] + min(item, 116) / 2)
        self.desktop.move(1912, y)
        try:
            railapp.wait_for_pointer_hit(self.desktop, self.rails.right, 1895, y, timeout=5)
        except HarnessError:
            return ""
        time.sleep(0.5)
        return chosen["plainText"].split()[0]

    def edit(self, rng: random.Random, token: str) -> bool:
        word = self.point_at_note(rng)
        if not word:
            return False
        self.desktop.xdotool("click", 1)
        try:
            editor = self.desktop.wait_for_accessible(role="text", containing=word, timeout=5)
        except HarnessError:
            self.close_cards()
            return False
        self.desktop.press(editor)
        self.desktop.key("ctrl+End")
        saved = self.type_and_wait(f" {token}")
        self.close_cards()
        return saved

    def recolour(self, rng: random.Random) -> bool:
        """Opens a note in its window, picks a colour there and puts it back on the rail."""
        if not self.point_at_note(rng):
            return False
        self.desktop.xdotool("click", 1)
        try:
            self.desktop.press_accessible("Abrir", role="push button", timeout=5)
            self.desktop.wait_for_accessible("Cerrar", role="push button", timeout=5)
            self.desktop.press_accessible(rng.choice(COLOURS), role="push button", timeout=5)
            self.desktop.press_accessible("Cerrar", role="push button", timeout=5)
            return True
        except HarnessError:
            self.close_cards()
            return False

    def from_menu(self, rng: random.Random, keys: str) -> bool:
        """A command of a note's menu on the rail (right button), chosen with the keyboard:
        the menu's items are not on the accessibility bus."""
        if not self.point_at_note(rng):
            return False
        self.desktop.xdotool("click", 3)
        time.sleep(0.6)
        self.desktop.key(keys, "Return")
        time.sleep(0.4)
        return True


def agreement(computers: list[Computer]):
    """The notes every store holds, when all hold the same; else None."""
    views = []
    for computer in computers:
        views.append(sorted((n["id"], n["plainText"], n["colorToken"], n["edgeToken"],
                             bool(n["deletedAt"]), n["isArchived"])
                            for n in rows(computer.desktop)))
    return views[0] if all(view == views[0] for view in views) and views[0] else None


def test_random_edits_kills_and_outages_lose_no_saved_edit(args):
    seconds = float(os.environ.get("ORLETTE_SOAK_SECONDS", "150"))
    seed = int(os.environ.get("ORLETTE_SOAK_SEED") or random.randrange(1 << 32))
    print(f"soak: seed {seed}, {seconds:.0f} s, {COMPUTERS} computers")
    rng = random.Random(seed)
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as folder, ExitStack() as stack:
        shared = Path(folder) / "nube"
        away = Path(folder) / "fuera"
        shared.mkdir()
        desktops = [stack.enter_context(Desktop(args.artifacts, f"soak-{i}", session=True,
                                                compositor=False))
                    for i in range(COMPUTERS)]
        computers = [Computer(desktop, args.binary, shared) for desktop in desktops]

        saved: list[str] = []
        counts = dict.fromkeys(["new", "edit", "recolour", "trash", "move", "kill", "outage"], 0)
        # Operations that could not be carried out (no note to point at, a window that did
        # not come): nothing was saved by them.
        skipped: dict[str, int] = {}
        outage_ends = None
        started = time.monotonic()
        step = 0
        while time.monotonic() - started < seconds:
            step += 1
            if outage_ends is not None and time.monotonic() > outage_ends:
                away.rename(shared)
                outage_ends = None
            computer = rng.choice(computers)
            if not computer.running():
                computer.restart()
                continue
            token = f"s{seed % 1000:03d}n{step:04d}"
            roll = rng.random()
            # The rail stays short enough for every tab to be pointed at: a full one sends
            # notes to the other edge instead of making more.
            if roll < 0.35 and len(on_right_rail(computer.desktop)) >= RAIL_FULL:
                roll = 0.79
            if roll < 0.35:
                done = computer.new_note(token)
                kind = "new"
            elif roll < 0.65:
                done = computer.edit(rng, token)
                kind = "edit"
            elif roll < 0.73:
                done = computer.recolour(rng)
                kind = "recolour"
            elif roll < 0.78:
                # Up from nothing chosen is the last item, "Borrar".
                done = computer.from_menu(rng, "Up")
                kind = "trash"
            elif roll < 0.8:
                # The first item, "Mover al borde izquierdo".
                done = computer.from_menu(rng, "Down")
                kind = "move"
            elif roll < 0.93:
                computer.kill()
                # Dead for a moment, or started again at once.
                if rng.random() < 0.5:
                    computer.restart()
                done = True
                kind = "kill"
            else:
                if outage_ends is None:
                    shared.rename(away)
                    outage_ends = time.monotonic() + rng.uniform(2, 8)
                done = True
                kind = "outage"
            if done:
                counts[kind] += 1
                if kind in ("new", "edit"):
                    saved.append(token)
            else:
                skipped[kind] = skipped.get(kind, 0) + 1
                # A skip is quick: the mix of operations stays as drawn.
                time.sleep(1)

        if outage_ends is not None:
            away.rename(shared)
        for computer in computers:
            if not computer.running():
                computer.restart()
        print(f"soak: done {counts}, skipped {skipped}, {len(saved)} saved edits")

        final = desktops[0].wait_for(lambda: agreement(computers), "every store to agree",
                                     timeout=180)
        time.sleep(5)
        assert agreement(computers) == final, "and they stay so"
        lost = [token for token in saved
                if not all(holds(computer.desktop, token) for computer in computers)]
        print(f"soak: {len(final)} notes on every computer, lost {len(lost)}")
        assert not lost, f"{len(lost)} saved edits lost, e.g. {lost[:5]} (seed {seed})"


if __name__ == "__main__":
    harness.main(globals())
