# SPDX-License-Identifier: GPL-3.0-or-later
"""A sway session for the end-to-end tests: headless sway (wlroots) with XWayland and
swaybar, on a private D-Bus session and runtime folder, run as an unprivileged account
made for the purpose, since sway refuses to run as root and the tests run as root.

    with SwayDesktop(args.artifacts, "sway", bindings=("Mod4+Mod1+n exec orlette --new-note",),
                     session=True) as desktop:
        app = desktop.launch(args.binary)
        desktop.click(800, 500)

A `SwayDesktop` is a `harness.Desktop`: every program it starts runs as that account
(setpriv), with the environment sway gives the programs it starts itself (WAYLAND_DISPLAY,
SWAYSOCK, XWayland's DISPLAY) and the desktop's private home; no QT_QPA_PLATFORM, so a
program chooses its platform as it would for a user. The program under test is copied into
the private home, where that account may run it and where the bindings of the session's
configuration find it on the PATH. Windows are read from sway's tree, not from XWayland:
sway decides where they stand, and whether they float or tile.

Input goes through sway: the pointer with `swaymsg seat seat0 cursor`, keys with wtype (the
virtual-keyboard protocol), pictures from grim (the screencopy protocol). A headless sway
has no input device at all, so its seat offers clients no pointer and no keyboard; the
desktop keeps one virtual pointer and one virtual keyboard of its own plugged in for the
session's whole life (a small Wayland client below), as a laptop keeps its touchpad.
"""

from __future__ import annotations

import array
import json
import os
import pwd
import re
import shutil
import socket
import struct
import subprocess
import tempfile
from pathlib import Path
from typing import Iterator, Optional

import harness
from harness import Desktop, HarnessError, Process
from wayland import start_session_bus, sway_available

# The account the sessions run as, made by the first desktop that finds it missing.
ACCOUNT = "orlette-e2e"
# The height of swaybar at the top of the screen (its default font and padding).
BAR_HEIGHT = 23
# xdotool's key names as wtype's modifiers.
_MODIFIERS = {"super": "logo", "alt": "alt", "ctrl": "ctrl", "control": "ctrl",
              "shift": "shift"}
_KEY_NAMES = {"return": "Return", "enter": "Return", "escape": "Escape", "tab": "Tab",
              "down": "Down", "up": "Up", "left": "Left", "right": "Right",
              "backspace": "BackSpace", "space": "space", "delete": "Delete"}


def ensure_account() -> pwd.struct_passwd:
    """The unprivileged account of the sway sessions, made when it is missing."""
    try:
        return pwd.getpwnam(ACCOUNT)
    except KeyError:
        pass
    if os.geteuid() != 0:
        raise HarnessError(f"the account {ACCOUNT} is missing and only root can make it")
    subprocess.run(["useradd", "--system", "--user-group", "--no-create-home",
                    "--home-dir", "/nonexistent", "--shell", "/usr/sbin/nologin", ACCOUNT],
                   check=True, capture_output=True)
    return pwd.getpwnam(ACCOUNT)


def _ensure_x11_socket_folder() -> None:
    # XWayland started by an unprivileged compositor makes /tmp/.X11-unix itself when it
    # is missing, owned by that account and closed to every other: the X servers of other
    # tests could then no longer put their sockets there. Made as an X server run as root
    # makes it.
    folder = Path("/tmp/.X11-unix")
    if not folder.exists() and os.geteuid() == 0:
        folder.mkdir(mode=0o1777, exist_ok=True)
        os.chmod(folder, 0o1777)


def _processes_with(account: int, variable: str) -> list[int]:
    """The processes of `account` whose environment holds `variable` ("NAME=value")."""
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if entry.stat().st_uid != account:
                continue
            if variable.encode() in (entry / "environ").read_bytes().split(b"\0"):
                found.append(int(entry.name))
        except OSError:
            continue
    return found


