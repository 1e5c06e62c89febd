#!/usr/bin/python3
"""voldranectl detect, match and auto with the network in odd states, each in a network
namespace of its own (root needed).

voldranectl runs unchanged and reads the usual paths; what it finds there is the test's own.
Each run gets a private mount namespace in which /etc and /var/lib are overlays whose upper
layer the test fills (a file there, or a whiteout that hides the machine's), /run is a folder
of the test's, and an interface can be made to look like a network card in sysfs (detection
passes over virtual adapters, so without one it never reads DNS servers or leases). Nothing
of the machine is written: the overlays end with the run. Offices live in a settings file in
the test's folder, printers in a private cupsd.

usage: network_faults_test.py SCENARIO --voldranectl PATH
"""
import argparse
import json
import os
import stat
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "network"))
from network_kernel_test import Failure, run_scenario, wait_for  # noqa: E402

RUN_LIMIT = 20  # seconds; a run that takes longer has hung
NAMES = ["IP Address", "Subnet Mask", "Default Gateway", "DHCP Server", "DNS Server 1",
         "DNS Server 2", "WINS Server"]
NO_ADAPTER = ["0.0.0.0"] * 7
ONLY_VIRTUAL = ["0.0.0.0", "255.255.255.255"] + ["0.0.0.0"] * 5

# Run inside the namespace: the mounts described above, then the command.
VIEW = r'''
set -e
v=$1; shift
mount -t overlay overlay -o "lowerdir=/etc,upperdir=$v/etc,workdir=$v/etc.work" /etc
mount -t overlay overlay -o "lowerdir=/var/lib,upperdir=$v/varlib,workdir=$v/varlib.work" /var/lib
mount --bind "$v/run" /run
if [ -n "$(ls "$v/nics")" ]; then
    mount -t tmpfs tmpfs /sys/class/net
    for nic in "$v"/nics/*; do ln -s "$nic" "/sys/class/net/${nic##*/}"; done
fi
exec "$@"
'''


