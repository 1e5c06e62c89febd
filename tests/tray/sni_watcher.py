#!/usr/bin/python3
"""A small StatusNotifierWatcher that is also the tray host, for tests and benchmarks.

It owns org.kde.StatusNotifierWatcher on the session bus, reports a registered host (so Qt
puts its tray icons on D-Bus), keeps the list of registered items, drops an item when its
connection leaves the bus, and writes one JSON line per event to --log:

    {"t": <CLOCK_MONOTONIC seconds>, "event": "watcher-ready"}
    {"t": ..., "event": "registered", "item": ":1.7/StatusNotifierItem", "sender": ":1.7"}
    {"t": ..., "event": "unregistered", "item": ":1.7/StatusNotifierItem"}

The time is the monotonic clock of the machine, so a caller can compare it with the moment
it started a program.
"""
import argparse
import json
import os
import signal
import sys
import time

from gi.repository import Gio, GLib

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_XML = """
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
</node>
"""


class Watcher:
    def __init__(self, bus, log):
        self.bus = bus
        self.log = log
        self.items = []  # "service/path", in registration order
        self.owners = {}  # item -> bus name whose departure removes it
        info = Gio.DBusNodeInfo.new_for_xml(WATCHER_XML)
        bus.register_object("/StatusNotifierWatcher", info.interfaces[0], self.on_call,
                            self.on_get_property, None)
        bus.signal_subscribe("org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
                             "/org/freedesktop/DBus", None, Gio.DBusSignalFlags.NONE,
                             self.on_name_owner_changed)

    def write(self, event, **fields):
        fields.update(t=time.monotonic(), event=event)
        self.log.write(json.dumps(fields) + "\n")
        self.log.flush()

    def emit(self, name, args):
        self.bus.emit_signal(None, "/StatusNotifierWatcher", WATCHER, name, args)

    def on_call(self, bus, sender, path, iface, method, params, invocation):
        if method == "RegisterStatusNotifierItem":
            arg = params.unpack()[0]
            # Either a bus name (the item at the usual path) or a path on the caller's
            # connection, as Ayatana libraries send it.
            if arg.startswith("/"):
                service, obj = sender, arg
            else:
                service, obj = arg, "/StatusNotifierItem"
            item = service + obj
            if item not in self.items:
                self.items.append(item)
                self.owners[item] = sender
                self.write("registered", item=item, sender=sender)
                self.emit("StatusNotifierItemRegistered", GLib.Variant("(s)", (item,)))
            invocation.return_value(None)
        elif method == "RegisterStatusNotifierHost":
            invocation.return_value(None)
        else:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)

    def on_get_property(self, bus, sender, path, iface, name):
        if name == "RegisteredStatusNotifierItems":
            return GLib.Variant("as", self.items)
        if name == "IsStatusNotifierHostRegistered":
            return GLib.Variant("b", True)
        if name == "ProtocolVersion":
            return GLib.Variant("i", 0)
        return None

    def on_name_owner_changed(self, bus, sender, path, iface, signal_name, params):
        name, _old, new = params.unpack()
        if new:
            return
        for item in [i for i in self.items if self.owners[i] == name or i.startswith(name + "/")]:
            self.items.remove(item)
            del self.owners[item]
            self.write("unregistered", item=item)
            self.emit("StatusNotifierItemUnregistered", GLib.Variant("(s)", (item,)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--log", required=True, help="file for the JSON lines of events")
    args = parser.parse_args()

    log = open(args.log, "a", buffering=1)
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    watcher = Watcher(bus, log)
    loop = GLib.MainLoop()

    owned, failed = [], []

    def acquired(_bus, _name):
        owned.append(True)
        # The host's own name, as a real tray's host would hold it.
        Gio.bus_own_name_on_connection(bus, "org.kde.StatusNotifierHost-%d" % os.getpid(),
                                       Gio.BusNameOwnerFlags.NONE, None, None)
        watcher.write("watcher-ready")

    def lost(_bus, _name):
        if owned:  # the bus is going away
            loop.quit()
            return
        print("sni_watcher: cannot own %s (another watcher runs?)" % WATCHER, file=sys.stderr)
        failed.append(True)
        loop.quit()

    Gio.bus_own_name_on_connection(bus, WATCHER, Gio.BusNameOwnerFlags.DO_NOT_QUEUE, acquired,
                                   lost)
    for sig in (signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, sig, loop.quit)
    loop.run()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
