# SPDX-License-Identifier: GPL-3.0-or-later
"""The rail gesture on the window manager of KDE Plasma (kwin_x11 with its default
settings, which hide the utility windows of inactive applications)."""

import desktops
import harness


def test_kwin_with_default_settings(args):
    desktops.run_setup(args, "kwin")


if __name__ == "__main__":
    harness.main(globals())
