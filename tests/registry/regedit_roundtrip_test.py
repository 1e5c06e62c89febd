#!/usr/bin/env python3
"""Round trips between voldranectl's .reg files and the real registry editor of Wine.

1. Offices with texts that are not ASCII, multi-line texts and another program's values of
   every type, exported by voldranectl and imported by `regedit /S`: regedit's own export reads
   back value for value and type for type.
2. `regedit /E` of the settings key and of the whole HKEY_CURRENT_USER hive, used as the store
   and imported: every office exactly. After voldranectl rewrites the hive as its store, every
   other key and value means the same to regedit (its own export before and after).
3. Key names: every character of the Basic Multilingual Plane as an office key; the keys that
   voldranectl takes for one are the ones the registry takes for one.

Usage: regedit_roundtrip_test.py PATH/TO/voldranectl
Wine runs in a private prefix in a temp folder; its wineserver is ended at the end.
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

OFFICES_KEY = "HKEY_CURRENT_USER\\Software\\Kestamor\\Voldrane\\Offices"
ADDRESSES = ["IP Address", "Subnet Mask", "Default Gateway", "DHCP Server", "DNS Server 1",
             "DNS Server 2", "WINS Server"]

failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL " + what, flush=True)
    return condition


# --- The .reg format, read independently of the program under test -----------------------

def read_quoted(s, i):
    """The text of the quoted string at s[i] == '"', with regedit's escapes; and the rest."""
    out = []
    i += 1
    while True:
        c = s[i]
        if c == '"':
            return "".join(out), s[i + 1:]
        if c == "\\":
            n = s[i + 1]
            out.append({"n": "\n", "r": "\r", "\\": "\\", '"': '"'}.get(n, "\\" + n))
            i += 2
            continue
        out.append(c)
        i += 1


def parse_reg(data):
    """{key path: {value name: (type, data)}} of a version 5 .reg file in UTF-16LE.

    Texts are (1, str) whether written quoted or as hex(1); numbers are bytes as stored.
    """
    assert data[:2] == b"\xff\xfe", "no UTF-16LE byte-order mark"
    text = data[2:].decode("utf-16-le", "surrogatepass")
    lines = text.split("\r\n")
    assert lines[0] == "Windows Registry Editor Version 5.00", lines[0]
    keys, values, i = {}, None, 1
    while i < len(lines):
        line = lines[i]
        i += 1
        if not line:
            continue
        if line.startswith("["):
            assert line.endswith("]"), line
            values = keys.setdefault(line[1:-1], {})
            continue
        if line.startswith("@"):
            name, rest = "", line[1:]
        else:
            name, rest = read_quoted(line, 0)
        assert rest.startswith("="), line
        rest = rest[1:]
        if rest.startswith('"'):
            value, tail = read_quoted(rest, 0)
            assert tail == "", line
            values[name] = (1, value)
        elif rest.startswith("dword:"):
            values[name] = (4, int(rest[6:], 16).to_bytes(4, "little"))
        else:
            assert rest.startswith("hex"), line
            kind, digits = rest.split(":", 1)
            while digits.endswith("\\"):
                digits = digits[:-1] + lines[i].strip()
                i += 1
            data_ = bytes(int(b, 16) for b in digits.split(",") if b)
            kind = 3 if kind == "hex" else int(kind[4:-1], 16)
            if kind == 1:
                data_ = data_.decode("utf-16-le", "surrogatepass")
                data_ = (1, data_[:-1] if data_.endswith("\0") else data_)
                values[name] = data_
            else:
                values[name] = (kind, data_)
    return keys


def regedit_text(data):
    return data[2:].decode("utf-16-le", "surrogatepass")


def as_regedit_file(text):
    return b"\xff\xfe" + text.encode("utf-16-le", "surrogatepass")


def under(keys, prefix):
    """The keys at and below `prefix`, their paths relative to it (the registry's case rule
    for the prefix: "SOFTWARE" is "Software")."""
    out = {}
    for path, values in keys.items():
        if path.upper() == prefix.upper():
            out[""] = values
        elif path.upper().startswith(prefix.upper() + "\\"):
            out[path[len(prefix) + 1:]] = values
    return out


