#!/usr/bin/python3
"""The settings store under faults, with whole programs: voldranectl and the tray program's
writer (store_driver) on one store at once, writers killed at random moments, broken stores
and file systems, hostile values. Each scenario prints its figures on lines starting "FIGURE".

usage: store_faults.py SCENARIO --voldranectl PATH --driver PATH
"""
import argparse
import codecs
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
SANDBOXES = []  # removed at the end, also after a failure


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
        SANDBOXES.append(self)
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
        r = subprocess.run(cmd, env=self.env, capture_output=True, timeout=10)
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


class Paused:
    """A voldranectl run stopped after it has read the store, before it writes."""

    def __init__(self, box, *args):
        self.dir = os.path.join(box.root, "pause")
        os.makedirs(self.dir, exist_ok=True)
        env = dict(box.env, LD_PRELOAD=ARGS.pause_lib, PAUSE_BEFORE_WRITE_DIR=self.dir)
        self.proc = subprocess.Popen([ARGS.voldranectl, *args], env=env,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        paused = os.path.join(self.dir, f"paused-{self.proc.pid}")
        end = time.monotonic() + 30
        while not os.path.exists(paused) and self.proc.poll() is None and time.monotonic() < end:
            time.sleep(0.002)
        expect(os.path.exists(paused), f"voldranectl {' '.join(args)} never came to write")

    def finish(self):
        open(os.path.join(self.dir, f"go-{self.proc.pid}"), "w").close()
        out, err = self.proc.communicate(timeout=60)
        return self.proc.returncode, out.decode(errors="replace"), err.decode(errors="replace")


def scenario_same_office():
    """voldranectl edits that read the office before another program's change to it, and
    write after it: an edit of another field, a remove. Neither change may be undone."""
    box = Sandbox()
    code, out, _ = box.ctl("add", "--name", "Shared", "--printer", "Old", check_status=0)
    key = out.strip()
    start = time.monotonic()

    edit = Paused(box, "edit", key, "--name", "New name")
    box.ctl("edit", key, "--printer", "New printer", check_status=0)
    code, _, err = edit.finish()
    expect(code == 0, f"edit: {code} {err}")
    got = box.check()["offices"][key]
    expect((got["Office Name"], got["Default Printer"]) == ("New name", "New printer"),
           f"two edits of one office: {got['Office Name']!r}, {got['Default Printer']!r}")

    code, out, _ = box.ctl("add", "--name", "Doomed", check_status=0)
    doomed = out.strip()
    edit = Paused(box, "edit", doomed, "--printer", "P")
    box.ctl("remove", doomed, check_status=0)
    code, _, err = edit.finish()
    expect(code == 2 and f'no office has the key "{doomed}"' in err,
           f"edit of an office removed meanwhile: {code} {err!r}")
    state = box.check()
    expect(doomed not in state["offices"], "an edit brought a removed office back")
    sound(state, "after the races")
    figure("same office: wall seconds", f"{time.monotonic() - start:.1f}")
    box.cleanup()


# --- 2. Writers killed at random moments ------------------------------------------------

def leftovers(box):
    names = sorted(os.listdir(box.folder))
    return [n for n in names if n not in ("Voldrane.reg", "Voldrane.reg.lock")]


class TempWatch:
    """Counts the kills that came while a writer had its new file half written: each leaves
    a temp file that the next writer removes."""

    def __init__(self, box):
        self.box, self.seen, self.count = box, set(), 0

    def look(self):
        if not os.path.isdir(self.box.folder):
            return
        temps = {n for n in os.listdir(self.box.folder) if ".tmp-" in n}
        self.count += bool(temps - self.seen)
        self.seen |= temps


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
    temps = TempWatch(box)
    start = time.monotonic()
    # Until 300 runs were killed while running. The delay follows the machine's load: a run
    # that finished before its kill makes the next delays shorter, a kill longer ones.
    wanted, rounds = 300, 0
    for n in range(4 * wanted):
        if kills >= wanted:
            break
        rounds += 1
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
        time.sleep(rnd.uniform(0, span * 2))
        p.send_signal(signal.SIGKILL)
        out, err = p.communicate()
        temps.look()
        if p.returncode == -signal.SIGKILL:
            kills += 1
            span *= 1.02
            if key is not None:
                saved[key].add(name)  # may or may not have reached the file
        elif expect(p.returncode == 0, f"{args}: exit {p.returncode} {err.decode()}"):
            finished += 1
            span *= 0.9
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
    # Killed while it keeps a damaged store as a backup and replaces it: the damaged bytes
    # are always whole somewhere, in the file or in a backup.
    damaged_kills = damaged_reached = 0
    for n in range(60):
        for name in backups(box):
            os.unlink(os.path.join(box.folder, name))
        with open(box.path, "wb") as f:
            f.write(CORRUPT)
        p = subprocess.Popen([ARGS.voldranectl, "add", "--name", f"over-damage-{n}"],
                             env=box.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(rnd.uniform(0, span * 2))
        p.send_signal(signal.SIGKILL)
        p.communicate()
        damaged_kills += p.returncode == -signal.SIGKILL
        damaged_reached += bool(backups(box)) or box.read() != CORRUPT
        if not kept(box, CORRUPT, f"damaged store, kill {n}"):
            break
        if box.read() != CORRUPT:
            expect(not box.check()["issues"], f"damaged store, kill {n}: a torn rewrite")
    # The next writer clears the temp files the killed ones left behind (backups stay).
    box.ctl("add", "--name", "after", check_status=0)
    stale = [n for n in leftovers(box) if not n.startswith("Voldrane.reg.bak-")]
    expect(stale == [], f"left behind: {stale}")
    expect(not box.check()["issues"], "at the end")
    figure("voldranectl runs", rounds)
    figure("killed while running", kills)
    figure("finished before the kill", finished)
    figure("kills while the new file was half written", temps.count)
    figure("mean run ms", f"{span * 1000:.1f}")
    figure("kills on a damaged store", damaged_kills)
    figure("of which after the backup or the rewrite had begun", damaged_reached)
    figure("wall seconds", f"{seconds:.1f}")
    expect(kills >= wanted, f"only {kills} of {rounds} runs were killed while running")
    box.cleanup()


def scenario_kill_tray():
    box = Sandbox()
    rnd = random.Random(int(os.environ.get("FAULTS_SEED", "815")))
    new_keys = set()
    names = {}  # key -> set of names the office may have now
    kills = saves = 0
    temps = None
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
        temps = temps or TempWatch(box)
        temps.look()
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
    box.ctl("add", "--name", "after", check_status=0)
    expect(leftovers(box) == [], f"left behind: {leftovers(box)}")
    figure("tray writer kills", kills)
    figure("saves reported before the kills", saves)
    figure("kills while the new file was half written", temps.count if temps else 0)
    figure("offices in the store", len(box.check()["offices"]))
    figure("wall seconds", f"{seconds:.1f}")
    expect(saves >= 100, f"only {saves} saves were made between the kills")
    box.cleanup()


# --- 3. Broken stores and file systems ---------------------------------------------------

GOOD = (b"Windows Registry Editor Version 5.00\n\n"
        b"[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\3FF36300]\n"
        b'"Office Name"="Head office"\n"IP Address"="10.1.0.5"\n"Subnet Mask"="255.255.0.0"\n'
        b'"Default Gateway"="10.1.0.1"\n"DHCP Server"="10.1.0.2"\n"DNS Server 1"="10.1.0.3"\n'
        b'"DNS Server 2"="10.1.0.4"\n"WINS Server"="0.0.0.0"\n"Default Printer"="Laser"\n\n'
        b"[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\3FF36301]\n"
        b'"Office Name"="Branch"\n"IP Address"="10.2.0.5"\n"Subnet Mask"="255.255.0.0"\n'
        b'"Default Gateway"="10.2.0.1"\n"DHCP Server"="10.2.0.2"\n"DNS Server 1"="10.2.0.3"\n'
        b'"DNS Server 2"="10.2.0.4"\n"WINS Server"="0.0.0.0"\n"Default Printer"="Ink"\n')
# Damage as it happens: a line lost its closing quote, a stray line, a file cut off.
CORRUPT = (GOOD.replace(b'"Subnet Mask"="255.255.0.0"\n"Default Gateway"="10.1',
                        b'"Subnet Mask"="255.255.0.0\n#garbage here\n"Default Gateway"="10.1')
           [:-30])


def backups(box):
    return [n for n in sorted(os.listdir(box.folder)) if n.startswith("Voldrane.reg.bak-")]


def kept(box, original, what):
    """The original bytes are still there: in the file, or in a backup beside it."""
    copies = [box.read()] if os.path.isfile(box.path) else []
    copies += [box.read(os.path.join(box.folder, b)) for b in backups(box)]
    return expect(original in copies, f"{what}: the original bytes are gone")


def tray_start(box, user=None):
    r = box.driver("tray-start", user=user, timeout=60)
    if not expect(r.returncode == 0, f"tray-start: exit {r.returncode} "
                  f"{r.stderr.decode(errors='replace')[-1000:]}"):
        return {"running": False, "messages": [], "questions": []}
    state = json.loads(r.stdout)
    expect(state["running"], f"the tray program did not start: {state}")
    return state


def tray_save(box):
    """The tray program's New, once; returns what the user was told."""
    r = box.driver("tray-writer", "T", "1", "1", timeout=60)
    return r.returncode, r.stderr.decode(errors="replace")


def case_corrupt():
    for what, damaged in (("damaged lines", CORRUPT), ("binary garbage", bytes(range(256)) * 8)):
        # Each program meets the damaged file first: a program that wrote to the store has
        # replaced it (the original kept as a backup).
        box = Sandbox()
        os.makedirs(box.folder)
        with open(box.path, "wb") as f:
            f.write(damaged)
        code, out, err = box.ctl("list", check_status=0)
        expect("could not be read" in err, f"{what}: list does not say so: {err!r}")
        if damaged is CORRUPT:
            expect("Branch" in out, f"{what}: the readable office is not listed: {out!r}")
        kept(box, damaged, f"{what}, after list")
        with open(box.path, "wb") as f:
            f.write(damaged)
        state = tray_start(box)
        text = "\n".join(state["messages"])
        expect("Parts of the settings file could not be read and were left out" in text
               and box.path in text, f"{what}: the tray program's message: {text!r}")
        kept(box, damaged, f"{what}, after the tray program started")
        box.ctl("add", "--name", "New", check_status=0)
        kept(box, damaged, f"{what}, after an add")
        # What could be read is written back; the rest lives on in the backup.
        state = box.check()
        expect(not state["issues"], f"{what}, after an add: {state['issues'][:3]}")
        box.cleanup()
    figure("corrupt stores", "damaged lines and binary garbage: reported, originals kept")


def case_empty():
    box = Sandbox()
    os.makedirs(box.folder)
    open(box.path, "wb").close()
    code, out, err = box.ctl("list", check_status=0)
    expect(out == "" and err == "", f"empty store: {out!r} {err!r}")
    state = tray_start(box)
    expect(state["messages"] == [], f"empty store: the tray program said {state['messages']}")
    box.ctl("add", "--name", "First", check_status=0)
    expect(len(box.check()["offices"]) == 1, "empty store: the add did not land")
    box.cleanup()


def case_directory():
    box = Sandbox()
    os.makedirs(os.path.join(box.path, "inside"))
    code, out, err = box.ctl("list", check_status=3)
    expect(f"cannot read {box.path}: Is a directory" in err, f"directory: list said {err!r}")
    code, out, err = box.ctl("add", "--name", "X", check_status=3)
    expect("Is a directory" in err, f"directory: add said {err!r}")
    state = tray_start(box)
    text = "\n".join(state["messages"])
    expect("The settings file cannot be read" in text and "Is a directory" in text,
           f"directory: the tray program's message: {text!r}")
    code, err = tray_save(box)
    expect(code == 3 and "could not be saved" in err and "Is a directory" in err,
           f"directory: the tray program's save: {code} {err[-500:]!r}")
    expect(os.listdir(box.path) == ["inside"], "directory: its contents changed")
    box.cleanup()


def case_unreadable():
    box = Sandbox()
    os.makedirs(box.folder)
    with open(box.path, "wb") as f:
        f.write(GOOD)
    os.chmod(box.path, 0)
    subprocess.run(["chown", "-R", "65534:65534", box.root], check=True)
    code, out, err = box.ctl("list", user=65534, check_status=3)
    expect(f"cannot read {box.path}: Permission denied" in err, f"unreadable: list said {err!r}")
    code, out, err = box.ctl("add", "--name", "X", user=65534, check_status=3)
    expect("Permission denied" in err, f"unreadable: add said {err!r}")
    state = tray_start(box, user=65534)
    text = "\n".join(state["messages"])
    expect("The settings file cannot be read" in text and "Permission denied" in text,
           f"unreadable: the tray program's message: {text!r}")
    r = box.driver("tray-writer", "T", "1", "1", user=65534, timeout=60)
    err = r.stderr.decode(errors="replace")
    expect(r.returncode == 3 and "could not be saved" in err and "Permission denied" in err,
           f"unreadable: the tray program's save: {r.returncode} {err[-500:]!r}")
    expect(box.read() == GOOD, "unreadable: the file changed")
    box.cleanup()


def case_not_a_file():
    """A FIFO or a device in the file's place: both programs say so at once, never wait
    for a writer or read without end."""
    for what, make in (("FIFO", lambda p: os.mkfifo(p)),
                       ("link to /dev/zero", lambda p: os.symlink("/dev/zero", p))):
        box = Sandbox()
        os.makedirs(box.folder)
        make(box.path)
        try:
            code, out, err = box.ctl("list", check_status=3)
            expect(f"cannot read {box.path}: not a regular file" in err,
                   f"{what}: list said {err!r}")
            code, out, err = box.ctl("add", "--name", "X", check_status=3)
            state = tray_start(box)
            text = "\n".join(state["messages"])
            expect("The settings file cannot be read" in text and "not a regular file" in text,
                   f"{what}: the tray program's message: {text!r}")
        except subprocess.TimeoutExpired as e:
            fail(f"{what}: {e.cmd[0]} {e.cmd[1]} hangs")
        expect(os.path.islink(box.path) or not os.path.isfile(box.path),
               f"{what}: replaced by a file")
        box.cleanup()


def case_foreign_lock():
    """The lock file beside the store belongs to root (voldranectl once run with sudo): the
    user's writes fail, and the message names the file that is in the way."""
    box = Sandbox()
    box.ctl("add", "--name", "Head office", check_status=0)
    subprocess.run(["chown", "-R", "65534:65534", box.root], check=True)
    os.chown(box.path + ".lock", 0, 0)
    before = box.read()
    code, out, err = box.ctl("list", user=65534, check_status=0)
    expect("Head office" in out, "foreign lock: list")
    code, out, err = box.ctl("add", "--name", "X", user=65534, check_status=3)
    expect(f"{box.path}.lock: Permission denied" in err, f"foreign lock: add said {err!r}")
    expect(box.read() == before, "foreign lock: the file changed")
    box.cleanup()


def in_private_mount(case):
    """Runs `case` in a child with its own mount namespace: its tmpfs mounts are seen by it
    and its children only, and end with it."""
    # The folder is made and removed out here: inside, it holds the mount point.
    root = Sandbox().root
    r = subprocess.run(["unshare", "--mount", "--propagation", "private", "/usr/bin/python3",
                        os.path.abspath(__file__), case, "--voldranectl", ARGS.voldranectl,
                        "--driver", ARGS.driver, "--pause-lib", ARGS.pause_lib],
                       capture_output=True, timeout=120, env=dict(os.environ, FAULTS_ROOT=root))
    out = r.stdout.decode(errors="replace")
    sys.stdout.write(out)
    if r.returncode != 0:
        fail(f"{case}: exit {r.returncode}: {r.stderr.decode(errors='replace')[-1000:]}")


def mounted_box(size):
    box = Sandbox(os.environ["FAULTS_ROOT"])
    os.makedirs(box.config)
    subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size},mode=0700", "tmpfs",
                    box.config], check=True)
    return box


