#!/usr/bin/python3
"""The Linux network layer against the real kernel and real DHCP and D-Bus services.

Every scenario but "host" works in network namespaces of its own (root needed) with private
servers; the machine's own interfaces and /etc/resolv.conf are only read. Everything started
is removed again, also when a check fails or the test is interrupted.

usage: network_kernel_test.py SCENARIO --voldranectl PATH --probe PATH
"""
import argparse
import ipaddress
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

WAIT_SECONDS = 30  # longest wait for any service; a hang fails the test instead


class Failure(Exception):
    pass


class Checker:
    def __init__(self):
        self.failures = []

    def eq(self, actual, expected, what):
        if actual != expected:
            self.failures.append(f"{what}: got {actual!r}, expected {expected!r}")

    def true(self, cond, what):
        if not cond:
            self.failures.append(what)


class Sandbox:
    """Namespaces, processes, files; all undone by close()."""

    def __init__(self):
        self.tmp = tempfile.mkdtemp(prefix="voldrane-netns-")
        self.namespaces = []
        self.processes = []

    def run(self, *argv, check=True, env=None, timeout=WAIT_SECONDS):
        r = subprocess.run(argv, capture_output=True, text=True, env=env, timeout=timeout)
        if check and r.returncode != 0:
            raise Failure(f"{' '.join(argv)} failed ({r.returncode}): {r.stderr.strip()}")
        return r.stdout

    def netns(self, label):
        name = f"vdl-{label}-{os.getpid()}"
        self.run("ip", "netns", "add", name)
        self.namespaces.append(name)
        self.run("ip", "-n", name, "link", "set", "lo", "up")
        return name

    def ns(self, name, *argv, **kw):
        return self.run("ip", "netns", "exec", name, *argv, **kw)

    def standalone_link(self, ns, ifname):
        """A virtual adapter of its own: dummy, or a bridge where the kernel lacks dummy."""
        for kind in ("dummy", "bridge"):
            if not self.run("ip", "-n", ns, "link", "add", ifname, "type", kind,
                            check=False) and self.link_exists(ns, ifname):
                return kind
        raise Failure(f"cannot create a dummy or bridge interface in {ns}")

    def link_exists(self, ns, ifname):
        return subprocess.run(["ip", "-n", ns, "link", "show", ifname],
                              capture_output=True).returncode == 0

    def resolv_conf(self, name, text):
        # `ip netns exec` mounts this over /etc/resolv.conf for the namespace only.
        os.makedirs(f"/etc/netns/{name}", exist_ok=True)
        with open(f"/etc/netns/{name}/resolv.conf", "w") as f:
            f.write(text)

    def start(self, *argv, env=None):
        log_path = os.path.join(self.tmp, f"proc{len(self.processes)}.log")
        with open(log_path, "w") as log:
            p = subprocess.Popen(argv, stdout=log, stderr=subprocess.STDOUT, env=env,
                                 start_new_session=True)
        p.log_path = log_path
        self.processes.append(p)
        return p

    def close(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGCONT)
                    os.killpg(p.pid, signal.SIGTERM)
                    p.wait(timeout=5)
                except (subprocess.TimeoutExpired, ProcessLookupError):
                    try:
                        os.killpg(p.pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                    p.wait()
        for name in self.namespaces:
            # Children that left our process groups (NetworkManager's dnsmasq) die with
            # the namespace's other processes.
            pids = subprocess.run(["ip", "netns", "pids", name], capture_output=True,
                                  text=True).stdout
            for pid in pids.split():
                try:
                    os.kill(int(pid), signal.SIGKILL)
                except (ProcessLookupError, ValueError):
                    pass
            subprocess.run(["ip", "netns", "del", name], capture_output=True)
            shutil.rmtree(f"/etc/netns/{name}", ignore_errors=True)
        shutil.rmtree(self.tmp, ignore_errors=True)


def remove_stale_namespaces():
    """Namespaces (and their servers) left by an earlier run that was killed outright."""
    listing = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
    for name in re.findall(r"^(vdl-[a-z]+-(\d+))\b", listing, re.M):
        name, pid = name
        if os.path.exists(f"/proc/{pid}"):
            continue
        pids = subprocess.run(["ip", "netns", "pids", name], capture_output=True, text=True).stdout
        for p in pids.split():
            try:
                os.kill(int(p), signal.SIGKILL)
            except (ProcessLookupError, ValueError):
                pass
        subprocess.run(["ip", "netns", "del", name], capture_output=True)
        shutil.rmtree(f"/etc/netns/{name}", ignore_errors=True)


def wait_for(cond, what):
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        if cond():
            return
        time.sleep(0.1)
    raise Failure(f"timed out waiting for {what}")


def json_of(text):
    return json.loads(text)


def adapter_by_address(probe, address):
    for a in probe["adapters"] or []:
        if a["ipAddress"] == address:
            return a
    raise Failure(f"no adapter with address {address}: {probe['adapters']}")


def read_nameservers(path):
    try:
        text = open(path).read()
    except OSError:
        return None
    servers = []
    for line in text.splitlines():
        m = re.match(r"nameserver[ \t]+([^ \t#;]+)", line)
        if m:
            try:
                servers.append(str(ipaddress.IPv4Address(m.group(1))))
            except ValueError:
                pass
    return servers


# ----------------------------------------------------------------------------- scenarios


def lease_known(address):
    """Whether NetworkManager runs or a lease file of this machine names the address."""
    if os.path.isdir("/run/NetworkManager"):
        return True
    for folder in ("/var/lib/dhcp", "/var/lib/dhclient", "/run/systemd/netif/leases"):
        try:
            names = os.listdir(folder)
        except OSError:
            continue
        for name in names:
            try:
                if address in open(os.path.join(folder, name), errors="replace").read():
                    return True
            except OSError:
                pass
    return False


def scenario_host(sb, args, c):
    """The machine's own namespace: voldranectl agrees with ip(8) and resolv.conf."""
    detected = json_of(sb.run(args.voldranectl, "detect", "--json"))
    links = json_of(sb.run("ip", "-j", "link", "show"))
    addrs = {a["ifname"]: a for a in json_of(sb.run("ip", "-j", "-4", "addr", "show"))}
    routes = json_of(sb.run("ip", "-j", "-4", "route", "show", "table", "main", "default"))

    def virtual(ifname):
        return os.path.realpath(f"/sys/class/net/{ifname}").startswith("/sys/devices/virtual/net/")

    candidates = [l["ifname"] for l in sorted(links, key=lambda l: l["ifindex"])
                  if "LOOPBACK" not in l.get("flags", []) and not virtual(l["ifname"])]
    first_address = {}
    for ifname in candidates:
        infos = [i for i in addrs.get(ifname, {}).get("addr_info", []) if not i.get("secondary")]
        if infos:
            first_address[ifname] = infos[0]
    with_address = [i for i in candidates if i in first_address]
    chosen = with_address[0] if with_address else (candidates[0] if candidates else None)
    if chosen is None:
        c.eq(detected["IP Address"], "0.0.0.0", "IP Address without adapters")
        return
    info = first_address.get(chosen)
    print(f"chosen adapter: {chosen} {info}")
    c.eq(detected["IP Address"], info["local"] if info else "0.0.0.0", "IP Address")
    mask = str(ipaddress.IPv4Network(f"0.0.0.0/{info['prefixlen']}").netmask) if info else "0.0.0.0"
    c.eq(detected["Subnet Mask"], mask, "Subnet Mask")
    gateways = sorted((r.get("metric", 0), i, r["gateway"]) for i, r in enumerate(routes)
                      if r.get("dev") == chosen and "gateway" in r)
    c.eq(detected["Default Gateway"], gateways[0][2] if gateways else "0.0.0.0", "Default Gateway")
    # A permanent address is static unless a DHCP client holds an (infinite) lease for it.
    if info and not info.get("dynamic") and not lease_known(info["local"]):
        c.eq(detected["DHCP Server"], "0.0.0.0", "DHCP Server of a static address")
        c.eq(detected["WINS Server"], "0.0.0.0", "WINS Server of a static address")

    servers = read_nameservers("/etc/resolv.conf")
    if servers and all(s in ("127.0.0.53", "127.0.0.54") for s in servers):
        upstream = read_nameservers("/run/systemd/resolve/resolv.conf")
        if upstream:
            servers = upstream
    if servers is None:
        c.eq((detected["DNS Server 1"], detected["DNS Server 2"]), ("0.0.0.0", "0.0.0.0"), "DNS")
    else:
        c.eq(detected["DNS Server 1"], servers[0] if servers else "0.0.0.0", "DNS Server 1")
        c.eq(detected["DNS Server 2"], servers[1] if len(servers) > 1 else "N/A", "DNS Server 2")


def dhclient_binary(sb):
    """dhclient, or where an AppArmor profile confines it to the machine's own lease files
    and script, a copy of it that the profile does not attach to."""
    try:
        profiles = open("/sys/kernel/security/apparmor/profiles").read()
    except OSError:
        return "dhclient"
    if not re.search(r"dhclient \(enforce\)", profiles):
        return "dhclient"
    copy = os.path.join(sb.tmp, "dhclient-unconfined")
    shutil.copy2(shutil.which("dhclient") or "/usr/sbin/dhclient", copy)
    return copy


def dhcp_client(sb, lease_time):
    """dnsmasq hands out a lease with options 6 and 44 on a veth; dhclient takes it and its
    script applies the address with the lease's lifetime, as Debian's dhclient-script does.
    Returns the client's namespace, the leased address and dhclient's lease folder."""
    srv, cli = sb.netns("srv"), sb.netns("cli")
    sb.run("ip", "-n", srv, "link", "add", "vds0", "type", "veth", "peer", "name", "vdc0",
           "netns", cli)
    sb.run("ip", "-n", srv, "addr", "add", "10.77.0.1/24", "dev", "vds0")
    sb.run("ip", "-n", srv, "link", "set", "vds0", "up")
    sb.run("ip", "-n", cli, "link", "set", "vdc0", "up")

    sb.start("ip", "netns", "exec", srv, "dnsmasq", "--keep-in-foreground", "--conf-file=/dev/null",
             "--no-resolv", "--no-hosts", "--port=0", "--interface=vds0", "--bind-interfaces",
             "--user=root", f"--pid-file={sb.tmp}/dnsmasq.pid",
             f"--dhcp-leasefile={sb.tmp}/dnsmasq.leases", "--log-dhcp",
             f"--dhcp-range=10.77.0.50,10.77.0.99,255.255.255.0,{lease_time}",
             "--dhcp-option=3,10.77.0.1", "--dhcp-option=6,10.77.0.53,10.77.0.54",
             "--dhcp-option=44,10.77.0.44,10.77.0.45")
    dhcp_dir = os.path.join(sb.tmp, "dhcp")
    os.makedirs(dhcp_dir)
    lease_file = os.path.join(dhcp_dir, "dhclient.vdc0.leases")
    with open(os.path.join(sb.tmp, "dhclient.conf"), "w") as f:
        f.write("request subnet-mask, routers, domain-name-servers, netbios-name-servers;\n"
                "timeout 20;\n")
    # dhclient's own script would rewrite the machine's /etc/resolv.conf: this one only sets
    # the address, the route and the namespace's resolv.conf.
    script = os.path.join(sb.tmp, "dhclient-script")
    with open(script, "w") as f:
        f.write("#!/bin/sh\n"
                'case "$reason" in BOUND|RENEW|REBIND|REBOOT) ;; *) exit 0 ;; esac\n'
                "ip -4 addr replace $new_ip_address/$new_subnet_mask dev $interface"
                " valid_lft $new_dhcp_lease_time preferred_lft $new_dhcp_lease_time\n"
                "ip -4 route replace default via $new_routers dev $interface\n"
                f"for s in $new_domain_name_servers; do echo nameserver $s; done"
                f" > /etc/netns/{cli}/resolv.conf.new\n"
                f"mv /etc/netns/{cli}/resolv.conf.new /etc/netns/{cli}/resolv.conf\n")
    os.chmod(script, 0o755)
    os.makedirs(f"/etc/netns/{cli}", exist_ok=True)
    dhclient = sb.start("ip", "netns", "exec", cli, dhclient_binary(sb), "-4", "-d", "-1", "-v",
                        "-sf", script, "-cf", f"{sb.tmp}/dhclient.conf",
                        "-lf", lease_file, "-pf", f"{sb.tmp}/dhclient.pid", "vdc0")

    def leased():
        try:
            return re.search(r"lease \{.*?\n\}", open(lease_file).read(), re.S)
        except OSError:
            return None

    def applied():
        return os.path.exists(f"/etc/netns/{cli}/resolv.conf") and json_of(sb.run(
            "ip", "-n", cli, "-j", "-4", "addr", "show", "dev", "vdc0"))[0]["addr_info"]
    wait_for(lambda: (leased() and applied()) or dhclient.poll() is not None, "dhclient's lease")
    block = leased()
    if not block:
        raise Failure("dhclient got no lease: " + open(dhclient.log_path).read())
    print(block.group(0))
    address = re.search(r"fixed-address ([\d.]+);", block.group(0)).group(1)
    os.makedirs(os.path.join(sb.tmp, "run"), exist_ok=True)
    return cli, address, dhcp_dir


def address_info(sb, ns, ifname):
    return json_of(sb.run("ip", "-n", ns, "-j", "-4", "addr", "show", "dev", ifname))[0]["addr_info"][0]


def scenario_dhcp(sb, args, c):
    """A lease of an hour: the lease reader finds the DHCP and WINS servers in dhclient's
    lease file."""
    cli, address, dhcp_dir = dhcp_client(sb, "1h")
    c.true(address_info(sb, cli, "vdc0").get("dynamic"), "an address of a 1 h lease is dynamic")
    probe = json_of(sb.ns(cli, args.probe, "--no-networkmanager", "--no-resolved",
                          "--run-root", f"{sb.tmp}/run", "--dhcp-dir", dhcp_dir))
    print(json.dumps(probe, indent=1))
    a = adapter_by_address(probe, address)
    c.eq(a["ipMask"], "255.255.255.0", "mask")
    c.eq(a["gateway"], "10.77.0.1", "gateway")
    c.eq(a["dhcpEnabled"], True, "DHCP flag of a leased address")
    c.eq(a["dhcpServer"], "10.77.0.1", "DHCP server from the lease")
    c.eq((a["haveWins"], a["winsServer"]), (True, "10.77.0.44"), "WINS server from the lease")
    c.true("Virtual" in a["description"], f"veth described as virtual: {a['description']}")
    c.eq(probe["dns"], ["10.77.0.53", "10.77.0.54"], "DNS servers of the namespace")


def scenario_dhcp_infinite(sb, args, c):
    """An infinite lease: the kernel marks the address permanent, like a static one, and the
    lease (dhclient's file, or systemd-networkd's) still says DHCP and names the servers. A
    permanent address whose lease file names another address stays static."""
    cli, address, dhcp_dir = dhcp_client(sb, "infinite")
    info = address_info(sb, cli, "vdc0")
    c.true(not info.get("dynamic") and info.get("valid_life_time") == 4294967295,
           f"an address of an infinite lease is permanent: {info}")
    sb.standalone_link(cli, "st0")
    sb.run("ip", "-n", cli, "addr", "add", "10.78.0.5/24", "dev", "st0")
    sb.run("ip", "-n", cli, "link", "set", "st0", "up")
    with open(os.path.join(dhcp_dir, "dhclient.st0.leases"), "w") as f:
        f.write('lease {\n  interface "st0";\n  fixed-address 10.78.0.9;\n'
                "  option dhcp-server-identifier 10.78.0.1;\n}\n")

    probe = json_of(sb.ns(cli, args.probe, "--no-networkmanager", "--no-resolved",
                          "--run-root", f"{sb.tmp}/run", "--dhcp-dir", dhcp_dir))
    print(json.dumps(probe, indent=1))
    a = adapter_by_address(probe, address)
    c.eq((a["dhcpEnabled"], a["dhcpServer"], a["haveWins"], a["winsServer"]),
         (True, "10.77.0.1", True, "10.77.0.44"), "infinite lease in dhclient's file")
    a = adapter_by_address(probe, "10.78.0.5")
    c.eq((a["dhcpEnabled"], a["dhcpServer"]), (False, "0.0.0.0"),
         "permanent address with a lease of another address")

    # systemd-networkd's lease of the same address (it keeps no NetBIOS servers).
    ifindex = json_of(sb.run("ip", "-n", cli, "-j", "link", "show", "vdc0"))[0]["ifindex"]
    os.makedirs(f"{sb.tmp}/run/systemd/netif/leases")
    with open(f"{sb.tmp}/run/systemd/netif/leases/{ifindex}", "w") as f:
        f.write(f"# This is private data. Do not parse.\nADDRESS={address}\nNETMASK=255.255.255.0\n"
                "ROUTER=10.77.0.1\nSERVER_ADDRESS=10.77.0.1\nLIFETIME=4294967295\n")
    os.makedirs(f"{sb.tmp}/empty")
    probe = json_of(sb.ns(cli, args.probe, "--no-networkmanager", "--no-resolved",
                          "--run-root", f"{sb.tmp}/run", "--dhcp-dir", f"{sb.tmp}/empty"))
    a = adapter_by_address(probe, address)
    c.eq((a["dhcpEnabled"], a["dhcpServer"], a["haveWins"]), (True, "10.77.0.1", False),
         "infinite lease in systemd-networkd's file")


def scenario_loopback(sb, args, c):
    """A namespace with nothing but loopback: no adapter at all, so every value is 0.0.0.0."""
    name = sb.netns("lo")
    sb.resolv_conf(name, "nameserver 10.66.0.1\n")
    detected = json_of(sb.ns(name, args.voldranectl, "detect", "--json"))
    c.eq(list(detected.values()), ["0.0.0.0"] * 7, "all seven values")
    probe = json_of(sb.ns(name, args.probe, "--no-networkmanager"))
    c.eq((probe["adapters"], probe["adapterProblem"]), (None, "no network adapter besides loopback"),
         "adapters of a loopback-only namespace")
    c.eq(probe["dns"], ["10.66.0.1"], "DNS servers")


def scenario_virtual(sb, args, c):
    """Only virtual adapters (dummy, veth): each is listed with its values and described as
    virtual, and detection passes over all of them."""
    name = sb.netns("virt")
    sb.standalone_link(name, "dummy0")
    sb.run("ip", "-n", name, "addr", "add", "10.66.1.2/24", "dev", "dummy0")
    sb.run("ip", "-n", name, "addr", "add", "10.66.1.3/24", "dev", "dummy0")  # a secondary
    sb.run("ip", "-n", name, "addr", "add", "10.66.9.9/16", "dev", "dummy0")  # another primary
    sb.run("ip", "-n", name, "link", "set", "dummy0", "up")
    sb.run("ip", "-n", name, "route", "add", "default", "via", "10.66.1.1", "dev", "dummy0",
           "metric", "200")
    sb.run("ip", "-n", name, "link", "add", "va0", "type", "veth", "peer", "name", "vb0")
    sb.run("ip", "-n", name, "addr", "add", "10.66.2.2/25", "dev", "va0", "valid_lft", "300",
           "preferred_lft", "300")
    sb.run("ip", "-n", name, "link", "set", "va0", "up")
    sb.run("ip", "-n", name, "link", "set", "vb0", "up")
    # Two default routes through va0: the lower metric wins.
    sb.run("ip", "-n", name, "route", "add", "default", "via", "10.66.2.3", "dev", "va0",
           "metric", "50")
    sb.run("ip", "-n", name, "route", "add", "default", "via", "10.66.2.1", "dev", "va0",
           "metric", "10")
    sb.resolv_conf(name, "nameserver 10.66.0.1\nnameserver 10.66.0.2\n")

    detected = json_of(sb.ns(name, args.voldranectl, "detect", "--json"))
    c.eq(list(detected.values()), ["0.0.0.0", "255.255.255.255"] + ["0.0.0.0"] * 5,
         "only virtual adapters")
    probe = json_of(sb.ns(name, args.probe, "--no-networkmanager"))
    print(json.dumps(probe, indent=1))
    adapters = probe["adapters"] or []
    links = sorted(json_of(sb.run("ip", "-n", name, "-j", "link", "show")), key=lambda l: l["ifindex"])
    first = {"dummy0": "10.66.1.2", "va0": "10.66.2.2", "vb0": "0.0.0.0"}
    c.eq([a["ipAddress"] for a in adapters], [first[l["ifname"]] for l in links if l["ifname"] != "lo"],
         "adapters in index order, first primary address")
    for a in adapters:
        c.true("Virtual" in a["description"], f"{a['description']} says Virtual")
    by_address = {a["ipAddress"]: a for a in adapters}
    if len(by_address) == 3:
        a = by_address["10.66.1.2"]
        c.eq((a["ipMask"], a["gateway"], a["dhcpEnabled"]), ("255.255.255.0", "10.66.1.1", False),
             "dummy0")
        a = by_address["10.66.2.2"]
        c.eq((a["ipMask"], a["gateway"], a["dhcpEnabled"], a["dhcpServer"]),
             ("255.255.255.128", "10.66.2.1", True, "0.0.0.0"),
             "va0: dynamic address without a known lease")
        a = by_address["0.0.0.0"]
        c.eq((a["ipMask"], a["gateway"]), ("0.0.0.0", "0.0.0.0"), "vb0 without an address")
    c.eq(probe["dns"], ["10.66.0.1", "10.66.0.2"], "DNS servers")


NM_SERVICE = "org.freedesktop.NetworkManager"


def private_bus(sb):
    address = f"unix:path={sb.tmp}/system_bus"
    sb.start("dbus-daemon", "--session", "--nofork", "--nopidfile", f"--address={address}")
    wait_for(lambda: os.path.exists(f"{sb.tmp}/system_bus"), "the private bus")
    return address


def leased_dummy(sb, lifetime="600"):
    """A namespace with one adapter holding a leased address, and a stale-looking dhclient
    lease file that names another server for it."""
    name = sb.netns("nm")
    sb.standalone_link(name, "nm0")
    sb.run("ip", "-n", name, "addr", "add", "10.55.0.7/24", "dev", "nm0", "valid_lft", lifetime,
           "preferred_lft", lifetime)
    sb.run("ip", "-n", name, "link", "set", "nm0", "up")
    dhcp_dir = os.path.join(sb.tmp, "dhcp")
    os.makedirs(dhcp_dir)
    with open(os.path.join(dhcp_dir, "dhclient.nm0.leases"), "w") as f:
        f.write('lease {\n  interface "nm0";\n  fixed-address 10.55.0.7;\n'
                '  option dhcp-server-identifier 10.55.0.99;\n}\n')
    os.makedirs(os.path.join(sb.tmp, "run"))
    return name, dhcp_dir


def probe_with_bus(sb, args, name, dhcp_dir, address):
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address)
    started = time.monotonic()
    out = sb.run("ip", "netns", "exec", name, args.probe, "--run-root", f"{sb.tmp}/run",
                 "--dhcp-dir", dhcp_dir, env=env)
    print(f"probe took {time.monotonic() - started:.2f} s")
    probe = json_of(out)
    print(json.dumps(probe, indent=1))
    return adapter_by_address(probe, "10.55.0.7"), probe