# --- Wine and voldranectl ------------------------------------------------------------------

class Sandbox:
    def __init__(self, voldranectl):
        self.voldranectl = voldranectl
        self.root = tempfile.mkdtemp(prefix="voldrane-regedit-")
        self.prefix = os.path.join(self.root, "wine")
        self.wine = shutil.which("wine") or shutil.which("wine64")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="winemenubuilder.exe=d",
                        HOME=os.path.join(self.root, "home"))
        os.makedirs(self.env["HOME"])
        self.stores = 0
        self.offices_before = None  # the offices the first step made, as voldranectl lists them

    def run_wine(self, *args):
        r = subprocess.run([self.wine, *args], env=self.env, cwd=self.root,
                           capture_output=True, timeout=300)
        expect(r.returncode == 0, f"wine {' '.join(args)}: exit {r.returncode} "
               f"{r.stderr.decode(errors='replace')[-500:]}")
        return r

    def boot(self):
        start = time.monotonic()
        subprocess.run(["wineboot", "-i"], env=self.env, cwd=self.root, capture_output=True,
                       timeout=300, check=True)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=300, check=True)
        return time.monotonic() - start

    def win_path(self, path):
        return "Z:" + path.replace("/", "\\")

    def regedit_import(self, path):
        self.run_wine("regedit", "/S", self.win_path(path))

    def regedit_export(self, key, name):
        path = os.path.join(self.root, name)
        self.run_wine("regedit", "/E", self.win_path(path), key)
        if not expect(os.path.exists(path), f"regedit /E {key} wrote nothing"):
            raise SystemExit(1)
        with open(path, "rb") as f:
            return f.read()

    def new_store(self, contents=None):
        """A fresh settings folder; the store file holds `contents` when given."""
        self.stores += 1
        config = os.path.join(self.root, f"config{self.stores}")
        os.makedirs(os.path.join(config, "Kestamor"))
        self.config = config
        self.store = os.path.join(config, "Kestamor", "Voldrane.reg")
        if contents is not None:
            with open(self.store, "wb") as f:
                f.write(contents)

    def ctl(self, *args, status=0):
        r = subprocess.run([self.voldranectl, *args], capture_output=True, timeout=120,
                           env=dict(self.env, XDG_CONFIG_HOME=self.config))
        out, err = r.stdout.decode(), r.stderr.decode()
        expect(r.returncode == status, f"voldranectl {' '.join(args)[:80]}: exit {r.returncode},"
               f" expected {status}: {err[-500:]}")
        return out

    def offices(self):
        return json.loads(self.ctl("list", "--json"))

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=60)
        shutil.rmtree(self.root, ignore_errors=True)


def values_of(offices):
    return sorted(tuple(o[name] for name in o if name != "Key") for o in offices)


# --- 1. Our export, imported by regedit ------------------------------------------------------

OTHER = "HKEY_CURRENT_USER\\Software\\Other Vendor\\Zürich"
OTHER_TEXT = "\n".join([
    "[" + OTHER + "]",
    '@="default value"',
    '"Lines"="Line1\\nLine2\\r\\nLine3"',
    '"Expand"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,00,45,'
    '00,25,00,5c,00,fc,00,00,00',
    '"Multi"=hex(7):61,00,00,00,fc,00,00,00,00,00',
    '"Bin"=hex:00,ff,10',
    '"Empty"=""',
    '"Dword"=dword:deadbeef',
    '"Qword"=hex(b):01,02,03,04,05,06,07,08',
    '"None"=hex(0):',
    '"Path"="C:\\\\Program Files\\\\Zürich \\"q\\""',
    '"東京"="オフィス 🏢"',
    "",
    "[" + OTHER + "\\BÜRO]",
    '"x"="1"',
    "",
])

NEW_OFFICES = [
    ("Zürich Büro – 2F", "Müller Laser"),
    ("東京オフィス", "\\\\print\\東京"),
    ("Line1\nLine2", "P\r\nQ"),
    ('He said "hi" \\\\srv\\share\\ C:\\path\\', ""),
    ("🏢 HQ\tTab", "Ärger ß ı ſ"),
]


