# SPDX-License-Identifier: GPL-3.0-or-later
"""The desktops people run, on a virtual X server: each window manager (and compositor)
as its Debian package starts it with default settings, and the rail gesture checked on
each of them by the desktop matrix tests."""

from __future__ import annotations

import ctypes
import ctypes.util
import re
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable

import railapp
from harness import Desktop, HarnessError

# --------------------------------------------------------------------------- Xlib


class _XClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("client", _XClientMessage), ("pad", ctypes.c_long * 24)]


class Xlib:
    """A small connection of the test's own to the desktop's display, for what the
    command-line tools cannot do: asking who owns a selection, sending a window manager
    request, and keeping a dock window with struts."""

    def __init__(self, display: str):
        self.lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.lib.XOpenDisplay.restype = ctypes.c_void_p
        self.lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.lib.XInternAtom.restype = ctypes.c_ulong
        self.lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.lib.XGetSelectionOwner.restype = ctypes.c_ulong
        self.lib.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.lib.XDefaultRootWindow.restype = ctypes.c_ulong
        self.lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.lib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                        ctypes.c_long, ctypes.POINTER(_XEvent)]
        self.lib.XCreateSimpleWindow.restype = ctypes.c_ulong
        self.lib.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + \
            [ctypes.c_int] * 2 + [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
        self.lib.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                             ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                             ctypes.c_void_p, ctypes.c_int]
        self.lib.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.lib.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.lib.XFlush.argtypes = [ctypes.c_void_p]
        self.lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.lib.XGetImage.restype = ctypes.c_void_p
        self.lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                       ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                       ctypes.c_ulong, ctypes.c_int]
        self.lib.XGetPixel.restype = ctypes.c_ulong
        self.lib.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.lib.XDestroyImage.argtypes = [ctypes.c_void_p]
        self.lib.XWarpPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong] + \
            [ctypes.c_int] * 2 + [ctypes.c_uint] * 2 + [ctypes.c_int] * 2
        self.lib.XQueryPointer.restype = ctypes.c_int
        self.lib.XQueryPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + \
            [ctypes.POINTER(ctypes.c_ulong)] * 2 + [ctypes.POINTER(ctypes.c_int)] * 4 + \
            [ctypes.POINTER(ctypes.c_uint)]
        self.lib.XQueryTree.restype = ctypes.c_int
        self.lib.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + \
            [ctypes.POINTER(ctypes.c_ulong)] * 2 + \
            [ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)), ctypes.POINTER(ctypes.c_uint)]
        self.lib.XFree.argtypes = [ctypes.c_void_p]
        self.display = self.lib.XOpenDisplay(display.encode())
        if not self.display:
            raise HarnessError(f"cannot open {display}")
        self.root = self.lib.XDefaultRootWindow(self.display)

    def close(self) -> None:
        if self.display:
            self.lib.XCloseDisplay(self.display)
            self.display = None

    def atom(self, name: str) -> int:
        return self.lib.XInternAtom(self.display, name.encode(), 0)

    def selection_owner(self, name: str) -> int:
        return self.lib.XGetSelectionOwner(self.display, self.atom(name))

    def maximize(self, window: int) -> None:
        event = _XEvent()
        event.client.type = 33  # ClientMessage
        event.client.window = window
        event.client.message_type = self.atom("_NET_WM_STATE")
        event.client.format = 32
        event.client.data[0] = 1  # add
        event.client.data[1] = self.atom("_NET_WM_STATE_MAXIMIZED_VERT")
        event.client.data[2] = self.atom("_NET_WM_STATE_MAXIMIZED_HORZ")
        event.client.data[3] = 1
        # SubstructureRedirect | SubstructureNotify
        self.lib.XSendEvent(self.display, self.root, 0, (1 << 20) | (1 << 19),
                            ctypes.byref(event))
        self.lib.XSync(self.display, 0)

    def dock_with_strut(self, x: int, y: int, width: int, height: int,
                        strut: list[int]) -> int:
        """Maps a dock window (a panel) reserving `strut` (_NET_WM_STRUT_PARTIAL's twelve
        values); it lives as long as this connection."""
        window = self.lib.XCreateSimpleWindow(self.display, self.root, x, y, width, height,
                                              0, 0, 0x404040)
        values = (ctypes.c_ulong * 12)(*strut)
        self.lib.XChangeProperty(self.display, window, self.atom("_NET_WM_STRUT_PARTIAL"),
                                 6, 32, 0, values, 12)  # CARDINAL, replace
        dock = (ctypes.c_ulong * 1)(self.atom("_NET_WM_WINDOW_TYPE_DOCK"))
        self.lib.XChangeProperty(self.display, window, self.atom("_NET_WM_WINDOW_TYPE"),
                                 4, 32, 0, dock, 1)  # ATOM, replace
        self.lib.XMapWindow(self.display, window)
        self.lib.XSync(self.display, 0)
        return window

    def pixels(self, x: int, y: int, width: int, height: int) -> dict:
        """The screen's pixels in a rectangle by position, 8 bits per channel (a 24-bit
        screen). Much faster than a screenshot tool on a large screen, which reads it all."""
        all_planes, z_pixmap = ~0 & 0xFFFFFFFFFFFFFFFF, 2
        image = self.lib.XGetImage(self.display, self.root, x, y, width, height, all_planes,
                                   z_pixmap)
        if not image:
            raise HarnessError(f"cannot read the screen at {width}x{height}+{x}+{y}")
        try:
            result = {}
            for row in range(height):
                for column in range(width):
                    value = self.lib.XGetPixel(image, column, row)
                    result[(x + column, y + row)] = ((value >> 16) & 0xFF, (value >> 8) & 0xFF,
                                                     value & 0xFF)
            return result
        finally:
            self.lib.XDestroyImage(image)

    def click_target(self, x: int, y: int) -> int:
        """Moves the pointer to (x, y) and returns the window a click there would go to:
        the deepest window under the pointer, where at every level (the window manager's
        frame, then the client) the input shapes as the server holds them now count."""
        self.lib.XWarpPointer(self.display, 0, self.root, 0, 0, 0, 0, x, y)
        window = self.root
        root, child = ctypes.c_ulong(), ctypes.c_ulong()
        coordinates = [ctypes.c_int() for _ in range(4)]
        mask = ctypes.c_uint()
        while True:
            # On the same connection as the move, so the server has made it by now.
            if not self.lib.XQueryPointer(self.display, window, ctypes.byref(root),
                                          ctypes.byref(child),
                                          *[ctypes.byref(c) for c in coordinates],
                                          ctypes.byref(mask)) or not child.value:
                return window
            window = child.value

    def parent(self, window: int) -> int:
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children = ctypes.POINTER(ctypes.c_ulong)()
        count = ctypes.c_uint()
        if not self.lib.XQueryTree(self.display, window, ctypes.byref(root), ctypes.byref(parent),
                                   ctypes.byref(children), ctypes.byref(count)):
            return 0
        if children:
            self.lib.XFree(children)
        return parent.value

    def destroy(self, window: int) -> None:
        self.lib.XDestroyWindow(self.display, window)
        self.lib.XSync(self.display, 0)


