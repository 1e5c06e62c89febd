#!/usr/bin/python3
"""`voldranectl watch` and the tray program following a network namespace whose address and
DNS servers move between two offices, with a private cupsd (root needed). The tray program
runs on a private desktop (tests/tray) with a stand-in notification server. Everything
started is removed again.

usage: follow_test.py watch|tray --voldranectl PATH [--voldrane PATH]
"""
import argparse
import os
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "../tray"))
from network_kernel_test import Failure, run_scenario, wait_for  # noqa: E402
from trayfixture import Desk, Item, registered_items  # noqa: E402
from trayfixture import wait_for as pump_until  # noqa: E402

# Inside the namespace: the dummy adapter shown as a real one (detection passes over virtual
# adapters), then the command.
VIEW = r'''
set -e
mount -t tmpfs tmpfs /sys/class/net
ln -s "$1" /sys/class/net/dummy0
shift
exec "$@"
'''

OFFICES = {"A": "10.71.1.", "B": "10.72.1."}


class World:
    def __init__(self, sb, ctl, desk):
        """desk: a private desktop of tests/tray, with the print server of PrinterA and B."""
        self.sb, self.ctl = sb, ctl
        os.makedirs(f"{sb.tmp}/nic/dummy0")
        self.env = dict(desk.env, DBUS_SYSTEM_BUS_ADDRESS=f"unix:path={sb.tmp}/no-bus")
        self.ns = sb.netns("follow")
        sb.standalone_link(self.ns, "dummy0")
        sb.run("ip", "-n", self.ns, "link", "set", "dummy0", "up")

    def default_printer(self):
        return self.sb.run("lpstat", "-d", env=self.env).strip()

    def add_offices(self):
        for name, net in OFFICES.items():
            self.sb.run(self.ctl, "add", "--name", name, "--printer", "Printer" + name,
                        "--ip", net + "40", "--mask", "255.255.255.0", "--dns1", net + "1",
                        "--dns2", net + "2", env=self.env)

    def move_to(self, office, address=30):
        """The namespace's address and DNS servers become those at the office."""
        net = OFFICES[office]
        self.sb.run("ip", "-n", self.ns, "addr", "flush", "dev", "dummy0")
        self.sb.run("ip", "-n", self.ns, "addr", "add", f"{net}{address}/24", "dev", "dummy0")
        # Written in place, as the namespace's bind mount of it needs.
        os.makedirs(f"/etc/netns/{self.ns}", exist_ok=True)
        with open(f"/etc/netns/{self.ns}/resolv.conf", "w") as f:
            f.write(f"nameserver {net}1\nnameserver {net}2\n")

    def in_namespace(self, *argv):
        return ["ip", "netns", "exec", self.ns, "unshare", "-m", "--propagation", "private",
                "/bin/sh", "-c", VIEW, "sh", f"{self.sb.tmp}/nic/dummy0", *argv]

    def watch(self):
        return self.sb.start(*self.in_namespace(self.ctl, "watch"), env=self.env)


def lines(p):
    with open(p.log_path) as f:
        return [line.rstrip("\n") for line in f]


LOGIND = r'''
import sys
from gi.repository import Gio, GLib
bus = Gio.DBusConnection.new_for_address_sync(sys.argv[1],
    Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
for name in ("org.freedesktop.login1", "org.freedesktop.NetworkManager"):
    bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "RequestName", GLib.Variant("(su)", (name, 4)), None,
                  Gio.DBusCallFlags.NONE, 5000, None)
print("ready", flush=True)
for line in sys.stdin:
    if line.strip() == "resume":  # PrepareForSleep(true), then (false)
        for sleeping in (True, False):
            bus.emit_signal(None, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                            "PrepareForSleep", GLib.Variant("(b)", (sleeping,)))
    else:  # NetworkManager's DHCP values changed
        bus.emit_signal(None, "/org/freedesktop/NetworkManager/DHCP4Config/1",
                        "org.freedesktop.DBus.Properties", "PropertiesChanged",
                        GLib.Variant("(sa{sv}as)", ("org.freedesktop.NetworkManager.DHCP4Config",
                                                    {}, [])))
    bus.flush_sync(None)
'''


class StandInLogind:
    """A private bus in the place of the system bus, with a logind that only says it
    resumed and a NetworkManager that only says its DHCP values changed."""

    def __init__(self, sb):
        self.address = f"unix:path={sb.tmp}/system_bus"
        daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                   f"--address={self.address}", "--print-address=1"],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                  start_new_session=True)
        sb.processes.append(daemon)
        daemon.stdout.readline()
        self.proc = subprocess.Popen(["/usr/bin/python3", "-c", LOGIND, self.address],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                     start_new_session=True)
        sb.processes.append(self.proc)
        if self.proc.stdout.readline().strip() != "ready":
            raise Failure("the stand-in logind did not start")

    def send(self, what):
        self.proc.stdin.write(what + "\n")
        self.proc.stdin.flush()


