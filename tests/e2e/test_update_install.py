# SPDX-License-Identifier: GPL-3.0-or-later
"""A checked release waiting in the settings is put in place of the program when Orlette
quits; one that fails its checks is left out and told about at the next launch. End to
end: a release made by scripts/release.sh and served on loopback is found by an older
program, verified, installed at quit and answers with the new version at the next start;
an archive changed after signing is refused and the person who asked is told."""

import functools
import http.server
import os
import shutil
import signal
import subprocess
import tarfile
import threading
from pathlib import Path

import harness
from harness import Desktop
from test_app_lifecycle import read_setting, write_settings


def own_version(binary: Path) -> str:
    # Answered without any screen at all.
    env = {key: value for key, value in os.environ.items() if key != "DISPLAY"}
    result = subprocess.run([str(binary), "--version"], env=env, capture_output=True,
                            text=True, timeout=10)
    assert result.returncode == 0, result.stderr
    name, version = result.stdout.strip().split(" ")
    assert name == "Orlette"
    return version


def newer(version: str) -> str:
    """The same length, so it can be written over the version inside a copy of the program."""
    parts = version.split(".")
    bumped = ".".join(parts[:-1] + [str((int(parts[-1]) + 1) % 10)])
    assert len(bumped) == len(version) and bumped != version
    return bumped


ROOT = Path(__file__).resolve().parents[2]


def make_release(desktop: Desktop, program: Path, feed: str) -> tuple[Path, str]:
    """Runs scripts/release.sh on an already built program with a test key made here;
    returns the release folder and the public key."""
    keys = subprocess.run(["python3", str(ROOT / "scripts" / "sign-update.py"), "keygen"],
                          capture_output=True, text=True, check=True).stdout.split()
    out = desktop.home / "release"
    env = dict(os.environ, ORLETTE_SIGNING_KEY=keys[0], ORLETTE_FEED_URL=feed,
               ORLETTE_RELEASE_PROGRAM=str(program), ORLETTE_RELEASE_DIR=str(out))
    result = subprocess.run([str(ROOT / "scripts" / "release.sh")], env=env,
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stdout + result.stderr
    return out, keys[1]


class LoopbackServer:
    """Serves a folder over HTTP on 127.0.0.1 and counts the requests per path."""

    def __init__(self, folder: Path):
        self.requests: list[str] = []
        server = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                server.requests.append(self.path)
                super().do_GET()

        self.httpd = http.server.ThreadingHTTPServer(
            ("127.0.0.1", 0), functools.partial(Handler, directory=str(folder)))
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)

    def url(self, path: str) -> str:
        return f"http://127.0.0.1:{self.httpd.server_address[1]}/{path}"

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.httpd.shutdown()
        self.httpd.server_close()


def program_claiming(binary: Path, version: str, into: Path) -> Path:
    """A copy of the program that answers --version with `version`."""
    data = binary.read_bytes()
    current = own_version(binary).encode()
    marker = b"\0" + current + b"\0"
    assert data.count(marker) == 1, "the version text should appear once in the program"
    into.write_bytes(data.replace(marker, b"\0" + version.encode() + b"\0"))
    into.chmod(0o755)
    assert own_version(into) == version
    return into


def install_copy(desktop: Desktop, binary: Path) -> Path:
    folder = desktop.home / "app"
    folder.mkdir()
    installed = folder / "orlette"
    shutil.copy2(binary, installed)
    return installed


def archive_with(desktop: Desktop, program: Path, name: str) -> Path:
    cache = desktop.home / "cache" / "Orlette" / "Actualizaciones"
    cache.mkdir(parents=True, exist_ok=True)
    archive = cache / name
    with tarfile.open(archive, "w:gz") as tar:
        tar.add(program, arcname="orlette-release/orlette")
    return archive


def launch_and_quit(desktop: Desktop, installed: Path) -> None:
    app = desktop.launch(installed)
    desktop.wait_for_window(pid=app.pid, visible=False, timeout=20)
    os.kill(app.pid, signal.SIGTERM)
    assert app.wait(timeout=30) == 0, app.output()


def test_a_waiting_release_is_installed_at_quit(args):
    with Desktop(args.artifacts, "update-install") as desktop:
        installed = install_copy(desktop, Path(args.binary))
        original = installed.read_bytes()
        version = newer(own_version(installed))
        release = program_claiming(installed, version, desktop.home / "new-orlette")
        archive = archive_with(desktop, release, f"Orlette-{version}.tar.gz")
        write_settings(desktop, {"hasSeenTour": "true", "hasSeededWelcomeNotes": "true",
                                 "pendingUpdateArchive": str(archive),
                                 "pendingUpdateVersion": version})

        launch_and_quit(desktop, installed)

        assert installed.read_bytes() == release.read_bytes()
        assert (installed.parent / "orlette.previous").read_bytes() == original
        assert sorted(p.name for p in installed.parent.iterdir()) == [
            "orlette", "orlette.previous"]
        assert not archive.exists()
        assert read_setting(desktop, "pendingUpdateArchive") is None
        assert read_setting(desktop, "updateInstallError") is None
        assert own_version(installed) == version