# --------------------------------------------------------------------------- set-ups


def start_bus(desktop: Desktop) -> dict[str, str]:
    """A D-Bus session of the desktop's own (kwin and mutter need one); returns the
    environment that names it. Its services see the desktop's display."""
    socket = desktop.home / "runtime" / "bus"
    desktop.spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                   f"--address=unix:path={socket}"], "dbus-daemon")
    desktop.wait_for(socket.exists, "the session bus to start")
    return {"DBUS_SESSION_BUS_ADDRESS": f"unix:path={socket}", "NO_AT_BRIDGE": "1"}


def wait_for_window_manager(desktop: Desktop, timeout: float = 30) -> None:
    desktop.wait_for(lambda: "window id #" in desktop.xprop_root("_NET_SUPPORTING_WM_CHECK"),
                     "the window manager to start", timeout)


def wait_for_compositor(desktop: Desktop, timeout: float = 30) -> None:
    x = Xlib(desktop.display)
    try:
        desktop.wait_for(lambda: x.selection_owner("_NET_WM_CM_S0"),
                         "the compositor to take _NET_WM_CM_S0", timeout)
    finally:
        x.close()


@dataclass
class Setup:
    """One desktop of the matrix: how to start its window manager and compositor."""
    name: str
    start: Callable[[Desktop, dict], None]
    size: tuple[int, int] = (1600, 1000)
    scale: int = 1
    # Texts in a program's log that mean it flagged or refused one of our requests.
    complaints: dict[str, list[str]] = field(default_factory=dict)


