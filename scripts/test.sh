#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, checks formatting and hygiene, builds and runs every test
# (model, view and end-to-end), then a short fuzzing run of the readers of untrusted input.
# Extra arguments go to ctest (for example `-R Sync`).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/check-hygiene.sh"

build=${ORLETTE_BUILD_DIR:-$("$root/scripts/preset-dir.sh" release)}
ORLETTE_PRESET=release ORLETTE_BUILD_DIR=$build "$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j"${ORLETTE_JOBS:-2}" "$@"
"$root/scripts/check-package.sh"

if [ -x "$root/scripts/fuzz.sh" ]; then
    "$root/scripts/fuzz.sh"
fi
