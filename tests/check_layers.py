#!/usr/bin/env python3
"""Fails when a source file includes a header from a folder above its own.

The folders of src/ are layers, each using only those below it:
base < model < input, stress < fatigue < output < run < main.cpp.
input/ and stress/ share a level and do not include each other.
"""
import pathlib
import re
import sys

LEVEL = {"base": 0, "model": 1, "input": 2, "stress": 2, "fatigue": 3,
         "output": 4, "run": 5}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"', re.MULTILINE)


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                       pathlib.Path(__file__).resolve().parent.parent / "src")
    faults = []
    for path in sorted(src.rglob("*.[ch]pp")):
        folder = path.relative_to(src).parts[0]
        if folder not in LEVEL:
            continue  # main.cpp sits on top and may include anything
        for match in INCLUDE.finditer(path.read_text(encoding="utf-8")):
            target = match.group(1)
            if target not in LEVEL:
                faults.append(f"{path.relative_to(src)}: unknown folder {target}/")
            elif target != folder and LEVEL[target] >= LEVEL[folder]:
                faults.append(f"{path.relative_to(src)}: includes {match.group(0).split()[-1]}"
                              f" from a layer not below {folder}/")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layers")
        return 1
    print("layers: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
