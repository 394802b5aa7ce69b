# SPDX-License-Identifier: GPL-3.0-or-later
"""End-to-end test harness: a private virtual desktop (Xvfb, openbox, xcompmgr) on a free
display, the programs started on it, xdotool to drive them, and screenshots, window
geometry, states and hit tests to check them.

A test script defines functions named test_* that take the parsed arguments and ends with
``harness.main(globals())``. It is run as

    python3 test_something.py --binary build/orlette --artifacts build/e2e-artifacts

Every desktop writes its logs and screenshots into ARTIFACTS/<script>/<desktop name>/, and
everything it started is ended when it is left, when the script ends, and when the script
itself is killed (its children get SIGTERM from the kernel).
"""

from __future__ import annotations

import argparse
import atexit
import ctypes
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback
from pathlib import Path
from typing import Callable, Iterable, Optional

DEFAULT_TIMEOUT = 10.0
_POLL_INTERVAL = 0.05
_live_desktops: list["Desktop"] = []
# Debian's interpreter, which has the AT-SPI bindings whatever python runs the tests.
_A11Y_PYTHON = "/usr/bin/python3"
_A11Y_PROBE = Path(__file__).with_name("a11y_probe.py")


class HarnessError(Exception):
    """The desktop could not be set up, or a wait ran out of time."""


# --------------------------------------------------------------------------- arguments


def parse_args(argv: Optional[list[str]] = None) -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", type=Path, required=True, help="the orlette executable")
    parser.add_argument("--artifacts", type=Path, default=Path("e2e-artifacts"),
                        help="folder for logs and screenshots")
    parser.add_argument("-k", dest="selection", default="",
                        help="run only the tests whose name contains this text")
    args, _ = parser.parse_known_args(argv)
    args.binary = args.binary.resolve()
    args.artifacts = (args.artifacts / Path(sys.argv[0]).stem).resolve()
    return args


def build_dir(args: argparse.Namespace) -> Path:
    """The build folder that holds the executable (and tests/ with the test binaries)."""
    return args.binary.parent


# --------------------------------------------------------------------------- processes


def _die_with_parent() -> None:
    # Linux PR_SET_PDEATHSIG: the child gets SIGTERM when this script dies, however it
    # dies (ctest kills a test that runs out of time).
    try:
        ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGTERM)
    except OSError:
        pass
    os.setpgrp()


