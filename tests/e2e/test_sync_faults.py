# SPDX-License-Identifier: GPL-3.0-or-later
"""The mirroring survives a computer that dies in the middle of a pass: the real application
is killed (SIGKILL, no chance to tidy up) while it writes its notes into the shared folder or
while it takes them in from there, and after a restart every note is there exactly once, on
both sides."""

import json
import os
import signal
import tempfile
import time
from pathlib import Path

import harness
import railapp
from harness import Desktop, HarnessError

NOTE_COUNT = 300
TEMPORARY_PREFIX = ".orlette-"


def prepare(desktop: Desktop, shared: Path) -> None:
    railapp.mirror_to_folder(desktop, shared)


def seed_notes(desktop: Desktop, binary: Path, shared: Path) -> list[str]:
    """A computer whose store holds NOTE_COUNT notes it never mirrored, set to mirror."""
    entries = [(f"nota {index:03d}", "left" if index % 2 else "right", float(index))
               for index in range(NOTE_COUNT)]
    ids = railapp.seed(desktop, binary, entries)
    prepare(desktop, shared)
    return ids


def store_ids(desktop: Desktop) -> list[str]:
    """Every note id of the store, repeated ones included."""
    return [row["id"] for row in railapp.query(desktop, "SELECT id FROM Note")]


def pending_imports(desktop: Desktop) -> int:
    """Records whose import was begun but not yet confirmed."""
    counted = railapp.query(
        desktop, "SELECT count(*) AS pending FROM syncState WHERE pending IS NOT NULL")
    return counted[0]["pending"] if counted else 0


def notes_folder(shared: Path) -> Path:
    return shared / "Orlette" / "notes"


def record_files(shared: Path) -> list[str]:
    """Names of the record files in the folder (temporary files of a write excluded)."""
    try:
        names = os.listdir(notes_folder(shared))
    except FileNotFoundError:
        return []
    return [name for name in names if not name.startswith(TEMPORARY_PREFIX)]


def remote_ids(shared: Path) -> list[str]:
    """The note id of every record file, read from its content."""
    ids = []
    for name in record_files(shared):
        data = json.loads((notes_folder(shared) / name).read_text())
        assert name == f"{data['recordName']}.json", f"{name} holds {data['recordName']}"
        ids.append(data["recordName"])
    return ids


def kill(process: harness.Process) -> None:
    os.killpg(process.pid, signal.SIGKILL)
    process.wait()


def wait_until_steady(desktop: Desktop, read, expected, what: str, timeout: float,
                      quiet: float = 2.0):
    """Waits until `read()` gives `expected` and still does `quiet` seconds later (a
    duplicate or a loss that comes late counts)."""
    desktop.wait_for(lambda: read() == expected, what, timeout=timeout)
    time.sleep(quiet)
    value = read()
    assert value == expected, f"{what}: changed after settling to {value!r}"


def assert_each_once(ids: list[str], expected: list[str], where: str) -> None:
    duplicates = sorted({i for i in ids if ids.count(i) > 1})
    assert not duplicates, f"{where}: {len(duplicates)} notes twice, e.g. {duplicates[:3]}"
    missing = sorted(set(expected) - set(ids))
    assert not missing, f"{where}: {len(missing)} notes lost, e.g. {missing[:3]}"
    extra = sorted(set(ids) - set(expected))
    assert not extra, f"{where}: {len(extra)} unknown notes, e.g. {extra[:3]}"


