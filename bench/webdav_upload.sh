#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# First upload of 1,000 notes to a real WebDAV server: Debian's Apache with mod_dav and
# basic authentication on loopback (the end-to-end tests' server), three passes, each into
# an empty folder of its own.
#
#   bench/webdav_upload.sh [path/to/build]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
exec python3 - "$build" "$root" <<'PYEOF'
import os
import pwd
import subprocess
import sys
import tempfile
from pathlib import Path

build, root = Path(sys.argv[1]).resolve(), Path(sys.argv[2])
sys.path.insert(0, str(root / "tests" / "e2e"))
from webdav import WebDavServer

with tempfile.TemporaryDirectory(prefix="orlette-bench-webdav-") as logs, \
        WebDavServer(Path(logs), "ana", "pan-con-tomate") as server:
    for run in range(3):
        folder = server.files / f"run{run}"
        folder.mkdir()
        if os.geteuid() == 0:
            owner = pwd.getpwnam("www-data")
            os.chown(folder, owner.pw_uid, owner.pw_gid)
    env = dict(os.environ, ORLETTE_BENCH_WEBDAV_URL=server.url, ORLETTE_BENCH_WEBDAV_USER="ana",
               ORLETTE_BENCH_WEBDAV_PASSWORD="pan-con-tomate")
    subprocess.run([str(build / "bench" / "sync_bench"), "--benchmark_filter=Apache"],
                   env=env, check=True)
    print(f"{len(server.records())} records on the server")
PYEOF
