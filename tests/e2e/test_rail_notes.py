# SPDX-License-Identifier: GPL-3.0-or-later
"""Working with notes on the rail: the new-note tab creates a note and opens it for
typing, what is typed reaches the store, a click elsewhere closes the card, and dragging
a tab reorders the notes."""

import time

import harness
import railapp
from harness import Desktop

# On an empty rail the new-note tab of the default (right) edge sleeps in the trailing
# slot of the awake layout: 78 wide, 48 high, centred vertically.
PLUS_Y = int(railapp.awake_slots(0)[-1] + 24)


def open_new_note(desktop, rails):
    railapp.wait_for_pointer_hit(desktop, rails.right, 1900, PLUS_Y)
    desktop.xdotool("click", 1)
    return desktop.wait_for(lambda: len(railapp.notes(desktop)) == 1 and
                            railapp.notes(desktop), "the new note in the store")[0]


def test_the_plus_tab_creates_a_note_that_takes_typing(args):
    with Desktop(args.artifacts, "typing") as desktop:
        rails = railapp.launch(desktop, args.binary)
        note = open_new_note(desktop, rails)
        assert note["edgeToken"] == "right" and note["sortIndex"] == 0, note
        assert note["plainText"] == "", note
        desktop.screenshot("opened")

        # The note opened with its editor focused: the rail's panel has the keyboard.
        desktop.wait_for(lambda: desktop.active_window() == rails.right,
                         "the rail to take the keyboard")
        desktop.type_text("Hola desde el borde")
        typed = time.monotonic()
        saved = desktop.wait_for(
            lambda: [n for n in railapp.notes(desktop) if n["plainText"]],
            "the typed text in the store")[0]
        waited = time.monotonic() - typed
        assert saved["id"] == note["id"]
        assert saved["plainText"] == "Hola desde el borde", saved
        rtf = bytes(saved["richText"])
        assert rtf.startswith(b"{\\rtf1"), rtf[:40]
        assert b"Hola desde el borde" in rtf, rtf
        assert saved["updatedAt"] >= note["updatedAt"]
        print(f"text in the store {waited:.2f} s after the last key")
        desktop.screenshot("typed")


def test_a_click_elsewhere_closes_the_open_card(args):
    with Desktop(args.artifacts, "close") as desktop:
        rails = railapp.launch(desktop, args.binary)
        open_new_note(desktop, rails)
        # The open card is about 400 wide and 260 high, level with its tab.
        card_y = int(railapp.awake_slots(1)[0] + 130)
        railapp.wait_for_pointer_hit(desktop, rails.right, 1600, card_y)
        desktop.screenshot("card")

        desktop.click(700, 500)
        railapp.wait_for_pointer_hit(desktop, rails.right, 1600, card_y, expected=False)
        desktop.screenshot("closed")
        # The note stays, empty, on its rail.
        assert len(railapp.notes(desktop)) == 1


def test_a_first_click_on_a_tab_opens_the_note_and_leaves_the_keyboard_alone(args):
    with Desktop(args.artifacts, "firstclick") as desktop:
        railapp.seed(desktop, args.binary, [("Uno", "right", 0)])
        rails = railapp.launch(desktop, args.binary)
        # Another application is in front and has the keyboard.
        desktop.spawn(["xev", "-geometry", "300x200+300+300", "-event", "keyboard"], "xev")
        other = desktop.wait_for_window(name="^Event Tester$")
        desktop.xdotool("windowactivate", "--sync", other)
        desktop.wait_for(lambda: desktop.active_window() == other, "the other window in front")

        top, _ = railapp.asleep_stack(1)
        railapp.wait_for_paper(desktop, 1917, int(top + 13), "the chip at the edge")
        desktop.move(1912, int(top + 13))
        railapp.wait_for_paper(desktop, 1855, 520, "the rail to wake")
        railapp.wait_for_pointer_hit(desktop, rails.right, 1895, 520)
        desktop.xdotool("click", 1)
        card_y = int(railapp.awake_slots(1)[0] + 130)
        railapp.wait_for_pointer_hit(desktop, rails.right, 1600, card_y)
        desktop.screenshot("opened")
        assert desktop.active_window() == other, "a click on a tab does not take the keyboard"


def test_dragging_a_tab_reorders_the_notes(args):
    with Desktop(args.artifacts, "drag") as desktop:
        ids = railapp.seed(desktop, args.binary, [("Uno", "right", 0), ("Dos", "right", 1024),
                                                  ("Tres", "right", 2048)])
        rails = railapp.launch(desktop, args.binary)
        top, _ = railapp.asleep_stack(3)
        slots = railapp.awake_slots(3)
        first_y = int(slots[0] + 40)
        # Wake the rail, then take the first tab.
        railapp.wait_for_paper(desktop, 1917, int(top + 13), "the chips at the edge")
        desktop.move(1912, int(top + 13))
        railapp.wait_for_paper(desktop, 1855, 520, "the rail to wake")
        railapp.wait_for_pointer_hit(desktop, rails.right, 1895, first_y)
        desktop.xdotool("mousedown", 1)
        # Two slots down (109 pt each when awake), in small steps as a hand would.
        for step in range(1, 12):
            desktop.xdotool("mousemove", "--sync", 1895, first_y + step * 20)
            time.sleep(0.02)
        desktop.xdotool("mouseup", 1)
        order = desktop.wait_for(
            lambda: (lambda rows: rows if rows[-1]["id"] == ids[0] else None)(
                sorted(railapp.notes(desktop), key=lambda n: n["sortIndex"])),
            "the dragged note to move last")
        assert [n["id"] for n in order] == [ids[1], ids[2], ids[0]], order
        assert order[-1]["sortIndex"] == 3072, order
        desktop.screenshot("reordered")


if __name__ == "__main__":
    harness.main(globals())
