#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The compositor side of the Wayland test beds, run with Debian's interpreter (it needs
python3-dbus, python3-gi and GStreamer's introspection data):

    wayland_remote.py mutter   a remote-desktop session of mutter with a screen-cast
                               stream of its monitor: real pointer and keyboard input, and
                               the screen's pixels
    wayland_remote.py kwin     KWin's screenshot interface: the screen's pixels (its input
                               goes through the fake-input client, orlette_kwin_fake_input)

It prints "ready" once it can serve, then reads one command a line on stdin and answers
each with one line, "ok ..." or "error ...":

    move X Y            absolute pointer motion (mutter)
    step DX DY          relative pointer motion, as a mouse makes it (mutter)
    button CODE 0|1     an evdev button code released / pressed (mutter)
    key CODE 0|1        an evdev key code released / pressed (mutter)
    axis DX DY          smooth scroll (mutter)
    pixel X Y           "ok R G B" of the screen's current picture
    shot PATH           the screen's current picture as a PNG file

The session lives as long as this process: mutter ends a remote-desktop session when its
D-Bus client goes away.
"""

from __future__ import annotations

import os
import struct
import sys
import threading
import zlib

import dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

_TIMEOUT_MS = 15000


class Frame:
    """One picture of the screen: width, height and 4 bytes a pixel in `order`."""

    def __init__(self, width: int, height: int, stride: int, data: bytes, order: str):
        self.width, self.height, self.stride, self.data, self.order = (
            width, height, stride, data, order)

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise ValueError(f"({x}, {y}) is outside the {self.width}×{self.height} screen")
        offset = y * self.stride + x * 4
        a, b, c = self.data[offset], self.data[offset + 1], self.data[offset + 2]
        return (a, b, c) if self.order == "RGB" else (c, b, a)

    def save_png(self, path: str) -> None:
        rows = bytearray()
        for y in range(self.height):
            row = self.data[y * self.stride:y * self.stride + self.width * 4]
            rows.append(0)  # no filter
            if self.order == "RGB":
                rgb = bytearray(self.width * 3)
                rgb[0::3], rgb[1::3], rgb[2::3] = row[0::4], row[1::4], row[2::4]
            else:
                rgb = bytearray(self.width * 3)
                rgb[0::3], rgb[1::3], rgb[2::3] = row[2::4], row[1::4], row[0::4]
            rows += rgb

        def chunk(kind: bytes, body: bytes) -> bytes:
            return (struct.pack(">I", len(body)) + kind + body
                    + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                      + chunk(b"IDAT", zlib.compress(bytes(rows), 3)) + chunk(b"IEND", b""))


class MutterRemote:
    """Input through org.gnome.Mutter.RemoteDesktop; pixels from a linked ScreenCast
    stream (absolute pointer motion needs one), read by GStreamer from PipeWire."""

    def __init__(self):
        DBusGMainLoop(set_as_default=True)
        self.bus = dbus.SessionBus()
        remote = dbus.Interface(
            self.bus.get_object("org.gnome.Mutter.RemoteDesktop",
                                "/org/gnome/Mutter/RemoteDesktop"),
            "org.gnome.Mutter.RemoteDesktop")
        session_object = self.bus.get_object("org.gnome.Mutter.RemoteDesktop",
                                             remote.CreateSession())
        self.session = dbus.Interface(session_object, "org.gnome.Mutter.RemoteDesktop.Session")
        session_id = session_object.Get("org.gnome.Mutter.RemoteDesktop.Session", "SessionId",
                                        dbus_interface="org.freedesktop.DBus.Properties")
        cast = dbus.Interface(
            self.bus.get_object("org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast"),
            "org.gnome.Mutter.ScreenCast")
        cast_session = dbus.Interface(
            self.bus.get_object("org.gnome.Mutter.ScreenCast",
                                cast.CreateSession({"remote-desktop-session-id": session_id})),
            "org.gnome.Mutter.ScreenCast.Session")
        # The cursor as metadata, not drawn into the picture: pixels under the pointer are
        # the screen's own.
        self.stream = cast_session.RecordMonitor("", {"cursor-mode": dbus.UInt32(2)})
        node = self._start_and_wait_for_node()
        self._frame: Frame | None = None
        self._frame_lock = threading.Lock()
        self._first_frame = threading.Event()
        self._start_pipeline(node)
        if not self._first_frame.wait(_TIMEOUT_MS / 1000):
            raise RuntimeError("the screen-cast stream sent no picture")

    def _start_and_wait_for_node(self) -> int:
        loop = GLib.MainLoop()
        nodes: list[int] = []

        def added(node):
            nodes.append(int(node))
            loop.quit()

        self.bus.add_signal_receiver(added, "PipeWireStreamAdded",
                                     "org.gnome.Mutter.ScreenCast.Stream", path=self.stream)
        self.session.Start()
        GLib.timeout_add(_TIMEOUT_MS, loop.quit)
        loop.run()
        if not nodes:
            raise RuntimeError("mutter announced no PipeWire stream")
        return nodes[0]

    def _start_pipeline(self, node: int) -> None:
        import gi
        gi.require_version("Gst", "1.0")
        gi.require_version("GstVideo", "1.0")
        from gi.repository import Gst, GstVideo
        Gst.init(None)
        self._pipeline = Gst.parse_launch(
            f"pipewiresrc path={node} always-copy=true ! videoconvert ! "
            "video/x-raw,format=RGBx ! appsink name=sink emit-signals=true "
            "max-buffers=1 drop=true sync=false")
        sink = self._pipeline.get_by_name("sink")

        def on_sample(appsink):
            sample = appsink.emit("pull-sample")
            info = GstVideo.VideoInfo.new_from_caps(sample.get_caps())
            buffer = sample.get_buffer()
            ok, mapped = buffer.map(Gst.MapFlags.READ)
            if ok:
                frame = Frame(info.width, info.height, info.stride[0], bytes(mapped.data), "RGB")
                buffer.unmap(mapped)
                with self._frame_lock:
                    self._frame = frame
                self._first_frame.set()
            return Gst.FlowReturn.OK

        sink.connect("new-sample", on_sample)
        self._pipeline.set_state(Gst.State.PLAYING)

    def frame(self) -> Frame:
        with self._frame_lock:
            assert self._frame is not None
            return self._frame

    def handle(self, words: list[str]) -> str:
        kind = words[0]
        if kind == "move":
            self.session.NotifyPointerMotionAbsolute(self.stream, float(words[1]),
                                                     float(words[2]))
        elif kind == "step":
            self.session.NotifyPointerMotionRelative(float(words[1]), float(words[2]))
        elif kind == "button":
            self.session.NotifyPointerButton(int(words[1]), words[2] == "1")
        elif kind == "key":
            self.session.NotifyKeyboardKeycode(dbus.UInt32(int(words[1])), words[2] == "1")
        elif kind == "axis":
            self.session.NotifyPointerAxis(float(words[1]), float(words[2]), dbus.UInt32(0))
        else:
            return screen_command(self.frame(), words)
        # Each call returns once mutter has queued the event; a ping through the same
        # connection orders this answer after it.
        self.bus.get_object("org.gnome.Mutter.RemoteDesktop",
                            "/org/gnome/Mutter/RemoteDesktop").Ping(
            dbus_interface="org.freedesktop.DBus.Peer")
        return "ok"


class KWinRemote:
    """Pictures of the screen from org.kde.KWin.ScreenShot2 (with
    KWIN_WAYLAND_NO_PERMISSION_CHECKS=1, as the test beds start KWin)."""

    # QImage formats KWin writes: RGB32, ARGB32 and its premultiplied form are B, G, R, A
    # in memory on little-endian machines; RGBX8888, RGBA8888 and premultiplied R, G, B, A.
    _ORDERS = {4: "BGR", 5: "BGR", 6: "BGR", 16: "RGB", 17: "RGB", 18: "RGB"}

    def __init__(self):
        self.bus = dbus.SessionBus()
        self.screenshot = dbus.Interface(
            self.bus.get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2"),
            "org.kde.KWin.ScreenShot2")
        self.frame()

    def frame(self) -> Frame:
        read_end, write_end = os.pipe()
        try:
            results = self.screenshot.CaptureWorkspace(
                {"include-cursor": False, "native-resolution": True},
                dbus.types.UnixFd(write_end), timeout=_TIMEOUT_MS / 1000)
        finally:
            os.close(write_end)
        with os.fdopen(read_end, "rb") as pipe:
            data = pipe.read()
        image_format = int(results["format"])
        if image_format not in self._ORDERS:
            raise RuntimeError(f"KWin wrote a picture in QImage format {image_format}")
        return Frame(int(results["width"]), int(results["height"]), int(results["stride"]),
                     data, self._ORDERS[image_format])

    def handle(self, words: list[str]) -> str:
        return screen_command(self.frame(), words)


def screen_command(frame: Frame, words: list[str]) -> str:
    if words[0] == "pixel":
        return "ok " + " ".join(map(str, frame.pixel(int(words[1]), int(words[2]))))
    if words[0] == "shot":
        frame.save_png(words[1])
        return "ok"
    return f"error unknown command {words[0]}"


def main() -> int:
    kinds = {"mutter": MutterRemote, "kwin": KWinRemote}
    if len(sys.argv) != 2 or sys.argv[1] not in kinds:
        print(f"usage: {sys.argv[0]} mutter|kwin", file=sys.stderr)
        return 2
    remote = kinds[sys.argv[1]]()
    print("ready", flush=True)
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        try:
            answer = remote.handle(words)
        except Exception as error:  # the test reads it and fails with it
            answer = f"error {type(error).__name__}: {error}".replace("\n", " ")
        print(answer, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