class Env:
    def __init__(self, sb, args):
        self.sb = sb
        self.ctl_path = args.voldranectl
        self.views = 0
        self.env = dict(os.environ, XDG_CONFIG_HOME=f"{sb.tmp}/config", HOME=f"{sb.tmp}/home",
                        CUPS_SERVER=f"{sb.tmp}/cups/cups.sock",
                        DBUS_SYSTEM_BUS_ADDRESS=f"unix:path={sb.tmp}/no-bus")
        for k in ("LPDEST", "PRINTER"):
            self.env.pop(k, None)
        os.makedirs(f"{sb.tmp}/home")
        self.start_cupsd()

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
        for q in ("Wired", "Other"):
            self.sb.run("lpadmin", "-p", q, "-E", "-v", "file:///dev/null", env=self.env)
        self.sb.run("lpoptions", "-d", "Other", env=self.env)

    def default_printer(self):
        return self.sb.run("lpstat", "-d", env=self.env).strip()

    def office(self, name, printer, values):
        flags = ["--ip", "--mask", "--gateway", "--dhcp", "--dns1", "--dns2", "--wins"]
        argv = [self.ctl_path, "add", "--name", name, "--printer", printer]
        for flag, value in zip(flags, values):
            argv += [flag, value]
        self.sb.run(*argv, env=self.env)

    def view(self, etc=None, varlib=None, run=None, nics=()):
        """A fresh set of layers. etc, varlib, run: {relative path: content}, where content
        is text, bytes, None (hide the machine's file), ("fifo",), ("dir",) or
        ("symlink", target)."""
        self.views += 1
        v = f"{self.sb.tmp}/view{self.views}"
        for d in ("etc", "etc.work", "varlib", "varlib.work", "run", "nics"):
            os.makedirs(f"{v}/{d}")
        # Lease folders of the test's own only: the machine's are hidden whole.
        for lease_dir in ("dhcp", "dhclient"):
            os.makedirs(f"{v}/varlib/{lease_dir}")
            os.setxattr(f"{v}/varlib/{lease_dir}", "trusted.overlay.opaque", b"y")
        for top, files in (("etc", etc), ("varlib", varlib), ("run", run)):
            for rel, content in (files or {}).items():
                path = f"{v}/{top}/{rel}"
                os.makedirs(os.path.dirname(path), exist_ok=True)
                if content is None:
                    os.mknod(path, stat.S_IFCHR, os.makedev(0, 0))  # an overlay whiteout
                elif isinstance(content, tuple) and content[0] == "fifo":
                    os.mkfifo(path)
                elif isinstance(content, tuple) and content[0] == "dir":
                    os.makedirs(path)
                elif isinstance(content, tuple) and content[0] == "symlink":
                    os.symlink(content[1], path)
                else:
                    with open(path, "wb") as f:
                        f.write(content.encode() if isinstance(content, str) else content)
        for nic in nics:
            os.makedirs(f"{v}/nics/{nic}")
        return v

    def ctl(self, ns, view, *args):
        """voldranectl in the namespace and view: (exit code, stdout, stderr, seconds)."""
        argv = ["ip", "netns", "exec", ns, "unshare", "-m", "--propagation", "private",
                "/bin/sh", "-c", VIEW, "sh", view, self.ctl_path, *args]
        started = time.monotonic()
        try:
            r = subprocess.run(argv, capture_output=True, text=True, env=self.env,
                               timeout=RUN_LIMIT)
        except subprocess.TimeoutExpired:
            raise Failure(f"voldranectl {' '.join(args)} hung (> {RUN_LIMIT} s)")
        took = time.monotonic() - started
        if r.returncode < 0 or r.returncode > 3:
            raise Failure(f"voldranectl {' '.join(args)} died ({r.returncode}): {r.stderr}")
        return r.returncode, r.stdout, r.stderr, took

    def detect(self, ns, view, c, what):
        code, out, err, took = self.ctl(ns, view, "detect", "--json")
        print(f"{what}: detect {took * 1000:.0f} ms")
        c.eq(code, 0, f"{what}: detect's exit status ({err.strip()})")
        try:
            j = json.loads(out)
        except ValueError:
            c.true(False, f"{what}: detect --json printed no JSON: {out!r}")
            return None
        c.eq(list(j), NAMES, f"{what}: the seven names in order")
        return [j.get(n) for n in NAMES]

    def expect_detect(self, ns, view, c, what, expected):
        c.eq(self.detect(ns, view, c, what), expected, f"{what}: detected values")

    def expect_no_match(self, ns, view, c, what):
        before = self.default_printer()
        for cmd in ("match", "auto"):
            code, out, err, _ = self.ctl(ns, view, cmd)
            c.eq((code, out, err), (1, "", "Cannot Determine Office Network\n"),
                 f"{what}: {cmd} without a matching office")
        c.eq(self.default_printer(), before, f"{what}: default printer unchanged")

    def expect_match(self, ns, view, c, what, name, printer):
        code, out, err, _ = self.ctl(ns, view, "match")
        c.eq((code, out), (0, name + "\n"), f"{what}: match ({err.strip()})")
        self.sb.run("lpoptions", "-d", "Other", env=self.env)
        code, out, err, _ = self.ctl(ns, view, "auto")
        c.eq((code, out), (0, f"{name}\ndefault printer: {printer}\n"), f"{what}: auto ({err})")
        c.eq(self.default_printer(), f"system default destination: {printer}",
             f"{what}: auto set the office's printer")