def _openbox(desktop: Desktop, env: dict) -> None:
    desktop.spawn(["openbox", "--sm-disable"], "openbox", env)
    wait_for_window_manager(desktop)


def openbox_xcompmgr(desktop: Desktop, env: dict) -> None:
    _openbox(desktop, env)
    desktop.spawn(["xcompmgr", "-n"], "xcompmgr", env)
    wait_for_compositor(desktop)


def openbox_picom_shadows(desktop: Desktop, env: dict) -> None:
    _openbox(desktop, env)
    # No configuration file: picom's defaults with shadows on every window.
    desktop.spawn(["picom", "--shadow", "--backend", "xrender", "--config", "/dev/null"],
                  "picom", env)
    wait_for_compositor(desktop)


def xfwm4_compositing(desktop: Desktop, env: dict) -> None:
    desktop.spawn(["xfwm4", "--compositor=on"], "xfwm4", env)
    wait_for_window_manager(desktop)
    wait_for_compositor(desktop)


def mutter_x11(desktop: Desktop, env: dict) -> None:
    desktop.spawn(["mutter", "--x11", "--replace"], "mutter", env)
    wait_for_window_manager(desktop)
    wait_for_compositor(desktop)


def kwin_x11(desktop: Desktop, env: dict) -> None:
    # KWin's defaults, among them HideUtilityWindowsForInactive.
    desktop.spawn(["kwin_x11", "--replace"], "kwin_x11", env)
    wait_for_window_manager(desktop)


SETUPS = {
    "openbox-xcompmgr": Setup("openbox-xcompmgr", openbox_xcompmgr),
    "openbox-picom": Setup("openbox-picom", openbox_picom_shadows),
    "xfwm4": Setup("xfwm4", xfwm4_compositing),
    # mutter names an activation request without a real timestamp a buggy client's, and
    # a transient window that points at a window it does not manage (Qt points tool
    # windows at the application's invisible client leader) an invalid one.
    "mutter": Setup("mutter", mutter_x11,
                    complaints={"mutter": ["Buggy client", "timestamp of 0",
                                           "Invalid WM_TRANSIENT_FOR"]}),
    "kwin": Setup("kwin", kwin_x11),
    "hidpi": Setup("hidpi", openbox_xcompmgr, size=(3200, 2000), scale=2),
}


# --------------------------------------------------------------------------- screen


def strip(desktop: Desktop, x: int, y: int, width: int, height: int) -> dict:
    """The pixels of a screen rectangle by position, 8 bits per channel."""
    x11 = Xlib(desktop.display)
    try:
        return x11.pixels(x, y, width, height)
    finally:
        x11.close()


def pixel(desktop: Desktop, x: int, y: int) -> tuple:
    return strip(desktop, x, y, 1, 1)[(x, y)]


def darker(a: tuple, b: tuple, by: int = 12) -> bool:
    return sum(a) + by * 3 <= sum(b)


# --------------------------------------------------------------------------- the gesture


