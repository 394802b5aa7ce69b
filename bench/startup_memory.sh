#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up time to both rails shown and resident memory with 100 notes, beside xpad (the
# Debian sticky-notes program) started on the same kind of private virtual desktop.
#
#   bench/startup_memory.sh [path/to/orlette] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
binary=${1:-$root/build/orlette}
runs=${2:-5}
exec python3 - "$binary" "$runs" "$root" <<'EOF'
import shutil
import statistics
import sys
import tempfile
import time
from pathlib import Path

binary, runs, root = Path(sys.argv[1]).resolve(), int(sys.argv[2]), Path(sys.argv[3])
sys.path.insert(0, str(root / "tests" / "e2e"))
import railapp
from harness import Desktop


def rss_mib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024
    return float("nan")


def measure_orlette(artifacts, index):
    with Desktop(artifacts, f"orlette-{index}") as desktop:
        railapp.seed(desktop, binary, [(f"Nota {i}", "right" if i % 2 else "left", i * 1024.0)
                                       for i in range(100)])
        started = time.monotonic()
        rails = railapp.launch(desktop, binary)
        shown = time.monotonic() - started
        time.sleep(2)
        return shown, rss_mib(rails.app.pid)


def measure_xpad(artifacts, index):
    with Desktop(artifacts, f"xpad-{index}") as desktop:
        started = time.monotonic()
        app = desktop.spawn(["xpad", "--new"], "xpad")
        desktop.wait_for(lambda: desktop.find_windows(name="xpad") or
                         desktop.find_windows(class_name="xpad"), "an xpad window", timeout=20)
        shown = time.monotonic() - started
        time.sleep(2)
        return shown, rss_mib(app.pid)


artifacts = Path(tempfile.mkdtemp(prefix="orlette-startup-"))
rows = {"orlette (100 notes)": [measure_orlette(artifacts, i) for i in range(runs)]}
if shutil.which("xpad"):
    rows["xpad (1 note)"] = [measure_xpad(artifacts, i) for i in range(runs)]
for name, samples in rows.items():
    times = [s[0] * 1000 for s in samples]
    memory = [s[1] for s in samples]
    print(f"{name:22s} shown in {statistics.median(times):7.0f} ms (median of {runs}), "
          f"resident {statistics.median(memory):6.1f} MiB")
EOF
