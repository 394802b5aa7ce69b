#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds and runs every test (model, view and end-to-end),
# then a short fuzzing run of the readers of untrusted input.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORLETTE_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j"${ORLETTE_JOBS:-2}" "$@"
"$root/scripts/check-package.sh"
if [ -x "$root/scripts/fuzz.sh" ]; then
    "$root/scripts/fuzz.sh"
fi
