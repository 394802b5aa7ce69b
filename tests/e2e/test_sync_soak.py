# SPDX-License-Identifier: GPL-3.0-or-later
"""The randomized soak of the mirroring (soak.py) on a shared folder: three computers, and
the folder taken away (renamed, as an unplugged drive or a cloud client that lost it) and
brought back.

    ORLETTE_SOAK_SECONDS  how long the random part runs (150 by default)
    ORLETTE_SOAK_SEED     the seed of the random choices (printed; random by default)
"""

import tempfile
from contextlib import ExitStack
from pathlib import Path

import harness
import railapp
import soak
from harness import Desktop


class SharedFolder:
    def __init__(self, root: Path):
        self.folder = root / "nube"
        self.away = root / "fuera"
        self.folder.mkdir()

    def prepare(self, desktop: Desktop) -> None:
        railapp.mirror_to_folder(desktop, self.folder)

    def set_up(self, computer: soak.Computer) -> None:
        pass  # nothing more than the settings

    def take_away(self) -> None:
        self.folder.rename(self.away)

    def bring_back(self) -> None:
        self.away.rename(self.folder)


def test_random_edits_kills_and_outages_lose_no_saved_edit(args):
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as root, ExitStack() as stack:
        soak.run(args, "folder", 3, 150, SharedFolder(Path(root)), stack)


if __name__ == "__main__":
    harness.main(globals())
