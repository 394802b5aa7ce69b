# SPDX-License-Identifier: GPL-3.0-or-later
"""The rails on a desktop of two monitors side by side (one wide virtual screen split by
RandR 1.5 monitors, which Qt reports as two screens): they stand on the monitor chosen in
the settings, a panel shrinks only its own monitor's rails, and when that monitor goes
away the rails and their notes move to the primary one and come back with it."""

import desktops
import harness
import railapp
from harness import Desktop

MONITOR = (1600, 1000)
PANEL = 48


def fnv1a(name: str) -> int:
    """The display number Orlette keeps for a screen: FNV-1a of its output name."""
    value = 2166136261
    for byte in name.encode():
        value = ((value ^ byte) * 16777619) & 0xFFFFFFFF
    return value


def set_monitor(desktop: Desktop, name: str, x: int, output: str) -> None:
    width, height = MONITOR
    desktop.run(["xrandr", "--setmonitor", name, f"{width}/400x{height}/250+{x}+0", output])


def rails_at(desktop: Desktop, app, left_x: int, right_x: int) -> dict:
    rail = railapp.RAIL_WIDTH

    def found():
        if not app.running():
            raise harness.HarnessError(f"orlette ended early:\n{app.output()}")
        where = {}
        for window in desktop.find_windows(pid=app.pid):
            geometry = desktop.geometry(window)
            if geometry["width"] != rail or geometry["height"] != MONITOR[1]:
                continue
            if geometry["x"] == left_x:
                where["left"] = window
            elif geometry["x"] == right_x:
                where["right"] = window
        return where if len(where) == 2 else None

    try:
        return desktop.wait_for(found, f"the rails at x = {left_x} and {right_x}", 15)
    except harness.HarnessError as error:
        windows = [desktop.geometry(window) for window in desktop.find_windows(pid=app.pid)]
        raise harness.HarnessError(f"{error}\nOrlette's windows: {windows}\n" +
                                   desktop.xprop_root("_NET_WORKAREA")) from error


def wait_for_chip(desktop: Desktop, right_edge: int) -> None:
    top, _ = railapp.asleep_stack(1, MONITOR[1])
    x, y = right_edge - 3, int(round(top + 13))
    desktop.wait_for(lambda: railapp.is_paper(desktops.pixel(desktop, x, y)),
                     f"the note's chip at the edge x = {right_edge}")


def test_rails_follow_their_monitor(args):
    width, height = 2 * MONITOR[0], MONITOR[1]
    rail = railapp.RAIL_WIDTH
    with Desktop(args.artifacts, "two-monitors", size=(width, height), window_manager=True,
                 compositor=True, timeout=15) as desktop:
        # The screen's one output goes to the left (primary) monitor; the right one is a
        # second monitor without an output of its own, as a split screen.
        set_monitor(desktop, "IZQ", 0, "screen")
        set_monitor(desktop, "DER", MONITOR[0], "none")
        railapp.settle_first_launch(desktop)
        settings = desktop.home / "config" / "Orlette" / "Orlette.conf"
        settings.write_text(settings.read_text() + f"railScreen=display:{fnv1a('DER')}\n")
        x11 = desktops.Xlib(desktop.display)
        try:
            # A panel on the left monitor's left edge leaves the right monitor alone.
            x11.dock_with_strut(0, 0, PANEL, height,
                                [PANEL, 0, 0, 0, 0, height - 1, 0, 0, 0, 0, 0, 0])
            app = desktop.launch(args.binary)
            rails_at(desktop, app, MONITOR[0], width - rail)

            desktop.key("super+alt+n")
            desktop.wait_for(lambda: len(railapp.notes(desktop)) == 1, "the hot key's note")
            desktop.click(MONITOR[0] // 2, height // 2)
            wait_for_chip(desktop, width)

            # A panel on the right monitor's right edge shrinks its rails.
            panel = x11.dock_with_strut(width - PANEL, 0, PANEL, height,
                                        [0, PANEL, 0, 0, 0, 0, 0, height - 1, 0, 0, 0, 0])
            rails_at(desktop, app, MONITOR[0], width - PANEL - rail)
            x11.destroy(panel)
            rails_at(desktop, app, MONITOR[0], width - rail)
            desktop.screenshot("two-monitors-right")

            # The right monitor goes away: the rails and the note move to the primary one,
            # beside its panel.
            desktop.run(["xrandr", "--delmonitor", "DER"])
            rails_at(desktop, app, PANEL, MONITOR[0] - rail)
            wait_for_chip(desktop, MONITOR[0])
            desktop.screenshot("two-monitors-unplugged")

            # It comes back: so do the rails.
            set_monitor(desktop, "DER", MONITOR[0], "none")
            rails_at(desktop, app, MONITOR[0], width - rail)
            wait_for_chip(desktop, width)
            desktop.screenshot("two-monitors-back")
        finally:
            x11.close()


if __name__ == "__main__":
    harness.main(globals())
