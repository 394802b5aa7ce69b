#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A StatusNotifierWatcher of the kind a panel runs beside its tray (swaybar, waybar): it
owns org.kde.StatusNotifierWatcher on the session bus, says a host is there, and keeps
the items that register while their owners stay on the bus. An item counts only once its
object answers on org.kde.StatusNotifierItem, as with KDE's watcher.

Prints "ready" once it owns its name and "registered ITEM" / "unregistered ITEM" as items
come and go; RegisteredStatusNotifierItems gives the same list over D-Bus.

With --host-registers it is a watcher whose host is another program (the standalone
daemons, a bar started in two steps): no host until one calls RegisterStatusNotifierHost,
and every read of IsStatusNotifierHostRegistered is printed as "asked SENDER".

Needs Debian's python3-dbus and python3-gi.
"""

import signal
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

SERVICE = "org.kde.StatusNotifierWatcher"
PATH = "/StatusNotifierWatcher"
INTERFACE = "org.kde.StatusNotifierWatcher"
ITEM_INTERFACE = "org.kde.StatusNotifierItem"
PROPERTIES = "org.freedesktop.DBus.Properties"

INTROSPECTION = """<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
    <signal name="StatusNotifierHostUnregistered"/>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get">
      <arg name="interface" type="s" direction="in"/><arg name="name" type="s" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="GetAll">
      <arg name="interface" type="s" direction="in"/>
      <arg name="values" type="a{sv}" direction="out"/>
    </method>
    <method name="Set">
      <arg name="interface" type="s" direction="in"/><arg name="name" type="s" direction="in"/>
      <arg name="value" type="v" direction="in"/>
    </method>
    <signal name="PropertiesChanged">
      <arg type="s"/><arg type="a{sv}"/><arg type="as"/>
    </signal>
  </interface>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg name="xml" type="s" direction="out"/></method>
  </interface>
</node>
"""


class Watcher(dbus.service.Object):
    def __init__(self, bus, host_registers):
        super().__init__(bus, PATH)
        self.bus = bus
        self.host_registers = host_registers
        self.items = []  # "service/path", in the order they registered
        self.hosts = []
        self.owner_watches = {}

    # org.kde.StatusNotifierWatcher

    @dbus.service.method(INTERFACE, in_signature="s", out_signature="", sender_keyword="sender",
                         async_callbacks=("done", "failed"))
    def RegisterStatusNotifierItem(self, service_or_path, sender, done, failed):
        # A bare object path means the item lives on the caller's connection.
        if service_or_path.startswith("/"):
            service, path = sender, service_or_path
        else:
            service, path = service_or_path, "/StatusNotifierItem"
        item = service + path
        done()
        if item in self.items:
            return

        def answered(_values):
            if item in self.items:
                return
            self.items.append(item)
            self.follow_owner(service)
            print("registered", item, flush=True)
            self.StatusNotifierItemRegistered(item)

        def silent(error):
            print("refused", item, error.get_dbus_name(), flush=True)

        self.bus.call_async(service, path, PROPERTIES, "GetAll", "s", (ITEM_INTERFACE,),
                            answered, silent)

    @dbus.service.method(INTERFACE, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierHost(self, service, sender):
        if service not in self.hosts:
            self.hosts.append(service)
            self.follow_owner(service)
            self.StatusNotifierHostRegistered()

    @dbus.service.signal(INTERFACE, signature="s")
    def StatusNotifierItemRegistered(self, item):
        pass

    @dbus.service.signal(INTERFACE, signature="s")
    def StatusNotifierItemUnregistered(self, item):
        pass

    @dbus.service.signal(INTERFACE, signature="")
    def StatusNotifierHostRegistered(self):
        pass

    @dbus.service.signal(INTERFACE, signature="")
    def StatusNotifierHostUnregistered(self):
        pass

    def follow_owner(self, service):
        if service in self.owner_watches:
            return

        def owner_changed(owner):
            if owner:
                return
            for item in [i for i in self.items if i.startswith(service + "/")]:
                self.items.remove(item)
                print("unregistered", item, flush=True)
                self.StatusNotifierItemUnregistered(item)
            if service in self.hosts:
                self.hosts.remove(service)
                self.StatusNotifierHostUnregistered()
            self.owner_watches.pop(service).cancel()

        self.owner_watches[service] = self.bus.watch_name_owner(service, owner_changed)

    # org.freedesktop.DBus.Properties

    def properties(self):
        # A panel's own tray is the host: there is one as long as the watcher runs.
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered":
                dbus.Boolean(bool(self.hosts) or not self.host_registers),
            "ProtocolVersion": dbus.Int32(0),
        }

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v",
                         sender_keyword="sender")
    def Get(self, interface, name, sender):
        if name == "IsStatusNotifierHostRegistered":
            print("asked", sender, flush=True)
        values = self.properties()
        if interface != INTERFACE or name not in values:
            raise dbus.exceptions.DBusException(
                "no property %s.%s" % (interface, name),
                name="org.freedesktop.DBus.Error.UnknownProperty")
        return values[name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}",
                         sender_keyword="sender")
    def GetAll(self, interface, sender):
        print("asked", sender, flush=True)
        return self.properties() if interface == INTERFACE else {}

    @dbus.service.method(PROPERTIES, in_signature="ssv", out_signature="")
    def Set(self, interface, name, value):
        raise dbus.exceptions.DBusException(
            "read-only property %s" % name, name="org.freedesktop.DBus.Error.PropertyReadOnly")

    @dbus.service.method("org.freedesktop.DBus.Introspectable", in_signature="",
                         out_signature="s")
    def Introspect(self):
        # With the properties: Qt reads them through an introspected interface.
        return INTROSPECTION


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    loop = GLib.MainLoop()
    # Kept until the loop ends: the object and the name leave the bus with them.
    owned = (Watcher(bus, "--host-registers" in sys.argv[1:]),
             dbus.service.BusName(SERVICE, bus, do_not_queue=True))
    for number in (signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, number, loop.quit)
    print("ready", flush=True)
    loop.run()
    del owned
    return 0


if __name__ == "__main__":
    sys.exit(main())
