#!/usr/bin/python3
"""The built tray program, end to end, on a private desktop: over the D-Bus StatusNotifierItem
protocol with a stand-in tray host, over the X11 (XEmbed) tray of `trayer`, and with no tray.

Environment: VOLDRANE and VOLDRANECTL, the built programs; TRAY_ARTIFACTS, the folder for
the screenshot of the open menu. Run one case: tray_e2e.py OverStatusNotifier.test_...

Qt puts its tray icon on D-Bus only under its xcb platform (offscreen and minimal have no
tray at all), so every case runs the program under a private Xvfb.
"""
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from trayfixture import (Desk, FixtureError, Item, find_entry, outline,  # noqa: E402
                         registered_items, wait_for)

NORTH, SOUTH = "North office", "South office"
NORTH_PRINTER, SOUTH_PRINTER = "Laser-North", "Laser-South"

# The menu at start with automatic detection on: "[x]" ticked, "---" a separator.
START_MENU = [
    "Configure Networks",
    "Use Network",
    "  [x] Auto-Detect",
    "  " + NORTH,
    "  " + SOUTH,
    "---",
    "Help...",
    "About...",
    "---",
    "Exit",
]


def program(name):
    path = os.environ.get(name)
    if not path or not os.access(path, os.X_OK):
        raise FixtureError("set %s to the built program (ctest does)" % name)
    return path


class TrayCase(unittest.TestCase):
    """A desk with a session bus, an X server and a print server with two printers, and two
    offices that both match this machine's network, North first."""

    SCREEN = "800x600x24"

    def setUp(self):
        self.voldrane = program("VOLDRANE")
        self.ctl = program("VOLDRANECTL")
        self.desk = Desk(self.id().rsplit(".", 1)[-1])
        self.addCleanup(self.desk.close)
        self.desk.start_bus()
        self.desk.start_x(self.SCREEN)
        self.desk.start_cupsd([NORTH_PRINTER, SOUTH_PRINTER])
        for name, printer in ((NORTH, NORTH_PRINTER), (SOUTH, SOUTH_PRINTER)):
            self.desk.run([self.ctl, "add", "--current", "--name", name, "--printer", printer])
        listed = self.desk.run([self.ctl, "list"]).stdout
        self.assertLess(listed.find(NORTH), listed.find(SOUTH), "offices out of order:\n" + listed)
        self.desk.env["QT_QPA_PLATFORM"] = "xcb"
        self.runs = 0

    def start(self, **env):
        self.runs += 1
        return self.desk.spawn("voldrane%d" % self.runs, [self.voldrane],
                               env=dict(self.desk.env, **env))

    def log(self, proc_number=None):
        out, err = self.desk.output("voldrane%d" % (proc_number or self.runs))
        return "\n--- stdout:\n%s--- stderr:\n%s" % (out, err)

    def visible_windows(self):
        r = self.desk.run(["xdotool", "search", "--onlyvisible", "--class", "voldrane"],
                          check=False)
        return set(r.stdout.split())

    def window_names(self, exclude=()):
        return sorted(self.desk.run(["xdotool", "getwindowname", w]).stdout.strip()
                      for w in self.visible_windows() - set(exclude))

    def wait_exit(self, proc, timeout, what):
        try:
            return proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.fail("%s: still running after %d s%s" % (what, timeout, self.log()))