def scenario_networkmanager(sb, args, c):
    """NetworkManager, served by python3-dbusmock on a private bus: its DHCP4Config is
    preferred over lease files and says DHCP also for a permanent address (an infinite lease),
    and its IP4Configs name the DNS servers when resolv.conf names only a local cache."""
    import dbus
    address = private_bus(sb)
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address)
    sb.start("/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "networkmanager",
             env=env)
    bus = dbus.bus.BusConnection(address)
    wait_for(lambda: bus.name_has_owner(NM_SERVICE), "the mock NetworkManager")

    def mock_of(path):
        return dbus.Interface(bus.get_object(NM_SERVICE, path), "org.freedesktop.DBus.Mock")
    mock = mock_of("/org/freedesktop/NetworkManager")
    device = mock.AddEthernetDevice("mock_Ethernet1", "nm0", 100)
    config = "/org/freedesktop/NetworkManager/DHCP4Config/1"
    mock.AddObject(config, "org.freedesktop.NetworkManager.DHCP4Config",
                   {"Options": dbus.Dictionary({
                       "ip_address": "10.55.0.7",
                       "dhcp_server_identifier": "10.55.0.1",
                       "netbios_name_servers": "10.55.0.44 10.55.0.45",
                       "routers": "10.55.0.1"}, signature="sv")}, [])
    mock_of(device).AddProperty("org.freedesktop.NetworkManager.Device", "Dhcp4Config",
                                dbus.ObjectPath(config))
    # A second device without DHCP4Config must not disturb anything.
    device2 = mock.AddEthernetDevice("mock_Ethernet2", "nm1", 30)

    name, dhcp_dir = leased_dummy(sb)
    a, _ = probe_with_bus(sb, args, name, dhcp_dir, address)
    c.eq((a["dhcpEnabled"], a["dhcpServer"]), (True, "10.55.0.1"), "DHCP server from NetworkManager")
    c.eq((a["haveWins"], a["winsServer"]), (True, "10.55.0.44"), "first NetBIOS name server")

    sb.run("ip", "-n", name, "addr", "replace", "10.55.0.7/24", "dev", "nm0", "valid_lft",
           "forever", "preferred_lft", "forever")
    a, _ = probe_with_bus(sb, args, name, dhcp_dir, address)
    c.eq((a["dhcpEnabled"], a["dhcpServer"], a["winsServer"]), (True, "10.55.0.1", "10.55.0.44"),
         "permanent address with NetworkManager's DHCP4Config")

    # DNS: each device's IP4Config, the primary connection's first, without repeats.
    def ip4config(n, servers):
        path = f"/org/freedesktop/NetworkManager/IP4Config/{n}"
        mock.AddObject(path, "org.freedesktop.NetworkManager.IP4Config", {
            "NameserverData": dbus.Array([dbus.Dictionary({"address": s}, signature="sv")
                                          for s in servers], signature="a{sv}")}, [])
        return dbus.ObjectPath(path)
    mock_of(device).AddProperty("org.freedesktop.NetworkManager.Device", "Ip4Config",
                                ip4config(1, ["10.55.0.53", "10.55.0.54"]))
    wifi = ip4config(2, ["10.56.0.53", "10.55.0.53"])
    mock_of(device2).AddProperty("org.freedesktop.NetworkManager.Device", "Ip4Config", wifi)
    active = "/org/freedesktop/NetworkManager/ActiveConnection/7"
    mock.AddObject(active, "org.freedesktop.NetworkManager.Connection.Active",
                   {"Ip4Config": wifi}, [])
    mock.AddProperty(NM_SERVICE, "PrimaryConnection", dbus.ObjectPath(active))

    def dns(resolv_conf, bus_address=address):
        with open(os.path.join(sb.tmp, "resolv.conf"), "w") as f:
            f.write(resolv_conf)
        return json_of(sb.run(args.probe, "--no-resolved", "--run-root", f"{sb.tmp}/run",
                              "--resolv-conf", f"{sb.tmp}/resolv.conf",
                              env=dict(env, DBUS_SYSTEM_BUS_ADDRESS=bus_address)))["dns"]
    expected = ["10.56.0.53", "10.55.0.53", "10.55.0.54"]
    c.eq(dns("# dns=dnsmasq\nnameserver 127.0.0.1\n"), expected, "behind NetworkManager's dnsmasq")
    c.eq(dns("nameserver 127.0.0.53\n"), expected, "behind resolved's stub, resolved absent")
    c.eq(dns("nameserver 127.0.0.1\nnameserver 10.9.0.1\n"), ["127.0.0.1", "10.9.0.1"],
         "a local cache beside a real server is kept")
    c.eq(dns("nameserver 127.0.0.1\n", f"unix:path={sb.tmp}/none"), ["127.0.0.1"],
         "without NetworkManager the cache is what is known")


