# SPDX-License-Identifier: GPL-3.0-or-later
"""Wayland test beds: a headless Wayland compositor with XWayland on a private D-Bus
session and runtime folder, a real pointer and keyboard injected at the compositor (never
XTEST into XWayland, which moves the pointer only among X clients), the screen's pixels
read back from the compositor, and a native Wayland window that logs what it receives.

    with WaylandDesktop(args.artifacts, "mutter", compositor="mutter",
                        helpers=harness.build_dir(args) / "tests") as desktop:
        app = desktop.launch(args.binary)
        desktop.click(800, 500)

A `WaylandDesktop` is a `harness.Desktop`: programs, waiting, and the X side of things
(XWayland windows' geometry, properties and states through xwininfo and xprop) work as
there; pointer, keys, screenshots and pixels go through the compositor:

- mutter (`--wayland --headless --virtual-monitor`): input through
  org.gnome.Mutter.RemoteDesktop, pixels through a linked ScreenCast stream from PipeWire
  (wayland_remote.py, run with Debian's python3 for its D-Bus and GStreamer bindings);
- KWin (`kwin_wayland --virtual --xwayland`): input through KWin's fake-input protocol
  (orlette_kwin_fake_input, built with the tests), pixels from org.kde.KWin.ScreenShot2;
- GNOME Shell (`gnome-shell --wayland --headless --virtual-monitor`), the compositor of a
  real GNOME session, with its top bar and its keyboard shortcuts: input and pixels as for
  mutter, whose interfaces it serves. GNOME's custom keyboard shortcuts are run by
  gnome-settings-daemon's media-keys plugin, which asks the Shell to grab their keys:
  `start_media_keys` starts it (or `media_keys=True`);
- sway (headless wlroots) refuses to run as root: sway.py runs it as an account of its
  own; see `sway_available`.
"""

from __future__ import annotations

import os
import re
import select
import shutil
import subprocess
import tempfile
import time
from pathlib import Path
from typing import Optional

import harness
from harness import Desktop, HarnessError, Process

_REMOTE = Path(__file__).with_name("wayland_remote.py")
# Debian's interpreter: it has python3-dbus and the GObject bindings whatever python runs
# the tests.
_SYSTEM_PYTHON = "/usr/bin/python3"
# gnome-settings-daemon's plugin that runs GNOME's keyboard shortcuts.
_MEDIA_KEYS = "/usr/libexec/gsd-media-keys"
# GNOME Shell's desktop: a plain colour, not a picture (whose loader may be missing), so
# that the screen tells when the overview has gone.
GNOME_BACKGROUND = (32, 74, 135)

# Linux evdev codes (linux/input-event-codes.h), the language of both compositors' input.
BUTTONS = {1: 272, 2: 274, 3: 273}
KEYS = {
    **{letter: code for code, letter in enumerate("qwertyuiop", 16)},
    **{letter: code for code, letter in enumerate("asdfghjkl", 30)},
    **{letter: code for code, letter in enumerate("zxcvbnm", 44)},
    **{digit: code for code, digit in enumerate("1234567890", 2)},
    "escape": 1, "minus": 12, "equal": 13, "backspace": 14, "tab": 15, "return": 28,
    "enter": 28, "ctrl": 29, "semicolon": 39, "apostrophe": 40, "shift": 42, "comma": 51,
    "period": 52, "slash": 53, "alt": 56, "space": 57, "super": 125,
}
# Characters typed with a US layout (both compositors' default keymap): key and shift.
_CHARACTERS = {
    **{c: (c, False) for c in "abcdefghijklmnopqrstuvwxyz0123456789"},
    **{c.upper(): (c, True) for c in "abcdefghijklmnopqrstuvwxyz"},
    " ": ("space", False), "\n": ("return", False), "-": ("minus", False),
    "=": ("equal", False), ",": ("comma", False), ".": ("period", False),
    "/": ("slash", False), ";": ("semicolon", False), "'": ("apostrophe", False),
    "!": ("1", True), "?": ("slash", True), ":": ("semicolon", True), "_": ("minus", True),
}


