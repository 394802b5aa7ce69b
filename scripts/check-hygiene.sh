#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The checks that need no build: C++ formatting (clang-format, the repository's
# .clang-format), shell scripts (shellcheck), the Python test harness (pyflakes) and the
# licence line at the top of every source file. Prints every finding and fails if there is
# any; `--fix` reformats the C++ files in place instead of failing on their format.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

fix=0
[ "${1:-}" = "--fix" ] && fix=1

# Only what is tracked: build folders and untracked scratch files are not the project's.
tracked() {
    git ls-files -z -- "$@"
}

failed=()

clang_format=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$clang_format" ] || { echo "check-hygiene.sh: clang-format is not installed" >&2; exit 1; }
if [ "$fix" -eq 1 ]; then
    tracked '*.cpp' '*.h' | xargs -0 -r "$clang_format" -i
elif ! tracked '*.cpp' '*.h' | xargs -0 -r "$clang_format" --dry-run -Werror; then
    failed+=("format (fix with scripts/check-hygiene.sh --fix)")
fi

if ! tracked 'scripts/*.sh' 'bench/*.sh' | xargs -0 -r shellcheck; then
    failed+=(shellcheck)
fi

# Debian's python3-pyflakes installs `pyflakes3`; elsewhere the module may be all there is.
pyflakes=(python3 -m pyflakes)
command -v pyflakes3 >/dev/null && pyflakes=(pyflakes3)
if ! tracked 'tests/e2e/*.py' 'tests/layers/*.py' | xargs -0 -r "${pyflakes[@]}"; then
    failed+=(pyflakes)
fi

if ! "$root/scripts/check-licence.sh"; then
    failed+=("licence lines")
fi

if [ ${#failed[@]} -gt 0 ]; then
    printf 'check-hygiene.sh: failed: %s\n' "${failed[@]}" >&2
    exit 1
fi
echo "check-hygiene.sh: format, shellcheck, pyflakes and licence lines are clean"