class OverStatusNotifier(TrayCase):
    def setUp(self):
        super().setUp()
        self.desk.start_watcher()

    def wait_item(self, proc):
        def registered():
            if proc.poll() is not None:
                self.fail("the program ended (exit %d) before its icon registered%s"
                          % (proc.returncode, self.log()))
            return registered_items(self.desk)

        items = wait_for("the icon to register with the tray host", registered, timeout=15)
        self.assertEqual(len(items), 1, items)
        return Item(self.desk, items[0])

    def wait_tooltip(self, item, text):
        try:
            wait_for("tooltip %r" % text, lambda: item.tooltip() == text, timeout=10)
        except AssertionError:
            self.fail("tooltip is %r, expected %r%s" % (item.tooltip(), text, self.log()))

    def test_start_applies_first_match_then_menu_choice_and_exit(self):
        proc = self.start()
        item = self.wait_item(proc)
        self.wait_tooltip(item, NORTH)
        self.assertEqual(self.desk.default_printer(), NORTH_PRINTER)

        menu = item.menu()
        self.assertEqual(outline(menu), START_MENU)

        # Choosing an office applies it and turns automatic detection off for this run.
        item.click(find_entry(menu, SOUTH)["id"])
        self.wait_tooltip(item, SOUTH)
        wait_for("the default printer to become " + SOUTH_PRINTER,
                 lambda: self.desk.default_printer() == SOUTH_PRINTER, timeout=10)
        # The host shows the new ticks only if the program announced them.
        chosen = ["Configure Networks", "Use Network", "  Auto-Detect", "  " + NORTH,
                  "  [x] " + SOUTH] + START_MENU[5:]
        try:
            wait_for("the tray host's menu to tick " + SOUTH,
                     lambda: outline(item.menu()) == chosen, timeout=5)
        except AssertionError:
            self.fail("the host's menu is\n%s%s" % ("\n".join(outline(item.menu())), self.log()))
        self.assertTrue(proc.poll() is None, "the program ended after the choice" + self.log())

        # Back to automatic detection, then out, each with the ids the host holds.
        item.click(find_entry(item.menu(), "Auto-Detect")["id"])
        wait_for("the tray host's menu to tick Auto-Detect",
                 lambda: outline(item.menu()) == START_MENU, timeout=5)
        # An office added by another program: a new entry, which the host reads only if the
        # program announces a new layout.
        self.desk.run([self.ctl, "add", "--name", "West office", "--printer", SOUTH_PRINTER])
        wait_for("the tray host's menu to show the new office",
                 lambda: outline(item.menu()) == START_MENU[:5] + ["  West office"]
                 + START_MENU[5:], timeout=10)
        item.click(find_entry(item.menu(), "Exit")["id"])
        self.assertEqual(self.wait_exit(proc, 10, "Exit"), 0, self.log())
        wait_for("the icon to leave the tray host", lambda: not registered_items(self.desk),
                 timeout=5)
        self.assertEqual(len(self.desk.watcher_events("registered")), 1)

    def test_no_matching_office_shows_so_and_asks(self):
        os.remove(self.desk.path("config", "Kestamor", "Voldrane.reg"))
        self.desk.run([self.ctl, "add", "--name", "Elsewhere", "--ip", "10.99.0.5", "--mask",
                       "255.255.0.0", "--dns1", "10.99.0.53", "--printer", SOUTH_PRINTER])
        proc = self.start()
        item = self.wait_item(proc)
        self.wait_tooltip(item, "Cannot Determine Office Network")
        # The question whether to add this network, asked with the icon in place.
        wait_for("the question", self.window_names)
        self.assertEqual(self.window_names(), ["Voldrane"])
        self.assertNotEqual(self.desk.default_printer(), SOUTH_PRINTER)
        # The menu works while the question waits.
        item.click(find_entry(item.menu(), "Elsewhere")["id"])
        self.wait_tooltip(item, "Elsewhere")
        wait_for("the default printer to become " + SOUTH_PRINTER,
                 lambda: self.desk.default_printer() == SOUTH_PRINTER, timeout=10)

    def test_activation_opens_one_configuration_window(self):
        # D-Bus hosts send Activate for a click and never a double click, so activation is
        # what opens the configuration; asking again only raises the open window.
        proc = self.start()
        item = self.wait_item(proc)
        self.wait_tooltip(item, NORTH)
        self.assertEqual(self.window_names(), [])
        self.desk.call(item.service, item.path, "org.kde.StatusNotifierItem", "Activate",
                       (10, 10), "(ii)")
        wait_for("the configuration window", self.window_names)
        self.assertEqual(self.window_names(), ["Voldrane Configuration"])
        self.desk.call(item.service, item.path, "org.kde.StatusNotifierItem", "Activate",
                       (10, 10), "(ii)")
        item.click(find_entry(item.menu(), "Configure Networks")["id"])
        # The program answers a question over D-Bus once it has handled the calls before it,
        # and a ping over X once what they drew has reached the X server.
        self.assertEqual(item.tooltip(), NORTH)
        self.desk.x_round_trip(next(iter(self.visible_windows())))
        self.assertEqual(self.window_names(), ["Voldrane Configuration"])
        self.assertIsNone(proc.poll(), self.log())

    def test_tray_host_restart_gets_the_icon_back(self):
        # A panel that restarts comes back with a new watcher; the icon must return to it.
        proc = self.start()
        self.wait_tooltip(self.wait_item(proc), NORTH)
        watcher = next(p for label, p in self.desk.procs if label == "watcher")
        self.desk.stop(watcher)
        self.desk.start_watcher()
        self.wait_tooltip(self.wait_item(proc), NORTH)

    def test_second_start_exits_at_once_and_adds_no_icon(self):
        first = self.start()
        item = self.wait_item(first)
        self.wait_tooltip(item, NORTH)

        second = self.start()
        self.assertEqual(self.wait_exit(second, 10, "the second start"), 0, self.log())
        # Whatever the second start sent the watcher left it before it exited: the watcher
        # has handled it by the time it answers a question asked now.
        self.assertEqual(len(registered_items(self.desk)), 1)
        self.assertEqual(len(self.desk.watcher_events("registered")), 1,
                         self.desk.watcher_events())
        self.assertIsNone(first.poll(), "the first copy ended" + self.log(1))
        self.assertEqual(item.tooltip(), NORTH)

        # A killed copy leaves no lock behind: the next start runs normally.
        first.kill()
        first.wait()
        wait_for("the killed copy's icon to go", lambda: not registered_items(self.desk))
        third = self.start()
        self.wait_tooltip(self.wait_item(third), NORTH)


