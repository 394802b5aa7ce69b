# SPDX-License-Identifier: GPL-3.0-or-later
"""The sync reset as a person does it: the settings window reports notes stored twice,
offers "Reiniciar la sincronización…", and once it is confirmed the application closes,
opens again by itself, keeps the old store in a dated backup folder and downloads every
note again from the shared folder, which it leaves as it was."""

import hashlib
import shutil
import sqlite3
import tempfile
import time
from contextlib import closing
from pathlib import Path

import harness
import railapp
from harness import Desktop

SETTINGS = "Ajustes"


def records(shared: Path) -> dict[str, str]:
    return {path.name: hashlib.sha256(path.read_bytes()).hexdigest()
            for path in sorted((shared / "Orlette").rglob("*.json"))}


def test_a_confirmed_reset_restarts_with_a_fresh_copy_of_the_shared_notes(args):
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as folder, \
            Desktop(args.artifacts, "reset", session=True) as desktop:
        shared = Path(folder)
        railapp.mirror_to_folder(desktop, shared)
        ids = railapp.seed(desktop, args.binary, [("Uno", "right", 0), ("Dos", "right", 1024)])
        # A note stored twice, as a faulty mirroring could leave it.
        store = railapp.store_path(desktop)
        with closing(sqlite3.connect(store)) as db, db:
            db.execute("INSERT INTO Note (id, title, plainText, edgeToken, sortIndex, createdAt, "
                       "updatedAt, searchTitle) SELECT id, title, plainText, edgeToken, "
                       "sortIndex + 1, createdAt, updatedAt, searchTitle FROM Note WHERE id = ?",
                       (ids[0],))

        app = desktop.launch(args.binary, "--settings")
        desktop.wait_for(lambda: len(records(shared)) >= 3, "the notes in the shared folder",
                         timeout=30)  # two notes and the format file
        desktop.wait_for_accessible("Notas repetidas:", role="label", window=SETTINGS,
                                    timeout=20)
        desktop.press_accessible("Reiniciar la sincronización…", role="push button",
                                 window=SETTINGS)
        desktop.wait_for_accessible("¿Reiniciar la sincronización?", containing=None)
        desktop.screenshot("confirm")
        before = records(shared)
        desktop.press_accessible("Reiniciar y reabrir", role="push button")

        # The old instance ends by itself and a new one takes over.
        app.wait(15)
        backups = desktop.wait_for(
            lambda: list((store.parent / "Respaldos").glob("almacen-*/default.store")),
            "the backup of the old store", timeout=20)
        assert len(backups) == 1, backups
        assert backups[0].parent.name[len("almacen-"):].replace("-", "").isdigit()

        def refilled():
            rows = railapp.notes(desktop)
            return rows if sorted(n["id"] for n in rows) == sorted(ids) else None

        rows = desktop.wait_for(refilled, "every note downloaded again, once", timeout=60)
        assert sorted(n["title"] for n in rows) == ["Dos", "Uno"], rows
        with closing(sqlite3.connect(f"file:{backups[0]}?mode=ro", uri=True)) as db:
            assert db.execute("SELECT count(*) FROM Note").fetchone()[0] == 3, "the old store kept"

        # The new instance shows its settings window again, with nothing repeated.
        desktop.wait_for_accessible("Sincronizar ahora", role="push button", window=SETTINGS,
                                    timeout=20)
        time.sleep(2)
        assert not desktop.find_accessible("Reiniciar la sincronización…"), \
            "no repeated notes after the reset"
        desktop.screenshot("after-reset")
        assert records(shared) == before, "nothing in the shared folder was touched"
        settings_text = (desktop.home / "config" / "Orlette" / "Orlette.conf").read_text()
        assert "reiniciarSincronizacion=true" not in settings_text


EMPTIED = ("Las notas han desaparecido del destino. Las de este ordenador siguen aquí, "
           "sin tocar.")
FOLDER_GONE = ("La carpeta Orlette ya no está en el destino. Las notas de este ordenador "
               "siguen aquí, sin tocar.")
SEND_AGAIN = "Volver a subir las notas de este ordenador…"


def note_files(shared: Path) -> list[str]:
    folder = shared / "Orlette" / "notes"
    return sorted(p.name for p in folder.glob("*.json")) if folder.exists() else []


def send_again(desktop: Desktop, message: str) -> None:
    """Waits for `message`, checks that the reset is not what is offered, and sends the
    notes again through the offered button and its confirmation."""
    desktop.wait_for_accessible(message, role="label", window=SETTINGS, timeout=30)
    assert not desktop.find_accessible("Reiniciar la sincronización…", role="push button"), \
        "the reset is not offered for a target that lost the notes"
    desktop.screenshot("told")
    desktop.press_accessible(SEND_AGAIN, role="push button", window=SETTINGS)
    desktop.wait_for_accessible("¿Volver a subir las notas de este ordenador?", containing=None)
    desktop.press_accessible("Volver a subir", role="push button")


def test_an_emptied_or_lost_shared_folder_is_told_and_filled_again_without_a_reset(args):
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as folder, \
            Desktop(args.artifacts, "send-again", session=True) as desktop:
        shared = Path(folder)
        railapp.mirror_to_folder(desktop, shared)
        ids = railapp.seed(desktop, args.binary, [("Uno", "right", 0), ("Dos", "right", 1024)])
        expected = sorted(f"{i}.json" for i in ids)
        app = desktop.launch(args.binary, "--settings")
        desktop.wait_for(lambda: note_files(shared) == expected, "the notes in the folder",
                         timeout=30)
        desktop.wait_for_accessible("Al día", role="label", window=SETTINGS, timeout=30)

        # Another program empties the notes folder: told, nothing deleted here.
        for name in note_files(shared):
            (shared / "Orlette" / "notes" / name).unlink()
        send_again(desktop, EMPTIED)
        desktop.wait_for(lambda: note_files(shared) == expected, "the notes sent again",
                         timeout=30)
        desktop.wait_for_accessible("Al día", role="label", window=SETTINGS, timeout=30)
        assert sorted(n["id"] for n in railapp.notes(desktop)) == sorted(ids)

        # The whole folder goes; after a restart the set-up says the same, in its words.
        app.stop()
        shutil.rmtree(shared / "Orlette")
        app = desktop.launch(args.binary, "--settings")
        send_again(desktop, FOLDER_GONE)
        desktop.wait_for(lambda: note_files(shared) == expected
                         and (shared / "Orlette" / "format.json").exists(),
                         "the folder made anew with the notes", timeout=30)
        desktop.wait_for_accessible("Al día", role="label", window=SETTINGS, timeout=30)
        assert sorted(n["id"] for n in railapp.notes(desktop)) == sorted(ids)
        assert not (railapp.store_path(desktop).parent / "Respaldos").exists(), "no reset ran"
        app.stop()


if __name__ == "__main__":
    harness.main(globals())
