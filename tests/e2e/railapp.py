# SPDX-License-Identifier: GPL-3.0-or-later
"""What the rail tests share: starting Orlette on a desktop, finding its two rail panels,
reading and seeding its store, and the rail's geometry on a 1920 × 1080 screen."""

from __future__ import annotations

import sqlite3
from contextlib import closing
import time
import uuid
from dataclasses import dataclass
from pathlib import Path
from typing import Optional

from harness import Desktop, HarnessError, Process

RAIL_WIDTH = 540


@dataclass
class Rails:
    app: Process
    left: int
    right: int


def store_path(desktop: Desktop) -> Path:
    return desktop.home / "data" / "Orlette" / "default.store"


def mirror_to_folder(desktop: Desktop, shared: Path, seeded: bool = True) -> None:
    """Settings of a person past the tour who mirrors to `shared`; `seeded` says whether
    the welcome notes were already made."""
    settings = desktop.home / "config" / "Orlette" / "Orlette.conf"
    settings.parent.mkdir(parents=True, exist_ok=True)
    settings.write_text("[General]\nhasSeenTour=true\n"
                        + ("hasSeededWelcomeNotes=true\n" if seeded else "")
                        + f"syncTargetKind=folder\nsyncFolder={shared}\n")


def settle_first_launch(desktop: Desktop) -> None:
    """Marks the tour as seen and the welcome notes as decided, so neither a tour window
    nor three new notes come in the middle of a rail test."""
    settings = desktop.home / "config" / "Orlette" / "Orlette.conf"
    if settings.exists():
        return
    settings.parent.mkdir(parents=True, exist_ok=True)
    settings.write_text("[General]\nhasSeenTour=true\nhasSeededWelcomeNotes=true\n")


def launch(desktop: Desktop, binary: Path) -> Rails:
    """Starts Orlette and waits for both rails to stand at the screen's edges."""
    settle_first_launch(desktop)
    app = desktop.launch(binary)
    width, height = desktop.size

    def both_rails():
        if not app.running():
            raise HarnessError(f"orlette ended early:\n{app.output()}")
        found = {}
        for window in desktop.find_windows(pid=app.pid):
            geometry = desktop.geometry(window)
            if geometry["width"] != RAIL_WIDTH or geometry["height"] != height:
                continue
            if geometry["x"] == 0:
                found["left"] = window
            elif geometry["x"] == width - RAIL_WIDTH:
                found["right"] = window
        return found if len(found) == 2 else None

    found = desktop.wait_for(both_rails, "both rails to stand at the edges", timeout=15)
    return Rails(app, found["left"], found["right"])


def stop(desktop: Desktop, rails: Rails) -> None:
    rails.app.stop()


def query(desktop: Desktop, sql: str) -> list[dict]:
    """The rows `sql` reads from the store, read-only; none while the store or its schema
    is not there yet, or the store is held too long by a writer."""
    path = store_path(desktop)
    if not path.exists():
        return []
    try:
        with closing(sqlite3.connect(f"file:{path}?mode=ro", uri=True, timeout=5)) as db:
            db.row_factory = sqlite3.Row
            return [dict(row) for row in db.execute(sql)]
    except sqlite3.OperationalError:
        return []


def notes(desktop: Desktop) -> list[dict]:
    """Every note of the store, by edge and sort index."""
    return query(desktop, "SELECT id, title, richText, plainText, edgeToken, sortIndex, updatedAt "
                          "FROM Note ORDER BY edgeToken, sortIndex")


def seed(desktop: Desktop, binary: Path, entries: list[tuple[str, str, float]]) -> list[str]:
    """Puts notes (title, edge token, sort index) into a fresh store: the application makes
    its store once, is ended, and the notes are written beside what it made. Returns the
    notes' ids in the order given."""
    rails = launch(desktop, binary)
    stop(desktop, rails)
    now = int(time.time() * 1000)
    ids = []
    connection = sqlite3.connect(store_path(desktop), timeout=5)
    try:
        for title, edge, sort_index in entries:
            note_id = str(uuid.uuid4()).upper()
            ids.append(note_id)
            connection.execute(
                "INSERT INTO Note (id, title, plainText, edgeToken, sortIndex, createdAt, "
                "updatedAt, searchTitle) VALUES (?, ?, '', ?, ?, ?, ?, ?)",
                (note_id, title, edge, sort_index, now, now, title.lower()))
        connection.commit()
    finally:
        connection.close()
    return ids


def is_paper(pixel: tuple[int, int, int]) -> bool:
    """Whether a screen pixel shows the paper of a citrus note (the colour of new and seeded
    notes), not the grey desktop nor a black frame of a window being mapped."""
    red, green, blue = pixel
    return red > 200 and green > 150 and red - blue > 60


def wait_for_paper(desktop: Desktop, x: int, y: int, what: str) -> None:
    desktop.wait_for(lambda: is_paper(desktop.pixel(x, y)), what)


def wait_for_pointer_hit(desktop: Desktop, window: int, x: int, y: int,
                         expected: bool = True, timeout: Optional[float] = None) -> None:
    """Moves the pointer to (x, y) and waits until a click there would (or would not)
    reach `window`: the application samples the pointer and reshapes the panel's input."""
    desktop.wait_for(lambda: desktop.pointer_hits(window, x, y) == expected,
                     f"a click at ({x}, {y}) to {'reach' if expected else 'pass'} the rail",
                     timeout)


def rail_x(desktop: Desktop, edge: str, x: float) -> int:
    """A rail x coordinate (0 at the rail's left side) on the screen."""
    width, _ = desktop.size
    return int(round(x if edge == "left" else width - RAIL_WIDTH + x))


def awake_slots(count: int, height: int = 1080) -> list[float]:
    """The top of each slot of an awake rail with `count` notes."""
    spacing, trailing = -7.0, 48.0
    item = 116.0
    if count >= 2:
        item = max(min((height - trailing - 48 - (count - 1) * spacing) / count, 116.0), 58.0)
    stack = count * item + (count - 1) * spacing + (spacing + trailing) if count else trailing
    top = max((height - stack) * 0.5, 24.0)
    return [top + i * (item + spacing) for i in range(count)] + [top + stack - trailing]


def asleep_stack(count: int, height: int = 1080) -> tuple[float, float]:
    """The top and height of the stack of chips of a sleeping rail with notes."""
    spacing = 5.0
    item = 26.0
    if count >= 2:
        item = max(min((height - 48 - (count - 1) * spacing) / count, 26.0), 12.0)
    stack = count * item + (count - 1) * spacing
    return max((height - stack) * 0.5, 24.0), stack
