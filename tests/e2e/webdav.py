# SPDX-License-Identifier: GPL-3.0-or-later
"""A WebDAV server for the tests: Debian's Apache with mod_dav and basic authentication,
on a free loopback port, with its files, logs and configuration in a folder of its own.

    with WebDavServer(artifacts, user="ana", password="secreta") as server:
        server.url            # http://127.0.0.1:PORT/dav/
        server.stop(); server.start()
        server.quota_full = True   # writes are answered 507 Insufficient Storage
"""

from __future__ import annotations

import os
import pwd
import shutil
import socket
import subprocess
import tempfile
import time
import urllib.error
import urllib.request
from pathlib import Path
from typing import Optional

APACHE = "/usr/sbin/apache2"
HTPASSWD = "/usr/bin/htpasswd"
MODULES = Path("/usr/lib/apache2/modules")
_CONFIG = """\
ServerRoot "{root}"
ServerName 127.0.0.1
Listen 127.0.0.1:{port}
PidFile "{root}/apache.pid"
Mutex file:{root} default
DefaultRuntimeDir "{root}"
ErrorLog "{logs}/error.log"
LogLevel warn
{user}
LoadModule mpm_event_module {modules}/mod_mpm_event.so
LoadModule authn_core_module {modules}/mod_authn_core.so
LoadModule authn_file_module {modules}/mod_authn_file.so
LoadModule authz_core_module {modules}/mod_authz_core.so
LoadModule authz_user_module {modules}/mod_authz_user.so
LoadModule auth_basic_module {modules}/mod_auth_basic.so
LoadModule dav_module {modules}/mod_dav.so
LoadModule dav_fs_module {modules}/mod_dav_fs.so
LoadModule rewrite_module {modules}/mod_rewrite.so
LoadModule alias_module {modules}/mod_alias.so
LogFormat "%h %u \\"%r\\" %>s %b" short
CustomLog "{logs}/access.log" short
DavLockDB "{locks}/DavLock"
Alias /dav "{files}"
<Directory "{files}">
    Dav On
    AuthType Basic
    AuthName "Orlette"
    AuthUserFile "{root}/htpasswd"
    Require valid-user
    Options None
    AllowOverride None
</Directory>
# A full account: while the flag file exists, every write is refused for lack of room.
RewriteEngine On
RewriteCond %{{REQUEST_METHOD}} ^(PUT|MKCOL|COPY|MOVE)$
RewriteCond "{root}/quota-full" -f
RewriteRule ^/dav/ - [R=507]
"""


def free_port() -> int:
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def answers(url: str) -> bool:
    """Whether an HTTP server answers at `url`, whatever its status."""
    try:
        urllib.request.urlopen(url, timeout=1)
    except urllib.error.HTTPError:
        return True
    except OSError:
        return False
    return True


def stop_process_group(process: Optional[subprocess.Popen]) -> None:
    """Ends a server started in its own process group, forcibly if it lingers."""
    if process is None or process.poll() is not None:
        return
    os.killpg(process.pid, 15)
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, 9)
        process.wait(5)


class WebDavServer:
    def __init__(self, artifacts: Path, user: str, password: str):
        for tool in (APACHE, HTPASSWD):
            if not Path(tool).exists():
                raise RuntimeError(f"{tool} is missing (scripts/install-deps.sh installs it)")
        self.user = user
        self.password = password
        self.logs = Path(artifacts)
        self.logs.mkdir(parents=True, exist_ok=True)
        self.root = Path(tempfile.mkdtemp(prefix="orlette-webdav-"))
        self.files = self.root / "files"
        self.port = free_port()
        self._process: Optional[subprocess.Popen] = None

    @property
    def url(self) -> str:
        return f"http://127.0.0.1:{self.port}/dav/"

    def __enter__(self) -> "WebDavServer":
        self._configure()
        self.start()
        return self

    def __exit__(self, *_exc) -> None:
        self.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    def _configure(self) -> None:
        locks = self.root / "locks"
        for folder in (self.files, locks):
            folder.mkdir()
        user = ""
        if os.geteuid() == 0:
            # Apache does not serve as root: its workers become www-data, who must be able
            # to write the shared files and reach them.
            owner = pwd.getpwnam("www-data")
            user = "User www-data\nGroup www-data"
            os.chmod(self.root, 0o755)
            for folder in (self.files, locks):
                os.chown(folder, owner.pw_uid, owner.pw_gid)
        subprocess.run([HTPASSWD, "-b", "-c", "-B", str(self.root / "htpasswd"), self.user,
                        self.password], check=True, capture_output=True)
        os.chmod(self.root / "htpasswd", 0o644)
        (self.root / "apache.conf").write_text(_CONFIG.format(
            root=self.root, port=self.port, logs=self.logs, modules=MODULES, files=self.files,
            locks=locks, user=user))

    def start(self) -> None:
        if self.running():
            return
        self._process = subprocess.Popen(
            [APACHE, "-f", str(self.root / "apache.conf"), "-DFOREGROUND"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=open(self.logs / "apache-stderr.log", "ab"), start_new_session=True)
        deadline = time.monotonic() + 15
        while not self._answers():
            if self._process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("Apache did not start: see "
                                   f"{self.logs / 'error.log'} and apache-stderr.log")
            time.sleep(0.05)

    def stop(self) -> None:
        stop_process_group(self._process)
        self._process = None

    def running(self) -> bool:
        return self._process is not None and self._process.poll() is None

    def _answers(self) -> bool:
        return answers(f"http://127.0.0.1:{self.port}/")

    @property
    def quota_full(self) -> bool:
        return (self.root / "quota-full").exists()

    @quota_full.setter
    def quota_full(self, full: bool) -> None:
        flag = self.root / "quota-full"
        if full:
            flag.touch()
        elif flag.exists():
            flag.unlink()

    def records(self) -> list[Path]:
        """The note records the server holds."""
        return sorted(self.files.rglob("*.json"))