@dataclass
class Case:
    desktop: Desktop
    setup: Setup
    env: dict
    app_env: dict
    other: int = 0
    other_events: object = None
    left: int = 0
    right: int = 0
    app: object = None

    def px(self, points: float) -> int:
        return int(round(points * self.setup.scale))

    @property
    def width(self) -> int:
        return self.desktop.size[0]

    @property
    def height(self) -> int:
        return self.desktop.size[1]

    @property
    def logical_height(self) -> int:
        return self.height // self.setup.scale


def start_desktop(case_setup: Setup, desktop: Desktop) -> Case:
    env = start_bus(desktop)
    case_setup.start(desktop, env)
    app_env = dict(env)
    if case_setup.scale != 1:
        # What a desktop's scaling setting publishes; Qt 6 takes its device pixel ratio
        # from it. (QT_SCALE_FACTOR on top of it multiplies: 2 and 192 dpi make 4.)
        (desktop.home / "Xresources").write_text(f"Xft.dpi: {96 * case_setup.scale}\n")
        desktop.run(["xrdb", "-merge", str(desktop.home / "Xresources")])
    return Case(desktop, case_setup, env, app_env)


def open_other_application(case: Case) -> None:
    """A maximised window of another application that reports every button press."""
    desktop = case.desktop
    case.other_events = desktop.spawn(
        ["xev", "-geometry", "400x300+200+150", "-event", "button"], "xev", case.env)
    case.other = desktop.wait_for_window(name="^Event Tester$", timeout=20)
    x = Xlib(desktop.display)
    try:
        x.maximize(case.other)
    finally:
        x.close()

    def maximised():
        geometry = desktop.geometry(case.other)
        return geometry["width"] >= case.width * 0.9 and geometry["height"] >= case.height * 0.85

    desktop.wait_for(maximised, "the other window to be maximised", 15)
    # A click, as a user would: `xdotool windowactivate` asks with a timestamp of 0, which
    # mutter logs as a buggy client's request (the complaint the mutter case looks for).
    desktop.click(case.width // 2, case.height // 2)
    desktop.wait_for(lambda: desktop.active_window() == case.other,
                     "the other application in front", 15)


def presses(case: Case) -> int:
    return len(re.findall(r"ButtonPress event", case.other_events.output()))


def launch_rails(case: Case, binary: Path) -> None:
    desktop = case.desktop
    railapp.settle_first_launch(desktop)
    case.app = desktop.launch(binary, env=case.app_env)
    rail = case.px(railapp.RAIL_WIDTH)

    def both_rails():
        if not case.app.running():
            raise HarnessError(f"orlette ended early:\n{case.app.output()}")
        found = {}
        for window in desktop.find_windows(pid=case.app.pid):
            geometry = desktop.geometry(window)
            if geometry["width"] != rail or geometry["height"] != case.height:
                continue
            if geometry["x"] == 0 and geometry["y"] == 0:
                found["left"] = window
            elif geometry["x"] == case.width - rail and geometry["y"] == 0:
                found["right"] = window
        return found if len(found) == 2 else None

    found = desktop.wait_for(both_rails, "both rails at the screen's edges", 20)
    case.left, case.right = found["left"], found["right"]


def check_window_hints(case: Case) -> None:
    desktop = case.desktop
    for window in (case.left, case.right):
        kind = desktop.window_property(window, "_NET_WM_WINDOW_TYPE")
        assert "_NET_WM_WINDOW_TYPE_DOCK" in kind, kind
        states = desktop.window_states(window)
        assert "_NET_WM_STATE_DEMANDS_ATTENTION" not in states, states
        assert "_NET_WM_STATE_HIDDEN" not in states, states
        assert desktop.geometry(window)["map_state"] == "IsViewable"


def check_no_band_and_no_frame(case: Case, before: dict) -> None:
    """Along the panels' inner borders and across their transparent middle the screen
    is what it was before Orlette started: no shadow band, no frame."""
    after = capture_bands(case)
    changed = [(where, before[where], after[where]) for where in before
               if before[where] != after.get(where)]
    assert not changed, f"{len(changed)} pixels changed, e.g. {changed[:5]}"


def bands(case: Case) -> list[tuple[int, int, int, int]]:
    """Thin strips across the panels' inner borders (where a compositor's shadow or a
    window frame would show) and along their top, away from the tabs and chips."""
    rail = case.px(railapp.RAIL_WIDTH)
    shadow = case.px(24)
    rows = (case.px(60), case.height // 3)
    strips = []
    for y in rows:
        strips.append((rail - shadow, y, 2 * shadow, 1))
        strips.append((case.width - rail - shadow, y, 2 * shadow, 1))
    strips.append((case.px(100), 0, rail - case.px(120), 1))
    strips.append((case.width - rail + case.px(20), 0, rail - case.px(120), 1))
    return strips


def capture_bands(case: Case) -> dict:
    pixels = {}
    for x0, y0, w, h in bands(case):
        pixels.update(strip(case.desktop, x0, y0, w, h))
    return pixels


# The background of xev's window, the other application's.
OTHER_WINDOW_PAPER = (255, 255, 255)


def steady_bands(case: Case, extra: tuple[int, int]) -> dict:
    """The bands and the pixel at `extra` (inside the other application's maximised window)
    once that window has been painted there and the window manager has finished animating
    its map: three looks in a row agree. (Agreement alone is not enough: a window manager
    short of time paints nothing for a while, and three looks at the desktop behind agree.)"""
    looks = []

    def steady():
        now = capture_bands(case)
        now[extra] = pixel(case.desktop, *extra)
        if now[extra] != OTHER_WINDOW_PAPER:
            return None
        looks.append(now)
        return now if len(looks) >= 3 and looks[-3] == looks[-2] == now else None

    return case.desktop.wait_for(steady, "the screen behind the rails to settle")


def wait_for_paper(case: Case, x: int, y: int, what: str, timeout: float = 10) -> None:
    case.desktop.wait_for(lambda: railapp.is_paper(pixel(case.desktop, x, y)), what, timeout)


def reaches(case: Case, x: int, y: int) -> bool:
    """Moves the pointer to (x, y) and tells whether a click there would reach the right
    rail. Exact where `Desktop.pointer_hits` is not: that one stops at the window manager's
    frame, whose copy of the rail's input shape may lag behind the rail's own."""
    x11 = Xlib(case.desktop.display)
    try:
        window = x11.click_target(x, y)
        while window and window != x11.root:
            if window == case.right:
                return True
            window = x11.parent(window)
        return False
    finally:
        x11.close()


def wait_for_hit(case: Case, x: int, y: int, expected: bool = True, timeout: float = 10) -> None:
    """Moves the pointer to (x, y) and waits until a click there would (or would not) reach
    the right rail: the application samples the pointer and reshapes the panel's input."""
    case.desktop.wait_for(lambda: reaches(case, x, y) == expected,
                          f"a click at ({x}, {y}) to {'reach' if expected else 'pass'} the rail",
                          timeout)


def run_gesture(case: Case, binary: Path) -> None:
    """The rail gesture a new user tries, on one desktop."""
    desktop = case.desktop
    height = case.logical_height
    open_other_application(case)
    plus_y = case.px(railapp.awake_slots(0, height)[-1] + 24)
    plus_x = case.width - case.px(20)
    before = steady_bands(case, (plus_x, plus_y))
    behind = before.pop((plus_x, plus_y))

    launch_rails(case, binary)
    check_window_hints(case)
    # The sleeping new-note tab of the right rail shows at the edge, over the maximised
    # window of the application in front, which keeps the keyboard.
    desktop.wait_for(lambda: darker(pixel(desktop, plus_x, plus_y), behind),
                     "the new-note tab over the maximised window")
    assert desktop.active_window() == case.other, "the rails took the keyboard"
    desktop.move(case.width // 2, case.height // 2)
    desktop.screenshot(f"{case.setup.name}-rails")
    check_no_band_and_no_frame(case, before)

    # A click in the panel's empty part reaches the window below it.
    pressed = presses(case)
    empty = (case.width - case.px(300), case.px(200))
    wait_for_hit(case, *empty, expected=False)
    desktop.xdotool("click", 1)
    desktop.wait_for(lambda: presses(case) > pressed, "the click to reach the window below")

    # "+" makes a note, which opens with the keyboard: typing reaches the store.
    wait_for_hit(case, plus_x, plus_y)
    desktop.xdotool("click", 1)
    desktop.wait_for(lambda: len(railapp.notes(desktop)) == 1, "the new note in the store")
    desktop.wait_for(lambda: desktop.active_window() == case.right,
                     "the rail to take the keyboard", 15)
    desktop.type_text("Hola")
    desktop.wait_for(lambda: [n for n in railapp.notes(desktop) if n["plainText"] == "Hola"],
                     "the typed text in the store")
    desktop.screenshot(f"{case.setup.name}-typed")

    # Back to the other application; the card closes and the rail sleeps.
    desktop.click(case.width // 2, case.height // 2)
    desktop.wait_for(lambda: desktop.active_window() == case.other,
                     "the other application in front again", 15)

    # Resting on the chip at the edge wakes the rail: its tab fans out.
    top, _ = railapp.asleep_stack(1, height)
    chip = (case.width - case.px(3), case.px(top + 13))
    tab = (case.width - case.px(65), case.px(railapp.awake_slots(1, height)[0] + 58))
    # The closing card covers the chip's place and the tab's until it is gone: looking
    # sooner finds its paper and moves the pointer on before the rail has seen it at the
    # edge, and a rail that never saw the dwell never wakes.
    case.desktop.wait_for(
        lambda: railapp.is_paper(pixel(desktop, *chip)) and
        not railapp.is_paper(pixel(desktop, *tab)), "the card to close down to its chip")
    # The chip takes the mouse once the rail has seen the pointer on it, which starts the
    # dwell; until the rail wakes its tab's place shows what is behind.
    wait_for_hit(case, case.width - case.px(4), chip[1])
    wait_for_paper(case, *tab, "the rail to wake")
    # The tab takes the mouse where it is drawn, beside it clicks pass.
    wait_for_hit(case, case.width - case.px(50), tab[1])
    assert not reaches(case, case.width - case.px(300), tab[1])
    desktop.screenshot(f"{case.setup.name}-awake")

    # Super+Alt+N while the other application has the keyboard: a second note opens on
    # the rail, visible and ready for typing.
    desktop.click(case.width // 2, case.height // 2)
    desktop.wait_for(lambda: desktop.active_window() == case.other,
                     "the other application in front before the hot key", 15)
    desktop.key("super+alt+n")
    desktop.wait_for(lambda: len(railapp.notes(desktop)) == 2, "the hot key's note")

    def card_shows():
        column = strip(desktop, case.width - case.px(320), 0, 1, case.height)
        return sum(1 for pixel in column.values() if railapp.is_paper(pixel)) >= case.px(120)

    desktop.wait_for(card_shows, "the hot key's note to show on the rail")
    desktop.wait_for(lambda: desktop.active_window() == case.right,
                     "the hot key's note to take the keyboard", 15)
    desktop.type_text("Atajo")
    desktop.wait_for(lambda: [n for n in railapp.notes(desktop) if n["plainText"] == "Atajo"],
                     "the hot key's note's text in the store")
    desktop.screenshot(f"{case.setup.name}-hotkey")
    check_window_hints(case)
    check_complaints(case)


def check_complaints(case: Case) -> None:
    for program, texts in case.setup.complaints.items():
        for log in case.desktop.artifacts.glob(f"{program}*.log"):
            content = log.read_text(errors="replace")
            for text in texts:
                assert text not in content, f"{program} logged {text!r}:\n{content[-2000:]}"


def run_setup(args, name: str) -> None:
    setup = SETUPS[name]
    with Desktop(args.artifacts, name, size=setup.size, window_manager=False,
                 compositor=False, timeout=15) as desktop:
        case = start_desktop(setup, desktop)
        run_gesture(case, args.binary)
