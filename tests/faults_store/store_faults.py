#!/usr/bin/python3
"""The settings store under faults, with whole programs: voldranectl and the tray program's
writer (store_driver) on one store at once, writers killed at random moments, broken stores
and file systems, hostile values. Each scenario prints its figures on lines starting "FIGURE".

usage: store_faults.py SCENARIO --voldranectl PATH --driver PATH
"""
import argparse
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

ARGS = None
FAILURES = []


def fail(message):
    FAILURES.append(message)
    print("FAIL " + message, flush=True)


def expect(condition, message):
    if not condition:
        fail(message)
    return condition


def figure(name, value):
    print(f"FIGURE {name}: {value}", flush=True)


class Sandbox:
    """A user's home, config and runtime folders in a temp folder, and nothing of the machine:
    no print server (a socket that does not exist), no session bus."""

    def __init__(self, root=None):
        self.root = root or tempfile.mkdtemp(prefix="voldrane-faults-")
        self.config = os.path.join(self.root, "config")
        self.folder = os.path.join(self.config, "Kestamor")
        self.path = os.path.join(self.folder, "Voldrane.reg")
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": os.path.join(self.root, "home"),
            "XDG_CONFIG_HOME": self.config,
            "XDG_RUNTIME_DIR": os.path.join(self.root, "run"),
            "CUPS_SERVER": os.path.join(self.root, "no-cupsd.sock"),
            "QT_QPA_PLATFORM": "offscreen",
            "QT_LOGGING_RULES": "*.warning=false",
            "LC_ALL": "C.UTF-8",
        }
        for d in (self.env["HOME"], self.env["XDG_RUNTIME_DIR"]):
            os.makedirs(d, mode=0o700, exist_ok=True)

    def ctl(self, *args, user=None, check_status=None):
        cmd = [ARGS.voldranectl, *args]
        if user is not None:
            cmd = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups"] + cmd
        r = subprocess.run(cmd, env=self.env, capture_output=True, timeout=30)
        out, err = r.stdout.decode(errors="replace"), r.stderr.decode(errors="replace")
        if check_status is not None:
            expect(r.returncode == check_status,
                   f"voldranectl {' '.join(args)}: exit {r.returncode}, expected {check_status}; "
                   f"stderr: {err.strip()}")
        return r.returncode, out, err

    def driver(self, *args, user=None, timeout=120):
        cmd = [ARGS.driver, *args]
        if user is not None:
            cmd = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups"] + cmd
        return subprocess.run(cmd, env=self.env, capture_output=True, timeout=timeout)

    def check(self, path=None):
        r = subprocess.run([ARGS.driver, "check", path or self.path], capture_output=True,
                           timeout=30)
        return json.loads(r.stdout)

    def read(self, path=None):
        with open(path or self.path, "rb") as f:
            return f.read()

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


def sound(state, what):
    """The file as a reader without the lock finds it: whole and readable."""
    ok = expect(not state["issues"], f"{what}: unreadable lines {state['issues'][:3]}")
    ok &= expect(not state["partial"], f"{what}: offices without their nine values "
                 f"{state['partial'][:5]}")
    return ok


# --- 1. Two writers at once -------------------------------------------------------------

