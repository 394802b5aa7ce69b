#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints the build folder of a configure preset of CMakePresets.json (default: release), so
# that the scripts and the presets cannot disagree about where a build lives.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
python3 - "$root" "${1:-release}" <<'PY'
import json
import sys

root, name = sys.argv[1], sys.argv[2]
with open(f"{root}/CMakePresets.json", encoding="utf-8") as f:
    presets = {p["name"]: p for p in json.load(f)["configurePresets"]}
if name not in presets:
    sys.exit(f"preset-dir.sh: no configure preset named {name}")
preset = presets[name]
while "binaryDir" not in preset and "inherits" in preset:
    preset = presets[preset["inherits"]]
print(preset["binaryDir"].replace("${sourceDir}", root))
PY
