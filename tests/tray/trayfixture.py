"""Private desktop pieces for running the tray program for real: a session bus, an X server,
an X11 tray, a StatusNotifier watcher/host, a print server, and a home of its own.

Everything lives in one temp folder and dies with the Desk (and with this process: each
child gets SIGKILL when its parent dies), so tests can run side by side and leave nothing.
"""
import ctypes
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time

from gi.repository import Gio, GLib

HERE = os.path.dirname(os.path.abspath(__file__))
PR_SET_PDEATHSIG = 1
_libc = ctypes.CDLL(None, use_errno=True)


class FixtureError(Exception):
    pass


def _die_with_parent():
    _libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def need(*programs):
    missing = [p for p in programs if not shutil.which(p)]
    if missing:
        raise FixtureError("missing %s: install them with scripts/deps.sh test" % ", ".join(missing))


def pump():
    """Runs what is pending in this process's main context: the D-Bus signals of the items."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_for(what, condition, timeout=10.0, step=0.02):
    """Polls `condition` until it returns a true value, which it returns; fails after
    `timeout` seconds with `what` in the message. Signals are taken in between."""
    until = time.monotonic() + timeout
    while True:
        pump()
        value = condition()
        if value:
            return value
        if time.monotonic() > until:
            raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(step)


class Desk:
    """The private desktop. Use as a context manager; start the pieces a test needs."""

    def __init__(self, name="tray"):
        self.dir = tempfile.mkdtemp(prefix="voldrane-%s-" % name)
        self.procs = []  # (label, Popen), stopped in reverse order
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "LANG": "C.UTF-8",
            "HOME": self.path("home"),
            "XDG_CONFIG_HOME": self.path("config"),
            "XDG_RUNTIME_DIR": self.path("runtime"),
            "XDG_CACHE_HOME": self.path("cache"),
            # No desktop of the machine's may choose Qt's theme or tray for the program.
            "XDG_CURRENT_DESKTOP": "",
        }
        for sub in ("home", "config", "runtime", "cache"):
            os.makedirs(self.path(sub), mode=0o700)
        self.bus = None
        self.watcher_log = None

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # -- processes ------------------------------------------------------------------------

    def spawn(self, label, argv, env=None, **kwargs):
        """Starts a child that dies with this process; its output goes to <dir>/<label>.out
        and .err unless stdout/stderr are given."""
        opened = []
        for stream, ext in (("stdout", ".out"), ("stderr", ".err")):
            if stream not in kwargs:
                kwargs[stream] = open(self.path(label + ext), "wb")
                opened.append(kwargs[stream])
        try:
            proc = subprocess.Popen(argv, env=env if env is not None else self.env,
                                    stdin=subprocess.DEVNULL, preexec_fn=_die_with_parent,
                                    **kwargs)
        finally:
            for f in opened:
                f.close()
        self.procs.append((label, proc))
        return proc

    def output(self, label):
        texts = []
        for ext in ("out", "err"):
            try:
                with open(self.path(label + "." + ext), errors="replace") as f:
                    texts.append(f.read())
            except FileNotFoundError:
                texts.append("")
        return texts

    def run(self, argv, timeout=30, check=True):
        r = subprocess.run(argv, env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                           text=True, timeout=timeout, preexec_fn=_die_with_parent)
        if check and r.returncode != 0:
            raise FixtureError("%s failed (exit %d): %s%s" % (" ".join(argv), r.returncode,
                                                              r.stdout, r.stderr))
        return r

    def stop(self, proc, grace=3.0):
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(grace)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()

    def close(self):
        if self.bus is not None:
            self.bus.close_sync(None)
            self.bus = None
        for _label, proc in reversed(self.procs):
            self.stop(proc, grace=1.0)
            if proc.stdout:
                proc.stdout.close()
        self.procs = []
        shutil.rmtree(self.dir, ignore_errors=True)

    # -- session bus ----------------------------------------------------------------------

    def start_bus(self, listen=None):
        """listen: a D-Bus address to listen on instead of the session default (a path
        reaches programs in other network namespaces, an abstract socket does not)."""
        need("dbus-daemon")
        proc = self.spawn("dbus", ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                   "--print-address=1"]
                          + (["--address=" + listen] if listen else []), stdout=subprocess.PIPE)
        address = proc.stdout.readline().decode().strip()
        if not address:
            raise FixtureError("dbus-daemon gave no address: %s" % self.output("dbus")[1])
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.bus = Gio.DBusConnection.new_for_address_sync(
            address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
            | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        return address

    def start_watcher(self):
        """The stand-in StatusNotifierWatcher and host; returns once it owns its name."""
        self.watcher_log = self.path("watcher.jsonl")
        open(self.watcher_log, "w").close()
        proc = self.spawn("watcher", ["/usr/bin/python3", os.path.join(HERE, "sni_watcher.py"),
                                      "--log", self.watcher_log])
        wait_for("the StatusNotifier watcher",
                 lambda: proc.poll() is not None or any(
                     e["event"] == "watcher-ready" for e in self.watcher_events()))
        if proc.poll() is not None:
            raise FixtureError("the watcher ended: %s" % self.output("watcher")[1])

    def watcher_events(self, kind=None):
        with open(self.watcher_log) as f:
            events = [json.loads(line) for line in f if line.strip()]
        return [e for e in events if kind is None or e["event"] == kind]

    def call(self, service, path, iface, method, args=None, signature=None, timeout_ms=5000):
        reply = self.bus.call_sync(service, path, iface, method,
                                   GLib.Variant(signature, args) if signature else None,
                                   None, Gio.DBusCallFlags.NONE, timeout_ms, None)
        return reply.unpack() if reply is not None else ()

    def watch_bus(self, label, rule):
        """A dbus-monitor of the bus's messages that match `rule`; returns once it watches.
        What it saw is in output(label)."""
        need("dbus-monitor")
        self.spawn(label, ["dbus-monitor", "--address", self.env["DBUS_SESSION_BUS_ADDRESS"],
                           rule])
        # The bus tells a new monitor that it lost its name: from then on it sees everything.
        wait_for("dbus-monitor to start", lambda: "member=NameLost" in self.output(label)[0])

    def get_property(self, service, path, iface, name):
        return self.call(service, path, "org.freedesktop.DBus.Properties", "Get",
                         (iface, name), "(ss)")[0]

    # -- X ----------------------------------------------------------------------------------

    def start_x(self, size="800x600x24"):
        """A private Xvfb on the first free display number (Xvfb picks it and reports it)."""
        need("Xvfb")
        read_fd, write_fd = os.pipe()
        self.spawn("xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", size,
                            "-nolisten", "tcp", "-noreset"],
                   pass_fds=(write_fd,))
        os.close(write_fd)
        with os.fdopen(read_fd) as r:
            number = r.readline().strip()
        if not number:
            raise FixtureError("Xvfb did not start: %s" % self.output("xvfb")[1])
        self.env["DISPLAY"] = ":" + number
        need("xdotool")
        wait_for("X display :%s to take clients" % number,
                 lambda: self.run(["xdotool", "getmouselocation"], check=False).returncode == 0)
        return self.env["DISPLAY"]

    def x_round_trip(self, window, times=2):
        """Pings the program that owns `window` (a decimal X window id, as xdotool prints)
        with _NET_WM_PING and waits for each answer. The first answer comes once the program
        has read every X event that reached it before, such as a click; each further one once
        it has gone round its event loop again, which delivers what it read and sends to the
        X server what that made it draw."""
        from Xlib import X, display as xdisplay, protocol
        d = xdisplay.Display(self.env["DISPLAY"])
        try:
            root = d.screen().root
            # The answer goes to the root window, to whoever listens for its structure.
            root.change_attributes(event_mask=X.StructureNotifyMask)
            protocols, ping = d.intern_atom("WM_PROTOCOLS"), d.intern_atom("_NET_WM_PING")
            target = d.create_resource_object("window", int(window))
            for stamp in range(1, times + 1):
                target.send_event(protocol.event.ClientMessage(
                    window=target, client_type=protocols,
                    data=(32, [ping, stamp, target.id, 0, 0])), event_mask=0)
                d.flush()

                def answered():
                    while d.pending_events():
                        e = d.next_event()
                        if (e.type == X.ClientMessage and e.client_type == protocols
                                and list(e.data[1][:2]) == [ping, stamp]):
                            return True
                    return False

                wait_for("the program to answer a ping", answered)
        finally:
            d.close()

    def start_trayer(self):
        """An X11 (XEmbed) system tray at the top right corner; returns once it owns the tray
        selection."""
        need("trayer", "xdotool")
        proc = self.spawn("trayer", ["trayer", "--edge", "top", "--align", "right", "--widthtype",
                              "pixel", "--width", "200", "--heighttype", "pixel", "--height",
                              "32", "--transparent", "false", "--tint", "0xd0d0d0"])
        def panel():
            if proc.poll() is not None:
                raise FixtureError("trayer ended (exit %d): %s" % (proc.returncode,
                                                                   self.output("trayer")))
            return self.run(["xdotool", "search", "--name", "^panel$"], check=False).stdout

        wait_for("trayer's panel", panel, timeout=20)

    def start_xfce_panel(self):
        """A real desktop panel: openbox and xfce4-panel with its status tray alone, 32 px
        high along the top edge; returns once the tray has registered as a StatusNotifier
        host on this desk's bus. Needs start_bus and start_x first."""
        need("openbox", "xfce4-panel")
        channel = self.path("config", "xfce4", "xfconf", "xfce-perchannel-xml")
        os.makedirs(channel)
        shutil.copy(os.path.join(HERE, "xfce4-panel.xml"), os.path.join(channel,
                                                                        "xfce4-panel.xml"))
        # No accessibility bus of its own: it would outlive the desk.
        self.env["NO_AT_BRIDGE"] = "1"
        self.spawn("openbox", ["openbox"])
        panel = self.spawn("panel", ["xfce4-panel"], env=dict(self.env,
                                                              XDG_CURRENT_DESKTOP="XFCE"))

        def host():
            if panel.poll() is not None:
                raise FixtureError("xfce4-panel ended (exit %d): %s" % (panel.returncode,
                                                                       self.output("panel")))
            try:
                return self.get_property(WATCHER, "/StatusNotifierWatcher", WATCHER,
                                         "IsStatusNotifierHostRegistered")
            except GLib.Error:
                return False

        wait_for("xfce4-panel's status tray", host, timeout=30, step=0.1)

    def screen_region(self, geometry):
        """The number of colours in a part of the screen ("WxH+X+Y"): 1 where nothing is
        drawn on the empty root window."""
        shot = self.path("region.png")
        self.run(["/usr/bin/import", "-window", "root", "-crop", geometry, "+repage", shot])
        return int(self.run(["/usr/bin/convert", shot, "-format", "%k", "info:"]).stdout)

    def find_in_region(self, geometry, fuzz="12%"):
        """Where something is drawn in a part of the screen that is one colour otherwise,
        as (x, y, width, height) on the screen; None where nothing is."""
        shot = self.path("region.png")
        self.run(["/usr/bin/import", "-window", "root", "-crop", geometry, "+repage", shot])
        box = self.run(["/usr/bin/convert", shot, "-fuzz", fuzz, "-format", "%@", "info:"]
                       ).stdout.strip()
        w, rest = box.split("x", 1)
        h, x, y = rest.replace("-", "+-").split("+")[:3]
        _size, ox, oy = geometry.replace("+", " ").split()
        if int(w) <= 1 or int(h) <= 1:
            return None
        return int(x) + int(ox), int(y) + int(oy), int(w), int(h)

    # -- print server -----------------------------------------------------------------------

    def start_cupsd(self, printers):
        """A cupsd with raw queues `printers` (to /dev/null); the program and the CUPS tools
        run against it with this desk's HOME."""
        if not os.access("/usr/sbin/cupsd", os.X_OK):
            raise FixtureError("/usr/sbin/cupsd missing: install cups-daemon (scripts/deps.sh test)")
        need("lpadmin", "lpstat")
        d = self.path("cups")
        for sub in ("spool/temp", "log", "cache"):
            os.makedirs(os.path.join(d, sub))
        sock = os.path.join(d, "cups.sock")
        with open(os.path.join(d, "cupsd.conf"), "w") as f:
            f.write("Listen %s\nBrowsing Off\nWebInterface No\n<Policy default>\n<Limit All>\n"
                    "Order Allow,Deny\n</Limit>\n</Policy>\n" % sock)
        # cupsd refuses "User root", so no User line; Printcap keeps it off /etc/printcap.
        with open(os.path.join(d, "cups-files.conf"), "w") as f:
            f.write("FileDevice Yes\nPrintcap {d}/printcap\nServerRoot {d}\nStateDir {d}\n"
                    "CacheDir {d}/cache\nRequestRoot {d}/spool\nTempDir {d}/spool/temp\n"
                    "AccessLog {d}/log/access_log\nErrorLog {d}/log/error_log\n"
                    "PageLog {d}/log/page_log\n".format(d=d))
        self.spawn("cupsd", ["/usr/sbin/cupsd", "-f", "-c", os.path.join(d, "cupsd.conf"),
                             "-s", os.path.join(d, "cups-files.conf")])
        self.env["CUPS_SERVER"] = sock
        wait_for("cupsd", lambda: self.run(["lpstat", "-r"], check=False).stdout.strip()
                 == "scheduler is running", timeout=15, step=0.05)
        for name in printers:
            self.run(["lpadmin", "-p", name, "-E", "-v", "file:///dev/null"])

    def default_printer(self):
        out = self.run(["lpstat", "-d"], check=False).stdout.strip()
        return out.split(": ", 1)[1] if ": " in out else out


