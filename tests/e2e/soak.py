# SPDX-License-Identifier: GPL-3.0-or-later
"""The randomized soak of the mirroring, shared by its variants (a shared folder, a WebDAV
server): computers, each the real application on a desktop of its own, mirror to one
target while the soak writes new notes from the command line and types into them, opens
notes on the rails and types into those, recolours them in their windows, trashes them and
moves them to the other edge from their menus, restores trashed notes from the library's
"Papelera", kills an application with SIGKILL and starts it again, and takes the target
away and brings it back. At the end every store holds the same notes, every edit whose save
was seen in a store is present (in its note or in a conflict copy), and every note restored
and not trashed again is live on every computer.

A variant gives a `Target`: how a computer is set to mirror to it, and how it is taken away
and brought back.

    ORLETTE_SOAK_SECONDS  how long the random part runs (the variant's default otherwise)
    ORLETTE_SOAK_SEED     the seed of the random choices (printed; random by default)
"""

from __future__ import annotations

import os
import random
import shutil
import signal
import time
from contextlib import ExitStack
from pathlib import Path
from typing import Optional, Protocol

import railapp
from harness import Desktop, HarnessError

# Notes on a right rail, at most, for its tabs to stay tall enough to hit; from the lower
# number on, notes go to the other edge instead of new ones being made.
RAIL_LIMIT = 16
RAIL_FULL = 10
COLOURS = ["Menta", "Cielo", "Coral", "Rosa", "Lavanda", "Cítrico"]
CONFLICT_TITLE = "Copia en conflicto de «"
LIBRARY = "Biblioteca"
TRASH = "Papelera"
KINDS = ["new", "edit", "recolour", "trash", "restore", "move", "kill", "outage"]


class Target(Protocol):
    """Where the computers mirror to."""

    def prepare(self, desktop: Desktop) -> None:
        """Settings of a computer that mirrors here, written before its first start."""

    def set_up(self, computer: "Computer") -> None:
        """What a person does once the application runs for the first time."""

    def take_away(self) -> None:
        """The target is gone (unplugged, stopped)."""

    def bring_back(self) -> None:
        """The target is there again."""


def rows(desktop: Desktop) -> list[dict]:
    return railapp.query(desktop, "SELECT id, title, plainText, colorToken, edgeToken, sortIndex,"
                                  " deletedAt, isArchived, isFloating, completedAt FROM Note")


def on_right_rail(desktop: Desktop) -> list[dict]:
    return sorted((n for n in rows(desktop) if n["edgeToken"] == "right" and not n["deletedAt"]
                   and not n["isArchived"] and not n["isFloating"] and not n["completedAt"]),
                  key=lambda n: n["sortIndex"])


def holds(desktop: Desktop, token: str) -> bool:
    return any(token in (n["plainText"] or "") for n in rows(desktop))


def holders(desktop: Desktop, token: str) -> list[str]:
    return [n["id"] for n in rows(desktop) if token in (n["plainText"] or "")]


def handover(desktop: Desktop, binary: Path, argument: str) -> None:
    """Starts the application a second time with `argument`, as a person does from a
    terminal or a launcher: the second start hands the request to the running one and
    ends. Its log is closed at once, so a long soak does not pile up open files."""
    second = desktop.launch(binary, argument)
    try:
        second.wait(10)
    except HarnessError:
        pass
    second.stop()


def close_window(desktop: Desktop, pid: int, title: str) -> None:
    """Closes a window of the application as a person does: it is made the active
    window, and the window manager's close key (Alt+F4 in Openbox) is pressed."""
    for window in desktop.find_windows(name=f"{title}$", pid=pid):
        desktop.xdotool("windowactivate", "--sync", window)
        desktop.key("alt+F4")
    desktop.wait_for(lambda: not desktop.find_windows(name=f"{title}$", pid=pid),
                     f"the window {title!r} to close", timeout=10)


