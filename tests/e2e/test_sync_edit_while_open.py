# SPDX-License-Identifier: GPL-3.0-or-later
"""An edit that arrives from another computer while a note is open in its editor here is
kept: typing into the open editor afterwards must not write the older text over it. Found
by the mirroring soak (a saved edit missing on every computer, with no conflict copy)."""

import random
import tempfile
from contextlib import ExitStack
from pathlib import Path

import harness
import soak
from harness import Desktop
from test_sync_soak import SharedFolder


def test_an_edit_arriving_while_the_note_is_open_here_is_not_overwritten(args):
    with tempfile.TemporaryDirectory(prefix="orlette-shared-") as root, ExitStack() as stack:
        target = SharedFolder(Path(root))
        here, there = (stack.enter_context(Desktop(args.artifacts, name, session=True,
                                                   compositor=False))
                       for name in ("open-here", "open-there"))
        a = soak.Computer(here, args.binary, target)
        b = soak.Computer(there, args.binary, target)
        assert a.new_note("lista")
        there.wait_for(lambda: soak.holds(there, "lista"), "the note on the other computer",
                       timeout=30)

        # Open here, in place, with its editor.
        rng = random.Random(0)
        assert a.point_at_note(rng)
        here.xdotool("click", 1)
        editor = here.wait_for_accessible(role="text", containing="lista", timeout=10)

        # Edited and saved there; it reaches this store while the editor is still open.
        assert b.edit(rng, "pan")
        here.wait_for(lambda: soak.holds(here, "pan"), "the other edit in this store",
                      timeout=30)

        # Typing here afterwards.
        here.press(editor)
        here.key("ctrl+End")
        assert a.type_and_wait(" leche")
        a.close_cards()

        final = here.wait_for(lambda: soak.agreement([a, b]), "both stores to agree",
                              timeout=60)
        texts = [text for _id, text, *_ in final]
        assert all(soak.holds(c.desktop, "leche") for c in (a, b)), texts
        assert all(soak.holds(c.desktop, "pan") for c in (a, b)), \
            f"the edit made on the other computer is gone: {texts}"


if __name__ == "__main__":
    harness.main(globals())