def export_cut_short(args, written: int) -> None:
    """A is killed once `written` record files are in the folder: before the first batch
    of confirmations (1) or between two batches (150)."""
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as folder, \
            Desktop(args.artifacts, f"computer-a-{written}", compositor=False) as a, \
            Desktop(args.artifacts, f"computer-b-{written}", compositor=False) as b:
        shared = Path(folder)
        ids = seed_notes(a, args.binary, shared)
        started = time.monotonic()
        app = a.launch(args.binary)

        deadline = time.monotonic() + 30
        while len(record_files(shared)) < written:
            if not app.running():
                raise HarnessError(f"orlette ended early:\n{app.output()}")
            if time.monotonic() > deadline:
                raise HarnessError("no record file reached the folder")
            time.sleep(0.002)
        kill(app)
        at_kill = len(record_files(shared))
        leftovers = [n for n in os.listdir(notes_folder(shared)) if n.startswith(TEMPORARY_PREFIX)]
        print(f"export killed with {at_kill} of {NOTE_COUNT} records written, "
              f"{len(leftovers)} temporary files left")
        assert_each_once(store_ids(a), ids, "A's store after the kill")

        a.launch(args.binary)
        wait_until_steady(a, lambda: sorted(record_files(shared)),
                          sorted(f"{i}.json" for i in ids),
                          "one record file per note in the folder", timeout=30)
        assert_each_once(remote_ids(shared), ids, "the shared folder")
        assert_each_once(store_ids(a), ids, "A's store after the restart")
        print(f"export finished after the restart in {time.monotonic() - started:.1f} s")

        prepare(b, shared)
        b.launch(args.binary)
        wait_until_steady(b, lambda: len(store_ids(b)), NOTE_COUNT, "B's import", timeout=30)
        assert_each_once(store_ids(b), ids, "B's store")
        assert_each_once(remote_ids(shared), ids, "the shared folder after B")


def test_an_export_cut_at_its_first_records_loses_and_doubles_nothing(args):
    export_cut_short(args, 1)


def test_an_export_cut_halfway_loses_and_doubles_nothing(args):
    export_cut_short(args, NOTE_COUNT // 2)


def import_cut_short(args, when: str) -> None:
    """B is killed the moment its import shows: `when` is "intents" (the records it is
    about to take in are noted, the store may not hold them yet) or "notes" (they reached
    the store, their confirmation may not have)."""
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as folder, \
            Desktop(args.artifacts, f"computer-a-{when}", compositor=False) as a, \
            Desktop(args.artifacts, f"computer-b-{when}", compositor=False) as b:
        shared = Path(folder)
        ids = seed_notes(a, args.binary, shared)
        app_a = a.launch(args.binary)
        a.wait_for(lambda: len(record_files(shared)) == NOTE_COUNT, "A's export", timeout=30)
        app_a.stop()
        assert_each_once(remote_ids(shared), ids, "the shared folder")

        prepare(b, shared)
        started = time.monotonic()
        app_b = b.launch(args.binary)
        shows = (lambda: pending_imports(b)) if when == "intents" else (lambda: store_ids(b))
        deadline = time.monotonic() + 30
        while not shows():
            if not app_b.running():
                raise HarnessError(f"orlette ended early:\n{app_b.output()}")
            if time.monotonic() > deadline:
                raise HarnessError("B's import did not begin")
            time.sleep(0.002)
        kill(app_b)
        partial = store_ids(b)
        print(f"import killed at its {when}: {len(partial)} notes in B's store, "
              f"{pending_imports(b)} records pending")
        assert len(partial) == len(set(partial)), "no note twice even right after the kill"

        b.launch(args.binary)
        wait_until_steady(b, lambda: len(store_ids(b)), NOTE_COUNT, "B's import", timeout=30)
        assert_each_once(store_ids(b), ids, "B's store after the restart")
        assert pending_imports(b) == 0, "the cut import is settled"
        assert_each_once(remote_ids(shared), ids, "the shared folder after B")
        print(f"import finished after the restart in {time.monotonic() - started:.1f} s")


def test_an_import_cut_before_its_notes_are_stored_loses_and_doubles_nothing(args):
    import_cut_short(args, "intents")


def test_an_import_cut_once_its_notes_are_stored_loses_and_doubles_nothing(args):
    import_cut_short(args, "notes")


if __name__ == "__main__":
    harness.main(globals())