def export_import(box):
    box.new_store()
    box.ctl("set", "auto-detect", "on")  # makes the store
    with open(box.store, "a", encoding="utf-8") as f:  # another program's key, by hand
        f.write("\n" + OTHER_TEXT)
    keys = []
    for n, (name, printer) in enumerate(NEW_OFFICES):
        keys.append(box.ctl("add", "--name", name, "--printer", printer, "--ip", f"10.{n}.0.5",
                            "--dns2", "N/A").strip())
    box.ctl("set", "default-office", keys[1])
    box.offices_before = box.offices()
    ours_file = os.path.join(box.root, "ours.reg")
    box.ctl("export", ours_file)
    box.regedit_import(ours_file)
    with open(ours_file, "rb") as f:
        ours = f.read()
    expect(ours.startswith(b"\xff\xfe") and b"\n\0" in ours and b"\n\0" not in
           ours.replace(b"\r\0\n\0", b""), "export: UTF-16LE with its BOM, CRLF line ends")
    ours_keys = parse_reg(ours)

    for prefix, name in (("HKEY_CURRENT_USER\\Software\\Kestamor", "back-ours.reg"),
                         ("HKEY_CURRENT_USER\\Software\\Other Vendor", "back-other.reg")):
        back = under(parse_reg(box.regedit_export(prefix, name)), prefix)
        mine = under(ours_keys, prefix)
        expect(sorted(back) == sorted(mine),
               f"regedit's keys below {prefix}: {sorted(back)} != {sorted(mine)}")
        count = 0
        for path, values in mine.items():
            for value, typed in values.items():
                got = back.get(path, {}).get(value)
                count += 1
                expect(got == typed, f"{prefix}\\{path} \"{value}\": regedit has {got!r}, "
                       f"voldranectl exported {typed!r}")
        print(f"{prefix}: {len(mine)} keys, {count} values read back by regedit", flush=True)
    # `reg`, the other reader of the registry, sees the same (it prints in the OEM code page:
    # only ASCII is compared).
    out = box.run_wine("reg", "query", "HKCU\\Software\\Kestamor\\Voldrane", "/s").stdout
    out = out.decode("cp437", errors="replace")
    expect("Auto Detect    REG_DWORD    0x1" in out, f"reg query: {out[:300]!r}")
    expect(all(f"{OFFICES_KEY}\\{k}\r\n".upper() in out.upper() for k in keys) and
           out.count("IP Address    REG_SZ    10.") == len(keys), f"reg query: {out[-300:]!r}")
    # The offices as written, and the other program's data as it was given.
    names = {values.get("Office Name", (0, None))[1]
             for values in under(ours_keys, OFFICES_KEY).values()}
    expect(names >= {name for name, _ in NEW_OFFICES}, f"office names in the export: {names}")
    other = under(ours_keys, OTHER).get("", {})
    expect(other.get("Lines") == (1, "Line1\nLine2\r\nLine3"), f"Lines: {other.get('Lines')}")
    expect(other.get("Path") == (1, 'C:\\Program Files\\Zürich "q"'), f"Path: {other.get('Path')}")


# --- 2. regedit's exports as our store and as an import ---------------------------------------

