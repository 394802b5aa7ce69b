#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build folder and checks what a desktop sees of it:
# the desktop entry and the AppStream metadata pass their validators, lintian finds no
# error in the package, and the package installs, runs a note from the rail to the
# store as /usr/bin/orlette, and is removed again. Installing needs root or sudo without
# a password; without either that step is skipped with a message.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORLETTE_BUILD_DIR:-$root/build}
out=$build/package
app_id=org.orlette.Orlette

step() { printf '\n== %s\n' "$*"; }

step "desktop-file-validate"
desktop-file-validate "$root/resources/desktop/$app_id.desktop"

step "appstreamcli validate --no-net"
appstreamcli validate --no-net --explain "$build/desktop/$app_id.metainfo.xml"

step "cpack"
# What the package holds, whatever was built before (a no-op after a full build).
cmake --build "$build" -j"${ORLETTE_JOBS:-2}" --target orlette orlette_docs >/dev/null
rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$build/cpack.log" 2>&1 ||
    { cat "$build/cpack.log"; exit 1; }
debs=("$out"/orlette_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "no package in $out" >&2; exit 1; }
dpkg-deb --field "$deb" Package Version Depends Recommends
dpkg-deb --contents "$deb" | awk '{print $6}'

step "lintian"
lintian --fail-on error --tag-display-limit 0 "$deb"

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
        sudo="sudo -n"
    else
        echo "check-package: not root and no sudo without a password: the package is not" \
             "installed and the installed program is not tested."
        exit 0
    fi
fi
if dpkg-query -W -f='${Status}' orlette 2>/dev/null | grep -q "install ok installed"; then
    echo "check-package: an orlette package is already installed here; it is left alone" \
         "and the installed program is not tested."
    exit 0
fi

step "apt-get install $deb"
remove() {
    step "apt-get remove orlette"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 purge -y -qq orlette
}
trap remove EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
    --no-install-recommends "$(realpath "$deb")"
dpkg -S /usr/bin/orlette
[ "$(/usr/bin/orlette --version)" = "Orlette $(dpkg-query -W -f='${Version}' orlette)" ]

step "the installed program: rails, a note typed and saved"
python3 "$root/tests/e2e/test_rail_notes.py" --binary /usr/bin/orlette \
    --artifacts "$build/e2e-artifacts/installed" -k plus_tab_creates
python3 "$root/tests/e2e/installed_entry.py" --binary /usr/bin/orlette \
    --artifacts "$build/e2e-artifacts/installed"
