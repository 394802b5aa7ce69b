#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The desktop portal's global shortcuts (org.freedesktop.portal.GlobalShortcuts) on the
session bus of DBUS_SESSION_BUS_ADDRESS, for the protocol: request and session objects at
the paths the portal predicts, Request.Response, Activated/Deactivated, ShortcutsChanged,
Session.Close and Closed. Answers come before the call's own reply unless --answer-after
delays the binding's answer, as a desktop that asks the person would. --version-after
delays the answer to whether the interface is there, as a portal still starting does.

A control object (/org/orlette/FakePortal, org.orlette.FakePortal) presses keys, changes
triggers, closes sessions from the desktop's side and lists the calls it received."""

import argparse
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

BUS_NAME = "org.freedesktop.portal.Desktop"
PORTAL_PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
REQUEST = "org.freedesktop.portal.Request"
SESSION = "org.freedesktop.portal.Session"
PROPERTIES = "org.freedesktop.DBus.Properties"
CONTROL = "org.orlette.FakePortal"
INVALID_ARGS = "org.freedesktop.DBus.Error.InvalidArgs"
INVALID_ARGUMENT = "org.freedesktop.portal.Error.InvalidArgument"
VERSION = 1


class PortalError(dbus.DBusException):
    def __init__(self, name, message):
        super().__init__(message)
        self._dbus_error_name = name


def sender_element(sender):
    return sender.lstrip(":").replace(".", "_")


def valid_token(token):
    return bool(token) and all(c.isascii() and (c.isalnum() or c == "_") for c in token)


class Request(dbus.service.Object):
    def __init__(self, portal, path):
        super().__init__(portal.connection, path)
        self.portal = portal
        self.path = path
        self.timer = None

    def answer(self, response, results, after_ms=0):
        def send():
            self.timer = None
            self.Response(dbus.UInt32(response), dbus.Dictionary(results, signature="sv"))
            self.remove_from_connection()
            return False

        if after_ms > 0:
            self.timer = GLib.timeout_add(after_ms, send)
        else:
            send()

    @dbus.service.method(REQUEST, in_signature="", out_signature="")
    def Close(self):
        self.portal.record("Request.Close " + self.path)
        if self.timer is not None:
            GLib.source_remove(self.timer)
            self.timer = None
        self.remove_from_connection()

    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, response, results):
        pass


class Session(dbus.service.Object):
    def __init__(self, portal, path, owner):
        super().__init__(portal.connection, path)
        self.portal = portal
        self.path = path
        self.owner = owner
        # Bound shortcuts and their triggers; asked for but given no key yet.
        self.shortcuts = {}
        self.unassigned = set()

    def end(self):
        self.portal.sessions.pop(self.path, None)
        self.remove_from_connection()

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        self.portal.record("Session.Close " + self.path)
        self.end()

    @dbus.service.signal(SESSION, signature="a{sv}")
    def Closed(self, details):
        pass

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == SESSION and name == "version":
            return dbus.UInt32(1)
        raise PortalError(INVALID_ARGS, "No such property")