class OnRealPanel(TrayCase):
    """xfce4-panel's status tray, a real D-Bus tray host: it reads the menu's layout once,
    follows only what the program announces, and sends clicks with the ids it holds."""

    SCREEN = "1024x600x24"  # the panel lays itself out for a desktop-sized screen

    def setUp(self):
        super().setUp()
        self.desk.start_xfce_panel()

    def open_menu(self, icon):
        x, y, w, h = icon
        below = "200x160+%d+%d" % (x, y + h + 4)
        self.desk.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "3"])
        wait_for("the panel's menu to open", lambda: self.desk.screen_region(below) > 8)

    def test_menu_choice_and_exit_from_the_panel(self):
        proc = self.start()

        def icon():
            if proc.poll() is not None:
                self.fail("the program ended (exit %d)%s" % (proc.returncode, self.log()))
            return self.desk.find_in_region("1024x32+0+0")

        found = wait_for("the icon in the panel", icon, timeout=20)
        wait_for("the office to be applied",
                 lambda: self.desk.default_printer() == NORTH_PRINTER)

        # "Use Network" > "South office": the second entry, then the third of its submenu.
        self.open_menu(found)
        self.desk.run(["xdotool", "key", "Down", "Down", "Right"])
        x, y, w, h = found
        beside = "120x80+%d+%d" % (x + 210, y + h + 30)
        wait_for("the Use Network submenu", lambda: self.desk.screen_region(beside) > 8)
        self.desk.run(["xdotool", "key", "Down", "Down", "Return"])
        wait_for("the default printer to become " + SOUTH_PRINTER,
                 lambda: self.desk.default_printer() == SOUTH_PRINTER, timeout=10)

        # The panel still holds the menu it read at start unless the program said otherwise:
        # "Exit", the last entry, must reach the program.
        self.open_menu(found)
        self.desk.run(["xdotool", "key", "Up", "Return"])
        self.assertEqual(self.wait_exit(proc, 10, "Exit from the panel's menu"), 0, self.log())


class WithoutTray(TrayCase):
    def test_no_tray_exits_1_with_a_message(self):
        started = time.monotonic()
        proc = self.start(VOLDRANE_TRAY_WAIT_MS="500")
        self.assertEqual(self.wait_exit(proc, 15, "with no tray"), 1, self.log())
        self.assertLess(time.monotonic() - started, 10)
        _out, err = self.desk.output("voldrane1")
        self.assertIn("no system tray is available", err)
        # Nothing is applied without an icon to show it.
        self.assertNotEqual(self.desk.default_printer(), NORTH_PRINTER)

    def test_tray_host_arriving_during_the_wait_gets_the_icon(self):
        # At login the program may start before the panel.
        self.desk.watch_bus("monitor", "type='method_call',member='NameHasOwner'")
        proc = self.start(VOLDRANE_TRAY_WAIT_MS="15000")
        # Once the program has asked the bus for a tray host and heard there is none, it
        # must wait for one rather than end.
        wait_for("the program to look for a tray host",
                 lambda: proc.poll() is not None or
                 '"org.kde.StatusNotifierWatcher"' in self.desk.output("monitor")[0])
        self.assertIsNone(proc.poll(), "the program did not wait for a tray" + self.log())
        self.desk.start_watcher()
        items = wait_for("the icon to register with the late tray host",
                         lambda: registered_items(self.desk), timeout=20)
        wait_for("the tooltip", lambda: Item(self.desk, items[0]).tooltip() == NORTH,
                 timeout=10)