def wired(sb, label, address, dynamic=False, crowd=0):
    """A namespace with one veth, eth9, that the view shows as a network card, with an
    address and a default route; after `crowd` veth pairs with addresses of their own."""
    ns = sb.netns(label)
    if crowd:
        batch = os.path.join(sb.tmp, "crowd.batch")
        with open(batch, "w") as f:
            for i in range(crowd):
                f.write(f"link add vc{i}a type veth peer name vc{i}b\n"
                        f"addr add 10.100.{i % 250}.{2 + i // 250}/24 dev vc{i}a\n")
        sb.run("ip", "-n", ns, "-batch", batch, timeout=120)
    sb.run("ip", "-n", ns, "link", "add", "eth9", "type", "veth", "peer", "name", "peer9")
    lifetime = ["valid_lft", "600", "preferred_lft", "600"] if dynamic else []
    sb.run("ip", "-n", ns, "addr", "add", address, "dev", "eth9", *lifetime)
    for ifname in ("eth9", "peer9"):
        sb.run("ip", "-n", ns, "link", "set", ifname, "up")
    gateway = address.rsplit(".", 1)[0] + ".1"
    sb.run("ip", "-n", ns, "route", "add", "default", "via", gateway, "dev", "eth9")
    ifindex = json.loads(sb.run("ip", "-n", ns, "-j", "link", "show", "eth9"))[0]["ifindex"]
    return ns, ifindex


THREE_SERVERS = ("# written by hand\nsearch example.net\nnameserver 10.91.0.53\n"
                 "nameserver 2001:db8::53\nnameserver 10.91.0.54\noptions rotate\n"
                 "nameserver 10.91.0.55\n")


# ----------------------------------------------------------------------------- scenarios


def scenario_bare(sb, e, c):
    """Nothing but loopback: all seven values 0.0.0.0, whatever resolv.conf says; an office
    recorded elsewhere does not match, one recorded here (offline) does."""
    ns = sb.netns("bare")
    for what, etc in (("three DNS servers", {"resolv.conf": THREE_SERVERS}),
                      ("no resolv.conf", {"resolv.conf": None})):
        view = e.view(etc=etc)
        e.expect_detect(ns, view, c, f"loopback only, {what}", NO_ADAPTER)
    e.office("Wired office", "Wired", ["10.91.0.77", "255.255.255.0", "10.91.0.1", "10.91.0.1",
                                       "10.91.0.53", "10.91.0.54", "0.0.0.0"])
    e.expect_no_match(ns, view, c, "loopback only")
    e.office("Offline", "Wired", NO_ADAPTER)
    e.expect_match(ns, view, c, "loopback only", "Offline", "Wired")


def scenario_virtual(sb, e, c):
    """Only virtual adapters, of every kind the kernel offers here (veth, bridge, dummy):
    IP 0.0.0.0, mask 255.255.255.255, the rest 0.0.0.0; their networks match no office."""
    ns = sb.netns("virtonly")
    sb.run("ip", "-n", ns, "link", "add", "va0", "type", "veth", "peer", "name", "vb0")
    sb.run("ip", "-n", ns, "link", "add", "br0", "type", "bridge")
    kinds = ["veth", "bridge"]
    if not sb.run("ip", "-n", ns, "link", "add", "dm0", "type", "dummy", check=False) and \
            sb.link_exists(ns, "dm0"):
        kinds.append("dummy")
        sb.run("ip", "-n", ns, "addr", "add", "10.66.3.2/24", "dev", "dm0")
        sb.run("ip", "-n", ns, "link", "set", "dm0", "up")
    sb.run("ip", "-n", ns, "addr", "add", "10.66.2.2/24", "dev", "va0", "valid_lft", "300",
           "preferred_lft", "300")
    sb.run("ip", "-n", ns, "addr", "add", "10.66.4.2/24", "dev", "br0")
    for ifname in ("va0", "vb0", "br0"):
        sb.run("ip", "-n", ns, "link", "set", ifname, "up")
    sb.run("ip", "-n", ns, "route", "add", "default", "via", "10.66.2.1", "dev", "va0")
    print("virtual kinds:", ", ".join(kinds))
    view = e.view(etc={"resolv.conf": THREE_SERVERS},
                  varlib={"dhcp/dhclient.va0.leases":
                          'lease { interface "va0"; fixed-address 10.66.2.2; '
                          "option dhcp-server-identifier 10.66.2.1; }\n"})
    e.expect_detect(ns, view, c, "only virtual adapters", ONLY_VIRTUAL)
    e.office("Bridge network", "Wired", ["10.66.4.9", "255.255.255.0", "10.66.4.1", "10.66.2.1",
                                         "10.91.0.53", "10.91.0.54", "0.0.0.0"])
    e.expect_no_match(ns, view, c, "only virtual adapters")