def office_key(w, name):
    import json
    listed = json.loads(w.sb.run(w.ctl, "list", "--json", env=w.env))
    return next(o["Key"] for o in listed if o["Office Name"] == name)


def desk_with_printers(sb, **buses):
    desk = Desk("follow")
    sb.desks = getattr(sb, "desks", []) + [desk]  # closed by main()
    if buses:
        desk.start_bus(listen=f"unix:path={desk.path('runtime', 'bus')}")
        desk.start_x()
        desk.start_watcher()
    desk.start_cupsd(["PrinterA", "PrinterB", "Before"])
    desk.run(["lpoptions", "-d", "Before"])
    return desk


def run_watch(sb, args, c):
    w = World(sb, args.voldranectl, desk_with_printers(sb))
    logind = StandInLogind(sb)
    w.env["DBUS_SYSTEM_BUS_ADDRESS"] = logind.address
    w.add_offices()
    w.move_to("A")
    p = w.watch()
    wait_for(lambda: lines(p) == ["A: PrinterA"], "the first office applied at start")
    c.eq(w.default_printer(), "system default destination: PrinterA", "default at start")

    w.move_to("B")
    wait_for(lambda: len(lines(p)) == 2, "a switch after the move")
    c.eq(lines(p)[1:], ["B: PrinterB"], "the move to B")
    c.eq(w.default_printer(), "system default destination: PrinterB", "default after the move")

    # 50 changes in 2 s, between both offices, ending at A: one switch.
    start = time.monotonic()
    for i in range(50):
        w.move_to("A" if i % 2 else "B", 30 + i)
        time.sleep(max(0.0, start + (i + 1) * 0.04 - time.monotonic()))
    # A last move to B marks the end: every line of the burst comes before its line.
    wait_for(lambda: len(lines(p)) >= 3, "the switch after the burst")
    w.move_to("B")
    wait_for(lambda: len(lines(p)) >= 4, "the switch after the marker")
    c.eq(lines(p)[2:], ["A: PrinterA", "B: PrinterB"], "one switch for the burst")

    # Resume from sleep, and new DHCP values from NetworkManager, through stand-ins: the
    # offices change each time with no network event (the applied office removed, another
    # added on its network), and only the signal makes watch look again.
    for signal_, old, new, printer in (("resume", "B", "C", "PrinterA"),
                                       ("dhcp", "C", "D", "PrinterB")):
        sb.run(args.voldranectl, "remove", office_key(w, old), env=w.env)
        sb.run(args.voldranectl, "add", "--name", new, "--printer", printer, "--ip",
               "10.72.1.40", "--mask", "255.255.255.0", "--dns1", "10.72.1.1", "--dns2",
               "10.72.1.2", env=w.env)
        count = len(lines(p))
        logind.send(signal_)
        wait_for(lambda: len(lines(p)) > count, f"a switch after the {signal_} signal")
        c.eq(lines(p)[count:], [f"{new}: {printer}"], f"the {signal_} signal")

    # The user's own choice stands: a move changes nothing until automatic detection is on
    # again. The settle timer is watched through /proc: armed by the move, expired and read,
    # and watch back in poll() means the detection behind it has run.
    sb.run(args.voldranectl, "set", "auto-detect", "off", env=w.env)
    count, before = len(lines(p)), w.default_printer()
    timer = settle_timer(p)
    w.move_to("A")
    wait_for(lambda: timer_armed(timer), "the settle timer armed by the move")
    wait_for(lambda: not timer_armed(timer) and idle_in_poll(timer[0]),
             "the detection after the move")
    c.eq(lines(p)[count:], [], "no switch while the user's choice stands")
    c.eq(w.default_printer(), before, "the default stays while the user's choice stands")
    sb.run(args.voldranectl, "set", "auto-detect", "on", env=w.env)
    w.move_to("A", 31)
    wait_for(lambda: len(lines(p)) > count, "a switch once automatic detection is on again")
    c.eq(lines(p)[count:], ["A: PrinterA"], "following again")

    os.killpg(p.pid, signal.SIGTERM)
    c.eq(p.wait(timeout=10), 0, "exit status on SIGTERM")