def scenario_networkmanager_stuck(sb, args, c):
    """A NetworkManager that never answers, and a bus that never finishes its handshake: both
    cost a bounded wait, and the lease file (or resolv.conf's local cache) is used instead."""
    import dbus
    address = private_bus(sb)
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address)
    owner = sb.start("/usr/bin/python3", "-c",
                     "import dbus, time\n"
                     "b = dbus.bus.BusConnection(__import__('os').environ['DBUS_SYSTEM_BUS_ADDRESS'])\n"
                     f"b.request_name('{NM_SERVICE}')\n"
                     "time.sleep(3600)\n", env=env)
    bus = dbus.bus.BusConnection(address)
    wait_for(lambda: bus.name_has_owner(NM_SERVICE), "the stand-in NetworkManager")
    os.killpg(owner.pid, signal.SIGSTOP)

    name, dhcp_dir = leased_dummy(sb)
    a, probe = probe_with_bus(sb, args, name, dhcp_dir, address)
    c.eq(a["dhcpServer"], "10.55.0.99", "lease file used when NetworkManager hangs")
    c.true("time" in probe["adapterProblem"], f"problem reported: {probe['adapterProblem']!r}")
    # Behind a local cache the DNS servers are asked of NetworkManager too, with the same
    # bound (in a namespace without adapters, so that the adapter query does not ask first).
    with open(f"{sb.tmp}/resolv.conf", "w") as f:
        f.write("nameserver 127.0.0.1\n")
    started = time.monotonic()
    probe = json_of(sb.ns(sb.netns("lo"), args.probe, "--no-resolved", "--run-root",
                          f"{sb.tmp}/run", "--resolv-conf", f"{sb.tmp}/resolv.conf", env=env))
    print(f"probe took {time.monotonic() - started:.2f} s")
    c.eq(probe["dns"], ["127.0.0.1"], "the cache kept when NetworkManager hangs")
    c.true("time" in probe["dnsProblem"], f"problem reported: {probe['dnsProblem']!r}")

    mute = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    mute.bind(f"{sb.tmp}/mute_bus")
    mute.listen(5)
    try:
        a, _ = probe_with_bus(sb, args, name, dhcp_dir, f"unix:path={sb.tmp}/mute_bus")
        c.eq(a["dhcpServer"], "10.55.0.99", "lease file used when the bus is mute")
    finally:
        mute.close()

    a, _ = probe_with_bus(sb, args, name, dhcp_dir, f"unix:path={sb.tmp}/no_such_bus")
    c.eq(a["dhcpServer"], "10.55.0.99", "lease file used without a bus")


