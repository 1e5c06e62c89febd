#!/usr/bin/python3
"""`voldranectl watch` following a network namespace whose address and DNS servers move
between two offices, with a private cupsd (root needed). Everything started is removed again.

usage: follow_test.py --voldranectl PATH
"""
import argparse
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from network_kernel_test import (Checker, Failure, Sandbox,  # noqa: E402
                                 remove_stale_namespaces, wait_for)

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
    def __init__(self, sb, ctl):
        self.sb, self.ctl = sb, ctl
        self.env = dict(os.environ, XDG_CONFIG_HOME=f"{sb.tmp}/config", HOME=f"{sb.tmp}/home",
                        CUPS_SERVER=f"{sb.tmp}/cups/cups.sock",
                        DBUS_SYSTEM_BUS_ADDRESS=f"unix:path={sb.tmp}/no-bus")
        for k in ("LPDEST", "PRINTER"):
            self.env.pop(k, None)
        os.makedirs(f"{sb.tmp}/home")
        os.makedirs(f"{sb.tmp}/nic/dummy0")
        self.start_cupsd()
        self.ns = sb.netns("follow")
        sb.standalone_link(self.ns, "dummy0")
        sb.run("ip", "-n", self.ns, "link", "set", "dummy0", "up")

    def start_cupsd(self):
        d = f"{self.sb.tmp}/cups"
        for sub in ("spool/temp", "log", "cache"):
            os.makedirs(f"{d}/{sub}")
        with open(f"{d}/cupsd.conf", "w") as f:
            f.write(f"Listen {d}/cups.sock\nBrowsing Off\nWebInterface No\n<Policy default>\n"
                    "<Limit All>\nOrder Allow,Deny\n</Limit>\n</Policy>\n")
        with open(f"{d}/cups-files.conf", "w") as f:
            f.write(f"FileDevice Yes\nPrintcap {d}/printcap\nServerRoot {d}\nStateDir {d}\n"
                    f"CacheDir {d}/cache\nRequestRoot {d}/spool\nTempDir {d}/spool/temp\n"
                    f"AccessLog {d}/log/access_log\nErrorLog {d}/log/error_log\n"
                    f"PageLog {d}/log/page_log\n")
        self.sb.start("/usr/sbin/cupsd", "-f", "-c", f"{d}/cupsd.conf", "-s",
                      f"{d}/cups-files.conf")
        wait_for(lambda: subprocess.run(["lpstat", "-r"], env=self.env, capture_output=True,
                                        text=True).stdout.strip() == "scheduler is running",
                 "the private cupsd")
        for q in ("PrinterA", "PrinterB", "Before"):
            self.sb.run("lpadmin", "-p", q, "-E", "-v", "file:///dev/null", env=self.env)
        self.sb.run("lpoptions", "-d", "Before", env=self.env)

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

    def watch(self):
        return self.sb.start("ip", "netns", "exec", self.ns, "unshare", "-m", "--propagation",
                             "private", "/bin/sh", "-c", VIEW, "sh", f"{self.sb.tmp}/nic/dummy0",
                             self.ctl, "watch", env=self.env)


def lines(p):
    with open(p.log_path) as f:
        return [line.rstrip("\n") for line in f]


def run(sb, args, c):
    w = World(sb, args.voldranectl)
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

    os.killpg(p.pid, signal.SIGTERM)
    c.eq(p.wait(timeout=10), 0, "exit status on SIGTERM")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--voldranectl", required=True)
    args = parser.parse_args()
    if os.geteuid() != 0:
        print("FAIL: this test needs root (network namespaces)", file=sys.stderr)
        return 1
    os.environ["PATH"] += ":/usr/sbin:/sbin"
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    remove_stale_namespaces()
    sb = Sandbox()
    checker = Checker()
    try:
        run(sb, args, checker)
    except Failure as e:
        checker.failures.append(str(e))
    finally:
        sb.close()
    for f in checker.failures:
        print("FAIL:", f, file=sys.stderr)
    return 1 if checker.failures else 0


if __name__ == "__main__":
    sys.exit(main())
