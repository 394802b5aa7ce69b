# SPDX-License-Identifier: GPL-3.0-or-later
"""The rail gesture on light X11 desktops: openbox with xcompmgr, openbox with picom drawing
shadows, xfwm4 with its own compositor (XFCE), and openbox on a HiDPI screen at twice the
scale. Each: the rails at the edges
above a maximised window, clicks through their empty parts, "+" and typing, dwell, the
hot key from another application, and no shadow band or frame on the screen."""

import desktops
import harness


def test_openbox_with_xcompmgr(args):
    desktops.run_setup(args, "openbox-xcompmgr")


def test_openbox_with_picom_drawing_shadows(args):
    desktops.run_setup(args, "openbox-picom")


def test_xfwm4_with_its_compositor(args):
    desktops.run_setup(args, "xfwm4")


def test_openbox_at_twice_the_scale(args):
    # Panels, input shapes and the dwell zone in device pixels where they are drawn.
    desktops.run_setup(args, "hidpi")


if __name__ == "__main__":
    harness.main(globals())
