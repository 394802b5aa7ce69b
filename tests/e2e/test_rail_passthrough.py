# SPDX-License-Identifier: GPL-3.0-or-later
"""The rails stand at both screen edges above other windows, take the mouse only over
their tabs, let every other click through to the window behind, and wake when the
pointer dwells at the edge."""

import re

import harness
import railapp
from harness import Desktop


def test_rails_stand_above_windows_and_let_clicks_through(args):
    with Desktop(args.artifacts, "clickthrough") as desktop:
        rails = railapp.launch(desktop, args.binary)
        for window in (rails.left, rails.right):
            assert "_NET_WM_STATE_ABOVE" in desktop.window_states(window), \
                desktop.window_states(window)
        # The rails never take the keyboard on their own.
        assert desktop.active_window() not in (rails.left, rails.right)

        # A window that reports every click, under the right rail and away from its tabs.
        xev = desktop.spawn(["xev", "-geometry", "300x200+1500+150", "-event", "button"],
                            "xev")
        window = desktop.wait_for_window(name="^Event Tester$")
        geometry = desktop.geometry(window)
        assert geometry["x"] >= 1920 - railapp.RAIL_WIDTH, geometry
        desktop.xdotool("windowraise", window)
        x, y = geometry["x"] + 150, geometry["y"] + 100
        railapp.wait_for_pointer_hit(desktop, window, x, y)
        desktop.xdotool("click", 1)
        desktop.wait_for(lambda: re.search(r"ButtonPress event.*\n.*\n.*button 1",
                                           xev.output()),
                         "the click to reach the window under the rail")
        # The same spot on the left rail, with nothing under it: the desktop gets it.
        assert not desktop.pointer_hits(rails.left, 150, 250)
        desktop.screenshot("clickthrough")


def test_dwelling_at_the_edge_wakes_the_rail_and_its_tabs_take_the_mouse(args):
    with Desktop(args.artifacts, "wake") as desktop:
        railapp.seed(desktop, args.binary, [("Uno", "right", 0), ("Dos", "right", 1024),
                                            ("Tres", "right", 2048)])
        background = desktop.pixel(1855, 520)
        rails = railapp.launch(desktop, args.binary)
        top, _ = railapp.asleep_stack(3)
        chip_y = int(top + 13)

        # Asleep, away from the 46 pt band at the edge: nothing there takes the mouse.
        railapp.wait_for_paper(desktop, 1917, chip_y, "the chips at the edge")
        desktop.move(1870, 520)
        assert not desktop.pointer_hits(rails.right, 1870, 520)
        assert desktop.pixel(1855, 520) == background
        desktop.screenshot("asleep")

        # On a chip at the very edge the rail takes the mouse, and resting there wakes it:
        # the tabs fan out.
        railapp.wait_for_pointer_hit(desktop, rails.right, 1916, chip_y)
        railapp.wait_for_paper(desktop, 1855, 520, "the tabs to fan out")
        desktop.screenshot("awake")
        tab_y = int(railapp.awake_slots(3)[1] + 50)
        # Within the awake band (126 pt) the rail stays awake and its tabs take the mouse.
        railapp.wait_for_pointer_hit(desktop, rails.right, 1870, tab_y)
        # Beside the tabs the rail lets the pointer through; away from the edge it sleeps.
        assert not desktop.pointer_hits(rails.right, 1700, tab_y)
        desktop.wait_for(lambda: desktop.pixel(1855, 520) == background,
                         "the rail to fall asleep")
        assert not desktop.pointer_hits(rails.right, 1870, tab_y)


def test_a_quick_pass_across_the_edge_does_not_wake_the_rail(args):
    with Desktop(args.artifacts, "quickpass") as desktop:
        railapp.seed(desktop, args.binary, [("Uno", "right", 0), ("Dos", "right", 1024)])
        railapp.launch(desktop, args.binary)
        top, _ = railapp.asleep_stack(2)
        y = int(top + 10)
        railapp.wait_for_paper(desktop, 1917, y, "the chips at the edge")
        desktop.move(1000, y)
        # In and out of the band well within the 0.28 s dwell.
        desktop.xdotool("mousemove", "--sync", 1912, y, "mousemove", "--sync", 1500, y)
        shots = [desktop.pixel(1855, 540) for _ in range(4)]
        assert not any(railapp.is_paper(shot) for shot in shots), shots
        # Resting there does wake it, so the rail was listening all along.
        desktop.move(1912, y)
        railapp.wait_for_paper(desktop, 1855, 540, "the rail to wake")


if __name__ == "__main__":
    harness.main(globals())
