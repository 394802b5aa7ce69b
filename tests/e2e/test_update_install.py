# SPDX-License-Identifier: GPL-3.0-or-later
"""A checked release waiting in the settings is put in place of the program when Orlette
quits; one that fails its checks is left out and told about at the next launch."""

import os
import shutil
import signal
import subprocess
import tarfile
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


if __name__ == "__main__":
    harness.main(globals())