def scenario_resolved(sb, args, c):
    """resolv.conf names only resolved's stub and its upstream file is missing: the servers
    come from resolved's DNS property (served by python3-dbusmock), global ones first."""
    import dbus
    address = private_bus(sb)
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address)
    sb.start("/usr/bin/python3", "-m", "dbusmock", "--system", "org.freedesktop.resolve1",
             "/org/freedesktop/resolve1", "org.freedesktop.resolve1.Manager", env=env)
    bus = dbus.bus.BusConnection(address)
    wait_for(lambda: bus.name_has_owner("org.freedesktop.resolve1"), "the mock resolved")

    def entry(ifindex, family, octets):
        return dbus.Struct((dbus.Int32(ifindex), dbus.Int32(family),
                            dbus.Array(octets, signature="y")), signature="iiay")
    dbus.Interface(bus.get_object("org.freedesktop.resolve1", "/org/freedesktop/resolve1"),
                   "org.freedesktop.DBus.Mock").AddProperty(
        "org.freedesktop.resolve1.Manager", "DNS", dbus.Array([
            entry(3, socket.AF_INET, [10, 2, 2, 2]),
            entry(0, socket.AF_INET6, [0x20, 1, 0xd, 0xb8] + [0] * 11 + [1]),
            entry(0, socket.AF_INET, [10, 1, 1, 1]),
            entry(4, socket.AF_INET, [10, 2, 2, 2]),
        ], signature="(iiay)"))
    with open(os.path.join(sb.tmp, "resolv.conf"), "w") as f:
        f.write("# stub\nnameserver 127.0.0.53\noptions edns0 trust-ad\nsearch .\n")
    os.makedirs(os.path.join(sb.tmp, "run"))
    probe = json_of(sb.run(args.probe, "--no-networkmanager", "--run-root", f"{sb.tmp}/run",
                           "--resolv-conf", f"{sb.tmp}/resolv.conf", env=env))
    c.eq(probe["dns"], ["10.1.1.1", "10.2.2.2"], "DNS servers from resolved")
    c.eq(probe["dnsProblem"], "", "no problem reported")

    # Without resolved on the bus the stub itself is what is known.
    probe = json_of(sb.run(args.probe, "--no-networkmanager", "--run-root", f"{sb.tmp}/run",
                           "--resolv-conf", f"{sb.tmp}/resolv.conf",
                           env=dict(env, DBUS_SYSTEM_BUS_ADDRESS=f"unix:path={sb.tmp}/none")))
    c.eq(probe["dns"], ["127.0.0.53"], "DNS servers without resolved")