class Portal(dbus.service.Object):
    def __init__(self, bus, options):
        super().__init__(bus, PORTAL_PATH)
        self.options = options
        self.sessions = {}
        self.calls = []

    def record(self, call):
        self.calls.append(call)

    def request(self, sender, options):
        token = str(options.get("handle_token", ""))
        if not valid_token(token):
            raise PortalError(INVALID_ARGUMENT, "Invalid handle_token")
        path = "%s/request/%s/%s" % (PORTAL_PATH, sender_element(sender), token)
        return Request(self, path)

    def bound_sessions(self, shortcut_id):
        return [s for s in self.sessions.values() if shortcut_id in s.shortcuts]

    # The portal's own interface.

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v",
                         async_callbacks=("reply", "error"))
    def Get(self, interface, name, reply, error):
        self.record("Get %s %s" % (interface, name))
        if self.options.hang:
            return

        def answer():
            self.record("Get answered")
            if interface == SHORTCUTS and name == "version" and not self.options.without_interface:
                reply(dbus.UInt32(VERSION))
            else:
                error(PortalError(INVALID_ARGS, "No such interface “%s”" % interface))
            return False

        if self.options.version_after > 0:
            GLib.timeout_add(self.options.version_after, answer)
        else:
            answer()

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o",
                         sender_keyword="sender", async_callbacks=("reply", "error"))
    def CreateSession(self, options, sender, reply, error):
        if self.options.without_interface:
            error(PortalError("org.freedesktop.DBus.Error.UnknownMethod", "No such method"))
            return
        token = str(options.get("session_handle_token", ""))
        if not valid_token(token):
            error(PortalError(INVALID_ARGUMENT, "Invalid session_handle_token"))
            return
        request = self.request(sender, options)
        path = "%s/session/%s/%s" % (PORTAL_PATH, sender_element(sender), token)
        self.sessions[path] = Session(self, path, sender)
        self.record("CreateSession " + path)
        # The portal hands the session's path back as a string.
        request.answer(0, {"session_handle": dbus.String(path)})
        reply(dbus.ObjectPath(request.path))

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o",
                         sender_keyword="sender", async_callbacks=("reply", "error"))
    def BindShortcuts(self, session_handle, shortcuts, parent_window, options, sender, reply,
                      error):
        session = self.sessions.get(str(session_handle))
        if session is None or session.owner != sender:
            error(PortalError(INVALID_ARGUMENT, "Invalid session"))
            return
        request = self.request(sender, options)
        for shortcut_id, properties in shortcuts:
            self.record("BindShortcuts %s %s %s" % (
                shortcut_id, properties.get("preferred_trigger", ""),
                properties.get("description", "")))
        if self.options.refuse:
            request.answer(1, {}, self.options.answer_after)
        else:
            bound = dbus.Array(signature="(sa{sv})")
            if self.options.bind_nothing:
                session.unassigned.update(str(shortcut_id) for shortcut_id, _ in shortcuts)
            else:
                for shortcut_id, properties in shortcuts:
                    trigger = self.options.trigger_description
                    session.shortcuts[str(shortcut_id)] = trigger
                    bound.append(dbus.Struct((shortcut_id, dbus.Dictionary({
                        "description": properties.get("description", ""),
                        "trigger_description": trigger}, signature="sv"))))
            request.answer(0, {"shortcuts": bound}, self.options.answer_after)
        reply(dbus.ObjectPath(request.path))

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature="oa(sa{sv})")
    def ShortcutsChanged(self, session_handle, shortcuts):
        pass

    # The test's controls.

    @dbus.service.method(CONTROL, in_signature="ss", out_signature="u")
    def Press(self, session_handle, shortcut_id):
        """Presses and releases the shortcut in `session_handle`, or, when empty, in every
        session that bound it; answers how many sessions saw it."""
        targets = [session_handle] if session_handle else [
            s.path for s in self.bound_sessions(shortcut_id)]
        for path in targets:
            stamp = dbus.UInt64(GLib.get_monotonic_time() // 1000)
            empty = dbus.Dictionary({}, signature="sv")
            self.Activated(dbus.ObjectPath(path), shortcut_id, stamp, empty)
            self.Deactivated(dbus.ObjectPath(path), shortcut_id, stamp, empty)
        return dbus.UInt32(len(targets))

    @dbus.service.method(CONTROL, in_signature="ss", out_signature="")
    def ChangeTrigger(self, shortcut_id, trigger_description):
        """The person gives the shortcut a key in the desktop's settings."""
        for session in list(self.sessions.values()):
            if shortcut_id not in session.shortcuts and shortcut_id not in session.unassigned:
                continue
            session.unassigned.discard(shortcut_id)
            session.shortcuts[shortcut_id] = trigger_description
            changed = dbus.Array([dbus.Struct((shortcut_id, dbus.Dictionary({
                "trigger_description": trigger_description}, signature="sv")))],
                signature="(sa{sv})")
            self.ShortcutsChanged(dbus.ObjectPath(session.path), changed)

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def CloseSessions(self):
        for session in list(self.sessions.values()):
            session.Closed(dbus.Dictionary({}, signature="sv"))
            session.end()

    @dbus.service.method(CONTROL, in_signature="", out_signature="as")
    def Calls(self):
        return dbus.Array(self.calls, signature="s")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--refuse", action="store_true",
                        help="answer the binding with 1, cancelled by the person")
    parser.add_argument("--bind-nothing", action="store_true",
                        help="answer the binding with success but no shortcut")
    parser.add_argument("--answer-after", type=int, default=0, metavar="MS",
                        help="answer the binding this long after the call")
    parser.add_argument("--without-interface", action="store_true",
                        help="a portal without global shortcuts")
    parser.add_argument("--version-after", type=int, default=0, metavar="MS",
                        help="answer the question for the interface's version this long after")
    parser.add_argument("--hang", action="store_true",
                        help="never answer the question for the interface's version")
    parser.add_argument("--trigger-description", default="Meta+Alt+N")
    options = parser.parse_args()

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = Portal(bus, options)
    # Named last: a client that sees the name finds everything in place.
    name = dbus.service.BusName(BUS_NAME, bus, do_not_queue=True)
    print("ready", flush=True)
    loop = GLib.MainLoop()
    bus.add_signal_receiver(lambda *args: loop.quit(), signal_name="Disconnected",
                            dbus_interface="org.freedesktop.DBus.Local")
    try:
        loop.run()
    finally:
        del name, portal
    return 0


if __name__ == "__main__":
    sys.exit(main())
