# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints, as JSON, what the desktop's accessibility bus shows of one application: every
showing object with its role, name, text, states and place on the screen.

Run by the harness with Debian's own python3, which has the AT-SPI bindings
(python3-pyatspi); the test scripts themselves may run under another interpreter.

    /usr/bin/python3 a11y_probe.py APPLICATION
"""

import json
import sys

import pyatspi

_STATES = {
    "enabled": pyatspi.STATE_ENABLED,
    "focused": pyatspi.STATE_FOCUSED,
    "checked": pyatspi.STATE_CHECKED,
    "selected": pyatspi.STATE_SELECTED,
    "active": pyatspi.STATE_ACTIVE,
}
_MAX_NODES = 5000


def _text(node) -> str:
    try:
        text = node.queryText()
    except NotImplementedError:
        return ""
    return text.getText(0, -1)


def _walk(node, window, out: list) -> None:
    """`window` is the title of the top-level window above `node`, None for one."""
    if len(out) >= _MAX_NODES:
        return
    try:
        _visit(node, window, out)
    except Exception:  # an object that went away while being read
        pass


def _visit(node, window, out: list) -> None:
    states = node.getState()
    if not states.contains(pyatspi.STATE_SHOWING):
        return
    role = node.getRoleName()
    toplevel = window is None
    if toplevel or role in ("dialog", "alert"):
        window = node.name
    extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    out.append({
        "role": role,
        "name": node.name,
        "text": _text(node),
        "window": window,
        "toplevel": toplevel,
        "states": [name for name, state in _STATES.items() if states.contains(state)],
        "x": extents.x, "y": extents.y, "width": extents.width, "height": extents.height,
    })
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            _walk(child, window, out)


def main() -> None:
    wanted = sys.argv[1].lower()
    desktop = pyatspi.Registry.getDesktop(0)
    out: list = []
    for index in range(desktop.childCount):
        application = desktop.getChildAtIndex(index)
        if application is None or application.name.lower() != wanted:
            continue
        for child_index in range(application.childCount):
            child = application.getChildAtIndex(child_index)
            if child is not None:
                _walk(child, None, out)
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main()
