# SPDX-License-Identifier: GPL-3.0-or-later
"""The X11 layer of the window system on a real X server: runs the X11 tests of the view
test binary (skipped on the offscreen platform) on private virtual desktops, with and
without a compositor."""


import harness
from harness import Desktop


def run_x11_tests(args, desktop: Desktop, gtest_filter: str, compositing: bool) -> None:
    harness.run_view_tests_on_x11(
        args, desktop, gtest_filter,
        env={"ORLETTE_EXPECT_COMPOSITING": "1" if compositing else "0"})


def test_x11_layer_under_a_window_manager_and_compositor(args):
    with Desktop(args.artifacts, "composited", compositor=True) as desktop:
        run_x11_tests(args, desktop, "X11*", compositing=True)


def test_compositing_is_followed_without_a_compositor(args):
    with Desktop(args.artifacts, "plain", compositor=False) as desktop:
        run_x11_tests(args, desktop, "X11Compositing.*", compositing=False)


if __name__ == "__main__":
    harness.main(globals())
