#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-3-Clause
"""Puts the licence's SPDX line at the top of every source file, script and CMake file of the
project, in the file's own comment syntax (after the #! line of a script).

Which files: the ones git tracks, chosen by name; generated files are not tracked, and data
(language files, settings, pictures, certificates, fuzz seeds, test data) is never touched.

Usage: scripts/spdx-headers.py [--check]   (--check: list the files without the line, exit 1 if any)
"""
import os
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
TAG = "SPDX-License-Identifier: BSD-3-Clause"

SLASHES = f"// {TAG}\n"
HASH = f"# {TAG}\n"
BY_SUFFIX = {
    ".c": SLASHES, ".cpp": SLASHES, ".h": SLASHES, ".inc": SLASHES, ".h.in": SLASHES,
    ".cmake": HASH, ".sh": HASH, ".py": HASH,
    ".map": f"/* {TAG} */\n",  # linker version scripts
    ".1": f'.\\" {TAG}\n',      # manual pages
}
# Folders that hold only data, whatever the names inside.
DATA_DIRS = ("fuzz/", "tests/token/data/")


def header_for(path: Path, text: str):
    name = path.name
    if name == "CMakeLists.txt":
        return HASH
    for suffix, header in BY_SUFFIX.items():
        if name.endswith(suffix):
            return header
    # A script without a suffix: executable and started through #!.
    if "." not in name and os.access(path, os.X_OK) and text.startswith("#!"):
        return HASH
    return None


def tracked():
    try:
        out = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, check=True, capture_output=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return None  # not a git checkout: nothing tells the project's files from others
    return [p for p in out.decode().split("\0") if p]


def candidates(files):
    for rel in files:
        path = ROOT / rel
        if not path.is_file() or path.is_symlink():
            continue
        if rel.startswith(DATA_DIRS) and not rel.endswith((".cpp", ".h", "CMakeLists.txt")):
            continue
        try:
            text = path.read_text(encoding="utf-8")
        except UnicodeDecodeError:
            continue  # binary data
        header = header_for(path, text)
        if header:
            yield rel, path, text, header


def has_line(text: str) -> bool:
    return any(TAG in line for line in text.splitlines()[:2])


def in_file_style(text: str, header: str) -> str:
    # C written with block comments (the library's C contract headers) keeps to them.
    if header == SLASHES and text.lstrip().startswith("/*"):
        return f"/* {TAG} */\n"
    return header


def with_line(text: str, header: str) -> str:
    if text.startswith("#!"):
        first, _, rest = text.partition("\n")
        return first + "\n" + header + rest
    return header + text


def main() -> int:
    check = "--check" in sys.argv[1:]
    files = tracked()
    if files is None:
        print("not a git checkout")
        return 77
    missing = []
    for rel, path, text, header in candidates(files):
        if has_line(text):
            continue
        missing.append(rel)
        if not check:
            path.write_text(with_line(text, in_file_style(text, header)), encoding="utf-8")
    if check:
        for rel in missing:
            print(f"no SPDX line: {rel}")
        return 1 if missing else 0
    for rel in missing:
        print(f"added: {rel}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