def start_session_bus(desktop: Desktop) -> None:
    """Starts the desktop's private session bus in its runtime folder (its programs run
    on it: `bus_address`)."""
    socket = desktop.home / "runtime" / "bus"
    desktop.spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                   f"--address=unix:path={socket}"], "dbus-daemon")
    desktop.wait_for(socket.exists, "the session bus to start")
    desktop.bus_address = f"unix:path={socket}"


def sway_available() -> tuple[bool, str]:
    """Whether a headless sway session (sway.py) can run here, and why not. sway refuses
    to run as root, so the session runs as an unprivileged account of its own, which only
    root may make and switch to: the tests run as root."""
    for tool in ("sway", "swaymsg", "swaybar", "wtype", "grim", "Xwayland", "setpriv"):
        if shutil.which(tool) is None:
            return False, f"{tool} is not installed (scripts/install-deps.sh installs it)"
    if os.geteuid() != 0:
        return False, "only root may run sway as the session's own account"
    return True, ""


class _LineChannel:
    """A helper program spoken to one line at a time: each command gets one answer."""

    def __init__(self, name: str, command: list[str], env: dict[str, str], log: Path,
                 timeout: float):
        self.name = name
        self.timeout = timeout
        self._log = open(log, "wb")
        self._process = subprocess.Popen(command, env=env, stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=self._log,
                                         preexec_fn=harness._die_with_parent)
        self._pending = b""
        first = self._read_line(timeout * 3)
        if first != "ready":
            raise HarnessError(f"{name} did not start ({first!r}); see {log}")

    def _read_line(self, timeout: float) -> str:
        deadline = time.monotonic() + timeout
        while b"\n" not in self._pending:
            remaining = deadline - time.monotonic()
            ready, _, _ = select.select([self._process.stdout], [], [], max(remaining, 0))
            if not ready:
                raise HarnessError(f"{self.name} gave no answer within {timeout} s")
            chunk = os.read(self._process.stdout.fileno(), 4096)
            if not chunk:
                raise HarnessError(f"{self.name} ended (status {self._process.poll()})")
            self._pending += chunk
        line, self._pending = self._pending.split(b"\n", 1)
        return line.decode().strip()

    def ask(self, command: str) -> str:
        """Sends a command and returns what followed "ok" in the answer."""
        self._process.stdin.write(command.encode() + b"\n")
        self._process.stdin.flush()
        answer = self._read_line(self.timeout)
        if not answer.startswith("ok"):
            raise HarnessError(f"{self.name}: {command} → {answer}")
        return answer[2:].strip()

    def close(self) -> None:
        if self._process.poll() is None:
            self._process.stdin.close()
            try:
                self._process.wait(3)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        self._log.close()


