#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds Orlette in ./build (or $ORLETTE_BUILD_DIR); extra arguments go to
# `cmake --build` (for example `--target orlette`).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORLETTE_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
# Ninja's automoc step does not notice Q_OBJECT headers that appear through a re-glob;
# dropping its stamp makes it rescan (moc itself still only reruns for changed headers).
find "$build" -path '*_autogen/timestamp' -delete 2>/dev/null || true
cmake --build "$build" -j"${ORLETTE_JOBS:-2}" "$@"
