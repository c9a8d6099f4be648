#!/usr/bin/env python3
"""Fails on an #include that goes up a layer (docs/layout.md has the layers),
and on <windows.h> in the core outside its *_win32.cpp files.

Usage: check-includes.py [ROOT]          the working tree (default: the repository)
       check-includes.py --rev REV       a commit or branch, read through git
Prints each offending line (FILE:LINE: and what is wrong) and exits 1 when any.
"""
import os
import re
import subprocess
import sys

# The portable core and the layers above it, lowest first. A module may
# include its own layer's headers and those of every lower layer.
RANK = {
    "opsys": 0,
    "VmEngine": 1,
    "RegExp": 2,   # searches buffers, so it sits on the engine
    "Reu": 3,
    "commands": 4,
    "tools": 5,    # may use commands' native table
    "macros": 5,
    "editor": 6,
    "shell": 7,
}
# Services of the windowed modules: they may include the core and the
# framework; the windowed modules (commands and above) may include them all.
FRAMEWORK = {"framework"}
SERVICES = {"tabs", "dock", "toolbar", "widgets", "controls"}
CORE_TOP = RANK["Reu"]
# Resource ids are for the windowed modules.
RESOURCES = {"res"}
# Tests, benchmarks and the fuzz targets may include anything.
FREE = {"tests", "bench"}
# Known exceptions, each with its reason: (including file, included folder).
EXCEPTIONS = {
    # Reu's thread objects run on framework threads (Windows build only).
    ("Reu/thread_win32.cpp", "framework"),
}

# The core reaches the system through its *_win32.cpp files (the Windows
# side of each seam); nothing else there includes <windows.h>.
CORE = {"opsys", "VmEngine", "RegExp", "Reu"}
WINDOWS_H = re.compile(r"^\s*#\s*include\s*<windows\.h>", re.IGNORECASE)

SOURCE = re.compile(r"\.(c|cc|cpp|h|hpp|inl|rc)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/')


def allowed(path, src, dst):
    if src == dst or src in FREE or (path, dst) in EXCEPTIONS:
        return True
    if dst not in RANK and dst not in FRAMEWORK | SERVICES | RESOURCES:
        return True  # not a module (a system or third-party path)
    windowed = src in RANK and RANK[src] >= RANK["commands"]
    if dst in FRAMEWORK:
        return windowed or src in SERVICES
    if dst in SERVICES | RESOURCES:
        return windowed
    # dst is a ranked module
    if src in RANK:
        return RANK[dst] <= RANK[src]
    if src in FRAMEWORK | SERVICES:
        return RANK[dst] <= CORE_TOP
    return True  # a folder without code rules (config, spell data, scripts)


def windows_h_allowed(rel):
    return rel.split("/", 1)[0] not in CORE or rel.endswith("_win32.cpp")


def lines_from_tree(root):
    for top, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if not d.startswith(".") and not (top == root and d == "build")]
        for name in files:
            if not SOURCE.search(name):
                continue
            full = os.path.join(top, name)
            rel = os.path.relpath(full, root).replace(os.sep, "/")
            try:
                with open(full, encoding="utf-8", errors="replace") as f:
                    for n, text in enumerate(f, 1):
                        yield rel, n, text
            except OSError:
                continue


def lines_from_rev(rev):
    out = subprocess.run(["git", "grep", "-n", "-E", r'^\s*#\s*include\s*["<]', rev],
                         capture_output=True, text=True, check=False).stdout
    for row in out.splitlines():
        _, rel, n, text = row.split(":", 3)
        if SOURCE.search(rel):
            yield rel, int(n), text


def main(argv):
    if len(argv) > 2 and argv[1] == "--rev":
        source = lines_from_rev(argv[2])
    else:
        root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
        source = lines_from_tree(os.path.abspath(root))
    bad = 0
    for rel, n, text in source:
        if WINDOWS_H.match(text) and not windows_h_allowed(rel):
            print(f"{rel}:{n}: <windows.h> in the core outside a *_win32.cpp file")
            bad += 1
            continue
        m = INCLUDE.match(text)
        if not m or "/" not in rel:
            continue
        src, dst = rel.split("/", 1)[0], m.group(1)
        if not allowed(rel, src, dst):
            print(f"{rel}:{n}: {src} -> {dst}: includes a higher layer")
            bad += 1
    if bad:
        print(f"check-includes: {bad} include(s) going up a layer or around a seam (see docs/layout.md)")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
