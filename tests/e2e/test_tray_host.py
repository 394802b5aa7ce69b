# SPDX-License-Identifier: GPL-3.0-or-later
"""The tray icon follows the tray host: it docks when the host starts after Orlette (as
at login, when Orlette's own autostart entry runs before the panel), and docks again
when the host is killed and started anew."""

import harness
import railapp
from harness import Desktop

TRAYER = ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
          "--height", "24", "--SetDockType", "true"]


def start_tray(desktop: Desktop):
    process = desktop.spawn(TRAYER, "trayer")
    desktop.wait_for(lambda: desktop._search(["--class", "trayer"]), "the tray host to start")
    return process


def docked_icon(desktop: Desktop, pid: int):
    """Orlette's window inside the tray, once the host has docked and shown it."""
    inside = set()
    for tray in desktop._search(["--class", "trayer"]):
        inside |= desktop.descendants(tray)
    for window in desktop.find_windows(pid=pid, visible=False):
        if window in inside and desktop.geometry(window)["map_state"] == "IsViewable":
            return window
    return None


def test_the_icon_docks_with_a_tray_that_starts_late_and_again_after_a_restart(args):
    with Desktop(args.artifacts, "tray-late") as desktop:
        rails = railapp.launch(desktop, args.binary)
        assert not desktop._search(["--class", "trayer"])

        tray_process = start_tray(desktop)
        icon = desktop.wait_for(lambda: docked_icon(desktop, rails.app.pid),
                                "the icon to dock with the late tray", timeout=15)
        desktop.screenshot("docked")

        tray_process.stop()
        desktop.wait_for(lambda: not desktop._search(["--class", "trayer"]),
                         "the tray host to end")
        assert rails.app.running(), rails.app.output()

        start_tray(desktop)
        again = desktop.wait_for(lambda: docked_icon(desktop, rails.app.pid),
                                 "the icon to dock with the restarted tray", timeout=15)
        desktop.screenshot("docked-again")
        assert rails.app.running(), rails.app.output()
        print(f"docked as {icon:#x}, then as {again:#x}")
        railapp.stop(desktop, rails)



if __name__ == "__main__":
    harness.main(globals())