class Process:
    """A program started on a desktop, with its output in a log file."""

    def __init__(self, name: str, command: list[str], env: dict[str, str], log: Path,
                 pass_fds: Iterable[int] = ()):
        self.name = name
        self.command = command
        self.log = log
        self._log_file = open(log, "wb")
        self.popen = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                      stdout=self._log_file, stderr=subprocess.STDOUT,
                                      pass_fds=tuple(pass_fds), preexec_fn=_die_with_parent)

    @property
    def pid(self) -> int:
        return self.popen.pid

    def running(self) -> bool:
        return self.popen.poll() is None

    def wait(self, timeout: float = DEFAULT_TIMEOUT) -> int:
        try:
            return self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"{self.name} still runs after {timeout} s") from None

    def stop(self, grace: float = 3.0) -> Optional[int]:
        """Ends the program (SIGTERM, then SIGKILL after `grace` seconds)."""
        if self.running():
            try:
                os.killpg(self.popen.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                self.popen.wait(grace)
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(self.popen.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                self.popen.wait(grace)
        self._log_file.close()
        return self.popen.returncode

    def output(self) -> str:
        self._log_file.flush()
        return self.log.read_text(errors="replace")


# --------------------------------------------------------------------------- desktop


class Desktop:
    """A private X display with an optional window manager, compositor and tray.

    Use it as a context manager::

        with Desktop(args.artifacts, "rails", compositor=True) as desktop:
            app = desktop.launch(args.binary)
            wid = desktop.wait_for_window(pid=app.pid)
    """

    def __init__(self, artifacts: Path, name: str, size: tuple[int, int] = (1920, 1080),
                 window_manager: bool = True, compositor: bool = True, tray: bool = False,
                 session: bool = False, timeout: float = DEFAULT_TIMEOUT):
        self.name = name
        self.size = size
        self.window_manager = window_manager
        self.compositor = compositor
        self.tray = tray
        # A D-Bus session of its own with the accessibility bus (so tests read and press
        # the application's widgets as a screen reader would) and an unlocked secret
        # store (so passwords are kept as on a real desktop).
        self.session = session
        self.bus_address: Optional[str] = None
        self.timeout = timeout
        self.artifacts = Path(artifacts) / name
        self.display: Optional[str] = None
        self.home: Optional[Path] = None
        self._processes: list[Process] = []
        self._server: Optional[Process] = None
        self._shots = 0

    # ---- lifecycle

    def __enter__(self) -> "Desktop":
        self.start()
        return self

    def __exit__(self, kind, value, tb) -> None:
        if kind is not None:
            self.screenshot("failure")
        self.stop()

    def start(self) -> None:
        for tool in ("Xvfb", "xdotool", "xwininfo", "xprop", "import"):
            if shutil.which(tool) is None:
                raise HarnessError(f"{tool} is missing (scripts/install-deps.sh installs it)")
        if self.artifacts.exists():
            shutil.rmtree(self.artifacts)
        self.artifacts.mkdir(parents=True)
        self.home = Path(tempfile.mkdtemp(prefix=f"orlette-e2e-{self.name}-"))
        for sub in ("config", "data", "cache", "runtime"):
            (self.home / sub).mkdir(mode=0o700)
        _live_desktops.append(self)
        try:
            self._start_server()
            if self.session:
                self._start_session()
            if self.window_manager:
                self._start_window_manager()
            if self.compositor:
                self._start_compositor()
            if self.tray:
                self._start_tray()
        except BaseException:
            self.stop()
            raise

    def stop(self) -> None:
        """Ends every program of the desktop, newest first, then the server."""
        for process in reversed(self._processes):
            process.stop()
        self._processes.clear()
        if self._server is not None:
            self._server.stop()
            self._server = None
        if self.home is not None:
            shutil.rmtree(self.home, ignore_errors=True)
            self.home = None
        if self in _live_desktops:
            _live_desktops.remove(self)

    def _start_server(self) -> None:
        # -displayfd lets the server take the first free display and tell which, once it
        # accepts connections: no guessing, no race with other servers.
        read_end, write_end = os.pipe()
        width, height = self.size
        try:
            self._server = Process(
                "Xvfb",
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                 "-nolisten", "tcp", "-noreset", "+extension", "RANDR"],
                dict(os.environ), self.artifacts / "Xvfb.log", pass_fds=(write_end,))
            os.close(write_end)
            number = b""
            # A short wait asked for by a test is for what it waits on, not for the
            # server, which takes longer on a busy machine.
            deadline = time.monotonic() + max(self.timeout, DEFAULT_TIMEOUT)
            while not number.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                ready, _, _ = select.select([read_end], [], [], max(remaining, 0))
                if not ready or not self._server.running():
                    raise HarnessError(f"Xvfb did not start:\n{self._server.output()}")
                chunk = os.read(read_end, 64)
                if not chunk:
                    raise HarnessError(f"Xvfb closed its display pipe:\n{self._server.output()}")
                number += chunk
        finally:
            os.close(read_end)
        self.display = ":" + number.decode().strip()

    def _start_session(self) -> None:
        socket = self.home / "runtime" / "bus"
        self.spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                    f"--address=unix:path={socket}"], "dbus-daemon")
        self.wait_for(socket.exists, "the session bus to start")
        self.bus_address = f"unix:path={socket}"
        self.spawn(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                   "at-spi-bus-launcher")
        self.wait_for(lambda: self._bus_has("org.a11y.Bus"), "the accessibility bus")
        self.spawn(["sh", "-c", "printf orlette | exec gnome-keyring-daemon --foreground "
                                "--unlock --components=secrets"], "gnome-keyring-daemon")
        self.wait_for(lambda: self._bus_has("org.freedesktop.secrets"), "the secret store")

    def _bus_has(self, name: str) -> bool:
        result = self.run(["dbus-send", "--session", "--print-reply",
                           "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus.NameHasOwner", f"string:{name}"], check=False)
        return "boolean true" in result.stdout

    def _start_window_manager(self) -> None:
        self.spawn(["openbox", "--sm-disable"], "openbox")
        self.wait_for(lambda: "window id #" in self.xprop_root("_NET_SUPPORTING_WM_CHECK"),
                      "the window manager to start")

    def _start_compositor(self) -> None:
        self.spawn(["xcompmgr", "-n"], "xcompmgr")
        self.wait_for(self.compositing, "the compositor to start")

    def _start_tray(self) -> None:
        self.spawn(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                    "--height", "24", "--SetDockType", "true"], "trayer")
        self.wait_for(lambda: self._search(["--class", "trayer"]), "the tray to start")

    # ---- environment and programs

    def environment(self, extra: Optional[dict[str, str]] = None) -> dict[str, str]:
        """The environment of programs on this desktop: its display, a private home and
        XDG folders (so settings and notes of the test never touch the user's), xcb."""
        assert self.display is not None and self.home is not None, "the desktop is not started"
        env = {key: value for key, value in os.environ.items()
               if not key.startswith(("XDG_", "WAYLAND_", "QT_", "DBUS_SESSION"))}
        env.update({
            "DISPLAY": self.display,
            "HOME": str(self.home),
            "XDG_CONFIG_HOME": str(self.home / "config"),
            "XDG_DATA_HOME": str(self.home / "data"),
            "XDG_CACHE_HOME": str(self.home / "cache"),
            "XDG_RUNTIME_DIR": str(self.home / "runtime"),
            "QT_QPA_PLATFORM": "xcb",
            "LANG": env.get("LANG", "C.UTF-8"),
        })
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
            env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        else:
            env["NO_AT_BRIDGE"] = "1"
        env.update(extra or {})
        return env

    def spawn(self, command: list[str], name: Optional[str] = None,
              env: Optional[dict[str, str]] = None) -> Process:
        """Starts a program on the desktop; it is ended when the desktop stops."""
        name = name or Path(command[0]).name
        log = self.artifacts / f"{name}.log"
        index = 1
        while log.exists():
            index += 1
            log = self.artifacts / f"{name}-{index}.log"
        process = Process(name, [str(part) for part in command], self.environment(env), log)
        self._processes.append(process)
        return process

    def launch(self, binary: Path, *arguments: str,
               env: Optional[dict[str, str]] = None) -> Process:
        """Starts the application under test."""
        return self.spawn([str(binary), *arguments], Path(binary).name, env)

    def run(self, command: list[str], timeout: Optional[float] = None, check: bool = True,
            env: Optional[dict[str, str]] = None) -> subprocess.CompletedProcess:
        """Runs a short command on the desktop and returns its output."""
        try:
            result = subprocess.run([str(part) for part in command],
                                    env=self.environment(env), capture_output=True, text=True,
                                    timeout=timeout or self.timeout, stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"{command[0]} took longer than {timeout or self.timeout} s")
        if check and result.returncode != 0:
            raise HarnessError(f"{' '.join(map(str, command))} failed ({result.returncode}):\n"
                               f"{result.stdout}{result.stderr}")
        return result

    # ---- waiting

    def wait_for(self, condition: Callable[[], object], what: str,
                 timeout: Optional[float] = None):
        """Polls `condition` until it returns something true and returns that; on time-out
        takes a screenshot and raises HarnessError."""
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            value = condition()
            if value:
                return value
            if time.monotonic() > deadline:
                shot = self.screenshot("timeout") if self.display else None
                raise HarnessError(f"timed out waiting for {what}"
                                   + (f" (screenshot {shot})" if shot else ""))
            time.sleep(_POLL_INTERVAL)

    # ---- windows

    def _search(self, criteria: list[str]) -> list[int]:
        result = self.run(["xdotool", "search", *criteria], check=False)
        return [int(line) for line in result.stdout.split() if line.isdigit()]

    def find_windows(self, name: Optional[str] = None, class_name: Optional[str] = None,
                     pid: Optional[int] = None, visible: bool = True) -> list[int]:
        """Client windows matching every given criterion (name and class are regexes)."""
        criteria = ["--onlyvisible"] if visible else []
        sets = []
        if name is not None:
            sets.append(set(self._search(criteria + ["--name", name])))
        if class_name is not None:
            sets.append(set(self._search(criteria + ["--class", class_name])))
        if pid is not None:
            sets.append(set(self._search(criteria + ["--pid", str(pid)])))
        if not sets:
            raise ValueError("give a name, a class or a pid")
        return sorted(set.intersection(*sets))

    def wait_for_window(self, name: Optional[str] = None, class_name: Optional[str] = None,
                        pid: Optional[int] = None, visible: bool = True,
                        timeout: Optional[float] = None) -> int:
        """The first matching window, once there is one."""
        found = self.wait_for(lambda: self.find_windows(name, class_name, pid, visible),
                              f"a window (name={name}, class={class_name}, pid={pid})", timeout)
        return found[0]

    def geometry(self, window: int) -> dict:
        """Position on the screen (x, y), size and map state of a window (xwininfo)."""
        text = self.run(["xwininfo", "-id", str(window)]).stdout

        def field(label: str) -> str:
            match = re.search(rf"^\s*{re.escape(label)}:\s*(\S+)", text, re.MULTILINE)
            if not match:
                raise HarnessError(f"xwininfo gave no {label}:\n{text}")
            return match.group(1)

        return {"x": int(field("Absolute upper-left X")),
                "y": int(field("Absolute upper-left Y")),
                "width": int(field("Width")), "height": int(field("Height")),
                "map_state": field("Map State")}

    def window_property(self, window: int, name: str) -> str:
        """The value of a property as xprop prints it, or "" when it is not set."""
        text = self.run(["xprop", "-id", str(window), name], check=False).stdout.strip()
        return "" if "not found" in text or "no such atom" in text else text

    def window_states(self, window: int) -> set[str]:
        """The _NET_WM_STATE atoms of a window (e.g. _NET_WM_STATE_ABOVE)."""
        return set(re.findall(r"_NET_WM_STATE_\w+", self.window_property(window, "_NET_WM_STATE")))

    def xprop_root(self, name: str) -> str:
        return self.run(["xprop", "-root", name], check=False).stdout

    def active_window(self) -> Optional[int]:
        match = re.search(r"window id # (0x[0-9a-f]+)", self.xprop_root("_NET_ACTIVE_WINDOW"))
        value = int(match.group(1), 16) if match else 0
        return value or None

    def descendants(self, window: int) -> set[int]:
        text = self.run(["xwininfo", "-id", str(window), "-tree"], check=False).stdout
        return {int(found, 16) for found in re.findall(r"^\s+(0x[0-9a-f]+)", text, re.MULTILINE)}

    def window_under_pointer(self, x: int, y: int) -> int:
        """The top-level window (a window-manager frame, usually) that takes the pointer at
        (x, y). Input shapes count: a click-through area shows the window behind."""
        self.move(x, y)
        text = self.run(["xdotool", "getmouselocation", "--shell"]).stdout
        match = re.search(r"^WINDOW=(\d+)", text, re.MULTILINE)
        return int(match.group(1)) if match else 0

    def pointer_hits(self, window: int, x: int, y: int) -> bool:
        """Whether a click at (x, y) would reach `window` (a client window)."""
        under = self.window_under_pointer(x, y)
        if under == window:
            return True
        return under != self.root_window() and window in self.descendants(under)

    def root_window(self) -> int:
        text = self.run(["xwininfo", "-root"]).stdout
        return int(re.search(r"Window id: (0x[0-9a-f]+)", text).group(1), 16)

    def compositing(self) -> bool:
        """Whether a compositing manager runs (xcompmgr announces itself with a window)."""
        tree = self.run(["xwininfo", "-root", "-children"], check=False).stdout
        return '"xcompmgr"' in tree

    # ---- input

    def xdotool(self, *arguments: object) -> str:
        return self.run(["xdotool", *map(str, arguments)]).stdout

    def move(self, x: int, y: int) -> None:
        # (Not --sync: it waits forever when the pointer is already there; the server
        # handles the requests in order anyway.)
        self.xdotool("mousemove", x, y)

    def click(self, x: int, y: int, button: int = 1) -> None:
        self.move(x, y)
        self.xdotool("click", button)

    def key(self, *combos: str) -> None:
        """Presses keys as xdotool names them, e.g. "super+alt+n"."""
        self.xdotool("key", *combos)

    def type_text(self, text: str) -> None:
        self.xdotool("type", "--delay", "20", text)

    # ---- accessibility (desktops started with session=True)

    def accessible(self, application: str = "orlette") -> list[dict]:
        """What the application shows, as the accessibility bus reports it: one dict per
        showing object with role, name, text, window (the title of its top-level window),
        toplevel, states, x, y, width and height."""
        assert self.bus_address, "the desktop has no session bus (session=True)"
        result = self.run([_A11Y_PYTHON, _A11Y_PROBE, application], timeout=30, check=False)
        if result.returncode != 0:
            # The bus may still be starting or an object went away mid-read: the callers
            # wait and ask again. What went wrong is kept with the desktop's logs.
            with open(self.artifacts / "a11y-probe.log", "a") as log:
                log.write(result.stderr)
            return []
        return json.loads(result.stdout)

    def find_accessible(self, name: Optional[str] = None, role: Optional[str] = None,
                        window: Optional[str] = None, containing: Optional[str] = None,
                        application: str = "orlette") -> list[dict]:
        """Showing objects whose name (or text) is `name` or contains `containing`."""
        found = []
        for node in self.accessible(application):
            label = node["name"] or node["text"]
            if name is not None and name not in (node["name"], node["text"]):
                continue
            if containing is not None and containing not in label:
                continue
            if role is not None and node["role"] != role:
                continue
            if window is not None and node["window"] != window:
                continue
            found.append(node)
        return found

    def wait_for_accessible(self, name: Optional[str] = None, role: Optional[str] = None,
                            window: Optional[str] = None, containing: Optional[str] = None,
                            timeout: Optional[float] = None) -> dict:
        what = f"{role or 'object'} {name or containing!r} on screen"
        return self.wait_for(
            lambda: next(iter(self.find_accessible(name, role, window, containing)), None),
            what, timeout=timeout)

    def press(self, node: dict) -> None:
        """Clicks the middle of an accessible object with the real pointer."""
        self.click(node["x"] + node["width"] // 2, node["y"] + node["height"] // 2)

    def press_accessible(self, name: Optional[str] = None, role: Optional[str] = None,
                         window: Optional[str] = None, containing: Optional[str] = None,
                         timeout: Optional[float] = None) -> dict:
        """Waits for an object to stand still (not moved by an animation between two
        looks), scrolls its window with the wheel until the object is in view, and
        clicks it."""
        place = None
        for _ in range(60):
            node = self.wait_for_accessible(name, role, window, containing, timeout)
            if (node["x"], node["y"]) != place:
                place = (node["x"], node["y"])
                time.sleep(0.15)
                continue
            # Its window: the one of that title holding it, or the only one of that title
            # (an object scrolled out of sight lies outside its window).
            middle = (node["x"] + node["width"] // 2, node["y"] + node["height"] // 2)
            windows = [n for n in self.accessible()
                       if n["toplevel"] and n["window"] == node["window"]]
            frame = next((n for n in windows
                          if n["x"] <= middle[0] < n["x"] + n["width"]
                          and n["y"] <= middle[1] < n["y"] + n["height"]),
                         windows[0] if len(windows) == 1 else None)
            if frame is None:
                break
            top, bottom = frame["y"] + 8, frame["y"] + frame["height"] - 8
            if top <= node["y"] and node["y"] + node["height"] <= bottom:
                break
            self.move(frame["x"] + frame["width"] // 2, frame["y"] + frame["height"] // 2)
            self.xdotool("click", 5 if node["y"] + node["height"] > bottom else 4)
        else:
            raise HarnessError(f"could not scroll {name or containing!r} into view")
        self.press(node)
        return node

    # ---- logs

    def logs_showing(self, *secrets: str) -> dict[str, list[str]]:
        """For each secret (a typed note text, a password), the logs of this desktop that
        hold it: what every program started here wrote (the application's log lines,
        whatever their category, go to its output) and any other log in its artifacts."""
        found: dict[str, list[str]] = {}
        for path in sorted(self.artifacts.rglob("*.log")):
            text = path.read_bytes().decode("utf-8", errors="replace")
            for secret in secrets:
                if secret in text:
                    found.setdefault(secret, []).append(str(path))
        return found

    def assert_logs_never_show(self, *secrets: str) -> None:
        """Fails naming the logs that hold any of `secrets`. Call it at the end of a test
        that typed note text or a password, once the programs' output is flushed."""
        found = self.logs_showing(*secrets)
        assert not found, f"secrets in the logs: {found}"

    # ---- pictures

    def screenshot(self, label: str = "shot") -> Optional[Path]:
        """Saves the whole screen as ARTIFACTS/<desktop>/NN-label.png; None if it fails."""
        if self.display is None:
            return None
        self._shots += 1
        path = self.artifacts / f"{self._shots:02d}-{label}.png"
        try:
            self.run(["import", "-window", "root", str(path)])
        except HarnessError as error:
            print(f"screenshot failed: {error}", file=sys.stderr)
            return None
        return path

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        """The colour of one screen pixel, 8 bits per channel."""
        text = self.run(["import", "-window", "root", "-crop", f"1x1+{x}+{y}", "txt:-"]).stdout
        match = re.search(r"#([0-9A-Fa-f]{6,12})", text)
        if not match:
            raise HarnessError(f"no pixel in: {text}")
        digits = match.group(1)
        step = len(digits) // 3
        return tuple(int(digits[i * step:(i + 1) * step], 16) >> (4 * (step - 2))
                     for i in range(3))


def run_view_tests_on_x11(args: argparse.Namespace, desktop: "Desktop", gtest_filter: str,
                          env: Optional[dict[str, str]] = None) -> None:
    """Runs view tests of the test binary that need a real X server on `desktop`, and
    fails unless some ran and none was skipped."""
    binary = build_dir(args) / "tests" / "orlette_view_tests"
    assert binary.exists(), f"{binary} is missing: build the tests first"
    result = desktop.run(
        [binary, f"--gtest_filter={gtest_filter}"], timeout=240, check=False,
        env={"ORLETTE_VIEW_TESTS_PLATFORM": "xcb",
             "ORLETTE_ARTIFACTS_DIR": str(desktop.artifacts), **(env or {})})
    output = result.stdout + result.stderr
    (desktop.artifacts / "view-tests.log").write_text(output)
    if result.returncode != 0:
        desktop.screenshot("after-tests")
        print(output)
    assert result.returncode == 0, f"{gtest_filter} failed, see {desktop.artifacts}"
    passed = re.search(r"\[  PASSED  \] (\d+) test", output)
    assert passed and int(passed.group(1)) > 0, f"no test of {gtest_filter} ran"
    assert "[  SKIPPED ]" not in output, "tests were skipped on an X server:\n" + output


def _stop_all() -> None:
    for desktop in list(_live_desktops):
        desktop.stop()


atexit.register(_stop_all)


def _on_signal(number, _frame):
    _stop_all()
    sys.exit(128 + number)


for _signal in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
    signal.signal(_signal, _on_signal)


# --------------------------------------------------------------------------- runner


def main(namespace: dict) -> None:
    """Runs the test_* functions of a script in order, each with the parsed arguments,
    and ends with a "N passed, N failed" line; the exit status is 1 when one failed."""
    args = parse_args()
    args.artifacts.mkdir(parents=True, exist_ok=True)
    tests = [(name, function) for name, function in namespace.items()
             if name.startswith("test_") and callable(function) and args.selection in name]
    passed = failed = 0
    for name, function in tests:
        started = time.monotonic()
        print(f"[ RUN  ] {name}", flush=True)
        try:
            function(args)
        except Exception:
            failed += 1
            traceback.print_exc()
            print(f"[ FAIL ] {name} ({time.monotonic() - started:.1f} s)", flush=True)
        else:
            passed += 1
            print(f"[  OK  ] {name} ({time.monotonic() - started:.1f} s)", flush=True)
        finally:
            _stop_all()
    print(f"{passed} passed, {failed} failed", flush=True)
    sys.exit(1 if failed or not tests else 0)