class SwayDesktop(Desktop):
    """Headless sway on one output, with XWayland (started when an X client first
    connects, as in a sway session) and, unless `bar` is False, swaybar with its tray.
    `bindings` are `bindsym` lines of the session's configuration."""

    def __init__(self, artifacts: Path, name: str, size: tuple[int, int] = (1600, 1000),
                 bindings: tuple[str, ...] = (), bar: bool = True, session: bool = False,
                 timeout: float = 20.0):
        super().__init__(artifacts, name, size=size, window_manager=False, compositor=False,
                         session=session, timeout=timeout)
        self.bindings = tuple(bindings)
        self.bar = bar
        self.account: Optional[pwd.struct_passwd] = None
        self.sway_environment: dict[str, str] = {}
        self._sway: Optional[Process] = None
        self._devices: Optional[_VirtualDevices] = None

    # ---- lifecycle

    def start(self) -> None:
        available, why_not = sway_available()
        if not available:
            raise HarnessError(f"no sway session here: {why_not}")
        self.account = ensure_account()
        _ensure_x11_socket_folder()
        if self.artifacts.exists():
            shutil.rmtree(self.artifacts)
        self.artifacts.mkdir(parents=True)
        self.home = Path(tempfile.mkdtemp(prefix=f"orlette-e2e-{self.name}-"))
        for sub in ("config", "data", "cache", "runtime", "bin"):
            (self.home / sub).mkdir(mode=0o700)
        self.hand_over(self.home)
        self.display = ""  # XWayland's, as sway tells its programs
        harness._live_desktops.append(self)
        try:
            if self.session:
                self._start_session()
            else:
                self._start_bus()
            self._start_sway()
            self._devices = _VirtualDevices(self.home / "runtime" /
                                            self.sway_environment["WAYLAND_DISPLAY"])
            self.wait_for(lambda: self.seat_capabilities() == 3,
                          "sway's seat to offer a pointer and a keyboard")
            if self.bar:
                self.wait_for(lambda: self._bus_has("org.kde.StatusNotifierWatcher"),
                              "swaybar's tray")
        except BaseException:
            self.stop()
            raise

    def stop(self) -> None:
        if self._devices is not None:
            self._devices.close()
            self._devices = None
        super().stop()
        # swaybar and XWayland, which sway detaches from itself, end when sway goes; what
        # outlives it (a program a binding started) is ended here, found by the session's
        # socket in its environment.
        if self.account is not None:
            for pid in self.session_processes():
                try:
                    os.kill(pid, 9)
                except ProcessLookupError:
                    pass
        self._sway = None

    def session_processes(self) -> list[int]:
        """The processes started in this session, by the tests or by sway."""
        socket_path = self.sway_environment.get("SWAYSOCK")
        if not socket_path:
            return []
        return _processes_with(self.account.pw_uid, f"SWAYSOCK={socket_path}")

    def hand_over(self, path: Path) -> None:
        """Gives a file or folder the test wrote, and all inside it, to the session's
        account."""
        entries = [str(path)]
        for folder, subfolders, files in os.walk(path):
            entries += [os.path.join(folder, name) for name in subfolders + files]
        for entry in entries:
            os.chown(entry, self.account.pw_uid, self.account.pw_gid)

    def _start_bus(self) -> None:
        start_session_bus(self)

    def _start_sway(self) -> None:
        width, height = self.size
        told = self.home / "runtime" / "sway-environment"
        lines = [
            f"output HEADLESS-1 resolution {width}x{height} position 0 0",
            "xwayland enable",
            # What the programs sway starts get: read back for the ones the tests start.
            f"exec env -0 > {told}.part && mv {told}.part {told}",
            *(f"bindsym {binding}" for binding in self.bindings),
        ]
        if self.bar:
            lines += ["bar {", "    position top", "    tray_output *", "}"]
        config = self.home / "config" / "sway" / "config"
        config.parent.mkdir(mode=0o700)
        config.write_text("\n".join(lines) + "\n")
        self.hand_over(config.parent)
        self._sway = self.spawn(
            ["sway", "--config", config], "sway",
            env={"WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
                 # No GPU here: wlroots draws with pixman.
                 "WLR_RENDERER": "pixman"})

        def environment() -> dict[str, str]:
            if not self._sway.running():
                raise HarnessError(f"sway ended:\n{self._sway.output()}")
            if not told.exists():
                return {}
            return dict(entry.split("=", 1) for entry in told.read_text().split("\0")
                        if "=" in entry)

        self.sway_environment = self.wait_for(environment, "sway to start")
        self.display = self.sway_environment.get("DISPLAY", "")

    # ---- environment and programs

    def environment(self, extra: Optional[dict[str, str]] = None) -> dict[str, str]:
        """A sway session's environment, as sway sets it for the programs it starts, with
        the desktop's private home and folders; no QT_QPA_PLATFORM."""
        env = super().environment()
        for key in ("QT_QPA_PLATFORM", "NO_AT_BRIDGE", "XAUTHORITY"):
            env.pop(key, None)
        if not self.display:
            env.pop("DISPLAY", None)
        for key in ("WAYLAND_DISPLAY", "SWAYSOCK", "I3SOCK"):
            if key in self.sway_environment:
                env[key] = self.sway_environment[key]
        env["XDG_SESSION_TYPE"] = "wayland"
        env["USER"] = env["LOGNAME"] = ACCOUNT
        env["PATH"] = f"{self.home / 'bin'}:{env.get('PATH', '/usr/bin:/bin')}"
        env.update(extra or {})
        return env

    def _as_account(self, command: list) -> list[str]:
        return ["setpriv", f"--reuid={self.account.pw_uid}", f"--regid={self.account.pw_gid}",
                "--clear-groups", "--pdeathsig", "TERM", "--", *map(str, command)]

    def spawn(self, command: list, name: Optional[str] = None,
              env: Optional[dict[str, str]] = None) -> Process:
        return super().spawn(self._as_account(command), name or Path(command[0]).name, env)

    def run(self, command: list, timeout: Optional[float] = None, check: bool = True,
            env: Optional[dict[str, str]] = None) -> subprocess.CompletedProcess:
        return super().run(self._as_account(command), timeout, check, env)

    def install(self, binary: Path) -> Path:
        """A copy of `binary` in the session's bin folder (on its PATH), which the session's
        account may read and run wherever the original lies."""
        copy = self.home / "bin" / Path(binary).name
        if not copy.exists() or copy.stat().st_mtime < Path(binary).stat().st_mtime:
            shutil.copy2(binary, copy)
            os.chown(copy, self.account.pw_uid, self.account.pw_gid)
        return copy

    def accessible(self, application: str = "orlette") -> list[dict]:
        """As `Desktop.accessible`, with the probe run from a copy in the session's home:
        the checkout may lie in a folder closed to the session's account."""
        probe = self.install(harness._A11Y_PROBE)
        result = self.run([harness._A11Y_PYTHON, probe, application], timeout=30, check=False)
        if result.returncode != 0:
            with open(self.artifacts / "a11y-probe.log", "a") as log:
                log.write(result.stderr)
            return []
        return json.loads(result.stdout)

    def launch(self, binary: Path, *arguments: str,
               env: Optional[dict[str, str]] = None) -> Process:
        return super().launch(self.install(binary), *arguments, env=env)

    # ---- sway

    def swaymsg(self, *arguments: str) -> object:
        """Runs a sway command or query and returns its JSON answer."""
        result = self.run(["swaymsg", "--raw", *arguments])
        return json.loads(result.stdout)

    def seat_capabilities(self) -> int:
        return self.swaymsg("-t", "get_seats")[0]["capabilities"]

    def views(self, pid: Optional[int] = None) -> list[dict]:
        """The windows sway shows or keeps (native and XWayland), each with sway's id for
        it, its name, pid, shell ("xdg_shell" or "xwayland"), whether it floats, its rect
        on the screen, whether it is visible and focused, and its X window type."""
        found = []

        def walk(node: dict, floating: bool) -> None:
            if node.get("pid") and node["type"] in ("con", "floating_con"):
                properties = node.get("window_properties") or {}
                found.append({
                    "id": node["id"], "name": node.get("name") or "", "pid": node["pid"],
                    "shell": node.get("shell"), "floating": floating,
                    "rect": node["rect"], "visible": bool(node.get("visible")),
                    "focused": bool(node.get("focused")),
                    "window_type": properties.get("window_type"),
                })
            for child in node.get("nodes", []):
                walk(child, floating)
            for child in node.get("floating_nodes", []):
                walk(child, True)

        walk(self.swaymsg("-t", "get_tree"), False)
        return [view for view in found if pid is None or view["pid"] == pid]

    def wait_for_view(self, name: str, pid: Optional[int] = None,
                      timeout: Optional[float] = None) -> dict:
        """The first visible window whose name matches the regex `name`, once there is
        one."""
        return self.wait_for(
            lambda: next((view for view in self.views(pid)
                          if view["visible"] and re.search(name, view["name"])), None),
            f"a window named {name!r} on the screen", timeout)

    def x_popups(self, pid: int) -> list[int]:
        """The pop-up menus a program shows through XWayland: mapped override-redirect
        windows, which sway does not manage, so absent from its tree."""
        if not self.display:
            return []
        return [window for window in super().find_windows(pid=pid)
                if re.search(r"Override Redirect State:\s*yes",
                             self.run(["xwininfo", "-id", window], check=False).stdout)]

    # ---- input, through sway

    def move(self, x: int, y: int) -> None:
        self.swaymsg("seat", "seat0", "cursor", "set", str(x), str(y))

    def press_button(self, button: int = 1, pressed: bool = True) -> None:
        self.swaymsg("seat", "seat0", "cursor", "press" if pressed else "release",
                     f"button{button}")

    def click(self, x: int, y: int, button: int = 1) -> None:
        self.move(x, y)
        self.press_button(button, True)
        self.press_button(button, False)

    def key(self, *combos: str) -> None:
        """Presses key combinations named as xdotool names them, e.g. "super+alt+n"."""
        arguments: list[str] = []
        for combo in combos:
            parts = combo.split("+")
            modifiers = [_MODIFIERS[part.lower()] for part in parts[:-1]]
            last = parts[-1]
            arguments += [item for modifier in modifiers for item in ("-M", modifier)]
            arguments += ["-k", _KEY_NAMES.get(last.lower(), last)]
            arguments += [item for modifier in reversed(modifiers) for item in ("-m", modifier)]
        self.run(["wtype", *arguments])

    def type_text(self, text: str) -> None:
        self.run(["wtype", "-d", "10", "--", text])

    def xdotool(self, *arguments: object) -> str:
        raise HarnessError("xdotool only reaches XWayland's clients: use sway's input "
                           "(move, click, key, type_text)")

    def window_under_pointer(self, x: int, y: int) -> int:
        raise HarnessError("XWayland does not know which Wayland surface is under the "
                           "pointer: read sway's tree")

    # ---- pictures, from sway

    def capture(self, x: int, y: int, width: int, height: int) -> list[list[tuple]]:
        """The pixels of a rectangle of the screen, row by row, 8 bits per channel."""
        result = subprocess.run(
            self._as_account(["grim", "-g", f"{x},{y} {width}x{height}", "-t", "ppm", "-"]),
            env=self.environment(), capture_output=True, timeout=self.timeout)
        if result.returncode != 0:
            raise HarnessError(f"grim failed: {result.stderr.decode(errors='replace')}")
        return _ppm_rows(result.stdout)

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        return self.capture(x, y, 1, 1)[0][0]

    def screenshot(self, label: str = "shot") -> Optional[Path]:
        if self._sway is None or not self._sway.running():
            return None
        self._shots += 1
        path = self.artifacts / f"{self._shots:02d}-{label}.png"
        result = subprocess.run(self._as_account(["grim", "-t", "png", "-"]),
                                env=self.environment(), capture_output=True,
                                timeout=self.timeout)
        if result.returncode != 0:
            print(f"screenshot failed: {result.stderr.decode(errors='replace')}")
            return None
        path.write_bytes(result.stdout)
        return path


