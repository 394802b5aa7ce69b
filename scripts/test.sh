#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, checks formatting and hygiene, builds and runs every test
# (model, view and end-to-end) on the main build, then a short fuzzing run of the readers of
# untrusted input. Extra arguments go to the ctest runs (for example `-R Sync`).
# Everything is also built a second time, with clang under AddressSanitizer (leak checks
# included) and UndefinedBehaviorSanitizer, and the model and view tests run there.
#   ORLETTE_SANITIZED=0  skips that second build (a quicker local run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/check-hygiene.sh"

build=${ORLETTE_BUILD_DIR:-$("$root/scripts/preset-dir.sh" release)}
ORLETTE_PRESET=release ORLETTE_BUILD_DIR=$build "$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j"${ORLETTE_JOBS:-2}" "$@"
"$root/scripts/check-package.sh"

if [ "${ORLETTE_SANITIZED:-1}" = 1 ]; then
    sanitized=$("$root/scripts/preset-dir.sh" sanitized)
    ORLETTE_PRESET=sanitized ORLETTE_BUILD_DIR=$sanitized "$root/scripts/build.sh"
    # The end-to-end tests drive the main build; under the sanitizers the model and view
    # tests run, where a report points at the line that caused it.
    ctest --test-dir "$sanitized" --output-on-failure -j"${ORLETTE_JOBS:-2}" -L 'unit|view' "$@"
fi

if [ -x "$root/scripts/fuzz.sh" ]; then
    "$root/scripts/fuzz.sh"
fi