def scenario_concurrent():
    box = Sandbox()
    ctl_offices = {}  # key -> expected values (name, printer, ip)
    ctl_removed = set()
    tray_names = {}  # key -> last name reported saved
    stop = threading.Event()
    polls = {"list": 0, "bad": 0}
    counts = {"ctl_add": 0, "ctl_edit": 0, "ctl_remove": 0, "tray_new": 0, "tray_edit": 0}

    stop_file = os.path.join(box.root, "stop-watching")
    watcher = subprocess.Popen([ARGS.driver, "watch", box.path, stop_file],
                               stdout=subprocess.PIPE)

    def reader():
        while not stop.is_set():
            code, out, err = box.ctl("list", "--json")
            polls["list"] += 1
            if not expect(code == 0 and err == "", f"list while writing: {code} {err.strip()}"):
                polls["bad"] += 1
            else:
                json.loads(out)

    def ctl_writer():
        rnd = random.Random(7)
        n = 0
        while not stop.is_set() or n < 300:
            n += 1
            live = [k for k in ctl_offices if k not in ctl_removed]
            choice = rnd.random()
            if not live or choice < 0.35:
                name = f"C-{n}"
                code, out, err = box.ctl("add", "--name", name, "--printer", f"P{n}",
                                         "--ip", f"10.0.{n // 256}.{n % 256}")
                if expect(code == 0, f"ctl add: {code} {err.strip()}"):
                    key = out.strip()
                    ctl_offices[key] = (name, f"P{n}", f"10.0.{n // 256}.{n % 256}")
                    ctl_removed.discard(key)  # a removed office's key is free for a new one
                    counts["ctl_add"] += 1
            elif choice < 0.93:
                key = rnd.choice(live)
                name, printer, ip = ctl_offices[key]
                if rnd.random() < 0.5:
                    name = f"C-{n}-renamed"
                    args = ["--name", name]
                else:
                    printer = f"Q{n}"
                    args = ["--printer", printer]
                code, _, err = box.ctl("edit", key, *args)
                if expect(code == 0, f"ctl edit {key}: {code} {err.strip()}"):
                    ctl_offices[key] = (name, printer, ip)
                    counts["ctl_edit"] += 1
            else:
                key = rnd.choice(live)
                code, _, err = box.ctl("remove", key)
                if expect(code == 0, f"ctl remove {key}: {code} {err.strip()}"):
                    ctl_removed.add(key)
                    counts["ctl_remove"] += 1

    start = time.monotonic()
    threads = [threading.Thread(target=reader), threading.Thread(target=ctl_writer)]
    tray = subprocess.Popen([ARGS.driver, "tray-writer", "T", "30", "10"], env=box.env,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    for t in threads:
        t.start()
    tray_out, tray_err = tray.communicate(timeout=120)
    tray_seconds = time.monotonic() - start
    stop.set()
    for t in threads:
        t.join(timeout=120)
    seconds = time.monotonic() - start
    open(stop_file, "w").close()
    watched = json.loads(watcher.communicate(timeout=30)[0])
    expect(watched["damaged"] == 0, f"a reader found the store damaged: {watched['first']}")
    expect(tray.returncode == 0,
           f"tray writer: exit {tray.returncode}: {tray_err.decode(errors='replace')[-2000:]}")
    for line in tray_out.decode().splitlines():
        kind, key, name = line.split(" ", 2)
        if kind == "ok-new":
            counts["tray_new"] += 1
            expect(key not in tray_names, f"tray writer got key {key} twice")
            tray_names[key] = name
        elif kind == "ok-edit":
            counts["tray_edit"] += 1
            tray_names[key] = name

    state = box.check()
    sound(state, "after both writers")
    offices = state["offices"]
    # A key that voldranectl removed may have been given to a new office of the tray's
    # since; a key in use is never given out twice.
    live_ctl = {k: v for k, v in ctl_offices.items() if k not in ctl_removed}
    expect(not (set(tray_names) & set(live_ctl)), "both writers hold one key")
    for key, name in tray_names.items():
        if expect(key in offices, f"tray office {key} lost"):
            expect(offices[key]["Office Name"] == name,
                   f"tray office {key}: {offices[key]['Office Name']!r}, saved as {name!r}")
    for key, (name, printer, ip) in ctl_offices.items():
        if key in ctl_removed:
            expect(key not in offices or key in tray_names, f"removed office {key} is back")
            continue
        if expect(key in offices, f"voldranectl office {key} lost"):
            got = offices[key]
            expect((got["Office Name"], got["Default Printer"], got["IP Address"]) ==
                   (name, printer, ip), f"voldranectl office {key}: {got}, saved as "
                   f"{(name, printer, ip)}")
    expect(len(offices) == len(tray_names) + len(live_ctl),
           f"{len(offices)} offices in the store, {len(tray_names) + len(live_ctl)} saved")
    for k, v in counts.items():
        figure(k, v)
    figure("tray saves", counts["tray_new"] + counts["tray_edit"])
    figure("voldranectl saves", counts["ctl_add"] + counts["ctl_edit"] + counts["ctl_remove"])
    figure("reads of the file without the lock", watched["reads"])
    figure("voldranectl list runs during the writes", polls["list"])
    figure("reads that found the store damaged", watched["damaged"] + polls["bad"])
    figure("tray writer seconds", f"{tray_seconds:.1f}")
    figure("wall seconds", f"{seconds:.1f}")
    expect(counts["tray_new"] + counts["tray_edit"] >= 200, "the tray writer did too little")
    box.cleanup()


# --- 2. Writers killed at random moments ------------------------------------------------

def leftovers(box):
    names = sorted(os.listdir(box.folder))
    return [n for n in names if n not in ("Voldrane.reg", "Voldrane.reg.lock")]


def scenario_kill_ctl():
    box = Sandbox()
    rnd = random.Random(int(os.environ.get("FAULTS_SEED", "4711")))
    saved = {}  # key -> set of names the office may have (the last saved, or one in flight)
    for i in range(20):  # a store of some size, so that each write takes a while
        code, out, _ = box.ctl("add", "--name", f"base-{i}", "--printer", "x" * 200,
                               check_status=0)
        saved[out.strip()] = {f"base-{i}"}
    # How long one run takes, so that the kills spread over a whole run.
    t0 = time.monotonic()
    for i in range(5):
        box.ctl("edit", next(iter(saved)), "--name", "base-0", check_status=0)
    span = (time.monotonic() - t0) / 5
    kills = finished = checks = 0
    start = time.monotonic()
    rounds = 300
    for n in range(rounds):
        if rnd.random() < 0.5:
            name = f"add-{n}"
            args = ["add", "--name", name, "--printer", "y" * 100]
            key = None
        else:
            key = rnd.choice(sorted(saved))
            name = f"edit-{n}"
            args = ["edit", key, "--name", name]
        p = subprocess.Popen([ARGS.voldranectl, *args], env=box.env, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
        time.sleep(rnd.uniform(0, span * 1.2))
        p.send_signal(signal.SIGKILL)
        out, err = p.communicate()
        if p.returncode == -signal.SIGKILL:
            kills += 1
            if key is not None:
                saved[key].add(name)  # may or may not have reached the file
        elif expect(p.returncode == 0, f"{args}: exit {p.returncode} {err.decode()}"):
            finished += 1
            if key is None:
                saved[out.decode().strip()] = {name}
            else:
                saved[key] = {name}
        state = box.check()
        checks += 1
        if not sound(state, f"after kill round {n}"):
            break
        for k, names in saved.items():
            if not expect(k in state["offices"], f"round {n}: office {k} lost"):
                continue
            got = state["offices"][k]["Office Name"]
            if expect(got in names, f"round {n}: office {k} is {got!r}, saved as {names}"):
                saved[k] = {got}
    seconds = time.monotonic() - start
    # The next writer clears what the killed ones left behind.
    box.ctl("add", "--name", "after", check_status=0)
    expect(leftovers(box) == [], f"left behind: {leftovers(box)}")
    sound(box.check(), "at the end")
    figure("voldranectl runs", rounds)
    figure("killed while running", kills)
    figure("finished before the kill", finished)
    figure("mean run ms", f"{span * 1000:.1f}")
    figure("wall seconds", f"{seconds:.1f}")
    expect(kills >= 150, f"only {kills} runs were killed while running")
    box.cleanup()


def scenario_kill_tray():
    box = Sandbox()
    rnd = random.Random(int(os.environ.get("FAULTS_SEED", "815")))
    new_keys = set()
    names = {}  # key -> set of names the office may have now
    kills = saves = 0
    start = time.monotonic()
    rounds = 100
    for n in range(rounds):
        p = subprocess.Popen([ARGS.driver, "tray-writer", f"K{n}", "0", "8"], env=box.env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        time.sleep(rnd.uniform(0.05, 0.5))
        p.send_signal(signal.SIGKILL)
        out, _ = p.communicate()
        expect(p.returncode == -signal.SIGKILL, f"tray writer ended by itself: {p.returncode}")
        kills += 1
        for line in out.decode().splitlines():
            if line.count(" ") < 2:
                continue  # the kill cut the line
            kind, key, name = line.split(" ", 2)
            if kind == "ok-new":
                new_keys.add(key)
                names[key] = {name}
                saves += 1
            elif kind == "try-edit":
                names.setdefault(key, set()).add(name)
            elif kind == "ok-edit":
                names[key] = {name}
                saves += 1
        state = box.check()
        if not sound(state, f"after kill {n}"):
            break
        for key in new_keys:
            if not expect(key in state["offices"], f"kill {n}: office {key} lost"):
                continue
            got = state["offices"][key]["Office Name"]
            if expect(got in names[key], f"kill {n}: office {key} is {got!r}, "
                      f"saved as {names[key]}"):
                names[key] = {got}
    seconds = time.monotonic() - start
    figure("tray writer kills", kills)
    figure("saves reported before the kills", saves)
    figure("offices in the store", len(box.check()["offices"]))
    figure("wall seconds", f"{seconds:.1f}")
    expect(saves >= 100, f"only {saves} saves were made between the kills")
    box.cleanup()


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario")
    parser.add_argument("--voldranectl", required=True)
    parser.add_argument("--driver", required=True)
    ARGS = parser.parse_args()
    scenarios = {
        "concurrent": scenario_concurrent,
        "kill-ctl": scenario_kill_ctl,
        "kill-tray": scenario_kill_tray,
    }
    scenarios[ARGS.scenario]()
    if FAILURES:
        print(f"{len(FAILURES)} failures", flush=True)
        return 1
    print("ok", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