def ns_readonly():
    box = mounted_box("1m")
    box.ctl("add", "--name", "Head office", check_status=0)
    box.ctl("add", "--name", "Branch", check_status=0)
    subprocess.run(["mount", "-o", "remount,ro", box.config], check=True)
    before = box.read()
    code, out, err = box.ctl("list", check_status=0)
    expect("Branch" in out, "read-only: list")
    key = out.split()[0]
    for args in (["add", "--name", "X"], ["edit", key, "--name", "Y"], ["remove", key],
                 ["set", "auto-detect", "off"]):
        code, out, err = box.ctl(*args, check_status=3)
        expect(f"cannot write {box.path}: Read-only file system" in err,
               f"read-only: {args[0]} said {err!r}")
    state = tray_start(box)
    expect(state["messages"] == [], f"read-only: the tray program said {state['messages']}")
    code, err = tray_save(box)
    expect(code == 3 and "could not be saved" in err and "Read-only file system" in err,
           f"read-only: the tray program's save: {code} {err[-500:]!r}")
    expect(box.read() == before, "read-only: the file changed")


def ns_full():
    box = mounted_box("64k")
    box.ctl("add", "--name", "Head office", "--printer", "p" * 500, check_status=0)
    with open(os.path.join(box.folder, "damaged.reg"), "wb") as f:
        f.write(CORRUPT)
    before = box.read()
    # Fill the file system to its last block.
    fd = os.open(os.path.join(box.config, "filler"), os.O_WRONLY | os.O_CREAT, 0o600)
    for chunk in (4096, 1):
        try:
            while True:
                os.write(fd, b"f" * chunk)
        except OSError:
            pass
    os.close(fd)
    code, out, err = box.ctl("list", check_status=0)
    key = out.split()[0]
    for args in (["add", "--name", "X" * 1000], ["edit", key, "--printer", "q" * 1000]):
        code, out, err = box.ctl(*args, check_status=3)
        expect(f"cannot write {box.path}: No space left on device" in err,
               f"full: {args[0]} said {err!r}")
    code, err = tray_save(box)
    expect(code == 3 and "could not be saved" in err and "No space left on device" in err,
           f"full: the tray program's save: {code} {err[-500:]!r}")
    expect(box.read() == before, "full: the file changed")
    expect(leftovers(box) == ["damaged.reg"], f"full: left behind {leftovers(box)}")
    # A damaged store on a full disk: the file stays as it is, whether or not a backup fitted.
    os.replace(os.path.join(box.folder, "damaged.reg"), box.path)
    code, out, err = box.ctl("add", "--name", "X" * 1000, check_status=3)
    expect("No space left on device" in err.splitlines()[-1],
           f"full, damaged: add said {err!r}")
    expect(box.read() == CORRUPT, "full, damaged: the file changed")
    for name in backups(box):  # the backup may fit where the new file did not
        expect(box.read(os.path.join(box.folder, name)) == CORRUPT, f"full, damaged: {name}")


