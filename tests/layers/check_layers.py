#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fails when a source file includes a folder its layer may not know.

src/model/ needs no window and stands on nothing else of ours; only src/app/, the place
that wires every subsystem, may include src/app/. Prints each offending line."""
import pathlib
import re
import sys

MODEL_MAY_NOT_INCLUDE = ("rail", "surfaces", "sync", "library", "windows", "app", "updates",
                         "platform")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^/"]+)/[^"]*"')


def offences(src):
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        layer = path.relative_to(src).parts[0]
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = match.group(1)
            if layer == "model" and target in MODEL_MAY_NOT_INCLUDE:
                yield path, number, line, "the model includes nothing from " + target + "/"
            elif target == "app" and layer != "app":
                yield path, number, line, "only src/app/ includes src/app/"


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
    found = list(offences(src))
    for path, number, line, rule in found:
        print(f"{path}:{number}: {line.strip()}  ({rule})")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
