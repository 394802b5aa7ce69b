# SPDX-License-Identifier: GPL-3.0-or-later
"""A session's row of columns, as the Wayland and sway session tests print it: each
column is one check, run once; a failure is kept and the next column runs. Columns that do
not work yet are listed with their reason in the test's expected failures: they are
reported, not asserted, and one that works is printed as "WORKED" so its mark can be
removed once it works in every run."""

from __future__ import annotations

import traceback
from typing import Callable, Optional

from harness import Desktop


class Row:
    """What each column of one session gave: None where it passed, else the failure."""

    def __init__(self, desktop: Desktop):
        self.desktop = desktop
        self.results: dict[str, Optional[str]] = {}

    def column(self, name: str, check: Callable[[], None]) -> None:
        try:
            check()
        except Exception as error:  # noqa: BLE001 - any fault of a column is its failure
            self.results[name] = f"{type(error).__name__}: {error}".splitlines()[0]
            traceback.print_exc()
            self.desktop.screenshot(name.replace(" ", "-").replace("+", "plus"))
        else:
            self.results[name] = None

    def report(self, title: str, expected: dict[str, str]) -> None:
        """Prints the row and fails on a column that failed unexpectedly."""
        print(f"{title}:")
        unexpected = []
        for name, failure in self.results.items():
            if failure is None and name in expected:
                # Not a failure: some of these columns fail only in some runs, and a test
                # that fails at random is worse than a line to read.
                print(f"  {name}: WORKED in this run; once it works in every run, remove "
                      f"it from EXPECTED_FAILURES (expected to fail: {expected[name]})")
            elif failure is None:
                print(f"  {name}: ✓")
            elif name in expected:
                print(f"  {name}: expected failure ({expected[name]})")
            else:
                print(f"  {name}: FAILED ({failure})")
                unexpected.append(f"{name}: {failure}")
        assert not unexpected, "\n".join(unexpected)