def scenario_broken_stores():
    if os.geteuid() != 0:
        fail("needs root: private mounts, and a second user for an unreadable file")
        return
    start = time.monotonic()
    case_corrupt()
    case_empty()
    case_directory()
    case_unreadable()
    case_not_a_file()
    case_foreign_lock()
    in_private_mount("ns-readonly")
    in_private_mount("ns-full")
    figure("wall seconds", f"{time.monotonic() - start:.1f}")


# --- 4. Hostile values -----------------------------------------------------------------

HOSTILE_NAMES = [
    b"a" * 1023,  # the longest text that reads back
    b"b" * 1024,  # one more: reads as absent
    b"c" * 100000,
    b"\x80" * 1000,  # continuation bytes with nothing to continue: 1000 "€", too long
    b"\xff\xfe bad \xc3( UTF-8 \xed\xa0\x80 surrogate",
    b"line1\nline2\ttab\x07bell\x1b[31mred\x7f",
    b'He said "hi" \\\\server\\share\\ C:\\path\\',
    "\u00dc".encode() * 200,
    "\U0001F3E2".encode() * 100,
    b"&" * 100,
    b"[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\X]",
    b'"=hex(1):00,00',
]


HOSTILE_KEYS = [
    "trailing space ", " leading space", "a]b;c", '"quoted"', "-dash", "@at", "x" * 5000,
    "\u00fcml\u00e4ut", "bad \udcff\udcfe bytes", "lower", "LOWER2",
]