class OverXEmbed(TrayCase):
    """The X11 tray: no watcher on the bus, so Qt embeds the icon into trayer's panel."""

    IM = "/usr/bin/"  # ImageMagick's own tools, not a stand-in earlier on PATH

    def geometry(self, window):
        out = self.desk.run(["xdotool", "getwindowgeometry", "--shell", window]).stdout
        return {k: int(v) for k, v in (line.split("=") for line in out.split() if "=" in line
                                       and not line.startswith("SCREEN"))}

    def snapshot(self, path):
        self.desk.run([self.IM + "import", "-window", "root", path])

    def wait_painted(self, what, shot, g):
        """Takes pictures of the screen into `shot` until the window at geometry `g` shows
        more than a few colours: a window is mapped before it is painted."""
        crop = "%dx%d+%d+%d" % (g["WIDTH"], g["HEIGHT"], g["X"], g["Y"])

        def painted():
            self.snapshot(shot)
            return int(self.desk.run([self.IM + "convert", shot, "-crop", crop, "+repage",
                                      "-format", "%k", "info:"]).stdout.strip()) > 8

        wait_for("%s to be painted (it looks blank in %s)" % (what, shot), painted)

    def test_right_click_opens_the_menu(self):
        self.desk.start_trayer()
        panel = self.geometry(self.desk.run(["xdotool", "search", "--name", "^panel$"])
                              .stdout.split()[0])
        proc = self.start()

        def icon():
            if proc.poll() is not None:
                self.fail("the program ended (exit %d)%s" % (proc.returncode, self.log()))
            return self.visible_windows()

        windows = wait_for("the icon in the X11 tray", icon, timeout=15)
        self.assertEqual(len(windows), 1, "expected the tray icon alone: %s" % windows)
        icon_window = next(iter(windows))
        g = self.geometry(icon_window)
        self.assertTrue(panel["X"] <= g["X"] < panel["X"] + panel["WIDTH"]
                        and g["Y"] < panel["Y"] + panel["HEIGHT"],
                        "the icon is not inside the tray: %s, panel %s" % (g, panel))
        wait_for("the office to be applied", lambda: self.desk.default_printer() == NORTH_PRINTER)
        # Trays that show the icon window's title on hover show the office there too.
        self.assertEqual(self.desk.run(["xdotool", "getwindowname", icon_window]).stdout.strip(),
                         NORTH)

        before = self.desk.path("before.png")
        self.snapshot(before)
        self.desk.run(["xdotool", "mousemove", str(g["X"] + g["WIDTH"] // 2),
                       str(g["Y"] + g["HEIGHT"] // 2), "click", "3"])
        menus = wait_for("the menu to open", lambda: self.visible_windows() - {icon_window})

        artifacts = os.environ.get("TRAY_ARTIFACTS") or self.desk.path("artifacts")
        os.makedirs(artifacts, exist_ok=True)
        shot = os.path.join(artifacts, "tray-menu.png")
        m = self.geometry(next(iter(menus)))
        # The menu window holds five entries and two separators: far from a sliver.
        self.assertGreater(m["HEIGHT"], 80, m)
        self.assertGreater(m["WIDTH"], 60, m)
        self.wait_painted("the menu", shot, m)
        changed = self.desk.run([self.IM + "compare", "-metric", "AE", before, shot,
                                 "null:"], check=False).stderr.split()[0]
        self.assertGreater(float(changed), m["WIDTH"] * m["HEIGHT"] * 0.5,
                           "the screen hardly changed where the menu should be")

        # "Use Network" is the second entry; the keys open its submenu.
        self.desk.run(["xdotool", "key", "Down", "Down", "Right"])
        subs = wait_for("the Use Network submenu to open",
                        lambda: self.visible_windows() - {icon_window} - menus)
        sub_shot = os.path.join(artifacts, "tray-menu-use-network.png")
        self.wait_painted("the submenu", sub_shot, self.geometry(next(iter(subs))))

        self.desk.run(["xdotool", "key", "Escape", "Escape"])
        wait_for("the menu to close", lambda: self.visible_windows() == {icon_window})

        # A double click arrives as a click and then a double click: one window opens.
        self.desk.run(["xdotool", "click", "--repeat", "2", "--delay", "80", "1"])
        wait_for("the configuration window", lambda: len(self.visible_windows()) > 1)
        # Every click reached the program before a ping sent now: once it has answered, a
        # second window would be there.
        self.desk.x_round_trip(icon_window)
        self.assertEqual(self.window_names(exclude={icon_window}), ["Voldrane Configuration"])
        self.assertIsNone(proc.poll(), "the program ended" + self.log())


if __name__ == "__main__":
    unittest.main(verbosity=2)