def test_a_release_that_fails_its_checks_is_told_at_the_next_launch(args):
    with Desktop(args.artifacts, "update-refused") as desktop:
        installed = install_copy(desktop, Path(args.binary))
        original = installed.read_bytes()
        version = newer(own_version(installed))
        # The archive claims a newer version but holds this one.
        archive = archive_with(desktop, installed, f"Orlette-{version}.tar.gz")
        write_settings(desktop, {"hasSeenTour": "true", "hasSeededWelcomeNotes": "true",
                                 "pendingUpdateArchive": str(archive),
                                 "pendingUpdateVersion": version})

        launch_and_quit(desktop, installed)

        assert installed.read_bytes() == original
        assert sorted(p.name for p in installed.parent.iterdir()) == ["orlette"]
        assert read_setting(desktop, "pendingUpdateArchive") is None
        assert version in (read_setting(desktop, "updateInstallError") or "")

        app = desktop.launch(installed)
        desktop.wait_for_window(name="Orlette", pid=app.pid, timeout=20)
        desktop.screenshot("install-error")
        desktop.wait_for(lambda: read_setting(desktop, "updateInstallError") is None,
                         "the error told once", timeout=10)
        app.stop()


def test_a_release_from_the_feed_is_found_verified_and_installed_at_quit(args):
    with Desktop(args.artifacts, "update-feed") as desktop:
        old = own_version(Path(args.binary))
        installed = install_copy(desktop, Path(args.binary))
        current = newer(old)
        program = program_claiming(Path(args.binary), current, desktop.home / "new-orlette")
        served = desktop.home / "served"
        served.mkdir()
        with LoopbackServer(served) as server:
            release, public_key = make_release(desktop, program, server.url("appcast.xml"))
            for name in ("appcast.xml", f"Orlette-{current}.tar.gz"):
                shutil.copy(release / name, served / name)
            write_settings(desktop, {"hasSeenTour": "true", "hasSeededWelcomeNotes": "true",
                                     "updateFeedURL": server.url("appcast.xml"),
                                     "updatePublicKey": public_key})

            # The first start checks at once: no check was ever made.
            app = desktop.launch(installed)
            desktop.wait_for(lambda: read_setting(desktop, "pendingUpdateVersion") == current,
                             "the release found, downloaded and verified", timeout=90)
            desktop.screenshot("found")
            assert f"/Orlette-{current}.tar.gz" in server.requests, server.requests
            assert own_version(installed) == old, "nothing is replaced while Orlette runs"
            os.kill(app.pid, signal.SIGTERM)
            assert app.wait(timeout=30) == 0, app.output()

        assert own_version(installed) == current
        assert own_version(installed.parent / "orlette.previous") == old
        assert read_setting(desktop, "pendingUpdateArchive") is None
        assert read_setting(desktop, "updateInstallError") is None
        # The next start is the new version, and it finds nothing newer.
        app = desktop.launch(installed)
        desktop.wait_for_window(pid=app.pid, visible=False, timeout=20)
        assert app.running(), app.output()
        app.stop()


def test_an_archive_changed_after_signing_is_refused_and_told(args):
    with Desktop(args.artifacts, "update-tampered", session=True) as desktop:
        old = own_version(Path(args.binary))
        installed = install_copy(desktop, Path(args.binary))
        current = newer(old)
        program = program_claiming(Path(args.binary), current, desktop.home / "new-orlette")
        served = desktop.home / "served"
        served.mkdir()
        with LoopbackServer(served) as server:
            release, public_key = make_release(desktop, program, server.url("appcast.xml"))
            shutil.copy(release / "appcast.xml", served / "appcast.xml")
            archive = bytearray((release / f"Orlette-{current}.tar.gz").read_bytes())
            archive[len(archive) // 2] ^= 0x01
            (served / f"Orlette-{current}.tar.gz").write_bytes(bytes(archive))
            # A check was just made, so only the one the person asks for runs.
            write_settings(desktop, {"hasSeenTour": "true", "hasSeededWelcomeNotes": "true",
                                     "updateFeedURL": server.url("appcast.xml"),
                                     "updatePublicKey": public_key,
                                     "lastUpdateCheckDate": "2999-01-01T00:00:00.000Z"})
            app = desktop.launch(installed, "--settings")
            desktop.wait_for_window(name="Ajustes", pid=app.pid, timeout=20)
            desktop.press_accessible(name="Buscar ahora", role="push button")
            desktop.wait_for_accessible(containing="No se pudo buscar una versión nueva",
                                        timeout=30)
            desktop.wait_for_accessible(containing="firma", timeout=5)
            desktop.screenshot("refused")
            assert f"/Orlette-{current}.tar.gz" in server.requests, server.requests
            assert read_setting(desktop, "pendingUpdateArchive") is None
            cache = desktop.home / "cache" / "Orlette" / "Actualizaciones"
            assert not cache.exists() or not any(cache.iterdir()), list(cache.iterdir())
            os.kill(app.pid, signal.SIGTERM)
            assert app.wait(timeout=30) == 0, app.output()
        assert own_version(installed) == old
        assert sorted(p.name for p in installed.parent.iterdir()) == ["orlette"]


if __name__ == "__main__":
    harness.main(globals())
