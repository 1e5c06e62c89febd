#!/usr/bin/python3
"""voldranectl.exe under Wine against a network namespace and a private cupsd.

Wine reads the adapters, addresses, gateway and DNS servers from the Linux interfaces of the
namespace its wine server runs in, and the printers from the CUPS server named by
CUPS_SERVER: so the network source and the spooler are driven by what this test sets up.
Wine fakes the DHCP server, WINS, printer attributes and SetDefaultPrinter across processes:
nothing here checks those. Needs root (network namespaces); everything started is removed
again (the namespace helpers of tests/network).

usage: wine_system_test.py --voldranectl PATH/voldranectl.exe
"""
import argparse
import json
import os
import shlex
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "network"))
from network_kernel_test import Failure, run_scenario, wait_for  # noqa: E402

OFFICE_NAME = "Zürich Büro – 2F"
SECOND_OFFICE = "東京オフィス"


class WineInNamespace:
    """A private prefix whose wine server runs in namespace `ns`."""

    def __init__(self, sb, ns, env):
        self.sb, self.ns = sb, ns
        self.env = dict(os.environ, **env)
        self.env.update(WINEPREFIX=os.path.join(sb.tmp, "prefix"), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="winemenubuilder.exe=d")
        self.server = sb.start("ip", "netns", "exec", ns, "wineserver", "-f", "-p", env=self.env)
        self.run("cmd", "/c", "exit 0", timeout=180)

    def argv(self, *argv):
        return ["ip", "netns", "exec", self.ns, "wine", *argv]

    def run(self, *argv, env=None, timeout=90):
        e = dict(self.env, **(env or {}))
        try:
            return subprocess.run(self.argv(*argv), capture_output=True, env=e, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"{' '.join(argv)} did not end within {timeout} s")

    def start(self, *argv):
        return self.sb.start(*self.argv(*argv), env=self.env)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)


class Cupsd:
    """A private cupsd on a socket in the sandbox, with queues that print to /dev/null."""

    def __init__(self, sb):
        d = os.path.join(sb.tmp, "cups")
        for sub in ("spool/temp", "log", "cache", "home"):
            os.makedirs(os.path.join(d, sub), exist_ok=True)
        self.socket = os.path.join(d, "cups.sock")
        with open(os.path.join(d, "cupsd.conf"), "w") as f:
            f.write(f"Listen {self.socket}\nBrowsing Off\nWebInterface No\n"
                    "<Policy default>\n<Limit All>\nOrder Allow,Deny\n</Limit>\n</Policy>\n")
        with open(os.path.join(d, "cups-files.conf"), "w") as f:
            f.write(f"FileDevice Yes\nPrintcap {d}/printcap\nServerRoot {d}\nStateDir {d}\n"
                    f"CacheDir {d}/cache\nRequestRoot {d}/spool\nTempDir {d}/spool/temp\n"
                    f"AccessLog {d}/log/access_log\nErrorLog {d}/log/error_log\n"
                    f"PageLog {d}/log/page_log\n")
        self.env = {"CUPS_SERVER": self.socket, "HOME": os.path.join(d, "home")}
        sb.start("/usr/sbin/cupsd", "-f", "-c", os.path.join(d, "cupsd.conf"),
                 "-s", os.path.join(d, "cups-files.conf"))
        wait_for(lambda: os.path.exists(self.socket), "cupsd's socket")
        self.sb = sb

    def admin(self, *argv):
        self.sb.run("/usr/sbin/lpadmin", *argv, env=dict(os.environ, **self.env))


