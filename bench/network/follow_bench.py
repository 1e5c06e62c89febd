#!/usr/bin/python3
"""Following the network with `voldranectl watch` and the tray program in a network namespace
and a private cupsd (root needed): the time from the new address and DNS servers being in
place to `lpstat -d` showing the new office's printer, over N switches; wake-ups of each when
idle; and the switches a storm of address changes gives `watch`.

usage: follow_bench.py --voldranectl PATH [--switches 20] [--idle 60] [--storm 1000]
                       [--voldrane PATH]   (also the tray program's switches and wake-ups)
"""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../../tests/network"))
from follow_test import World, desk_with_printers, lines  # noqa: E402
from network_kernel_test import Failure, Sandbox, remove_stale_namespaces, wait_for  # noqa: E402


def watch_pid(p):
    """The voldranectl process under ip netns exec, unshare and sh (exec'd in turn)."""
    out = subprocess.run(["pgrep", "-s", str(p.pid), "-f", "voldranectl watch"],
                         capture_output=True, text=True).stdout.split()
    return int(out[0]) if out else None


def voluntary_switches(pid):
    """Summed over the process's threads (Qt has more than one)."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status") as f:
            for line in f:
                if line.startswith("voluntary_ctxt_switches"):
                    total += int(line.split()[1])
    return total


def switch_times(w, switches, who):
    """Moves between A and B `switches` times, starting at A's, and prints the times from
    the new address and DNS servers being in place to `lpstat -d` showing the new office's
    printer. Returns the office moved to last."""
    times = []
    office = "A"
    for _ in range(switches):
        office = "B" if office == "A" else "A"
        w.move_to(office)
        placed = time.monotonic()
        want = f"system default destination: Printer{office}"
        while w.default_printer() != want:
            if time.monotonic() - placed > 30:
                raise Failure("no switch within 30 s")
            time.sleep(0.01)
        times.append((time.monotonic() - placed) * 1000)
    times.sort()
    p95 = times[min(len(times) - 1, int(round(0.95 * len(times))) - 1)]
    print(f"switch ({who}), change to lpstat -d: median {statistics.median(times):.0f} ms, "
          f"95th percentile {p95:.0f} ms, min {times[0]:.0f}, max {times[-1]:.0f} "
          f"({len(times)} switches, settle time 1000 ms)")
    return office


def tray_idle(sb, args):
    """The tray program following the namespace on a private desktop: its switch times, then
    its wake-ups when left alone."""
    from trayfixture import Item, registered_items, wait_for as pump_until
    desk = desk_with_printers(sb, desktop=True)
    w = World(sb, args.voldranectl, desk)
    w.add_offices()
    sb.run(args.voldranectl, "set", "follow-network", "on", env=w.env)
    w.move_to("A")
    desk.spawn("voldrane", w.in_namespace(args.voldrane), env=dict(w.env, QT_QPA_PLATFORM="xcb"))
    item = Item(desk, pump_until("the icon", lambda: registered_items(desk), timeout=20)[0])
    pump_until("tooltip A", lambda: item.tooltip() == "A", timeout=10)
    office = switch_times(w, args.switches, "tray program")
    pump_until("the last office's tooltip", lambda: item.tooltip() == office, timeout=10)
    time.sleep(2)  # the settle timer and the helper's end behind it
    pids = subprocess.run(["ip", "netns", "pids", w.ns], capture_output=True,
                          text=True).stdout.split()
    pid = next(p for p in pids if open(f"/proc/{p}/comm").read().strip() == "voldrane")
    before = voluntary_switches(pid)
    time.sleep(args.idle)
    print(f"idle: {voluntary_switches(pid) - before} voluntary context switches of the tray "
          f"program (all threads) in {args.idle:.0f} s")


def close(sb):
    for desk in getattr(sb, "desks", []):
        desk.close()
    sb.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--voldranectl", required=True)
    parser.add_argument("--switches", type=int, default=20)
    parser.add_argument("--idle", type=float, default=60)
    parser.add_argument("--storm", type=int, default=1000)
    parser.add_argument("--voldrane")
    args = parser.parse_args()
    os.environ["PATH"] += ":/usr/sbin:/sbin"
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    remove_stale_namespaces()
    if args.voldrane:
        sb = Sandbox()
        try:
            tray_idle(sb, args)
        finally:
            close(sb)
    sb = Sandbox()
    try:
        w = World(sb, args.voldranectl, desk_with_printers(sb))
        w.add_offices()
        w.move_to("A")
        p = w.watch()
        wait_for(lambda: lines(p) == ["A: PrinterA"], "the first office applied at start")

        office = switch_times(w, args.switches, "watch")

        pid = watch_pid(p)
        before = voluntary_switches(pid)
        time.sleep(args.idle)
        after = voluntary_switches(pid)
        print(f"idle: {after - before} voluntary context switches of watch in {args.idle:.0f} s")

        # A storm of address changes that ends where it began: no switch at all may result.
        count = len(lines(p))
        before = voluntary_switches(pid)
        start = time.monotonic()
        batch = [f"address {'add' if i % 2 == 0 else 'del'} 10.99.{i // 500}.{i // 2 % 250 + 1}/32"
                 " dev dummy0" for i in range(args.storm)]
        subprocess.run(["ip", "-n", w.ns, "-batch", "-"], input="\n".join(batch) + "\n",
                       text=True, check=True)
        took = time.monotonic() - start
        w.move_to("B" if office == "A" else "A")  # a marker: its switch comes after the storm
        wait_for(lambda: len(lines(p)) > count, "the marker's switch")
        print(f"storm: {args.storm} address changes in {took * 1000:.0f} ms gave "
              f"{len(lines(p)) - count - 1} switches (then the marker's one); "
              f"{voluntary_switches(pid) - before} voluntary context switches of watch")
    finally:
        close(sb)
    return 0


if __name__ == "__main__":
    sys.exit(main())