def _ppm_rows(data: bytes) -> list[list[tuple]]:
    """The rows of a binary PPM (P6, 8 bits per channel) image."""
    fields = []
    offset = 0
    while len(fields) < 4:
        match = re.compile(rb"\s*(#[^\n]*\n\s*)*(\S+)").match(data, offset)
        if not match:
            raise HarnessError("grim gave no PPM image")
        fields.append(match.group(2))
        offset = match.end()
    if fields[0] != b"P6" or fields[3] != b"255":
        raise HarnessError(f"unexpected PPM header {fields}")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[offset + 1:]
    return [[tuple(pixels[(row * width + column) * 3:(row * width + column) * 3 + 3])
             for column in range(width)] for row in range(height)]


# --------------------------------------------------------------------------- input devices


class _VirtualDevices:
    """A pointer and a keyboard plugged into sway's seat for as long as the object lives,
    through the virtual-pointer (wlroots) and virtual-keyboard protocols: a bare Wayland
    client speaking the wire protocol itself, as Debian 12 packages no Python binding of
    libwayland."""

    _DISPLAY = 1  # wl_display, object 1 of every connection
    # The keymap of a US keyboard, compiled by the compositor from its XKB data.
    _KEYMAP = (b'xkb_keymap { xkb_keycodes { include "evdev+aliases(qwerty)" }; '
               b'xkb_types { include "complete" }; xkb_compat { include "complete" }; '
               b'xkb_symbols { include "pc+us+inet(evdev)" }; };\0')

    def __init__(self, path: Path):
        self._socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._socket.settimeout(10)
        self._socket.connect(str(path))
        self._next_id = 2
        self._pending = b""
        registry = self._new_id()
        self._send(self._DISPLAY, 1, struct.pack("<I", registry))  # get_registry
        globals_: dict[str, int] = {}
        for target, opcode, payload in self._until_synced():
            if target == registry and opcode == 0:  # global(name, interface, version)
                (name,) = struct.unpack_from("<I", payload)
                interface, _ = _read_string(payload, 4)
                globals_[interface] = name
        for needed in ("wl_seat", "zwlr_virtual_pointer_manager_v1",
                       "zwp_virtual_keyboard_manager_v1"):
            if needed not in globals_:
                raise HarnessError(f"sway offers no {needed}")

        def bind(interface: str) -> int:
            object_id = self._new_id()
            self._send(registry, 0, struct.pack("<I", globals_[interface]) + _string(interface)
                       + struct.pack("<II", 1, object_id))
            return object_id

        seat = bind("wl_seat")
        pointers = bind("zwlr_virtual_pointer_manager_v1")
        keyboards = bind("zwp_virtual_keyboard_manager_v1")
        self._send(pointers, 0, struct.pack("<II", seat, self._new_id()))
        keyboard = self._new_id()
        self._send(keyboards, 0, struct.pack("<II", seat, keyboard))
        keymap = os.memfd_create("keymap")
        try:
            os.write(keymap, self._KEYMAP)
            # keymap(format xkb_v1, fd, size)
            self._send(keyboard, 0, struct.pack("<II", 1, len(self._KEYMAP)), fds=[keymap])
        finally:
            os.close(keymap)
        for _ in self._until_synced():
            pass

    def close(self) -> None:
        self._socket.close()

    def _new_id(self) -> int:
        self._next_id += 1
        return self._next_id - 1

    def _send(self, target: int, opcode: int, payload: bytes = b"", fds=()) -> None:
        message = struct.pack("<II", target, ((8 + len(payload)) << 16) | opcode) + payload
        ancillary = [(socket.SOL_SOCKET, socket.SCM_RIGHTS, array.array("i", fds))] if fds else []
        self._socket.sendmsg([message], ancillary)

    def _until_synced(self) -> Iterator[tuple[int, int, bytes]]:
        """The events up to the answer of a wl_display.sync sent now."""
        callback = self._new_id()
        self._send(self._DISPLAY, 0, struct.pack("<I", callback))
        while True:
            while len(self._pending) >= 8:
                target, word = struct.unpack_from("<II", self._pending)
                size = word >> 16
                if len(self._pending) < size:
                    break
                payload, self._pending = self._pending[8:size], self._pending[size:]
                if target == self._DISPLAY and word & 0xFFFF == 0:
                    message, _ = _read_string(payload, 8)
                    raise HarnessError(f"sway refused the virtual devices: {message}")
                if target == callback:
                    return
                yield target, word & 0xFFFF, payload
            chunk = self._socket.recv(65536)
            if not chunk:
                raise HarnessError("sway closed the virtual devices' connection")
            self._pending += chunk


def _string(text: str) -> bytes:
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def _read_string(payload: bytes, offset: int) -> tuple[str, int]:
    (length,) = struct.unpack_from("<I", payload, offset)
    text = payload[offset + 4:offset + 4 + length - 1].decode()
    return text, offset + 4 + length + (-length % 4)