# -- StatusNotifierItem, as a tray host sees it ---------------------------------------------

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM_IFACE = "org.kde.StatusNotifierItem"
MENU_IFACE = "com.canonical.dbusmenu"


def registered_items(desk):
    return list(desk.get_property(WATCHER, "/StatusNotifierWatcher", WATCHER,
                                  "RegisteredStatusNotifierItems"))


class Item:
    """One registered item, addressed as the watcher lists it ("service/path"), seen as real
    tray hosts see it: the menu's layout is read once and then changed only by what the
    program announces (LayoutUpdated, ItemsPropertiesUpdated), and clicks go to the ids held.
    A program that changes its menu without saying so shows a stale menu here, as in a panel.
    """

    def __init__(self, desk, ident):
        self.desk = desk
        self.service, _, path = ident.partition("/")
        self.path = "/" + path
        self.menu_path = None
        self.layout = None  # [id, props, children] as last read or patched
        self.layout_reads = 0

    def prop(self, name):
        return self.desk.get_property(self.service, self.path, ITEM_IFACE, name)

    def tooltip(self):
        # (icon name, icon pixmaps, title, text): Qt puts the tooltip in the title.
        _icon, _pixmaps, title, text = self.prop("ToolTip")
        return title or text

    def _read_layout(self):
        _rev, layout = self.desk.call(self.service, self.menu_path, MENU_IFACE, "GetLayout",
                                      (0, -1, []), "(iias)")

        def node(n):
            ident, props, children = n
            return [ident, dict(props), [node(c) for c in children]]

        self.layout = node(layout)
        self.layout_reads += 1

    def _nodes(self, n=None):
        n = n or self.layout
        yield n
        for c in n[2]:
            yield from self._nodes(c)

    def _on_signal(self, _bus, sender, path, _iface, name, params):
        if path != self.menu_path or self.layout is None:
            return
        if name == "LayoutUpdated":
            self._read_layout()
        elif name == "ItemsPropertiesUpdated":
            updated, removed = params.unpack()
            by_id = {n[0]: n for n in self._nodes()}
            for ident, props in updated:
                if ident in by_id:
                    by_id[ident][1].update(props)
            for ident, names in removed:
                if ident in by_id:
                    for k in names:
                        by_id[ident][1].pop(k, None)

    def _attach(self):
        if self.menu_path is not None:
            return
        self.menu_path = self.prop("Menu")
        self.desk.bus.signal_subscribe(None, MENU_IFACE, None, self.menu_path, None,
                                       Gio.DBusSignalFlags.NONE, self._on_signal)
        self._read_layout()

    def menu(self):
        """The menu as the host would show it now, as nested dicts: id, label, separator,
        checked, enabled, children (invisible entries left out)."""
        self._attach()
        pump()
        # A host asks before it shows the menu; only a "needs update" answer makes it read.
        if self.desk.call(self.service, self.menu_path, MENU_IFACE, "AboutToShow", (0,),
                          "(i)")[0]:
            self._read_layout()

        def entry(node):
            ident, props, children = node
            return {
                "id": ident,
                "label": props.get("label", ""),
                "separator": props.get("type") == "separator",
                "checked": props.get("toggle-type") == "checkmark"
                and props.get("toggle-state") == 1,
                "enabled": props.get("enabled", True),
                "children": [entry(c) for c in children if c[1].get("visible", True)],
            }

        return entry(self.layout)["children"]

    def click(self, menu_id):
        self._attach()
        self.desk.call(self.service, self.menu_path, MENU_IFACE, "Event",
                       (menu_id, "clicked", GLib.Variant("s", ""), 0), "(isvu)")


def find_entry(entries, label):
    for e in entries:
        if e["label"] == label:
            return e
        found = find_entry(e["children"], label)
        if found:
            return found
    return None


def outline(entries, depth=0):
    """The menu as text, one entry a line: "[x]" for ticked, "---" for separators."""
    lines = []
    for e in entries:
        text = "---" if e["separator"] else ("[x] " if e["checked"] else "") + e["label"]
        if not e["enabled"]:
            text += " (disabled)"
        lines.append("  " * depth + text)
        lines += outline(e["children"], depth + 1)
    return lines
