#!/usr/bin/env python3
"""The application layer builds without a GUI toolkit.

1. Every file of voldrane_app (app/ and ui/, not ui/qt/) is compiled with no toolkit on its
   include path or among its definitions, as the build's compile_commands.json records it.
2. The configure-time check (cmake/NoToolkit.cmake) refuses a library that links Qt through
   another target, privately, or has it on its include path, and accepts a plain one.
"""
import json
import os
import re
import subprocess
import sys
import tempfile

TOOLKIT = re.compile(r"(^|[^A-Za-z])(qt[0-9]*|gtk|wx)([^A-Za-z]|$)", re.IGNORECASE)


def compiled_without_toolkit(source_dir, build_dir):
    with open(os.path.join(build_dir, "compile_commands.json")) as f:
        entries = json.load(f)
    layer = [e for e in entries
             if re.fullmatch(r"(app|ui)/[^/]+\.cpp", os.path.relpath(e["file"], source_dir))]
    if not layer:
        print("no file of the application layer in compile_commands.json")
        return False
    ok = True
    for e in layer:
        command = e.get("command") or " ".join(e["arguments"])
        flags = [w for w in command.split() if w.startswith(("-I", "-isystem", "-D", "/"))]
        flags = [w for w in flags if not w.endswith((".cpp", ".o"))]
        hits = [w for w in flags if TOOLKIT.search(w.replace(source_dir, ""))]
        if hits:
            print(f"{e['file']} is compiled with {hits}")
            ok = False
    print(f"{len(layer)} files of the application layer checked")
    return ok


def check_refuses(source_dir, body):
    with tempfile.TemporaryDirectory() as tmp:
        with open(os.path.join(tmp, "CMakeLists.txt"), "w") as f:
            f.write("cmake_minimum_required(VERSION 3.25)\nproject(probe LANGUAGES NONE)\n"
                    f"include({source_dir}/cmake/NoToolkit.cmake)\n"
                    "add_library(plain INTERFACE)\n" + body +
                    "\nvoldrane_check_no_toolkit(layer)\n")
        result = subprocess.run(["cmake", "-S", tmp, "-B", os.path.join(tmp, "b")],
                                capture_output=True, text=True)
        return result.returncode != 0, result.stdout + result.stderr


def main():
    source_dir, build_dir = os.path.realpath(sys.argv[1]), os.path.realpath(sys.argv[2])
    ok = compiled_without_toolkit(source_dir, build_dir)
    cases = [
        ("a plain layer", False, "add_library(layer INTERFACE)\n"
         "target_link_libraries(layer INTERFACE plain)"),
        ("Qt linked through another target", True,
         "add_library(Qt6::Widgets INTERFACE IMPORTED)\n"
         "target_link_libraries(plain INTERFACE Qt6::Widgets)\n"
         "add_library(layer INTERFACE)\ntarget_link_libraries(layer INTERFACE plain)"),
        ("Qt linked privately", True,
         "add_library(layer STATIC IMPORTED)\n"
         "set_target_properties(layer PROPERTIES INTERFACE_LINK_LIBRARIES "
         "\"$<LINK_ONLY:Qt6::Core>\")"),
        ("Qt on the include path", True,
         "add_library(layer INTERFACE)\ntarget_include_directories(layer INTERFACE "
         "/usr/include/x86_64-linux-gnu/qt6/QtCore)"),
    ]
    for name, refused_wanted, body in cases:
        refused, output = check_refuses(source_dir, body)
        if refused != refused_wanted:
            print(f"{name}: the check {'refused' if refused else 'accepted'} it\n{output}")
            ok = False
    print("passed" if ok else "FAILED")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
