#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Time from a save on one computer to the note on the other computer's rail: two instances
# of the real executable on two private virtual desktops, mirroring through one shared
# folder. A quick note is typed on A ROUNDS times (default 5); each round measures from
# the moment A's store holds the text to the moment B's store holds it and to the moment
# B's right rail looks different on screen.
#
#   bench/sync_latency.sh [path/to/orlette] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
binary=${1:-$root/build/orlette}
rounds=${2:-5}
exec python3 - "$binary" "$rounds" "$root" <<'EOF'
import statistics
import sqlite3
import subprocess
import sys
import tempfile
import time
from contextlib import closing
from pathlib import Path

binary, rounds, root = Path(sys.argv[1]).resolve(), int(sys.argv[2]), Path(sys.argv[3])
sys.path.insert(0, str(root / "tests" / "e2e"))
import railapp
from harness import Desktop


def texts(desktop):
    path = railapp.store_path(desktop)
    if not path.exists():
        return set()
    try:
        with closing(sqlite3.connect(f"file:{path}?mode=ro", uri=True, timeout=5)) as db:
            return {row[0] for row in db.execute("SELECT plainText FROM Note")}
    except sqlite3.OperationalError:
        return set()


def rail_column(desktop):
    """The right-most columns of the screen, where B's sleeping chips sit."""
    width, height = desktop.size
    return subprocess.run(["import", "-window", "root", "-crop", f"2x{height}+{width - 3}+0",
                           "-depth", "8", "rgb:-"], env=desktop.environment(),
                          capture_output=True, check=True).stdout


def wait(condition, limit=120.0):
    deadline = time.monotonic() + limit
    while not condition():
        if time.monotonic() > deadline:
            raise SystemExit("timed out")
        time.sleep(0.02)
    return time.monotonic()


with tempfile.TemporaryDirectory(prefix="orlette-bench-shared-") as shared, \
        tempfile.TemporaryDirectory(prefix="orlette-bench-art-") as artifacts, \
        Desktop(Path(artifacts), "a") as a, Desktop(Path(artifacts), "b") as b:
    for desktop in (a, b):
        settings = desktop.home / "config" / "Orlette" / "Orlette.conf"
        settings.parent.mkdir(parents=True, exist_ok=True)
        settings.write_text("[General]\nhasSeenTour=true\nhasSeededWelcomeNotes=true\n"
                            f"syncTargetKind=folder\nsyncFolder={shared}\n")
    railapp.launch(a, binary)
    railapp.launch(b, binary)
    time.sleep(3)
    to_store, to_rail = [], []
    for round_ in range(rounds):
        text = f"ronda {round_}"
        before = rail_column(b)
        a.launch(binary, "--new-note")
        time.sleep(1.0)
        a.type_text(text)
        saved = wait(lambda: text in texts(a))
        stored = wait(lambda: text in texts(b))
        shown = wait(lambda: rail_column(b) != before)
        to_store.append(stored - saved)
        to_rail.append(shown - saved)
        print(f"round {round_}: in B's store after {stored - saved:.2f} s, "
              f"on B's rail after {shown - saved:.2f} s", flush=True)
        a.click(700, 500)  # closes the card on A
        time.sleep(4)  # let both sides settle before the next round
    print(f"median: store {statistics.median(to_store):.2f} s, "
          f"rail {statistics.median(to_rail):.2f} s (max {max(to_rail):.2f} s)")
EOF
