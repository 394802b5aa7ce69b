# SPDX-License-Identifier: GPL-3.0-or-later
"""Private by default: what Orlette keeps on disk is its owner's only (folders 0700, files
0600) whatever the umask, on a first start, after a sync reset and for an install made
before; the single-instance socket is the user's only even without a runtime folder; and
no log of a run holds a note's text or a password."""

import hashlib
import os
import shutil
import stat
import subprocess
from pathlib import Path

import harness
import railapp
import test_sync_webdav as webdav_steps
from harness import Desktop
from webdav import WebDavServer

SETTLED = "[General]\nhasSeenTour=true\nhasSeededWelcomeNotes=true\n"
MARKER = "ciruela-marcadora-7731"
# Nobody: the account a start under another user stands for.
NOBODY = 65534


class Umask:
    """The umask the programs started inside the block inherit."""

    def __init__(self, mask: int):
        self.mask = mask

    def __enter__(self):
        self.old = os.umask(self.mask)

    def __exit__(self, *_exc):
        os.umask(self.old)


def folders(desktop: Desktop) -> list[Path]:
    return [desktop.home / "data" / "Orlette", desktop.home / "config" / "Orlette"]


def modes(desktop: Desktop) -> list[tuple[int, Path]]:
    """Every folder and file Orlette keeps, with its permission bits, written to the
    artifacts as `stat -c '%a %n'` would print them."""
    found = []
    for folder in folders(desktop):
        for path in [folder, *sorted(folder.rglob("*"))]:
            try:
                found.append((stat.S_IMODE(path.lstat().st_mode), path))
            except FileNotFoundError:
                pass  # the lock of a settings write, gone again
    listing = "".join(f"{mode:o} {path.relative_to(desktop.home)}\n" for mode, path in found)
    (desktop.artifacts / "modes.txt").write_text(listing)
    return found


def assert_owner_only(desktop: Desktop) -> list[tuple[int, Path]]:
    found = modes(desktop)
    loose = [f"{mode:o} {path}" for mode, path in found
             if not path.is_symlink() and mode != (0o700 if path.is_dir() else 0o600)]
    assert not loose, "open to other accounts:\n" + "\n".join(loose)
    return found


def store_files_exist(desktop: Desktop) -> bool:
    store = railapp.store_path(desktop)
    return all(Path(f"{store}{suffix}").exists() for suffix in ("", "-wal", "-shm"))


def instance_socket(desktop: Desktop, folder: Path) -> Path:
    """Where the instance of this desktop's data folder listens, inside `folder`."""
    data = str(desktop.home / "data" / "Orlette")
    digest = hashlib.sha1(data.encode()).hexdigest()[:16]
    return folder / f"orlette-{os.getuid()}-{digest}"


def test_a_first_start_and_a_sync_reset_keep_everything_for_the_owner(args):
    with Umask(0o022), Desktop(args.artifacts, "first-start") as desktop:
        # A real first start: the tour, the welcome notes and their key-value flag.
        app = desktop.launch(args.binary, env={"ORLETTE_WELCOME_DELAY_MS": "0"})
        data, config = folders(desktop)
        desktop.wait_for(lambda: len(railapp.notes(desktop)) >= 3, "the welcome notes",
                         timeout=30)
        desktop.wait_for(lambda: (data / "keyvalues.json").exists()
                         and (config / "Orlette.conf").exists() and store_files_exist(desktop),
                         "the key-value file, the settings and the store's companions")
        found = assert_owner_only(desktop)
        print("after a first start with umask 022:")
        for mode, path in found:
            print(f"  {mode:o} {path.relative_to(desktop.home)}")
        app.stop()

        # A sync reset moves the store into a dated backup folder at the next start.
        settings = config / "Orlette.conf"
        settings.write_text(settings.read_text().replace(
            "[General]\n", "[General]\nreiniciarSincronizacion=true\n", 1))
        desktop.launch(args.binary)
        backups = data / "Respaldos"
        desktop.wait_for(lambda: list(backups.glob("almacen-*/default.store"))
                         and store_files_exist(desktop), "the backup and a fresh store",
                         timeout=20)
        assert_owner_only(desktop)


