"""Floating note windows on a real X server: the X11 tests of the view test binary
(skipped on the offscreen platform) on private virtual desktops with a window manager,
with and without a compositor."""


import harness
from harness import Desktop


def run_floating_tests(args, desktop: Desktop) -> None:
    harness.run_view_tests_on_x11(args, desktop, "X11FloatingNotes.*")


def test_floating_windows_under_a_compositor(args):
    with Desktop(args.artifacts, "composited", compositor=True) as desktop:
        run_floating_tests(args, desktop)


def test_floating_windows_without_a_compositor(args):
    with Desktop(args.artifacts, "plain", compositor=False) as desktop:
        run_floating_tests(args, desktop)


if __name__ == "__main__":
    harness.main(globals())
