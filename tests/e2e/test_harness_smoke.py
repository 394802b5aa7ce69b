# SPDX-License-Identifier: GPL-3.0-or-later
"""The harness itself: a desktop starts on a free display, drives and inspects real X
programs (xmessage), and leaves nothing running."""

import os
from pathlib import Path

import harness
from harness import Desktop


def test_desktops_take_free_displays_and_clean_up(args):
    with Desktop(args.artifacts, "first", size=(800, 600)) as first, \
            Desktop(args.artifacts, "second", size=(640, 480), compositor=False) as second:
        assert first.display != second.display, (first.display, second.display)
        assert first.compositing() and not second.compositing()
        assert "window id #" in second.xprop_root("_NET_SUPPORTING_WM_CHECK")
        assert "640 x 480" in second.run(["xdpyinfo"]).stdout or \
            "640x480" in second.run(["xdpyinfo"]).stdout
        server = first._server
        programs = list(first._processes)
        socket = Path(f"/tmp/.X11-unix/X{first.display[1:]}")
        assert socket.exists()
        home = first.home
    assert not server.running() and all(not program.running() for program in programs)
    assert not socket.exists(), "the server's socket is gone"
    assert not home.exists(), "the private home is gone"


def test_windows_can_be_found_measured_hit_and_pictured(args):
    with Desktop(args.artifacts, "xmessage", size=(800, 600)) as desktop:
        message = desktop.spawn(["xmessage", "-geometry", "+100+120", "-buttons", "Vale:7",
                                 "-default", "Vale", "hola"])
        # (xmessage sets no _NET_WM_PID; Qt programs do, so they can be found by pid.)
        window = desktop.wait_for_window(name="^xmessage$")
        geometry = desktop.geometry(window)
        assert geometry["map_state"] == "IsViewable"
        # The window manager puts its frame at the requested place and the client in it.
        assert 100 <= geometry["x"] <= 110 and 120 <= geometry["y"] <= 160, geometry
        center = (geometry["x"] + geometry["width"] // 2, geometry["y"] + geometry["height"] // 2)

        assert desktop.pointer_hits(window, *center)
        assert not desktop.pointer_hits(window, 700, 500)
        # The bare root is a plain grey under the compositor; the message is drawn white.
        background = desktop.pixel(700, 500)
        assert background[0] == background[1] == background[2] < 255, background
        samples = [desktop.pixel(geometry["x"] + dx, geometry["y"] + dy)
                   for dx in (1, 2, geometry["width"] - 2) for dy in (1, 2)]
        assert (255, 255, 255) in samples, samples
        shot = desktop.screenshot("xmessage")
        assert shot and shot.stat().st_size > 0

        desktop.xdotool("windowactivate", "--sync", window)
        desktop.wait_for(lambda: desktop.active_window() == window, "xmessage to be active")
        desktop.key("Return")
        assert message.wait() == 7, "the default button answered the key"


def test_waits_give_up_with_a_screenshot(args):
    with Desktop(args.artifacts, "timeout", size=(320, 240), window_manager=False,
                 compositor=False, timeout=0.3) as desktop:
        try:
            desktop.wait_for_window(name="no such window")
        except harness.HarnessError as error:
            assert "screenshot" in str(error), error
            assert any(path.name.endswith("timeout.png") for path in desktop.artifacts.iterdir())
        else:
            raise AssertionError("the wait did not give up")
        assert os.environ.get("DISPLAY") != desktop.display, "the script's own display is kept"


if __name__ == "__main__":
    harness.main(globals())
