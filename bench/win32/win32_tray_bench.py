#!/usr/bin/python3
"""Start-up and working set of voldrane.exe against a minimal Win32 tray program, under Wine.

A private Xvfb display with an XEmbed notification area (trayer) and a fresh private Wine
prefix whose wineserver stays up between runs. Start-up: from just before the program is
started to the moment the notification area takes in its icon (Wine docks each icon as an X
window, which the tray reparents; the X server reports that on the root window). Working set:
VmRSS and Pss of the program's process once start-up has settled (under Wine the Windows
working set is the process's resident set). Runs of the two programs alternate, so both see
the same load. voldrane.exe runs stripped, as the installer installs it (its debug sections
would count in the working set). Also reports voldrane.exe's size, and with --linux-build
the Linux tray program's figures from bench/tray/tray_bench.py in the same run.

    win32_tray_bench.py --floor build-windows/bench/minimal_tray.exe
                        [--voldrane build-windows/ui/win32/voldrane.exe]
                        [--ctl build-windows/cli/voldranectl.exe] [--linux-build build]
                        [--runs 20]
"""
import argparse
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, display as xdisplay

START_TARGET, MEMORY_TARGET = 1.2, 1.2
SIZE_TARGET = 3 * 1024 * 1024
HERE = os.path.dirname(os.path.abspath(__file__))


def wait_for(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.02)
    raise TimeoutError(what)


def kb(pid, path, key):
    with open("/proc/%d/%s" % (pid, path)) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    raise KeyError(key)


def rss_by_object(pid):
    """Rss in kB per mapped file (the .exe, Wine's DLLs and .so files), anonymous together."""
    sizes, name = {}, "[anonymous]"
    with open("/proc/%d/smaps" % pid) as f:
        for line in f:
            fields = line.split()
            if "-" in fields[0] and len(fields) >= 5 and not fields[0].endswith(":"):
                name = os.path.basename(fields[5]) if len(fields) > 5 else "[anonymous]"
                if name.startswith("["):
                    name = "[anonymous]"
            elif fields[0] == "Rss:":
                sizes[name] = sizes.get(name, 0) + int(fields[1])
    return sizes


