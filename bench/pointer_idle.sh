#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU used by Orlette while the pointer stands still, in percent of one core: the real
# executable on a private virtual desktop (Xvfb, openbox, xcompmgr) with a few notes on
# its rails, the pointer parked in the middle of the screen, measured from /proc/<pid>/stat
# over SECONDS (default 60) after a short settling time. Given a second executable (an
# older build), measures both, one after the other in the same run, for a fair comparison.
#
#   bench/pointer_idle.sh [path/to/orlette] [seconds] [path/to/other/orlette]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
binary=${1:-$root/build/orlette}
seconds=${2:-60}
other=${3:-}
exec python3 - "$binary" "$seconds" "$root" "$other" <<'EOF'
import os
import sys
import tempfile
import time
from pathlib import Path

binary, seconds, root = Path(sys.argv[1]).resolve(), float(sys.argv[2]), Path(sys.argv[3])
others = [Path(sys.argv[4]).resolve()] if len(sys.argv) > 4 and sys.argv[4] else []
sys.path.insert(0, str(root / "tests" / "e2e"))
import railapp
from harness import Desktop

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    # utime and stime are fields 14 and 15; the command name may hold spaces.
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


artifacts = Path(tempfile.mkdtemp(prefix="orlette-bench-"))


def measure(executable):
    with Desktop(artifacts, "idle") as desktop:
        railapp.seed(desktop, executable, [(f"Nota {i}", "right" if i % 2 else "left",
                                            i * 1024.0) for i in range(8)])
        rails = railapp.launch(desktop, executable)
        desktop.move(960, 540)
        time.sleep(3)  # start-up work and the first frames are not idling
        pid = rails.app.pid
        start_cpu, start = cpu_seconds(pid), time.monotonic()
        time.sleep(seconds)
        used, elapsed = cpu_seconds(pid) - start_cpu, time.monotonic() - start
        assert rails.app.running(), rails.app.output()
    return used, elapsed


for executable in [binary] + others:
    used, elapsed = measure(executable)
    print(f"pointer_idle: {100.0 * used / elapsed:.2f} % of one core "
          f"({used:.2f} s CPU in {elapsed:.1f} s, pointer still) {executable}")
EOF