def menu_sane(state, what):
    for i, t in enumerate(state["menu"]):
        if not expect(t["valid"] and not t["control"] and
                      (t["chars"] <= 64 or (t["chars"] == 67 and t["ellipsis"])),
                      f"{what}: menu entry {i}: {t}"):
            break
    for i, t in enumerate(state["tips"] + [state["startTip"]]):
        if not expect(t["valid"] and not t["control"] and t["bytes"] <= 127,
                      f"{what}: tooltip {i}: {t}"):
            return


def tray_menu(box):
    t0 = time.monotonic()
    r = box.driver("tray-menu", timeout=120)
    seconds = time.monotonic() - t0
    if not expect(r.returncode == 0, f"tray-menu: exit {r.returncode} "
                  f"{r.stderr.decode(errors='replace')[-1000:]}"):
        return None, seconds
    return json.loads(r.stdout), seconds


def _windows_1252(error):
    bad = error.object[error.start:error.end]
    return "".join(bytes([b]).decode("cp1252", errors="ignore") or chr(b) for b in bad), error.end


codecs.register_error("windows-1252", _windows_1252)


def as_read(data):
    """The text of bytes as the store reads them: UTF-8, and a byte that is not UTF-8 taken as
    Windows-1252 (its five undefined bytes as the control characters of the same number)."""
    return data.decode("utf-8", errors="windows-1252")


