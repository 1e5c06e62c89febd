#!/usr/bin/python3
"""Start-up time, memory and idle wake-ups of the tray program against a minimal Qt tray
program, on a private desktop (session bus, Xvfb, stand-in StatusNotifier watcher, cupsd).

Start-up: from just before the process is started to the moment the watcher receives
RegisterStatusNotifierItem (both on CLOCK_MONOTONIC). Memory: VmRSS and Pss once start-up has
settled. Idle: context switches of all the process's threads over a quiet period, i.e. how
often it wakes up. Runs of the two programs alternate, so both see the same machine load.

    tray_bench.py --voldrane build/app/voldrane --ctl build/cli/voldranectl \
                  --floor build/bench/minimal_tray [--runs 30] [--idle 60]
"""
import argparse
import glob
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "tray"))
from trayfixture import Desk, wait_for  # noqa: E402

START_TARGET, MEMORY_TARGET = 1.3, 1.2


def status_kb(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    raise KeyError(key)


def rollup_kb(pid):
    """Pss and Anonymous (heap, stacks, written data: what no other process can share) in
    kB. Pss depends on which other processes map the same libraries at the moment."""
    values = {}
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 2 and fields[1].isdigit():
                values[fields[0].rstrip(":")] = int(fields[1])
    return values["Pss"], values["Anonymous"]


def cpu_seconds(pid):
    """CPU time the process's live threads have used so far (schedstat: nanoseconds)."""
    total = 0
    for stat in glob.glob("/proc/%d/task/*/schedstat" % pid):
        try:
            with open(stat) as f:
                total += int(f.read().split()[0])
        except FileNotFoundError:  # a thread that just ended
            pass
    return total / 1e9


def libraries(pid):
    """The shared objects mapped into the process."""
    with open("/proc/%d/maps" % pid) as f:
        return {line.split()[-1] for line in f if ".so" in line.rsplit("/", 1)[-1]}


def memory_by_object(pid):
    """Rss and Pss in kB per mapped file ("[heap]", "[anon]" and the like for the rest)."""
    sizes, name = {}, None
    with open("/proc/%d/smaps" % pid) as f:
        for line in f:
            fields = line.split()
            if "-" in fields[0] and ":" not in fields[0]:  # a mapping's header line
                name = fields[5] if len(fields) > 5 else "[anon]"
            elif fields[0] in ("Rss:", "Pss:"):
                rss, pss = sizes.get(name, (0, 0))
                kb = int(fields[1])
                sizes[name] = (rss + kb, pss) if fields[0] == "Rss:" else (rss, pss + kb)
    return sizes


def context_switches(pid):
    """(voluntary, involuntary) summed over the process's threads, and the thread count."""
    vol = invol = threads = 0
    for status in glob.glob("/proc/%d/task/*/status" % pid):
        try:
            with open(status) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        vol += int(line.split()[1])
                    elif line.startswith("nonvoluntary_ctxt_switches:"):
                        invol += int(line.split()[1])
            threads += 1
        except FileNotFoundError:  # a thread that just ended
            pass
    return vol, invol, threads


class Bench:
    def __init__(self, desk, settle):
        self.desk = desk
        self.settle = settle
        self.libraries = {}  # program -> shared objects it had mapped at its last run
        self.memory = {}  # program -> {object: (Rss, Pss)} at its last run

    def one_run(self, argv):
        """Start-up seconds, VmRSS, Pss and Anonymous in kB, and CPU seconds used by the time the icon had
        registered, of one start of `argv`."""
        before = len(self.desk.watcher_events("registered"))
        started = time.monotonic()
        proc = self.desk.spawn("run", argv)

        def registered():
            if proc.poll() is not None:
                raise RuntimeError("%s ended (exit %d): %s" % (argv[0], proc.returncode,
                                                               self.desk.output("run")[1]))
            events = self.desk.watcher_events("registered")
            return events[before:] if len(events) > before else None

        event = wait_for("registration", registered, timeout=30, step=0.005)[0]
        cpu = cpu_seconds(proc.pid)
        time.sleep(self.settle)
        rss = status_kb(proc.pid, "VmRSS")
        pss, anon = rollup_kb(proc.pid)
        self.libraries[argv[0]] = libraries(proc.pid)
        self.memory[argv[0]] = memory_by_object(proc.pid)
        self.desk.stop(proc)
        self.desk.procs.remove(("run", proc))
        wait_for("the icon to go", lambda: len(self.desk.watcher_events("unregistered"))
                 >= len(self.desk.watcher_events("registered")))
        return event["t"] - started, rss, pss, anon, cpu

    def idle(self, argv, seconds):
        proc = self.desk.spawn("idle", argv)
        before = len(self.desk.watcher_events("registered"))
        wait_for("registration", lambda: len(self.desk.watcher_events("registered")) > before,
                 timeout=30)
        time.sleep(self.settle)
        v0, i0, threads = context_switches(proc.pid)
        time.sleep(seconds)
        v1, i1, _ = context_switches(proc.pid)
        self.desk.stop(proc)
        self.desk.procs.remove(("idle", proc))
        return v1 - v0, i1 - i0, threads


def median_line(name, values, unit, scale=1.0, fmt="%.1f"):
    vs = [v * scale for v in values]
    return "%-14s median " % name + fmt % statistics.median(vs) + " %s  (min " % unit + \
        fmt % min(vs) + ", max " + fmt % max(vs) + ")"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--voldrane", required=True)
    ap.add_argument("--ctl", required=True)
    ap.add_argument("--floor", required=True)
    ap.add_argument("--runs", type=int, default=30)
    ap.add_argument("--settle", type=float, default=1.0,
                    help="seconds after registration before memory is read")
    ap.add_argument("--top", type=int, default=15,
                    help="how many objects the memory comparison lists")
    ap.add_argument("--idle", type=int, default=60, help="seconds of idle counting, 0 skips")
    args = ap.parse_args()

    with Desk("bench") as desk:
        desk.start_bus()
        desk.start_x()
        desk.start_watcher()
        desk.start_cupsd(["Laser-North", "Laser-South"])
        desk.run([args.ctl, "add", "--current", "--name", "North office", "--printer",
                  "Laser-North"])
        desk.env["QT_QPA_PLATFORM"] = "xcb"
        bench = Bench(desk, args.settle)
        programs = {"voldrane": [args.voldrane], "floor": [args.floor]}

        for argv in programs.values():  # warm the page cache and Qt's caches
            bench.one_run(argv)
        results = {name: [] for name in programs}
        for _ in range(args.runs):
            for name, argv in programs.items():
                results[name].append(bench.one_run(argv))
        if desk.default_printer() != "Laser-North":
            print("warning: the office was not applied (default: %s)" % desk.default_printer())

        print("Start-up to icon registered, memory %.1f s after it; %d runs each"
              % (args.settle, args.runs))
        med = {}
        for name in programs:
            start, rss, pss, anon, cpu = zip(*results[name])
            med[name] = [statistics.median(v) for v in (start, rss, pss, anon, cpu)]
            print(name)
            print("  " + median_line("start-up", start, "ms", 1000.0))
            print("  " + median_line("CPU to icon", cpu, "ms", 1000.0))
            print("  " + median_line("VmRSS", rss, "MiB", 1 / 1024.0))
            print("  " + median_line("Pss", pss, "MiB", 1 / 1024.0))
            print("  " + median_line("Anonymous", anon, "MiB", 1 / 1024.0))
        ratios = [med["voldrane"][i] / med["floor"][i] for i in range(5)]
        for what, ratio, target in (("start-up", ratios[0], START_TARGET),
                                     ("VmRSS", ratios[1], MEMORY_TARGET),
                                     ("Pss", ratios[2], MEMORY_TARGET)):
            print("ratio voldrane/floor %-9s %.2fx  (target %.1fx: %s)"
                  % (what, ratio, target, "meets" if ratio <= target else "MISSES"))
        print("ratio voldrane/floor Anonymous %.2fx, CPU to icon %.2fx" % (ratios[3], ratios[4]))
        own, floor = bench.libraries[args.voldrane], bench.libraries[args.floor]
        print("shared objects mapped: voldrane %d, floor %d" % (len(own), len(floor)))
        for lib in sorted(own - floor):
            print("  only voldrane: " + lib)
        for lib in sorted(floor - own):
            print("  only floor: " + lib)

        own, floor = bench.memory[args.voldrane], bench.memory[args.floor]
        diffs = sorted(((own.get(k, (0, 0))[0] - floor.get(k, (0, 0))[0],
                         own.get(k, (0, 0))[1] - floor.get(k, (0, 0))[1], k)
                        for k in set(own) | set(floor)), reverse=True)
        print("memory voldrane minus floor, largest Rss first (kB, last run):")
        for rss, pss, name in diffs[:args.top]:
            print("  Rss %+6d  Pss %+6d  %s" % (rss, pss, name))

        if args.idle > 0:
            print("Idle over %d s after start-up (context switches, all threads)" % args.idle)
            for name, argv in programs.items():
                vol, invol, threads = bench.idle(argv, args.idle)
                print("  %-9s voluntary %d, involuntary %d, threads %d"
                      % (name, vol, invol, threads))
    return 0


if __name__ == "__main__":
    sys.exit(main())
