#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds Orlette with one of the presets of CMakePresets.json (release by
# default, in ./build); extra arguments go to `cmake --build` (for example
# `--target orlette`).
#   ORLETTE_PRESET     release, debug, clang or sanitized
#   ORLETTE_BUILD_DIR  another build folder than the preset's
#   ORLETTE_JOBS       parallel compiles (default 2)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${ORLETTE_PRESET:-release}
build=${ORLETTE_BUILD_DIR:-$("$root/scripts/preset-dir.sh" "$preset")}
configure=(--preset "$preset" -B "$build")
[ -n "${CMAKE_BUILD_TYPE:-}" ] && configure+=(-DCMAKE_BUILD_TYPE="$CMAKE_BUILD_TYPE")
# Paths relative to the checkout let worktrees and clones share the compiler cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
(cd "$root" && cmake "${configure[@]}" >/dev/null)
# Ninja's automoc step does not notice Q_OBJECT headers that appear through a re-glob;
# dropping its stamp makes it rescan (moc itself still only reruns for changed headers).
find "$build" -path '*_autogen/timestamp' -delete 2>/dev/null || true
cmake --build "$build" -j"${ORLETTE_JOBS:-2}" "$@"