class Desk:
    """Xvfb, trayer and a Wine prefix of our own."""

    def __init__(self, ctl=None):
        self.tmp = tempfile.mkdtemp(prefix="voldrane-win32-bench.")
        self.procs = []
        fd_read, fd_write = os.pipe()
        self.procs.append(subprocess.Popen(
            ["Xvfb", "-displayfd", str(fd_write), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"], pass_fds=[fd_write],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        os.close(fd_write)
        with os.fdopen(fd_read) as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + number,
                        WINEPREFIX=os.path.join(self.tmp, "prefix"), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="winemenubuilder.exe=d")
        self.procs.append(subprocess.Popen(
            ["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
             "240", "--heighttype", "pixel", "--height", "24"], env=self.env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.x = xdisplay.Display(self.env["DISPLAY"])
        self.root = self.x.screen().root
        tray_selection = self.x.intern_atom("_NET_SYSTEM_TRAY_S0")
        wait_for(lambda: self.x.get_selection_owner(tray_selection) != X.NONE, 10,
                 "trayer took no notification-area selection")
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.wine(["wineboot", "-i"])
        self.wine(["wineserver", "-w"])
        # Keep the server up between runs: each run then measures the program, not the prefix.
        self.wine(["wineserver", "-p"])
        if ctl:
            # One office made from this machine's network, so that voldrane.exe recognises and
            # applies it at every start, as it does for a user.
            self.wine(["wine", ctl, "add", "--name", "Bench office", "--current"])

    def wine(self, argv):
        subprocess.run(argv, env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)

    def drain(self):
        while self.x.pending_events():
            self.x.next_event()

    def wait_docked(self, timeout):
        """Waits for an icon window to be reparented away from the root; its monotonic time."""
        deadline = time.monotonic() + timeout
        while True:
            while self.x.pending_events():
                event = self.x.next_event()
                if event.type == X.ReparentNotify and event.parent.id != self.root.id:
                    return time.monotonic(), event.window
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no icon docked in the notification area")
            select.select([self.x.fileno()], [], [], left)

    def gone(self, window):
        """Whether an icon window has been taken out of the notification area."""
        try:
            return window.get_attributes().map_state == X.IsUnmapped
        except Exception:  # destroyed: BadWindow
            return True

    def close(self):
        self.wine(["wineserver", "-k"])
        for p in reversed(self.procs):
            p.terminate()
            p.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)


def one_run(desk, exe, settle):
    desk.drain()
    t0 = time.monotonic()
    proc = subprocess.Popen(["wine", exe], env=desk.env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        t1, icon = desk.wait_docked(30)
        time.sleep(settle)  # memory after start-up, not during it
        rss, pss = kb(proc.pid, "status", "VmRSS"), kb(proc.pid, "smaps_rollup", "Pss")
        objects = rss_by_object(proc.pid)
    finally:
        # As Windows asks a program to end (WM_CLOSE to its windows), so that it removes its
        # icon itself; killed only if it does not end.
        desk.wine(["wine", "taskkill", "/im", os.path.basename(exe)])
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    # The next run starts once this icon has left the notification area.
    wait_for(lambda: desk.gone(icon), 10, "the icon stayed after its program ended")
    if os.environ.get("BENCH_VERBOSE"):
        print(os.path.basename(exe), "%.1f ms" % ((t1 - t0) * 1000.0), rss, pss, file=sys.stderr)
    return (t1 - t0) * 1000.0, rss, pss, objects


def median(values):
    return statistics.median(values)


def row(name, a, b, unit, target=None):
    ratio = a / b
    verdict = "-" if target is None else ("meets" if ratio <= target else "misses")
    goal = "-" if target is None else "<= %.1fx the floor" % target
    return "| %s | %.1f %s vs %.1f %s | %s | %.2fx | %s |" % (name, a, unit, b, unit, goal,
                                                            ratio, verdict)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--floor", required=True, help="minimal_tray.exe")
    ap.add_argument("--voldrane", help="voldrane.exe (left out: only the floor is measured)")
    ap.add_argument("--ctl", help="voldranectl.exe: stores an office of this network first")
    ap.add_argument("--linux-build", help="Linux build folder: run bench/tray/tray_bench.py too")
    ap.add_argument("--runs", type=int, default=20)
    ap.add_argument("--top", type=int, default=12, help="objects listed in the Rss breakdown")
    ap.add_argument("--settle", type=float, default=1.0,
                    help="seconds after the icon before memory is read")
    args = ap.parse_args()

    programs = [("minimal", os.path.abspath(args.floor))]
    results = {"minimal": []}
    desk = Desk(os.path.abspath(args.ctl) if args.ctl else None)
    try:
        if args.voldrane:
            # Measured as the installer installs it: stripped. The debug sections of the
            # built program would be mapped in too and count in its working set.
            stripped_exe = os.path.join(desk.tmp, "voldrane.exe")
            subprocess.run(["x86_64-w64-mingw32-strip", "-o", stripped_exe, args.voldrane],
                           check=True)
            programs.append(("voldrane", stripped_exe))
            results["voldrane"] = []
        for name, exe in programs:  # warm-up: page cache, the prefix's first DLL loads
            one_run(desk, exe, 0)
        for _ in range(args.runs):
            for name, exe in programs:
                results[name].append(one_run(desk, exe, args.settle))
        if args.voldrane:
            built, stripped = os.path.getsize(args.voldrane), os.path.getsize(stripped_exe)
    finally:
        desk.close()

    def med(name, i):
        return median([r[i] for r in results[name]])

    print("Wine %s, %d runs each, medians" % (
        subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip(),
        args.runs))
    print()
    print("| measure | voldrane.exe vs minimal | target | ratio | verdict |")
    print("|---|---|---|---|---|")
    if args.voldrane:
        print(row("start to icon docked", med("voldrane", 0), med("minimal", 0), "ms",
                  START_TARGET))
        print(row("working set (VmRSS)", med("voldrane", 1) / 1024, med("minimal", 1) / 1024,
                  "MiB", MEMORY_TARGET))
        print(row("proportional set (Pss)", med("voldrane", 2) / 1024,
                  med("minimal", 2) / 1024, "MiB"))
        print("| voldrane.exe size, stripped as installed and measured (as built: %.2f MiB) | "
              "%.2f MiB | <= 3 MiB, static | %.2f of it | %s |" % (
                  built / 2**20, stripped / 2**20, stripped / SIZE_TARGET,
                  "meets" if stripped <= SIZE_TARGET else "misses"))
        dlls = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", args.voldrane],
                              capture_output=True, text=True).stdout
        imports = sorted({l.split()[-1] for l in dlls.splitlines() if "DLL Name" in l})
        print()
        print("voldrane.exe imports: " + ", ".join(imports))
        # Where the resident memory over the floor goes (last runs), largest first.
        mine, floor = results["voldrane"][-1][3], results["minimal"][-1][3]
        diff = sorted(((mine.get(k, 0) - floor.get(k, 0), k) for k in set(mine) | set(floor)),
                      reverse=True)
        print()
        print("Rss over the floor by mapped object (kB): " + ", ".join(
            "%s %+d" % (k, d) for d, k in diff[:args.top] if d))
    else:
        print("| start to icon docked | minimal only: %.1f ms | - | - | - |" % med("minimal", 0))
        print("| working set (VmRSS) | minimal only: %.1f MiB | - | - | - |" % (
            med("minimal", 1) / 1024))

    if args.linux_build:
        build = os.path.abspath(args.linux_build)
        print()
        print("Linux tray program, same run (bench/tray/tray_bench.py):")
        sys.stdout.flush()
        subprocess.run([sys.executable, os.path.join(HERE, "..", "tray", "tray_bench.py"),
                        "--voldrane", os.path.join(build, "app", "voldrane"),
                        "--ctl", os.path.join(build, "cli", "voldranectl"),
                        "--floor", os.path.join(build, "bench", "minimal_tray"),
                        "--runs", str(args.runs), "--idle", "0"], check=False)


if __name__ == "__main__":
    main()
