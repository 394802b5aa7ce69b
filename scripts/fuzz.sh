#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer target of the RTF reader with clang (address and undefined
# behaviour sanitizers) straight against Qt, and runs it for a bounded time over the
# committed documents. Any crash, leak, hang or broken round trip fails the script; the
# input that caused it is left in build/fuzz/.
#   ORLETTE_FUZZ_SECONDS  length of the run (default 60)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${ORLETTE_FUZZ_DIR:-$root/build/fuzz}
seconds=${ORLETTE_FUZZ_SECONDS:-60}
cxx=${ORLETTE_FUZZ_CXX:-clang++}

command -v "$cxx" >/dev/null || { echo "fuzz.sh: $cxx is not installed" >&2; exit 1; }
mkdir -p "$out/corpus"

sources=(
    "$root/fuzz/rtf_fuzzer.cpp"
    "$root/src/model/RtfReader.cpp"
    "$root/src/model/RtfTokenizer.cpp"
    "$root/src/model/RtfCodePage.cpp"
    "$root/src/model/RtfWriter.cpp"
    "$root/src/model/StyledText.cpp"
    "$root/src/model/Windows1252.cpp"
)
binary="$out/rtf_fuzzer"
stale=0
[ -x "$binary" ] || stale=1
for source in "${sources[@]}" "$root"/src/model/*.h "$0"; do
    [ "$source" -nt "$binary" ] && stale=1
done
if [ "$stale" -eq 1 ]; then
    echo "fuzz.sh: building $binary"
    # shellcheck disable=SC2046 # pkg-config output is a list of flags
    "$cxx" -std=c++20 -g -O1 -fPIC -fno-omit-frame-pointer \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -DQT_NO_KEYWORDS_IN_HEADERS -I"$root/src" \
        $(pkg-config --cflags Qt6Gui Qt6Core icu-uc) \
        "${sources[@]}" -o "$binary" \
        $(pkg-config --libs Qt6Gui Qt6Core icu-uc)
fi

echo "fuzz.sh: fuzzing the RTF reader for ${seconds}s"
# The first directory collects what the run finds; the committed documents are seeds.
cd "$out"
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 -use_value_profile=1 \
    -dict="$root/fuzz/rtf.dict" -artifact_prefix="$out/" -print_final_stats=1 \
    "$out/corpus" "$root/tests/data/rtf" 2>"$out/fuzz.log" || {
    status=$?
    tail -n 60 "$out/fuzz.log" >&2
    echo "fuzz.sh: the fuzzer found a fault (exit $status); see $out/fuzz.log" >&2
    exit "$status"
}
grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$out/fuzz.log" || true
echo "fuzz.sh: no fault found"
