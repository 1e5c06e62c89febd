#!/usr/bin/python3
"""The manual's pictures of the Windows program, taken under Wine on a private Xvfb: the tray
menu (with "Use Network" open), the configuration dialog, the office dialog's three tabs and
the about box. A private cupsd holds the offices' printers; the offices are made with
voldranectl.exe in a new prefix. Not a test: run it by hand after a change to the dialogs and
look at every picture before committing them.

usage: screenshots.py --build BUILD_WINDOWS_DIR --out docs/help/images/windows
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../tray"))
from trayfixture import Desk, wait_for  # noqa: E402

OFFICES = [("Head Office", "HQ-Laser", ["--current"]),
           ("Branch Office", "Branch-Colour", ["--ip", "10.20.30.40", "--mask", "255.255.255.0",
                                              "--gateway", "10.20.30.1", "--dns1", "10.20.30.53"]),
           ("Home", "Home-Inkjet", ["--ip", "192.168.1.20", "--mask", "255.255.255.0",
                                    "--gateway", "192.168.1.1", "--dns1", "192.168.1.1"])]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    os.makedirs(args.out, exist_ok=True)
    with Desk("wine-pictures") as desk:
        desk.start_x("1024x768x24")
        desk.start_cupsd([p for _, p, _ in OFFICES])
        env = dict(desk.env, WINEPREFIX=desk.path("prefix"), WINEDEBUG="-all",
                   WINEDLLOVERRIDES="winemenubuilder.exe=d")
        try:
            subprocess.run(["wineboot", "-i"], env=env, capture_output=True, check=True)
            subprocess.run(["wineserver", "-w"], env=env, check=True)
            # Windows' dialog font and the title bar's button glyphs (fonts-wine), which this
            # Wine does not find by itself.
            for font in glob.glob("/usr/share/wine/fonts/*.ttf"):
                shutil.copy(font, desk.path("prefix/drive_c/windows/Fonts"))
            # No window manager here: Wine draws the title bars itself, as Windows does.
            subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v",
                            "Managed", "/d", "N", "/f"], env=env, capture_output=True, check=True)
            for name, printer, where in OFFICES:
                subprocess.run(["wine", os.path.join(build, "cli/voldranectl.exe"), "add",
                                "--name", name, "--printer", printer] + where,
                               env=env, capture_output=True, check=True)
            voldrane = "Z:" + os.path.join(build, "ui/win32/voldrane.exe").replace("/", "\\")
            driver = subprocess.Popen(["wine", os.path.join(build, "tests/win32/tray_driver.exe"),
                                       "--pose", voldrane], env=env, stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, text=True)
            for line in driver.stdout:
                if not line.startswith("SHOT "):
                    continue
                _, name, left, top, right, bottom = line.split()
                out = os.path.join(args.out, name + ".png")
                if name == "tray-menu":
                    tray_menu(desk, out)
                else:
                    left, top, right, bottom = map(int, (left, top, right, bottom))
                    desk.run(["/usr/bin/import", "-window", "root", "-crop",
                              "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                              "+repage", out])
                print("took", out)
                driver.stdin.write("\n")
                driver.stdin.flush()
            return driver.wait()
        finally:
            subprocess.run(["wineserver", "-k"], env=env, capture_output=True)


def tray_menu(desk, out):
    """A right click on the icon in Wine's own tray, then the pointer on "Use Network"."""
    desk.run(["xdotool", "mousemove", "12", "31", "click", "3"])
    wait_for("the tray menu", lambda: desk.find_in_region("400x300+0+45"))
    left, _top, width, _ = desk.find_in_region("400x300+0+45")
    # The menu opens at the click: its second entry is about 27 px below it.
    desk.run(["xdotool", "mousemove", str(left + 30), "58"])
    wait_for("the Use Network submenu",
             lambda: desk.find_in_region("300x300+%d+45" % (left + width + 2)))
    box = desk.find_in_region("600x300+0+45")
    # From below the title bar of Wine's tray window: its icon, the menu and the submenu.
    desk.run(["/usr/bin/import", "-window", "root", "-crop",
              "%dx%d+0+24" % (box[0] + box[2] + 8, box[1] + box[3] - 16), "+repage", out])
    desk.run(["xdotool", "mousemove", "700", "600", "click", "1"])
    wait_for("the tray menu to close", lambda: not desk.find_in_region("600x300+0+45"))


if __name__ == "__main__":
    sys.exit(main())