def scenario_dns(sb, e, c):
    """A network card and resolv.conf in every state: three servers (the first two IPv4 ones
    count), one, none, an empty file, no file, a dangling link, a FIFO, a folder."""
    ns, _ = wired(sb, "dns", "10.91.0.5/24")
    here = ["10.91.0.5", "255.255.255.0", "10.91.0.1", "0.0.0.0"]
    cases = [
        ("three servers", THREE_SERVERS, ["10.91.0.53", "10.91.0.54"]),
        ("one server", "nameserver 10.91.0.53\n", ["10.91.0.53", "N/A"]),
        ("only comments", "# nameserver 10.91.0.53\nsearch lan\n", ["0.0.0.0", "N/A"]),
        ("an empty file", "", ["0.0.0.0", "N/A"]),
        ("binary junk", bytes(range(256)) * 64, ["0.0.0.0", "N/A"]),
        ("no file", None, ["0.0.0.0", "0.0.0.0"]),
        ("a dangling link", ("symlink", "/run/systemd/resolve/stub-resolv.conf"),
         ["0.0.0.0", "0.0.0.0"]),
        ("a FIFO", ("fifo",), ["0.0.0.0", "0.0.0.0"]),
        ("a folder", ("dir",), ["0.0.0.0", "0.0.0.0"]),
    ]
    for what, content, dns in cases:
        view = e.view(etc={"resolv.conf": content}, nics=["eth9"])
        e.expect_detect(ns, view, c, f"resolv.conf: {what}", here + dns + ["0.0.0.0"])

    # Three servers: the office of this network scores network, DHCP, WINS and both DNS.
    view = e.view(etc={"resolv.conf": THREE_SERVERS}, nics=["eth9"])
    e.office("Elsewhere", "Other", ["10.92.0.5", "255.255.255.0", "10.92.0.1", "10.92.0.2",
                                    "10.92.0.53", "10.92.0.54", "10.92.0.44"])
    e.expect_no_match(ns, view, c, "three servers")
    e.office("Wired office", "Wired", ["10.91.0.77", "255.255.255.0", "10.91.0.1", "0.0.0.0",
                                       "10.91.0.54", "10.91.0.53", "0.0.0.0"])
    e.expect_match(ns, view, c, "three servers", "Wired office", "Wired")
    # Without resolv.conf the network, DHCP and WINS still make three points.
    e.expect_match(ns, e.view(etc={"resolv.conf": None}, nics=["eth9"]), c, "no resolv.conf",
                   "Wired office", "Wired")