class WaylandDesktop(Desktop):
    """A headless Wayland compositor with XWayland: "mutter", "kwin" or "gnome-shell"."""

    COMPOSITORS = ("mutter", "kwin", "gnome-shell")

    def __init__(self, artifacts: Path, name: str, compositor: str, helpers: Path,
                 size: tuple[int, int] = (1600, 1000), timeout: float = 20.0,
                 media_keys: bool = False):
        if compositor not in self.COMPOSITORS:
            raise ValueError(f"unknown compositor {compositor}")
        super().__init__(artifacts, name, size=size, window_manager=False, compositor=False,
                         timeout=timeout)
        self.compositor_name = compositor
        self.helpers = Path(helpers)
        self.wayland_display: Optional[str] = None
        self.xauthority: Optional[str] = None
        self._compositor: Optional[Process] = None
        self._screen: Optional[_LineChannel] = None
        self._input: Optional[_LineChannel] = None
        self._pointer: Optional[tuple[int, int]] = None
        self.media_keys = media_keys
        self.system_bus_address: Optional[str] = None
        self._media_keys: Optional[Process] = None

    # ---- lifecycle

    def start(self) -> None:
        needed = {"mutter": ["mutter", "pipewire", "wireplumber", "Xwayland"],
                  "kwin": ["kwin_wayland", "Xwayland"],
                  "gnome-shell": ["gnome-shell", "pipewire", "wireplumber", "Xwayland",
                                  _MEDIA_KEYS]}[self.compositor_name]
        for tool in needed + ["dbus-daemon", "gsettings", "xwininfo", "xprop", _SYSTEM_PYTHON]:
            if shutil.which(tool) is None:
                raise HarnessError(f"{tool} is missing (scripts/install-deps.sh installs it)")
        if self.artifacts.exists():
            shutil.rmtree(self.artifacts)
        self.artifacts.mkdir(parents=True)
        self.home = Path(tempfile.mkdtemp(prefix=f"orlette-e2e-{self.name}-"))
        for sub in ("config", "data", "cache", "runtime", "bin"):
            (self.home / sub).mkdir(mode=0o700)
        self.display = ""  # XWayland's, once the compositor has started it
        harness._live_desktops.append(self)
        try:
            self._start_bus()
            if self.compositor_name == "mutter":
                self._start_mutter()
            elif self.compositor_name == "gnome-shell":
                self._start_gnome_shell()
            else:
                self._start_kwin()
            self._wait_for_xwayland()
            self._start_input_and_screen()
            if self.compositor_name == "gnome-shell":
                self._leave_overview()
            if self.media_keys:
                self.start_media_keys()
        except BaseException:
            self.stop()
            raise

    def stop(self) -> None:
        for channel in (self._input, self._screen):
            if channel is not None:
                channel.close()
        self._input = self._screen = None
        super().stop()

    def _start_bus(self) -> None:
        start_session_bus(self)

    def _start_mutter(self) -> None:
        # PipeWire carries the screen-cast stream the remote pointer's absolute motion and
        # the screenshots need; WirePlumber links the stream to its reader.
        self.spawn(["pipewire"], "pipewire")
        self.wait_for((self.home / "runtime" / "pipewire-0").exists, "PipeWire to start")
        self.spawn(["wireplumber"], "wireplumber")
        # No key repeat: on a loaded machine a key held between the injected press and
        # release would repeat and type twice.
        self.run(["gsettings", "set", "org.gnome.desktop.peripherals.keyboard", "repeat",
                  "false"])
        width, height = self.size
        self.wayland_display = "wayland-orlette"
        self._compositor = self.spawn(
            ["mutter", "--wayland", "--headless", "--virtual-monitor", f"{width}x{height}",
             "--wayland-display", self.wayland_display], "mutter")
        self.wait_for(lambda: self._bus_has("org.gnome.Mutter.RemoteDesktop"),
                      "mutter's remote-desktop interface")

    def _start_kwin(self) -> None:
        # Debian gives kwin_wayland the file capability CAP_SYS_RESOURCE (for real-time
        # scheduling); where the bounding set lacks it, as in containers, the kernel refuses
        # to run it. A copy without the capability runs the same program.
        binary = self.home / "bin" / "kwin_wayland"
        shutil.copy(shutil.which("kwin_wayland"), binary)
        # No key repeat (see _start_mutter).
        (self.home / "config" / "kcminputrc").write_text(
            "[Keyboard]\nKeyRepeat=nothing\nRepeatDelay=5000\n")
        width, height = self.size
        self.wayland_display = "wayland-orlette"
        self._compositor = self.spawn(
            [binary, "--virtual", "--xwayland", "--width", str(width), "--height", str(height),
             "--socket", self.wayland_display, "--no-lockscreen"], "kwin_wayland",
            env={"KWIN_WAYLAND_NO_PERMISSION_CHECKS": "1",
                 "KWIN_SCREENSHOT_NO_PERMISSION_CHECKS": "1"})
        self.wait_for(lambda: self._bus_has("org.kde.KWin"), "KWin's D-Bus interface")

    def _start_gnome_shell(self) -> None:
        # A system bus of the desktop's own: the Shell asks logind about its session there
        # when the machine runs systemd (and gives up if it cannot connect), and finds none
        # of the system's services, as in a container.
        socket = self.home / "runtime" / "system-bus"
        self.spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                    f"--address=unix:path={socket}"], "system-dbus-daemon")
        self.wait_for(socket.exists, "the system bus to start")
        self.system_bus_address = f"unix:path={socket}"
        # Screen casts and the remote pointer's absolute motion, as for mutter.
        self.spawn(["pipewire"], "pipewire")
        self.wait_for((self.home / "runtime" / "pipewire-0").exists, "PipeWire to start")
        self.spawn(["wireplumber"], "wireplumber")
        # The desktop's settings go to its own dconf database (in its private
        # XDG_CONFIG_HOME, through the dconf service on its bus), never the user's: no key
        # repeat (see _start_mutter), no extensions, no hot corner that opens the overview
        # when the pointer reaches the top left, no welcome tour, no banners over windows
        # (the Shell greets root with one), no animations to wait for, a plain background.
        background = "'#{:02x}{:02x}{:02x}'".format(*GNOME_BACKGROUND)
        for schema, key, value in (
                ("org.gnome.desktop.peripherals.keyboard", "repeat", "false"),
                ("org.gnome.shell", "disable-user-extensions", "true"),
                ("org.gnome.shell", "enabled-extensions", "@as []"),
                ("org.gnome.shell", "welcome-dialog-last-shown-version", "'999'"),
                ("org.gnome.desktop.interface", "enable-hot-corners", "false"),
                ("org.gnome.desktop.notifications", "show-banners", "false"),
                ("org.gnome.desktop.interface", "enable-animations", "false"),
                ("org.gnome.desktop.background", "picture-uri", "''"),
                ("org.gnome.desktop.background", "picture-uri-dark", "''"),
                ("org.gnome.desktop.background", "color-shading-type", "'solid'"),
                ("org.gnome.desktop.background", "primary-color", background)):
            self.run(["gsettings", "set", schema, key, value])
        width, height = self.size
        self.wayland_display = "wayland-orlette"
        self._compositor = self.spawn(
            ["gnome-shell", "--wayland", "--headless", "--virtual-monitor", f"{width}x{height}",
             "--wayland-display", self.wayland_display], "gnome-shell")

        def started() -> bool:
            if not self._compositor.running():
                raise HarnessError(f"gnome-shell ended:\n{self._compositor.output()}")
            return "GNOME Shell started at" in self._compositor.output()

        self.wait_for(started, "GNOME Shell to start", timeout=max(self.timeout, 60))

    def _leave_overview(self) -> None:
        # A GNOME session starts in the overview: leave it for the desktop, as a person's
        # first Super or Escape would. The Shell's property is no witness (it can still say
        # "false" while the start's overview shows), the screen is: the overview darkens
        # the desktop's bottom left corner.
        self._shell_property("OverviewActive", "false")
        corner = (2, self.size[1] - 3)
        self.wait_for(lambda: self.pixel(*corner) == GNOME_BACKGROUND,
                      "GNOME Shell to leave the overview")

    def _shell_property(self, name: str, value: Optional[str] = None) -> str:
        """Reads (or, given a GVariant text, sets) a property of org.gnome.Shell."""
        command = ["gdbus", "call", "--session", "--dest", "org.gnome.Shell",
                   "--object-path", "/org/gnome/Shell", "--method"]
        if value is None:
            answer = self.run(command + ["org.freedesktop.DBus.Properties.Get",
                                         "org.gnome.Shell", name]).stdout
            # "(<false>,)"
            return answer.strip().strip("(),<>")
        self.run(command + ["org.freedesktop.DBus.Properties.Set", "org.gnome.Shell", name,
                            f"<{value}>"])
        return value

    def start_media_keys(self) -> None:
        """Starts gnome-settings-daemon's media-keys plugin, which runs GNOME's keyboard
        shortcuts (custom ones included), and waits until it has asked the Shell to grab
        their keys."""
        if self.compositor_name != "gnome-shell":
            raise HarnessError("the media-keys plugin needs GNOME Shell to grab its keys")
        if self._media_keys is not None:
            return
        self._media_keys = self.spawn([_MEDIA_KEYS, "--verbose"], "gsd-media-keys")
        self.wait_for(lambda: self.media_key_grabs() > 0,
                      "gsd-media-keys to have the Shell grab its keys")

    def media_key_grabs(self) -> int:
        """How many times the media-keys plugin has had the Shell grab keys: once at its
        start, and again as shortcuts are added or changed."""
        if self._media_keys is None:
            return 0
        if not self._media_keys.running():
            raise HarnessError(f"gsd-media-keys ended:\n{self._media_keys.output()}")
        return self._media_keys.output().count("Grab call completed")

    def media_key_launches(self) -> int:
        """How many shortcuts' commands the media-keys plugin has run."""
        if self._media_keys is None:
            return 0
        return self._media_keys.output().count("Launching custom action")

    def _wait_for_xwayland(self) -> None:
        def xwayland():
            if not self._compositor.running():
                raise HarnessError(f"{self.compositor_name} ended:\n{self._compositor.output()}")
            return _xwayland_of(self._compositor.pid)

        display, auth = self.wait_for(xwayland, "XWayland to start")
        self.xauthority = auth
        self.display = display
        self.wait_for(lambda: self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                       check=False).returncode == 0,
                      "XWayland to accept clients")

    def _start_input_and_screen(self) -> None:
        env = self.environment()
        if self.compositor_name in ("mutter", "gnome-shell"):
            self._screen = _LineChannel("mutter remote desktop",
                                        [_SYSTEM_PYTHON, str(_REMOTE), "mutter"], env,
                                        self.artifacts / "remote.log", self.timeout)
            self._input = self._screen
            # mutter makes its virtual keyboard on the first key event and drops the events
            # that come before the device is ready: a Shift press makes it now, while
            # the compositor starts up, not in the middle of a test's typing.
            self.key("shift")
            # The same for the pointer's buttons (a move alone does not make them ready): a
            # click on the empty desktop, before any window exists.
            if self.compositor_name == "gnome-shell":
                # On an empty spot of the Shell's top bar: the pointer may start on its
                # Activities button, and a click in the middle of the overview leaves it.
                self.move(self.size[0] // 4, 10)
            self.press_button(1, True)
            self.press_button(1, False)
        else:
            self._screen = _LineChannel("KWin screenshots",
                                        [_SYSTEM_PYTHON, str(_REMOTE), "kwin"], env,
                                        self.artifacts / "remote.log", self.timeout)
            client = self.helpers / "orlette_kwin_fake_input"
            if not client.exists():
                raise HarnessError(f"{client} is missing: build the tests first")
            self._input = _LineChannel("KWin fake input", [str(client)], env,
                                       self.artifacts / "fake-input.log", self.timeout)

    # ---- environment

    def environment(self, extra: Optional[dict[str, str]] = None) -> dict[str, str]:
        """A Wayland session as a desktop sets it up: WAYLAND_DISPLAY, XDG_SESSION_TYPE
        and XDG_CURRENT_DESKTOP, and XWayland's DISPLAY; no QT_QPA_PLATFORM, so programs
        choose their platform as they would for a user."""
        env = super().environment()
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("NO_AT_BRIDGE", None)
        env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
        if not self.display:
            env.pop("DISPLAY", None)
        if self.xauthority:
            env["XAUTHORITY"] = self.xauthority
        else:
            env.pop("XAUTHORITY", None)
        env["XDG_SESSION_TYPE"] = "wayland"
        env["XDG_CURRENT_DESKTOP"] = {"mutter": "GNOME", "kwin": "KDE",
                                      "gnome-shell": "GNOME"}[self.compositor_name]
        if self.system_bus_address:
            env["DBUS_SYSTEM_BUS_ADDRESS"] = self.system_bus_address
        if self.wayland_display:
            env["WAYLAND_DISPLAY"] = self.wayland_display
        env.update(extra or {})
        return env

    # ---- input, at the compositor

    def move(self, x: int, y: int) -> None:
        """Moves the pointer as a mouse does: by relative motion once its place is known.
        XWayland 22 reports an X window's loss of the pointer to a native window only after
        relative motion (as a mouse, a touchpad or a trackball make it); after absolute
        motion alone (a tablet, a virtual machine's pointer) it keeps the pointer in the
        window it left."""
        width, height = self.size
        x, y = min(max(x, 0), width - 1), min(max(y, 0), height - 1)
        if self._pointer is None:
            self._input.ask(f"move {x} {y}")
        else:
            self._input.ask(f"step {x - self._pointer[0]} {y - self._pointer[1]}")
        self._pointer = (x, y)

    def press_button(self, button: int = 1, pressed: bool = True) -> None:
        self._input.ask(f"button {BUTTONS[button]} {1 if pressed else 0}")

    def click(self, x: int, y: int, button: int = 1) -> None:
        self.move(x, y)
        self.press_button(button, True)
        self.press_button(button, False)

    def _key_code(self, name: str) -> int:
        name = name.lower()
        if name not in KEYS:
            raise HarnessError(f"no evdev code for the key {name!r}")
        return KEYS[name]

    def key(self, *combos: str) -> None:
        """Presses key combinations named as xdotool names them, e.g. "super+alt+n"."""
        for combo in combos:
            codes = [self._key_code(part) for part in combo.split("+")]
            for code in codes:
                self._input.ask(f"key {code} 1")
            for code in reversed(codes):
                self._input.ask(f"key {code} 0")

    def type_text(self, text: str) -> None:
        for character in text:
            if character not in _CHARACTERS:
                raise HarnessError(f"cannot type {character!r} with the US layout table")
            name, shifted = _CHARACTERS[character]
            self.key(f"shift+{name}" if shifted else name)

    def xdotool(self, *arguments: object) -> str:
        raise HarnessError("xdotool only reaches XWayland's clients: use the compositor's "
                           "input (move, click, key, type_text)")

    def window_under_pointer(self, x: int, y: int) -> int:
        raise HarnessError("XWayland does not know which Wayland surface is under the "
                           "pointer: check where a click lands with a logging window")

    # ---- pictures, from the compositor

    def screenshot(self, label: str = "shot") -> Optional[Path]:
        if self._screen is None:
            return None
        self._shots += 1
        path = self.artifacts / f"{self._shots:02d}-{label}.png"
        try:
            self._screen.ask(f"shot {path}")
        except HarnessError as error:
            print(f"screenshot failed: {error}")
            return None
        return path

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        red, green, blue = map(int, self._screen.ask(f"pixel {x} {y}").split())
        return red, green, blue

    # ---- a native Wayland window

    def open_click_log(self) -> "ClickLog":
        """Starts a maximised native Wayland window that logs its presses, keys and focus,
        and waits until it is shown and has the keyboard."""
        binary = self.helpers / "orlette_click_log"
        if not binary.exists():
            raise HarnessError(f"{binary} is missing: build the tests first")
        process = self.spawn([binary], "click-log", env={"QT_QPA_PLATFORM": "wayland"})
        log = ClickLog(self, process)
        self.wait_for(lambda: log.lines("shown"), "the native window to show")
        self.wait_for(lambda: log.has_focus(), "the native window to take the keyboard")
        return log


class ClickLog:
    """What the native window has received, as it printed it."""

    def __init__(self, desktop: WaylandDesktop, process: Process):
        self.desktop = desktop
        self.process = process

    def lines(self, prefix: str = "") -> list[str]:
        if not self.process.running():
            raise HarnessError(f"the native window ended:\n{self.process.output()}")
        return [line for line in self.process.output().splitlines() if line.startswith(prefix)]

    def presses(self) -> int:
        return len(self.lines("press "))

    def has_focus(self) -> bool:
        focus = self.lines("focus ")
        return bool(focus) and focus[-1] == "focus in"

    def wait_for_press(self, count: int, what: str, timeout: Optional[float] = None) -> None:
        self.desktop.wait_for(lambda: self.presses() >= count, what, timeout)


def _xwayland_of(compositor: int) -> Optional[tuple[str, Optional[str]]]:
    """The display and authority file of the XWayland server a compositor started."""
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            stat = (entry / "stat").read_text()
            arguments = (entry / "cmdline").read_bytes().split(b"\0")
        except OSError:
            continue
        parent = int(stat.rsplit(")", 1)[1].split()[1])
        if parent != compositor or not arguments or not arguments[0].endswith(b"Xwayland"):
            continue
        words = [word.decode() for word in arguments if word]
        display = next((word for word in words if re.fullmatch(r":\d+", word)), None)
        auth = words[words.index("-auth") + 1] if "-auth" in words else None
        if display:
            return display, auth
    return None