class SilentServer:
    """A print server that accepts connections and never answers."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.bind(path)
        self.sock.listen(16)
        self.held = []
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                self.held.append(self.sock.accept()[0])
            except OSError:
                return


def log_of(process):
    with open(process.log_path, encoding="utf-8", errors="replace") as f:
        return f.read()


def move_to(sb, ns, net):
    """Moves the office's adapter to network `net`.0/24, its gateway at .1, its DNS servers
    at .53 and .54."""
    sb.resolv_conf(ns, f"nameserver {net}.53\nnameserver {net}.54\n")
    sb.run("ip", "-n", ns, "addr", "flush", "dev", "eth1")
    sb.run("ip", "-n", ns, "addr", "add", f"{net}.10/24", "dev", "eth1")
    sb.run("ip", "-n", ns, "route", "replace", "default", "via", f"{net}.1")


def winpath(path):
    """The path as a Windows program under Wine names it (the Z: drive is /)."""
    return "Z:" + path.replace("/", "\\")


def text(b):
    return b.decode("utf-8", "replace")


def scenario(sb, args, c):
    h = sb.netns("wh")
    gw = sb.netns("wg")
    # In the order Wine lists them: a virtual adapter with an address (passed over by its
    # description), an adapter without an address (passed over for a later one with one),
    # then the office's network.
    sb.standalone_link(h, "Virtual0")
    sb.run("ip", "-n", h, "addr", "add", "10.9.9.9/24", "dev", "Virtual0")
    sb.run("ip", "-n", h, "link", "set", "Virtual0", "up")
    sb.standalone_link(h, "eth0")
    sb.run("ip", "-n", h, "link", "set", "eth0", "up")
    sb.run("ip", "-n", h, "link", "add", "eth1", "type", "veth", "peer", "name", "gw0",
           "netns", gw)
    sb.run("ip", "-n", h, "addr", "add", "192.168.50.10/24", "dev", "eth1")
    sb.run("ip", "-n", h, "link", "set", "eth1", "up")
    sb.run("ip", "-n", gw, "addr", "add", "192.168.50.1/24", "dev", "gw0")
    sb.run("ip", "-n", gw, "link", "set", "gw0", "up")
    sb.run("ip", "-n", h, "route", "add", "default", "via", "192.168.50.1")
    move_to(sb, h, "192.168.50")

    cups = Cupsd(sb)
    for q in ("q-alpha", "q-beta", "q-gamma"):
        cups.admin("-p", q, "-E", "-v", "file:///dev/null")
    cups.admin("-d", "q-beta")

    wine = WineInNamespace(sb, h, cups.env)
    try:
        checks(sb, args, c, wine, cups)
    finally:
        wine.close()


def checks(sb, args, c, wine, cups):
    ctl = args.voldranectl

    # The network source and the core's choice of adapter.
    r = wine.run(ctl, "detect", "--json")
    c.eq(r.returncode, 0, "detect: exit status")
    d = json.loads(r.stdout)
    c.eq(d.get("IP Address"), "192.168.50.10", "detect: address of the office's adapter")
    c.eq(d.get("Subnet Mask"), "255.255.255.0", "detect: mask")
    c.eq(d.get("Default Gateway"), "192.168.50.1", "detect: gateway")
    c.eq(d.get("DNS Server 1"), "192.168.50.53", "detect: DNS 1")
    c.eq(d.get("DNS Server 2"), "192.168.50.54", "detect: DNS 2")

    # The spooler: the server's queues and default.
    r = wine.run(ctl, "spooler", "list")
    c.eq(r.returncode, 0, "spooler list: exit status " + text(r.stderr))
    c.eq(sorted(text(r.stdout).split()), ["q-alpha", "q-beta", "q-gamma"], "spooler list")
    r = wine.run(ctl, "spooler", "default")
    c.eq(text(r.stdout).strip(), "q-beta", "spooler default: the server's default")
    r = wine.run(ctl, "spooler", "set-default", "no-such-queue")
    c.eq(r.returncode, 3, "set-default of an unknown printer: exit status")
    c.true("no-such-queue" in text(r.stderr) and ": " in text(r.stderr),
           f"set-default of an unknown printer names it and the OS's reason: {r.stderr!r}")

    # The whole tool against the registry, the network and the printers.
    r = wine.run(ctl, "add", "--name", OFFICE_NAME, "--current", "--printer", "q-gamma")
    c.eq(r.returncode, 0, "add --current: exit status " + text(r.stderr))
    key = text(r.stdout).strip()
    r = wine.run(ctl, "list", "--json")
    offices = json.loads(r.stdout) if r.returncode == 0 else []
    c.eq([(o["Key"], o["Office Name"], o["IP Address"], o["Default Printer"]) for o in offices],
         [(key, OFFICE_NAME, "192.168.50.10", "q-gamma")], "list --json after add")
    r = wine.run(ctl, "list")
    c.true(OFFICE_NAME.encode() in r.stdout, f"list: the name in UTF-8 through a pipe: {r.stdout!r}")
    # On a terminal Wine gives the program a console (code page 437 here): the name must still
    # arrive whole, so it cannot have been written as bytes in the console's code page.
    r = subprocess.run(["script", "-qec", " ".join(shlex.quote(a) for a in wine.argv(ctl, "list")),
                        "/dev/null"], capture_output=True, env=dict(wine.env, LANG="C.UTF-8"),
                       timeout=90)
    c.true(OFFICE_NAME.encode() in r.stdout, f"list on a console: {r.stdout!r}")
    r = wine.run(ctl, "auto")
    c.eq((r.returncode, text(r.stdout)), (0, f"{OFFICE_NAME}\ndefault printer: q-gamma\n"),
         "auto: matches the office and sets its printer " + text(r.stderr))

    r = wine.run(ctl, "match")
    c.eq((r.returncode, text(r.stdout)), (0, f"{OFFICE_NAME}\n"), "match")
    r = wine.run(ctl, "edit", key, "--printer", "q-alpha")
    c.eq(r.returncode, 0, "edit " + text(r.stderr))
    r = wine.run(ctl, "apply", OFFICE_NAME)
    c.eq((r.returncode, text(r.stdout)), (0, f"{OFFICE_NAME}\ndefault printer: q-alpha\n"),
         "apply after edit " + text(r.stderr))
    r = wine.run(ctl, "printers")
    c.eq((r.returncode, sorted(text(r.stdout).replace("*", " ").split())),
         (0, ["q-alpha", "q-beta", "q-gamma"]), "printers")
    for setting in ("follow-network", "notify", "auto-detect"):
        r = wine.run(ctl, "set", setting, "off" if setting == "notify" else "on")
        c.eq(r.returncode, 0, f"set {setting} " + text(r.stderr))
    r = wine.run(ctl, "set", "default-office", key)
    c.eq(r.returncode, 0, "set default-office " + text(r.stderr))
    # The registry as export shows it, and an import of it adds the office again.
    r = wine.run(ctl, "export", winpath(os.path.join(sb.tmp, "out.reg")))
    c.eq(r.returncode, 0, "export FILE " + text(r.stderr))
    exported = open(os.path.join(sb.tmp, "out.reg"), "rb").read()
    for line in ('"Follow Network"=dword:00000001', '"Notify"=dword:00000000',
                 '"Auto Detect"=dword:00000001', f'"Default Office"="{key}"',
                 f'"Office Name"="{OFFICE_NAME}"', '"Default Printer"="q-alpha"'):
        c.true(line.encode("utf-8") in exported.replace(b"\r\n", b"\n")
               or line.encode("utf-16-le") in exported, f"export holds {line}")
    r = wine.run(ctl, "import", winpath(os.path.join(sb.tmp, "out.reg")))
    c.eq((r.returncode, text(r.stdout)), (0, "Added 1 office\n"), "import " + text(r.stderr))
    r = wine.run(ctl, "list", "--json")
    c.eq([o["Office Name"] for o in json.loads(r.stdout or b"[]")], [OFFICE_NAME] * 2,
         "list after import")
    other = [o["Key"] for o in json.loads(r.stdout or b"[]") if o["Key"] != key]
    for k in other:
        wine.run(ctl, "remove", k)

    # A print server that accepts and never answers costs the bound, and says so.
    silent = SilentServer(os.path.join(sb.tmp, "silent.sock"))
    r = wine.run(ctl, "spooler", "list", env={"CUPS_SERVER": silent.sock.getsockname()},
                 timeout=60)
    c.eq(r.returncode, 3, "a silent print server: exit status " + text(r.stderr))
    c.true("did not answer" in text(r.stderr), f"a silent print server: {r.stderr!r}")

    # Following the network: Wine never calls the change notifications back, so `watch` reads
    # the adapters at an interval and applies the office of the network it moves to. Under Wine
    # a running process kept the DNS servers it read first when resolv.conf changed, so
    # the second office comes first in the list and is told apart by its network alone.
    r = wine.run(ctl, "remove", key)
    c.eq(r.returncode, 0, "remove " + text(r.stderr))
    r = wine.run(ctl, "add", "--name", SECOND_OFFICE, "--printer", "q-alpha",
                 "--ip", "192.168.60.10", "--mask", "255.255.255.0", "--gateway", "192.168.60.1",
                 "--dns1", "192.168.60.53", "--dns2", "192.168.60.54")
    c.eq(r.returncode, 0, "add of the second office " + text(r.stderr))
    r = wine.run(ctl, "add", "--name", OFFICE_NAME, "--current", "--printer", "q-gamma")
    c.eq(r.returncode, 0, "add --current again " + text(r.stderr))
    watch = wine.start(ctl, "watch")
    wait_for(lambda: f"{OFFICE_NAME}: q-gamma" in log_of(watch), "watch to apply the first office")
    move_to(sb, wine.ns, "192.168.60")
    try:
        wait_for(lambda: f"{SECOND_OFFICE}: q-alpha" in log_of(watch),
                 "watch to follow the move to the second office")
    except Failure as e:
        raise Failure(f"{e}; watch said: {log_of(watch)!r}")



def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--voldranectl", required=True)
    args = parser.parse_args()
    return run_scenario(lambda sb, checker: scenario(sb, args, checker))


if __name__ == "__main__":
    sys.exit(main())
