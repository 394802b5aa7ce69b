# SPDX-License-Identifier: GPL-3.0-or-later
"""The sync reset as a person does it: the settings window reports notes stored twice,
offers "Reiniciar la sincronización…", and once it is confirmed the application closes,
opens again by itself, keeps the old store in a dated backup folder and downloads every
note again from the shared folder, which it leaves as it was."""

import hashlib
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
        settings = desktop.home / "config" / "Orlette" / "Orlette.conf"
        settings.parent.mkdir(parents=True, exist_ok=True)
        settings.write_text("[General]\nhasSeenTour=true\nhasSeededWelcomeNotes=true\n"
                            f"syncTargetKind=folder\nsyncFolder={shared}\n")
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
        settings_text = settings.read_text()
        assert "reiniciarSincronizacion=true" not in settings_text


if __name__ == "__main__":
    harness.main(globals())