def test_an_earlier_install_is_narrowed_and_an_unnarrowable_store_still_opens(args):
    with Umask(0o022), Desktop(args.artifacts, "earlier-install") as desktop:
        data, config = folders(desktop)
        backup = data / "Respaldos" / "almacen-20250101-120000"
        backup.mkdir(parents=True, mode=0o755)
        config.mkdir(mode=0o755)
        for folder in (data, data / "Respaldos", backup, config):
            folder.chmod(0o755)
        # As a start made before left them: readable by everyone (an empty store file is
        # one SQLite had just made).
        for path, text in ((backup / "default.store", "copia"), (data / "keyvalues.json", "{}"),
                           (config / "Orlette.conf", SETTLED), (railapp.store_path(desktop), "")):
            path.write_text(text)
            path.chmod(0o644)
        app = desktop.launch(args.binary)
        desktop.wait_for(lambda: store_files_exist(desktop), "the store to open", timeout=20)
        assert_owner_only(desktop)
        app.stop()

        if os.geteuid() != 0 or shutil.which("setpriv") is None:
            print("skipped the store of another account: needs root and setpriv")
            return
        # The store as a start under another account could leave it: read and write for
        # all, but not ours to change. Root without CAP_FOWNER is an ordinary owner.
        store = railapp.store_path(desktop)
        for path in (store, Path(f"{store}-wal"), Path(f"{store}-shm")):
            if path.exists():
                os.chown(path, NOBODY, NOBODY)
                path.chmod(0o666)
        limited = desktop.spawn(["setpriv", "--bounding-set", "-fowner", "--",
                                 str(args.binary)], "orlette-limited")
        # It must be the instance that the note is handed to.
        listening = instance_socket(desktop, desktop.home / "runtime")
        desktop.wait_for(lambda: listening.exists() and limited.running(),
                         "the limited start to listen", timeout=20)
        # Still the store on disk: a new note lands in the file.
        # (Every start narrows what it can, so the one handing the note over is limited too.)
        before = len(railapp.notes(desktop))
        desktop.spawn(["setpriv", "--bounding-set", "-fowner", "--", str(args.binary),
                       "--new-note"], "orlette-new-note")
        desktop.wait_for(lambda: len(railapp.notes(desktop)) == before + 1, "the new note",
                         timeout=20)
        warning = f"{store} queda al alcance de otras cuentas"
        assert limited.output().count(warning) == 1, limited.output()
        assert stat.S_IMODE(store.stat().st_mode) == 0o666


def test_without_a_runtime_folder_only_the_user_reaches_the_instance_socket(args):
    with Umask(0), Desktop(args.artifacts, "no-runtime") as desktop:
        railapp.settle_first_launch(desktop)
        no_runtime = {"XDG_RUNTIME_DIR": ""}
        desktop.launch(args.binary, env=no_runtime)
        uid = os.getuid()
        temporary = Path(os.environ.get("TMPDIR") or "/tmp")
        name = instance_socket(desktop, temporary).name
        # Where it belongs, or (as before) loose in the shared temporary folder.
        candidates = [temporary / f"orlette-{uid}" / name, temporary / name]
        path = desktop.wait_for(
            lambda: next((p for p in candidates
                          if p.exists() and stat.S_ISSOCK(p.lstat().st_mode)), None),
            "the instance socket", timeout=20)
        folder = path.parent
        info = folder.lstat()
        socket_mode = stat.S_IMODE(path.lstat().st_mode)
        print(f"{socket_mode:o} {path}\n{stat.S_IMODE(info.st_mode):o} {folder}")
        assert stat.S_ISDIR(info.st_mode) and info.st_uid == uid, folder
        assert stat.S_IMODE(info.st_mode) == 0o700, f"{folder} is {info.st_mode:o}"
        assert socket_mode & 0o077 == 0, f"{path} is {socket_mode:o}"

        # A second start of the same user still hands over to the first.
        second = desktop.launch(args.binary, "--library", env=no_runtime)
        assert second.wait(15) == 0
        desktop.wait_for_window(name="Biblioteca", timeout=15)

        if os.geteuid() == 0 and shutil.which("setpriv"):
            # Another account cannot even reach it.
            probe = subprocess.run(
                ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups",
                 "python3", "-c",
                 "import socket, sys\n"
                 "s = socket.socket(socket.AF_UNIX)\n"
                 "try:\n"
                 f"    s.connect({str(path)!r})\n"
                 "except PermissionError:\n"
                 "    sys.exit(3)\n"],
                capture_output=True, text=True, timeout=10)
            assert probe.returncode == 3, (probe.returncode, probe.stderr)


def test_no_log_holds_a_note_or_a_password(args):
    wrong = "pan-sin-tomate-4410"
    with Desktop(args.artifacts, "log-secrets", session=True) as desktop, \
            WebDavServer(desktop.artifacts / "apache", webdav_steps.USER,
                         webdav_steps.PASSWORD) as server:
        webdav_steps.open_settings(desktop, args.binary)
        settings = webdav_steps.SETTINGS
        desktop.press_accessible(role="combo box", name="Ninguno", window=settings)
        desktop.press_accessible("Un servidor WebDAV", role="list item")
        webdav_steps.fill(desktop, "Dirección:", server.url)
        webdav_steps.fill(desktop, "Usuario:", webdav_steps.USER)
        # A refused password first: the failure goes to the sync log.
        webdav_steps.save_password(desktop, wrong)
        webdav_steps.wait_for_status(desktop, "Detenida", webdav_steps.SIGNED_OUT)
        webdav_steps.save_password(desktop, webdav_steps.PASSWORD)
        webdav_steps.wait_for_status(desktop, "Al día")
        webdav_steps.new_note(desktop, args.binary, MARKER)
        desktop.wait_for(lambda: webdav_steps.server_has(server, MARKER),
                         "the note on the server", timeout=30)
        # The scan does read the application's log: its sync failures name the server.
        assert desktop.logs_showing(server.url), "the application's log was not found"
        desktop.assert_logs_never_show(MARKER, webdav_steps.PASSWORD, wrong)


if __name__ == "__main__":
    harness.main(globals())