# A system bus of the test's own that lets root do anything: NetworkManager owns its name,
# and it lets the dnsmasq it starts own that one's.
SYSTEM_BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
"""

# NetworkManager, its DHCP client and DNS plugin as an office laptop has them; the keyfile
# folder and the device are the test's, the machine's connections are never read.
NM_CONFIG = """[main]
plugins=keyfile
auth-polkit=false
dhcp=internal
dns=dnsmasq
rc-manager=unmanaged
systemd-resolved=false

[keyfile]
path={keyfiles}

[device-test]
match-device=interface-name:vdc0
managed=1

[logging]
level=INFO
"""

# Run in the client's namespace: private mounts so that NetworkManager writes only the
# test's folders (its /run and state, and an overlay on /etc), then NetworkManager.
NM_MOUNTS = r"""
set -e
v=$1; shift
mount -t overlay overlay -o "lowerdir=/etc,upperdir=$v/etc,workdir=$v/etc.work" /etc
mount --bind "$v/run" /run
mount --bind "$v/state" /var/lib/NetworkManager
# No udevd runs here: with a read-only /sys NetworkManager does not wait for it.
mount -o remount,bind,ro /sys
exec "$@"
"""


def scenario_networkmanager_real(sb, args, c):
    """A real NetworkManager in the client's namespace, on a private system bus, takes an
    infinite lease with its own DHCP client and runs its dnsmasq as the local cache: the
    address is permanent, resolv.conf names only 127.0.0.1, and still DHCP is on, the DHCP
    server is known and the DNS servers are the network's. Its client does not ask for the
    WINS server, so there is none."""
    srv, cli = sb.netns("srv"), sb.netns("nmr")
    sb.run("ip", "-n", srv, "link", "add", "vds0", "type", "veth", "peer", "name", "vdc0",
           "netns", cli)
    sb.run("ip", "-n", srv, "addr", "add", "10.77.0.1/24", "dev", "vds0")
    sb.run("ip", "-n", srv, "link", "set", "vds0", "up")
    sb.start("ip", "netns", "exec", srv, "dnsmasq", "--keep-in-foreground", "--conf-file=/dev/null",
             "--no-resolv", "--no-hosts", "--port=0", "--interface=vds0", "--bind-interfaces",
             "--user=root", f"--pid-file={sb.tmp}/dnsmasq.pid",
             f"--dhcp-leasefile={sb.tmp}/dnsmasq.leases", "--log-dhcp",
             "--dhcp-range=10.77.0.50,10.77.0.99,255.255.255.0,infinite",
             "--dhcp-option=3,10.77.0.1", "--dhcp-option=6,10.77.0.53,10.77.0.54",
             "--dhcp-option=44,10.77.0.44")

    v = os.path.join(sb.tmp, "nm")
    for d in ("etc", "etc.work", "run", "state", "keyfiles"):
        os.makedirs(os.path.join(v, d))
    socket_path = os.path.join(sb.tmp, "system_bus")
    with open(os.path.join(v, "bus.conf"), "w") as f:
        f.write(SYSTEM_BUS_CONFIG.format(socket=socket_path))
    sb.start("dbus-daemon", f"--config-file={v}/bus.conf", "--nofork", "--nopidfile")
    wait_for(lambda: os.path.exists(socket_path), "the private system bus")
    address = f"unix:path={socket_path}"
    with open(os.path.join(v, "NetworkManager.conf"), "w") as f:
        f.write(NM_CONFIG.format(keyfiles=f"{v}/keyfiles"))
    keyfile = os.path.join(v, "keyfiles", "office.nmconnection")
    with open(keyfile, "w") as f:
        f.write("[connection]\nid=office\ntype=ethernet\ninterface-name=vdc0\n"
                "[ipv4]\nmethod=auto\n[ipv6]\nmethod=ignore\n")
    os.chmod(keyfile, 0o600)
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address)
    nm = sb.start("ip", "netns", "exec", cli, "unshare", "-m", "--propagation", "private",
                  "/bin/sh", "-c", NM_MOUNTS, "sh", v, "NetworkManager", "--debug",
                  f"--config={v}/NetworkManager.conf", env=env)

    def ready():
        if nm.poll() is not None:
            raise Failure("NetworkManager ended: " + open(nm.log_path).read()[-3000:])
        try:
            addrs = json_of(sb.run("ip", "-n", cli, "-j", "-4", "addr", "show", "dev", "vdc0"))
            text = open(f"{v}/run/NetworkManager/resolv.conf").read()
        except (OSError, Failure):
            return False
        return addrs and addrs[0]["addr_info"] and "nameserver" in text
    try:
        wait_for(ready, "NetworkManager's lease")
    except Failure as e:
        raise Failure(f"{e}; NetworkManager said: " + open(nm.log_path).read()[-4000:])
    info = address_info(sb, cli, "vdc0")
    print(info)
    resolv_conf = f"{v}/run/NetworkManager/resolv.conf"
    print(open(resolv_conf).read())
    c.true(not info.get("dynamic"), f"an address of an infinite lease is permanent: {info}")
    c.eq(read_nameservers(resolv_conf), ["127.0.0.1"], "resolv.conf names only the local dnsmasq")

    os.makedirs(f"{sb.tmp}/empty")
    probe = json_of(sb.ns(cli, args.probe, "--no-resolved", "--run-root", f"{sb.tmp}/empty",
                          "--dhcp-dir", f"{sb.tmp}/empty", "--resolv-conf", resolv_conf, env=env))
    print(json.dumps(probe, indent=1))
    a = adapter_by_address(probe, info["local"])
    c.eq((a["dhcpEnabled"], a["dhcpServer"], a["haveWins"], a["winsServer"]),
         (True, "10.77.0.1", False, "0.0.0.0"), "DHCP from NetworkManager's own client")
    c.eq(probe["dns"], ["10.77.0.53", "10.77.0.54"], "DNS servers behind NetworkManager's dnsmasq")
    c.eq(probe["adapterProblem"] + probe["dnsProblem"], "", "no problem reported")


SCENARIOS = {
    "host": (scenario_host, False),
    "dhcp": (scenario_dhcp, True),
    "dhcp-infinite": (scenario_dhcp_infinite, True),
    "loopback": (scenario_loopback, True),
    "virtual": (scenario_virtual, True),
    "networkmanager": (scenario_networkmanager, True),
    "networkmanager-stuck": (scenario_networkmanager_stuck, True),
    "networkmanager-real": (scenario_networkmanager_real, True),
    "resolved": (scenario_resolved, False),
}


def run_scenario(run, needs_root=True, needs="network namespaces"):
    """Runs `run(sandbox, checker)` as every namespace test runs: root checked, namespaces of
    killed earlier runs removed, everything cleaned up also when ctest stops the test with
    SIGTERM on time-out; prints the failures and gives the exit status."""
    if needs_root and os.geteuid() != 0:
        print("FAIL: this test needs root (%s)" % needs, file=sys.stderr)
        return 1
    os.environ["PATH"] += ":/usr/sbin:/sbin"
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    if needs_root:
        remove_stale_namespaces()
    sb = Sandbox()
    checker = Checker()
    try:
        run(sb, checker)
    except Failure as e:
        checker.failures.append(str(e))
    finally:
        sb.close()
    for f in checker.failures:
        print("FAIL:", f, file=sys.stderr)
    return 1 if checker.failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--voldranectl", required=True)
    parser.add_argument("--probe", required=True)
    args = parser.parse_args()
    run, needs_root = SCENARIOS[args.scenario]
    return run_scenario(lambda sb, checker: run(sb, args, checker), needs_root)


if __name__ == "__main__":
    sys.exit(main())
