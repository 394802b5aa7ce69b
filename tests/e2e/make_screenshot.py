#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the AppStream screenshot of the rails: the welcome notes on a 1280x800 desktop,
the right rail awake with one note open. Writes the picture given by --output.

    python3 tests/e2e/make_screenshot.py --binary build/orlette \\
        --output resources/desktop/screenshots/rails.png
"""

import argparse
import shutil
import sys
from pathlib import Path

import harness
import railapp
from harness import Desktop


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--output", type=Path, required=True)
    own, _ = parser.parse_known_args()
    args = harness.parse_args([a for a in sys.argv[1:] if not a.startswith("--output")
                               and a != str(own.output)])
    with Desktop(args.artifacts, "screenshot", size=(1280, 800)) as desktop:
        settings = desktop.home / "config" / "Orlette" / "Orlette.conf"
        settings.parent.mkdir(parents=True)
        settings.write_text("[General]\nhasSeenTour=true\n")
        app = desktop.launch(args.binary, env={"ORLETTE_WELCOME_DELAY_MS": "0"})
        notes = desktop.wait_for(lambda: len(railapp.notes(desktop)) >= 3 and
                                 railapp.notes(desktop), "the welcome notes")
        edge = notes[0]["edgeToken"]
        count = sum(1 for note in notes if note["edgeToken"] == edge)
        grey = desktop.pixel(640, 400)
        # Rest at the edge until the tabs fan out, then open the first one.
        desktop.move(railapp.rail_x(desktop, edge, railapp.RAIL_WIDTH - 2 if edge == "right"
                                    else 2), 400)
        tab_y = int(railapp.awake_slots(count, 800)[0] + 40)
        tab_x = railapp.rail_x(desktop, edge, railapp.RAIL_WIDTH - 40 if edge == "right"
                               else 40)
        desktop.wait_for(lambda: desktop.pixel(tab_x, tab_y) != grey, "the rail to wake")
        desktop.click(tab_x, tab_y)
        card_x = railapp.rail_x(desktop, edge, railapp.RAIL_WIDTH - 250 if edge == "right"
                                else 250)
        desktop.wait_for(lambda: desktop.pixel(card_x, tab_y + 60) != grey, "the card to open")
        desktop.move(640, 700)
        shot = desktop.screenshot("rails")
        own.output.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(shot, own.output)
        app.stop()


if __name__ == "__main__":
    main()
