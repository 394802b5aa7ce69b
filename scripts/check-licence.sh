#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that each source file given (default: every tracked one) names its licence on its
# first line, or on its second after a `#!` line. Prints every file that does not.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
spdx='SPDX-License-Identifier: GPL-3.0-or-later'

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
    cd "$root"
    mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h' '*.py' '*.sh' '*.cmake' \
        'CMakeLists.txt' '*/CMakeLists.txt')
fi

# One awk over all files: a process per file is slow on a busy machine.
awk -v want="$spdx" '
    function verdict() {
        if (index(line, want) == 0) {
            print FILENAME ": the first line (after any #!) must carry \"" want "\""
            bad = 1
        }
    }
    FNR == 1 { line = $0; if (line !~ /^#!/) { verdict(); nextfile } next }
    FNR == 2 { line = $0; verdict(); nextfile }
    END { exit bad }
' "${files[@]}"