def scenario_lease(sb, e, c):
    """A network card with a leased address and lease files full of garbage, in both the
    places detection reads (dhclient's folder, systemd-networkd's): DHCP and WINS server
    0.0.0.0, no crash, no hang; a good lease after the garbage still counts."""
    ns, ifindex = wired(sb, "lease", "10.91.0.5/24", dynamic=True)
    networkd = f"systemd/netif/leases/{ifindex}"
    good = ('lease {\n  interface "eth9";\n  fixed-address 10.91.0.5;\n'
            "  option dhcp-server-identifier 10.91.0.2;\n"
            "  option netbios-name-servers 10.91.0.44;\n}\n")
    junk = bytes((i * 7919) % 256 for i in range(200_000))
    garbage = [
        ("binary junk", junk),
        ("braces and quotes", "}}}{{{;;;\"unterminated\n" + "{" * 100_000),
        ("blocks of nothing", "lease { lease { lease { } } }\nlease\n{\n;\n"),
        ("addresses that are not", 'lease { interface "eth9"; fixed-address 10.91.0.5; '
         "option dhcp-server-identifier 10.91.0.999; option netbios-name-servers ,,; }\n"),
        ("a block still being written", good[:-3]),
        ("another interface's lease", good.replace('"eth9"', '"eth8"')),
        ("NUL bytes", good.replace("10.91.0.", "10.91\0.0.")),
        ("a 3 MB file of junk", junk * 16),
    ]
    here = ["10.91.0.5", "255.255.255.0", "10.91.0.1", "0.0.0.0", "10.91.0.53", "10.91.0.54",
            "0.0.0.0"]
    for what, text in garbage:
        view = e.view(etc={"resolv.conf": THREE_SERVERS}, nics=["eth9"],
                      varlib={"dhcp/dhclient.eth9.leases": text},
                      run={networkd: text})
        e.expect_detect(ns, view, c, f"lease files: {what}", here)
    for what, content in (("FIFOs", ("fifo",)), ("folders", ("dir",))):
        view = e.view(etc={"resolv.conf": THREE_SERVERS}, nics=["eth9"],
                      varlib={"dhcp/dhclient.eth9.leases": content}, run={networkd: content})
        e.expect_detect(ns, view, c, f"lease files: {what}", here)
    networkd_junk = "ADDRESS=\nSERVER_ADDRESS=10.91.0.2.7\nSERVER_ADDRESS\n=\n\0\0\nDNS=x\n"
    view = e.view(etc={"resolv.conf": THREE_SERVERS}, nics=["eth9"],
                  run={networkd: networkd_junk})
    e.expect_detect(ns, view, c, "networkd lease: broken keys", here)

    # Damage before a good lease (dhclient appends): the good lease still counts.
    with_lease = here[:3] + ["10.91.0.2"] + here[4:6] + ["10.91.0.44"]
    for what, text in (("garbage, then a good lease", junk + b"\n}\n" + good.encode()),
                       ("a lease cut off, then a whole one", good[:70] + "\n" + good)):
        view = e.view(etc={"resolv.conf": THREE_SERVERS}, nics=["eth9"],
                      varlib={"dhcp/dhclient.eth9.leases": text})
        e.expect_detect(ns, view, c, f"lease file: {what}", with_lease)
    e.office("Leased office", "Wired", ["10.91.0.77", "255.255.255.0", "10.91.0.1", "10.91.0.2",
                                        "10.91.0.60", "10.91.0.61", "10.91.0.44"])
    e.expect_match(ns, view, c, "good lease", "Leased office", "Wired")
    # With only garbage, the same office loses DHCP and WINS, keeps one point: no match.
    view = e.view(etc={"resolv.conf": THREE_SERVERS}, nics=["eth9"],
                  varlib={"dhcp/dhclient.eth9.leases": junk}, run={networkd: junk})
    e.expect_no_match(ns, view, c, "garbage leases")


def scenario_crowded(sb, e, c):
    """The network card behind 300 virtual adapters (600 interfaces, 300 addresses): the
    kernel's answers span many datagrams, and detection still finds the card."""
    ns, _ = wired(sb, "crowded", "10.91.0.5/24", crowd=300)
    view = e.view(etc={"resolv.conf": THREE_SERVERS}, nics=["eth9"])
    e.expect_detect(ns, view, c, "600 interfaces", ["10.91.0.5", "255.255.255.0", "10.91.0.1",
                                                    "0.0.0.0", "10.91.0.53", "10.91.0.54",
                                                    "0.0.0.0"])
    e.office("Wired office", "Wired", ["10.91.0.77", "255.255.255.0", "10.91.0.1", "0.0.0.0",
                                       "10.91.0.53", "10.91.0.54", "0.0.0.0"])
    e.expect_match(ns, view, c, "600 interfaces", "Wired office", "Wired")


SCENARIOS = {
    "crowded": scenario_crowded,
    "bare": scenario_bare,
    "virtual": scenario_virtual,
    "dns": scenario_dns,
    "lease": scenario_lease,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--voldranectl", required=True)
    args = parser.parse_args()
    return run_scenario(lambda sb, checker: SCENARIOS[args.scenario](sb, Env(sb, args), checker),
                        needs="network and mount namespaces")


if __name__ == "__main__":
    sys.exit(main())
