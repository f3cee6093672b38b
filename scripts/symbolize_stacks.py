#!/usr/bin/env python3
"""Copies the test output from standard input to standard output, line by line, naming the function
and source line after every stack frame of our own modules that a hang report prints (winedbg shows
only "in module (+offset)", since it reads no DWARF). Usage: symbolize_stacks.py BIN_FOLDER"""
import functools
import os
import re
import subprocess
import sys

FRAME = re.compile(r" in ([A-Za-z0-9_]+) \(\+0x([0-9a-fA-F]+)\)")
TOOLS = "x86_64-w64-mingw32-"


def module_files(bin_folder):
    """Lower-case module name -> the file holding its debug information."""
    found = {}
    for folder, _, names in os.walk(bin_folder):
        for name in names:
            stem, ext = os.path.splitext(name)
            if ext.lower() in (".exe", ".dll"):
                path = os.path.join(folder, name)
                found.setdefault(stem.lower(), path + ".debug" if os.path.exists(path + ".debug") else path)
    return found


@functools.lru_cache(maxsize=None)
def image_base(path):
    try:
        header = subprocess.run([TOOLS + "objdump", "-p", path], capture_output=True, text=True, timeout=30).stdout
    except (OSError, subprocess.SubprocessError):
        return None
    match = re.search(r"^ImageBase\s+([0-9a-fA-F]+)", header, re.M)
    return int(match.group(1), 16) if match else None


def where(path, address):
    try:
        out = subprocess.run([TOOLS + "addr2line", "-f", "-C", "-e", path, hex(address)],
                             capture_output=True, text=True, timeout=30).stdout.split("\n")
    except (OSError, subprocess.SubprocessError):
        return None
    if len(out) < 2 or out[0] == "??":
        return None
    return out[0] + " " + out[1]


def main():
    bin_folder = sys.argv[1] if len(sys.argv) > 1 else "."
    modules = None
    for line in sys.stdin:
        match = FRAME.search(line)
        if match:
            if modules is None:
                modules = module_files(bin_folder)
            path = modules.get(match.group(1).lower())
            base = image_base(path) if path else None
            # Below the top frame the address is a return address: the call is the byte before it.
            address = int(match.group(2), 16) - (0 if line.lstrip().startswith("=>") else 1)
            place = where(path, base + address) if base is not None else None
            if place:
                line = line.rstrip("\n") + "  <- " + place + "\n"
        sys.stdout.write(line)
        sys.stdout.flush()


if __name__ == "__main__":
    main()
