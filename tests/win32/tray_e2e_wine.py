#!/usr/bin/python3
"""voldrane.exe end to end under Wine: in a network namespace of its own (a veth to a
"gateway" namespace, its own resolv.conf), with a private cupsd holding the queues qa, qb and
qc, a private Xvfb and a new Wine prefix whose offices voldranectl.exe adds: "Office A" from
the namespace's network (printer qa) and "Office B" elsewhere (printer qb). tray_driver.exe
then works the program through its window messages and checks the registry and what the
program says on standard output. Root needed; everything started is removed again.

usage: tray_e2e_wine.py --voldrane EXE --voldranectl EXE --driver EXE
"""
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../network"))
sys.path.insert(0, os.path.join(HERE, "../tray"))
from network_kernel_test import Failure, run_scenario  # noqa: E402
from trayfixture import Desk  # noqa: E402

# Inside the namespace, with the prefix's wine server started there (it reads the adapters).
# Office A's DNS server is not the namespace's: Wine reads resolv.conf once per process, so
# after the move the program still sees the old DNS server, and Office A must not win by it.
SCRIPT = r'''
set -e
wineboot -i >/dev/null
wineserver -w
wine "$CTL" add --name "Office A" --ip 192.168.50.10 --mask 255.255.255.0 \
    --gateway 192.168.50.1 --dns1 192.168.50.99 --printer qa >/dev/null
wine "$CTL" add --name "Office B" --ip 10.20.30.40 --mask 255.255.255.0 \
    --gateway 10.20.30.1 --dns1 10.20.30.53 --printer qb >/dev/null
wine "$CTL" set follow-network on >/dev/null
exec wine "$DRIVER" "$VOLDRANE" "$CTLW"
'''


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def scenario(sb, args, c):
    with Desk("wine-tray") as desk:
        desk.start_x("1024x768x24")
        desk.start_cupsd(["qa", "qb", "qc"])
        host, gw = sb.netns("wtray"), sb.netns("wgw")
        sb.run("ip", "-n", host, "link", "add", "eth0", "type", "veth", "peer", "name", "gw0",
               "netns", gw)
        sb.run("ip", "-n", host, "addr", "add", "192.168.50.10/24", "dev", "eth0")
        sb.run("ip", "-n", gw, "addr", "add", "192.168.50.1/24", "dev", "gw0")
        sb.run("ip", "-n", host, "link", "set", "eth0", "up")
        sb.run("ip", "-n", gw, "link", "set", "gw0", "up")
        sb.run("ip", "-n", host, "route", "add", "default", "via", "192.168.50.1")
        sb.resolv_conf(host, "nameserver 192.168.50.53\n")
        env = dict(desk.env, WINEPREFIX=os.path.join(sb.tmp, "prefix"), WINEDEBUG="-all",
                   WINEDLLOVERRIDES="winemenubuilder.exe=d", CTL=args.voldranectl,
                   DRIVER=args.driver, VOLDRANE=windows_path(args.voldrane),
                   CTLW=windows_path(args.voldranectl))
        errors = os.path.join(sb.tmp, "driver.err")
        with open(errors, "w") as err:
            driver = subprocess.Popen(["ip", "netns", "exec", host, "sh", "-c", SCRIPT], env=env,
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=err,
                                      text=True, start_new_session=True)
        sb.processes.append(driver)  # stopped with the sandbox, whatever happens
        out = []
        try:
            # The driver asks for the move to Office B's network, then goes on.
            for line in driver.stdout:
                out.append(line)
                print(line, end="")
                if line.strip() == "MOVE B":
                    move_to_office_b(sb, host, gw)
                    driver.stdin.write("\n")
                    driver.stdin.flush()
            status = driver.wait(timeout=60)
        finally:
            subprocess.run(["wineserver", "-k"], env=env, capture_output=True)
        c.true(status == 0, "the driver's checks (exit %d):\n%s%s"
               % (status, "".join(out), open(errors).read()))


def move_to_office_b(sb, host, gw):
    """The namespace's address, gateway and DNS server become Office B's."""
    sb.run("ip", "-n", gw, "addr", "add", "10.20.30.1/24", "dev", "gw0")
    sb.run("ip", "-n", host, "addr", "flush", "dev", "eth0")
    sb.run("ip", "-n", host, "addr", "add", "10.20.30.40/24", "dev", "eth0")
    sb.run("ip", "-n", host, "route", "add", "default", "via", "10.20.30.1")
    # Written in place: the namespace's programs see this file through a bind mount.
    sb.resolv_conf(host, "nameserver 10.20.30.53\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--voldrane", required=True)
    parser.add_argument("--voldranectl", required=True)
    parser.add_argument("--driver", required=True)
    args = parser.parse_args()
    return run_scenario(lambda sb, c: scenario(sb, args, c))


if __name__ == "__main__":
    sys.exit(main())
