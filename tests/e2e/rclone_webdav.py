# SPDX-License-Identifier: GPL-3.0-or-later
"""A second real WebDAV server for the tests: Debian's `rclone serve webdav` over a folder of
its own on a free loopback port, without authentication. It answers 201 to a PUT whose
If-Match or If-None-Match fails, and gives its folders a date that does not change.

    with RcloneWebDav(artifacts) as server:
        server.url      # http://127.0.0.1:PORT/
        server.files    # the folder it serves
"""

from __future__ import annotations

import os
import shutil
import subprocess
import tempfile
import time
from pathlib import Path
from typing import Optional

from webdav import answers, free_port, stop_process_group

RCLONE = "/usr/bin/rclone"


class RcloneWebDav:
    def __init__(self, artifacts: Path):
        if not Path(RCLONE).exists():
            raise RuntimeError(f"{RCLONE} is missing (scripts/install-deps.sh installs it)")
        self.logs = Path(artifacts)
        self.logs.mkdir(parents=True, exist_ok=True)
        self.root = Path(tempfile.mkdtemp(prefix="orlette-rclone-"))
        self.files = self.root / "files"
        self.files.mkdir()
        self.port = free_port()
        self._process: Optional[subprocess.Popen] = None

    @property
    def url(self) -> str:
        return f"http://127.0.0.1:{self.port}/"

    def __enter__(self) -> "RcloneWebDav":
        self.start()
        return self

    def __exit__(self, *_exc) -> None:
        self.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    def start(self) -> None:
        # No configuration file of the user's is read or written.
        env = dict(os.environ, RCLONE_CONFIG=str(self.root / "rclone.conf"))
        self._process = subprocess.Popen(
            [RCLONE, "serve", "webdav", "--addr", f"127.0.0.1:{self.port}", str(self.files)],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=open(self.logs / "rclone.log", "ab"), env=env, start_new_session=True)
        deadline = time.monotonic() + 15
        while not self._answers():
            if self._process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError(f"rclone did not start: see {self.logs / 'rclone.log'}")
            time.sleep(0.05)

    def stop(self) -> None:
        stop_process_group(self._process)
        self._process = None

    def _answers(self) -> bool:
        return answers(self.url)

    def entries(self) -> list[str]:
        """Every file and folder it serves, relative to its root."""
        return sorted(str(p.relative_to(self.files)) for p in self.files.rglob("*"))