def regedit_as_store(box):
    offices_before = box.offices_before
    key_file = box.regedit_export("HKEY_CURRENT_USER\\Software\\Kestamor\\Voldrane", "key.reg")
    hive_file = box.regedit_export("HKEY_CURRENT_USER", "hive.reg")
    hive_keys = parse_reg(hive_file)
    print(f"HKEY_CURRENT_USER: {len(hive_keys)} keys, "
          f"{sum(len(v) for v in hive_keys.values())} values", flush=True)
    for what, data in (("key", key_file), ("hive", hive_file)):
        box.new_store(data)
        expect(box.offices() == offices_before, f"regedit /E of the {what} as the store: "
               "the offices differ")
        path = os.path.join(box.root, what + "-import.reg")
        with open(path, "wb") as f:
            f.write(data)
        box.new_store()
        out = box.ctl("import", path)
        expect(out.strip() == f"Added {len(offices_before)} offices", f"import {what}: {out!r}")
        expect(values_of(box.offices()) == values_of(offices_before),
               f"regedit /E of the {what}, imported: the offices' values differ")

    # One of our rewrites of the whole hive as the store: it stays in regedit's form, and the
    # registry editor reads every other key and value as before.
    box.new_store(hive_file)
    edited = offices_before[0]["Key"]
    box.ctl("edit", edited, "--printer", "Neuer Drucker ü")
    added = box.ctl("add", "--name", "Neu").strip()
    with open(box.store, "rb") as f:
        rewritten = f.read()
    expect(rewritten.startswith(b"\xff\xfe"), "the rewritten hive is no longer UTF-16LE")
    texts = {}
    for when, data in (("before", hive_file), ("after", rewritten)):
        sandbox = "HKEY_CURRENT_USER\\Software\\RoundTrip-" + when
        moved = regedit_text(data).replace("\r\n[HKEY_CURRENT_USER", "\r\n[" + sandbox)
        path = os.path.join(box.root, f"moved-{when}.reg")
        with open(path, "wb") as f:
            f.write(as_regedit_file(moved))
        box.regedit_import(path)
        back = regedit_text(box.regedit_export(sandbox, f"again-{when}.reg"))
        texts[when] = back.replace("[" + sandbox, "[HKEY_CURRENT_USER")
    before, after = (parse_reg(as_regedit_file(texts[w])) for w in ("before", "after"))
    ours = {OFFICES_KEY + "\\" + edited, OFFICES_KEY + "\\" + added}
    changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
    expect(set(changed) <= ours, f"keys that mean something else to regedit after our rewrite: "
           f"{changed[:10]}")
    expect(after.get(OFFICES_KEY + "\\" + edited, {}).get("Default Printer") ==
           (1, "Neuer Drucker ü"), "the edit did not reach regedit")
    same = sum(len(v) for k, v in before.items() if k not in ours)
    print(f"after a rewrite: {len(before) - 1} keys and {same} values the same to regedit, "
          f"changed: {len(changed)} keys (the edited and the added office)", flush=True)


# --- 3. Key names compared as the registry compares them --------------------------------------

def key_names(box):
    chars = [chr(c) for c in range(0x20, 0x10000)
             if not 0xD800 <= c <= 0xDFFF and c not in (0x5C, 0x7F)]
    sandbox = "HKEY_CURRENT_USER\\Software\\CaseCheck"
    lines = ["Windows Registry Editor Version 5.00", ""]
    for c in chars:
        lines += [f"[{sandbox}\\{c}]", f'"Office Name"="{ord(c):04x}"', ""]
    text = "\r\n".join(lines) + "\r\n"
    path = os.path.join(box.root, "names.reg")
    with open(path, "wb") as f:
        f.write(as_regedit_file(text))
    box.regedit_import(path)
    wine = {k: v["Office Name"][1] for k, v in
            under(parse_reg(box.regedit_export(sandbox, "names-back.reg")), sandbox).items() if k}
    box.new_store(as_regedit_file(text.replace(sandbox, OFFICES_KEY)))
    ours = {o["Key"]: o["Office Name"] for o in box.offices()}
    differ = sorted(set(wine.items()) ^ set(ours.items()))
    expect(not differ, "keys that voldranectl and the registry take differently: " +
           ", ".join(f"U+{ord(k):04X}={v}" for k, v in differ[:20]))
    print(f"key names: {len(chars)} characters made {len(wine)} keys in Wine's registry, "
          f"{len(ours)} offices in voldranectl", flush=True)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    box = Sandbox(os.path.abspath(sys.argv[1]))
    if not box.wine or not shutil.which("wineboot"):
        print("FAIL wine is not installed (scripts/deps.sh test installs it)")
        return 1
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # a timeout still ends Wine
    try:
        print(f"Wine prefix made in {box.boot():.1f} s", flush=True)
        for step in (export_import, regedit_as_store, key_names):
            start = time.monotonic()
            try:
                step(box)
            except Exception:  # a file regedit or voldranectl could not have written; go on
                expect(False, f"{step.__name__}: {traceback.format_exc()}")
            print(f"{step.__name__}: {time.monotonic() - start:.1f} s", flush=True)
    finally:
        box.close()
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