def settle_timer(p):
    """(pid, fd) of the timerfd of the voldranectl process under the namespace wrappers."""
    pids = subprocess.run(["pgrep", "-s", str(p.pid), "-f", "voldranectl watch"],
                          capture_output=True, text=True).stdout.split()
    pid = int(pids[0])
    for fd in os.listdir(f"/proc/{pid}/fd"):
        if os.readlink(f"/proc/{pid}/fd/{fd}") == "anon_inode:[timerfd]":
            return pid, fd
    raise Failure("watch has no timerfd")


def timer_armed(timer):
    """Armed, or expired and not read yet."""
    pid, fd = timer
    with open(f"/proc/{pid}/fdinfo/{fd}") as f:
        info = dict(line.split(":", 1) for line in f if ":" in line)
    return info["it_value"].strip() != "(0, 0)" or info["ticks"].strip() != "0"


def idle_in_poll(pid):
    with open(f"/proc/{pid}/wchan") as f:
        return "poll" in f.read()


NOTIFICATIONS_XML = """
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="out"/>
    </method>
    <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
  </interface>
</node>
"""


class NotificationServer:
    """A stand-in desktop notification service on the desk's bus that records each notice
    (body, actions); `act` sends the user's click on one of the last notice's actions."""

    PATH = "/org/freedesktop/Notifications"
    NAME = "org.freedesktop.Notifications"

    def __init__(self, bus):
        from gi.repository import Gio, GLib
        self.GLib, self.bus, self.notices = GLib, bus, []
        info = Gio.DBusNodeInfo.new_for_xml(NOTIFICATIONS_XML)
        bus.register_object(self.PATH, info.interfaces[0], self.on_call, None, None)
        bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                      "RequestName", GLib.Variant("(su)", (self.NAME, 4)), None,
                      Gio.DBusCallFlags.NONE, 5000, None)

    def on_call(self, _bus, _sender, _path, _iface, method, params, invocation):
        if method == "GetCapabilities":
            invocation.return_value(self.GLib.Variant("(as)", (["actions", "body"],)))
        else:
            _app, _replaces, _icon, _summary, body, actions, _hints, _timeout = params.unpack()
            self.notices.append((body, actions))
            invocation.return_value(self.GLib.Variant("(u)", (len(self.notices),)))

    def act(self, key):
        self.bus.emit_signal(None, self.PATH, self.NAME, "ActionInvoked",
                             self.GLib.Variant("(us)", (len(self.notices), key)))


def run_tray(sb, args, c):
    if not args.voldrane:
        raise Failure("the tray scenario needs --voldrane")
    desk = desk_with_printers(sb, desktop=True)
    server = NotificationServer(desk.bus)
    w = World(sb, args.voldranectl, desk)
    w.add_offices()
    sb.run(args.voldranectl, "set", "follow-network", "on", env=w.env)
    w.move_to("A")
    tray = desk.spawn("voldrane", w.in_namespace(args.voldrane),
                      env=dict(w.env, QT_QPA_PLATFORM="xcb"))

    def log():
        return "\n".join(desk.output("voldrane"))

    items = pump_until("the icon", lambda: tray.poll() is None and registered_items(desk),
                       timeout=20)
    item = Item(desk, items[0])
    pump_until("tooltip A", lambda: item.tooltip() == "A", timeout=10)
    c.eq(desk.default_printer(), "PrinterA", "default at start")
    c.eq(server.notices, [], "nothing told at start")

    w.move_to("B")
    pump_until("the notice of the move" + log(), lambda: server.notices, timeout=10)
    c.eq(server.notices[0][0], "B: PrinterB is now your default printer", "the notice")
    c.eq(server.notices[0][1], ["undo", "Undo", "settings", "Settings"], "its actions")
    c.eq(desk.default_printer(), "PrinterB", "default after the move")
    c.eq(item.tooltip(), "B", "tooltip after the move")

    server.act("undo")
    pump_until("Undo to put PrinterA back" + log(),
               lambda: desk.default_printer() == "PrinterA", timeout=10)
    pump_until("tooltip A after Undo", lambda: item.tooltip() == "A", timeout=10)
    c.eq(len(server.notices), 1, "Undo tells nothing")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=["watch", "tray"])
    parser.add_argument("--voldranectl", required=True)
    parser.add_argument("--voldrane")
    args = parser.parse_args()

    def scenario(sb, checker):
        try:
            (run_watch if args.scenario == "watch" else run_tray)(sb, args, checker)
        finally:
            for desk in getattr(sb, "desks", []):
                desk.close()

    return run_scenario(scenario)


if __name__ == "__main__":
    sys.exit(main())
