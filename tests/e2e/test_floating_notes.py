"""Floating note windows on a real X server: the X11 tests of the view test binary
(skipped on the offscreen platform) on private virtual desktops with a window manager,
with and without a compositor."""

import re

import harness
from harness import Desktop


def run_floating_tests(args, desktop: Desktop) -> None:
    binary = harness.build_dir(args) / "tests" / "orlette_view_tests"
    assert binary.exists(), f"{binary} is missing: build the tests first"
    result = desktop.run([binary, "--gtest_filter=X11FloatingNotes.*"], timeout=240,
                         check=False, env={"ORLETTE_VIEW_TESTS_PLATFORM": "xcb",
                              "ORLETTE_ARTIFACTS_DIR": str(desktop.artifacts)})
    output = result.stdout + result.stderr
    (desktop.artifacts / "view-tests.log").write_text(output)
    if result.returncode != 0:
        desktop.screenshot("after-tests")
        print(output)
    assert result.returncode == 0, f"floating-note tests failed, see {desktop.artifacts}"
    passed = re.search(r"\[  PASSED  \] (\d+) test", output)
    assert passed and int(passed.group(1)) > 0, "no floating-note test ran"
    assert "[  SKIPPED ]" not in output, "the tests were skipped on an X server:\n" + output


def test_floating_windows_under_a_compositor(args):
    with Desktop(args.artifacts, "composited", compositor=True) as desktop:
        run_floating_tests(args, desktop)


def test_floating_windows_without_a_compositor(args):
    with Desktop(args.artifacts, "plain", compositor=False) as desktop:
        run_floating_tests(args, desktop)


if __name__ == "__main__":
    harness.main(globals())
