"""The X11 layer of the window system on a real X server: runs the X11 tests of the view
test binary (skipped on the offscreen platform) on private virtual desktops, with and
without a compositor."""

import re

import harness
from harness import Desktop


def run_x11_tests(args, desktop: Desktop, gtest_filter: str, compositing: bool) -> None:
    binary = harness.build_dir(args) / "tests" / "orlette_view_tests"
    assert binary.exists(), f"{binary} is missing: build the tests first"
    result = desktop.run(
        [binary, f"--gtest_filter={gtest_filter}"], timeout=240, check=False,
        env={"ORLETTE_VIEW_TESTS_PLATFORM": "xcb",
             "ORLETTE_EXPECT_COMPOSITING": "1" if compositing else "0"})
    output = result.stdout + result.stderr
    (desktop.artifacts / "view-tests.log").write_text(output)
    if result.returncode != 0:
        desktop.screenshot("after-tests")
        print(output)
    assert result.returncode == 0, f"X11 tests failed, see {desktop.artifacts / 'view-tests.log'}"
    passed = re.search(r"\[  PASSED  \] (\d+) test", output)
    assert passed and int(passed.group(1)) > 0, "no X11 test ran"
    assert "[  SKIPPED ]" not in output, "X11 tests were skipped on an X server:\n" + output


def test_x11_layer_under_a_window_manager_and_compositor(args):
    with Desktop(args.artifacts, "composited", compositor=True) as desktop:
        run_x11_tests(args, desktop, "X11*", compositing=True)


def test_compositing_is_followed_without_a_compositor(args):
    with Desktop(args.artifacts, "plain", compositor=False) as desktop:
        run_x11_tests(args, desktop, "X11Compositing.*", compositing=False)


if __name__ == "__main__":
    harness.main(globals())