class Computer:
    def __init__(self, desktop: Desktop, binary: Path, target: Target):
        self.desktop = desktop
        self.binary = binary
        # The note the last command was about, for the soak's journal.
        self.last_note = ""
        target.prepare(desktop)
        self.rails = railapp.launch(desktop, binary)
        target.set_up(self)

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
        self.last_note = ""
        before = {n["id"] for n in rows(self.desktop)}
        handover(self.desktop, self.binary, "--new-note")
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

    def point_at_note(self, rng: random.Random) -> Optional[dict]:
        """Wakes the right rail over a random note of it that has a text; that note, or
        None when there was none to point at."""
        rail = on_right_rail(self.desktop)
        notes = [n for n in rail if n["plainText"]]
        if not notes or len(rail) > RAIL_LIMIT:
            return None
        chosen = rng.choice(notes)
        self.last_note = chosen["id"]
        index = [n["id"] for n in rail].index(chosen["id"])
        slots = railapp.awake_slots(len(rail))
        item = (slots[1] - slots[0] + 7) if len(rail) >= 2 else 116
        y = int(slots[index] + min(item, 116) / 2)
        # The rail wakes only for a pointer resting over its sleeping chips, which stand
        # closer together than the tabs: first there, then on to the note's tab.
        top, height = railapp.asleep_stack(len(rail))
        middle = int(top + height / 2)
        self.desktop.move(1912, middle)
        try:
            railapp.wait_for_pointer_hit(self.desktop, self.rails.right, 1895, middle,
                                         timeout=5)
            railapp.wait_for_pointer_hit(self.desktop, self.rails.right, 1895, y, timeout=5)
        except HarnessError:
            return None
        time.sleep(0.5)
        return chosen

    def edit(self, rng: random.Random, token: str) -> bool:
        chosen = self.point_at_note(rng)
        if not chosen:
            return False
        self.desktop.xdotool("click", 1)
        try:
            editor = self.desktop.wait_for_accessible(
                role="text", containing=chosen["plainText"].split()[0], timeout=5)
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

    def from_menu(self, rng: random.Random, keys: str) -> Optional[dict]:
        """A command of a note's menu on the rail (right button), chosen with the keyboard:
        the menu's items are not on the accessibility bus. The note pointed at, or None."""
        chosen = self.point_at_note(rng)
        if not chosen:
            return None
        self.desktop.xdotool("click", 3)
        time.sleep(0.6)
        self.desktop.key(keys, "Return")
        time.sleep(0.4)
        return chosen

    def trashed(self) -> list[dict]:
        return [n for n in rows(self.desktop)
                if n["deletedAt"] and n["plainText"] and not n["isArchived"]]

    def restore(self, rng: random.Random) -> Optional[str]:
        """Restores a random trashed note from the library's "Papelera", with the pointer
        and the row's menu, and closes the library. The note's id once this store holds it
        restored, else None."""
        trashed = self.trashed()
        if not trashed:
            return None
        chosen = rng.choice(trashed)
        self.last_note = chosen["id"]
        word = chosen["plainText"].split()[0]
        handover(self.desktop, self.binary, "--library")
        try:
            self.desktop.press_accessible(TRASH, role="list item", timeout=10)
            row = self.desktop.press_accessible(role="list item", containing=word,
                                                window=f"{TRASH} — {LIBRARY}", timeout=10)
            self.desktop.click(row["x"] + min(100, row["width"] // 2),
                               row["y"] + row["height"] // 2, button=3)
            time.sleep(0.5)  # the menu opens
            # Pop-up menus are not on the accessibility bus: the first item, "Restaurar".
            self.desktop.key("Down", "Return")
            self.desktop.wait_for(
                lambda: any(n["id"] == chosen["id"] and not n["deletedAt"]
                            for n in rows(self.desktop)), f"{word} restored", timeout=10)
            return chosen["id"]
        except HarnessError:
            return None
        finally:
            self.close_library()

    def close_library(self) -> None:
        if not self.running():
            return
        self.desktop.key("Escape")  # a menu left open
        try:
            close_window(self.desktop, self.rails.app.pid, LIBRARY)
        except HarnessError:
            # Left open, it would take the clicks meant for the desktop: the application
            # is ended instead, as a kill would.
            self.kill()


def views(computers: list[Computer]) -> list[list[tuple]]:
    return [sorted((n["id"], n["plainText"], n["colorToken"], n["edgeToken"],
                    bool(n["deletedAt"]), n["isArchived"])
                   for n in rows(computer.desktop)) for computer in computers]


def agreement(computers: list[Computer]):
    """The notes every store holds, when all hold the same; else None."""
    seen = views(computers)
    return seen[0] if all(view == seen[0] for view in seen) and seen[0] else None


def run(args, name: str, computers_count: int, default_seconds: float, target: Target,
        stack: ExitStack) -> None:
    """The soak; the desktops it starts are stopped with `stack`."""
    seconds = float(os.environ.get("ORLETTE_SOAK_SECONDS") or default_seconds)
    seed = int(os.environ.get("ORLETTE_SOAK_SEED") or random.randrange(1 << 32))
    print(f"soak {name}: seed {seed}, {seconds:.0f} s, {computers_count} computers", flush=True)
    rng = random.Random(seed)
    desktops = [stack.enter_context(Desktop(args.artifacts, f"soak-{name}-{i}", session=True,
                                            compositor=False))
                for i in range(computers_count)]
    computers = [Computer(desktop, args.binary, target) for desktop in desktops]

    saved: list[str] = []
    # What was done, step by step: read when an edit is missing at the end.
    journal: list[str] = []
    # Restored notes, by id, that no later command pointed at to trash again.
    restored: set[str] = set()
    counts = dict.fromkeys(KINDS, 0)
    # Operations that could not be carried out (no note to point at, a window that did not
    # come): nothing was saved by them.
    skipped: dict[str, int] = {}
    outage_ends = None
    started = time.monotonic()
    step = 0
    while time.monotonic() - started < seconds:
        step += 1
        if outage_ends is not None and time.monotonic() > outage_ends:
            target.bring_back()
            outage_ends = None
        computer = rng.choice(computers)
        if not computer.running():
            computer.restart()
            journal.append(f"{time.monotonic() - started:7.1f} s  step {step:4d}  computer "
                           f"{computers.index(computer)}  started again")
            continue
        token = f"s{seed % 1000:03d}n{step:04d}"
        computer.last_note = ""
        roll = rng.random()
        # The rail stays short enough for every tab to be pointed at: a full one sends notes
        # to the other edge instead of making more.
        if roll < 0.30 and len(on_right_rail(computer.desktop)) >= RAIL_FULL:
            roll = 0.77
        if roll < 0.30:
            done = computer.new_note(token)
            kind = "new"
        elif roll < 0.56:
            done = computer.edit(rng, token)
            kind = "edit"
        elif roll < 0.63:
            done = computer.recolour(rng)
            kind = "recolour"
        elif roll < 0.69:
            # Up from nothing chosen is the last item, "Borrar".
            trashed = computer.from_menu(rng, "Up")
            if trashed:
                restored.discard(trashed["id"])
            done = bool(trashed)
            kind = "trash"
        elif roll < 0.75 and not computer.trashed():
            done = False
            kind = "restore (trash empty here)"
        elif roll < 0.75:
            back = computer.restore(rng)
            if back:
                restored.add(back)
            done = bool(back)
            kind = "restore"
        elif roll < 0.78:
            # The first item, "Mover al borde izquierdo".
            done = bool(computer.from_menu(rng, "Down"))
            kind = "move"
        elif roll < 0.91:
            computer.kill()
            # Dead for a moment, or started again at once.
            if rng.random() < 0.5:
                computer.restart()
            done = True
            kind = "kill"
        else:
            if outage_ends is None:
                target.take_away()
                outage_ends = time.monotonic() + rng.uniform(2, 8)
            done = True
            kind = "outage"
        entry = (f"{time.monotonic() - started:7.1f} s  step {step:4d}  computer "
                 f"{computers.index(computer)}  {kind}{'' if done else ' (skipped)'}  "
                 f"{computer.last_note}")
        if done:
            counts[kind] += 1
            if kind in ("new", "edit"):
                saved.append(token)
                entry += f"  {token} in {holders(computer.desktop, token)}"
        journal.append(entry)
        if not done:
            skipped[kind] = skipped.get(kind, 0) + 1
            # A skip is quick: the mix of operations stays as drawn.
            time.sleep(1)

    if outage_ends is not None:
        target.bring_back()
    for computer in computers:
        if not computer.running():
            computer.restart()
    print(f"soak {name}: done {counts}, skipped {skipped}, {len(saved)} saved edits",
          flush=True)

    try:
        final = desktops[0].wait_for(lambda: agreement(computers), "every store to agree",
                                     timeout=180)
    except HarnessError:
        for index, view in enumerate(views(computers)):
            print(f"soak {name}: store {index}: {view}")
        raise
    time.sleep(5)
    assert agreement(computers) == final, "and they stay so"
    lost = [token for token in saved
            if not all(holds(computer.desktop, token) for computer in computers)]
    (args.artifacts / f"soak-{name}-journal.txt").write_text("\n".join(journal) + "\n")
    if lost:
        # The stores as they ended, beside the desktops' logs.
        for computer in computers:
            for part in railapp.store_path(computer.desktop).parent.glob("default.store*"):
                shutil.copy(part, computer.desktop.artifacts / part.name)
    dead = sorted(note_id for note_id in restored for computer in computers
                  if not any(n["id"] == note_id and not n["deletedAt"]
                             for n in rows(computer.desktop)))
    for index, computer in enumerate(computers):
        notes = rows(computer.desktop)
        print(f"soak {name}: store {index}: {len(notes)} notes, "
              f"{sum(1 for n in notes if n['deletedAt'])} in the trash, "
              f"{sum(1 for n in notes if (n['title'] or '').startswith(CONFLICT_TITLE))} "
              "conflict copies")
    print(f"soak {name}: seed {seed}, {len(final)} notes on every computer, "
          f"{len(restored)} restored notes live, lost {len(lost)}", flush=True)
    assert not lost, f"{len(lost)} saved edits lost, e.g. {lost[:5]} (seed {seed})"
    assert not dead, f"restored notes trashed again or gone: {dead} (seed {seed})"