def readable(hexvalue):
    """What a value reads back as: texts of more than 1023 bytes read as absent."""
    return hexvalue if len(hexvalue) // 2 <= 1023 else ""


def scenario_hostile():
    box = Sandbox()
    start = time.monotonic()
    too_long = []
    for i, name in enumerate(HOSTILE_NAMES):
        printer = HOSTILE_NAMES[-1 - i]
        r = subprocess.run([ARGS.voldranectl.encode(), b"add", b"--name", name, b"--printer",
                            printer], env=box.env, capture_output=True)
        if max(len(as_read(name).encode()), len(as_read(printer).encode())) <= 1023:
            expect(r.returncode == 0, f"add hostile {i}: {r.returncode} {r.stderr[-300:]!r}")
            continue
        # It would be stored, but come back empty: refused, and written by hand instead.
        expect(r.returncode == 2 and b"at most 1023 bytes" in r.stderr,
               f"add of a text too long to read back: {r.returncode} {r.stderr[-300:]!r}")
        too_long.append(name if len(as_read(name).encode()) > 1023 else printer)
    with open(box.path, "ab") as f:
        for n, text in enumerate(too_long):
            f.write(b"\n[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\LONG%d]\n" % n)
            for v in (b"Office Name", b"IP Address", b"Subnet Mask", b"Default Gateway",
                      b"DHCP Server", b"DNS Server 1", b"DNS Server 2", b"WINS Server",
                      b"Default Printer"):
                f.write(b'"%s"="%s"\n' % (v, text if v in (b"Office Name", b"Default Printer")
                                           else b"0.0.0.0"))
    expect(len(too_long) >= 3, f"only {len(too_long)} texts were too long")
    sound(box.check(), "hostile values")
    code, out, err = box.ctl("list", "--json", check_status=0)
    expect(len(json.loads(out)) == len(HOSTILE_NAMES), "list --json of hostile values")

    state, _ = tray_menu(box)
    if state:
        expect(state["offices"] == len(HOSTILE_NAMES), f"tray: {state['offices']} offices")
        menu_sane(state, "hostile values")

    # Key names and texts as a hand-edited file may have them.
    hand = ["", "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices]"]
    for n, key in enumerate(HOSTILE_KEYS):
        hand.append("[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\" + key + "]")
        hand.append(f'"Office Name"="Key {n} \\\\ \\"q\\" \\x"')
        hand.append('"Default Printer"="\\\\server\\share"')
        hand += [f'"{v}"="0.0.0.0"' for v in ("IP Address", "Subnet Mask", "Default Gateway",
                                                "DHCP Server", "DNS Server 1", "DNS Server 2",
                                                "WINS Server")]
    with open(box.path, "ab") as f:
        f.write("\n".join(hand).encode("utf-8", "surrogateescape") + b"\n")
    state = box.check()
    expect(not state["issues"], f"hand-written keys: {state['issues'][:3]}")
    names = {k: v.get("Office Name") for k, v in state["offices"].items()}
    for n, key in enumerate(HOSTILE_KEYS):
        shown = as_read(key.encode("utf-8", "surrogateescape"))
        expect(names.get(shown) == f'Key {n} \\ "q" \\x', f"hand-written key {key!r}: "
               f"{names.get(shown)!r}")
    state, _ = tray_menu(box)
    count = len(HOSTILE_NAMES) + len(HOSTILE_KEYS)
    if state:
        expect(state["offices"] == count, f"tray: {state['offices']} offices")
        menu_sane(state, "hostile key names")
    key = HOSTILE_KEYS[2]
    box.ctl("edit", key, "--printer", "Edited", check_status=0)
    state = box.check()
    expect(state["offices"][key]["Default Printer"] == "Edited", "edit of a hostile key")
    expect(key not in state["partial"], "the edit left the office without its nine values")
    expect(not state["issues"], f"after the edit of a hostile key: {state['issues'][:3]}")
    HOSTILE_NAMES_AND_KEYS = count

    # Saved again as the tray program's Edit saves: every value comes back the same.
    r = box.driver("rewrite-all", str(HOSTILE_NAMES_AND_KEYS))
    if expect(r.returncode == 0, f"rewrite-all: {r.stderr[-300:]!r}"):
        expect(json.loads(r.stdout)["differ"] == [], f"rewrite-all: {r.stdout[:300]!r}")

    # Exported and imported into another user's store. The offices whose texts were too long
    # to read back (now empty names, which add refuses) make the import refuse the whole file,
    # naming each; once they are removed, every value arrives.
    exported = os.path.join(box.root, "export.reg")
    box.ctl("export", exported, check_status=0)
    other = Sandbox()
    code, out, err = other.ctl("import", exported, check_status=2)
    expect(all(f'office LONG{n}, "Office Name": ' in err for n in range(len(too_long))),
           f"import: {err[-300:]!r}")
    expect(not os.path.exists(other.path), "a refused import wrote the store")
    for n in range(len(too_long)):
        box.ctl("remove", f"LONG{n}", check_status=0)
    box.ctl("export", exported, check_status=0)
    code, out, err = other.ctl("import", exported, check_status=0)
    expect(out.strip() == f"Added {HOSTILE_NAMES_AND_KEYS - len(too_long)} offices",
           f"import: {out!r}")

    def contents(b):
        r = subprocess.run([ARGS.driver, "check-hex", b.path], capture_output=True)
        offices = json.loads(r.stdout)["offices"].values()
        return sorted(tuple(readable(v) for v in o.values()) for o in offices)

    expect(contents(box) == contents(other), "export and import changed values")
    hostile_seconds = time.monotonic() - start
    other.cleanup()
    box.cleanup()

    # 10,000 offices, written as a registry editor would write them.
    box = Sandbox()
    os.makedirs(box.folder)
    lines = ["Windows Registry Editor Version 5.00", ""]
    for n in range(10000):
        lines.append(f"[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\{n:08X}]")
        lines.append(f'"Office Name"="Office {n} ' + "x" * (n % 90) + '"')
        for v in ("IP Address", "Subnet Mask", "Default Gateway", "DHCP Server",
                  "DNS Server 1", "DNS Server 2", "WINS Server"):
            lines.append(f'"{v}"="10.{n // 256 % 256}.{n % 256}.1"')
        lines.append(f'"Default Printer"="P{n}"')
        lines.append("")
    with open(box.path, "w") as f:
        f.write("\n".join(lines))
    t0 = time.monotonic()
    code, out, err = box.ctl("list", "--json", check_status=0)
    list_seconds = time.monotonic() - t0
    expect(len(json.loads(out)) == 10000, "list of 10,000 offices")
    state, menu_seconds = tray_menu(box)
    if state:
        expect(state["offices"] == 10000 and len(state["menu"]) == 10000,
               f"tray: {state['offices']} offices, {len(state['menu'])} menu entries")
        expect(state["enabled"] == 100, f"tray: {state['enabled']} offices can be chosen")
        menu_sane(state, "10,000 offices")
        figure("10,000 offices: choosing each of the 100 enabled entries, ms",
               state["chooseAllMs"])
    t0 = time.monotonic()
    box.ctl("add", "--name", "one more", check_status=0)
    add_seconds = time.monotonic() - t0
    figure("hostile values: wall seconds", f"{hostile_seconds:.1f}")
    figure("10,000 offices: voldranectl list --json seconds", f"{list_seconds:.2f}")
    figure("10,000 offices: tray start-up and menu seconds", f"{menu_seconds:.2f}")
    figure("10,000 offices: voldranectl add seconds", f"{add_seconds:.2f}")
    box.cleanup()


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario")
    parser.add_argument("--voldranectl", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--pause-lib", default="")
    ARGS = parser.parse_args()
    scenarios = {
        "concurrent": scenario_concurrent,
        "same-office": scenario_same_office,
        "kill-ctl": scenario_kill_ctl,
        "kill-tray": scenario_kill_tray,
        "broken-stores": scenario_broken_stores,
        "hostile": scenario_hostile,
        "ns-readonly": ns_readonly,
        "ns-full": ns_full,
    }
    try:
        scenarios[ARGS.scenario]()
    finally:
        if not ARGS.scenario.startswith("ns-"):  # a private mount's folder goes from outside
            for box in SANDBOXES:
                box.cleanup()
    if FAILURES:
        print(f"{len(FAILURES)} failures", flush=True)
        return 1
    print("ok", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
