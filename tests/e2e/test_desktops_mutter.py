# SPDX-License-Identifier: GPL-3.0-or-later
"""The rail gesture on the window manager of GNOME (mutter in X11 mode, with its own
compositor), which flags a window as demanding attention and logs a buggy client for an
activation request without a real timestamp."""

import desktops
import harness


def test_mutter_in_x11_mode(args):
    desktops.run_setup(args, "mutter")


if __name__ == "__main__":
    harness.main(globals())
