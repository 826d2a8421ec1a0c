#!/usr/bin/env python3
"""Derives the expected/ directory of end-to-end job cases with the reference implementation.

For each case it runs tests/reference/korvanel_reference.py in a temporary copy of input/
and keeps every file the run created or changed, the console text and the exit status.
The reference knows the option --allow-unloaded-nodes; the expected files of cases run
with --check or --strict (texts of the program's own) are written and checked by hand and
left alone here. stderr.txt beside expected/ (standard error, the program's own) is not
touched.

Usage: make_expected.py [case-name ...]   (default: every case under tests/jobs/)
"""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
JOBS = os.path.join(HERE, "jobs")
REFERENCE = os.path.join(HERE, "reference", "korvanel_reference.py")


def tree(root):
    out = {}
    for folder, _, names in os.walk(root):
        for n in names:
            full = os.path.join(folder, n)
            with open(full, "rb") as f:
                out[os.path.relpath(full, root)] = f.read()
    return out


REFERENCE_OPTIONS = {"--allow-unloaded-nodes"}


def options_of(case):
    path = os.path.join(case, "options")
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [line.strip() for line in f if line.strip()]


def derive(name):
    case = os.path.join(JOBS, name)
    expected = os.path.join(case, "expected")
    options = options_of(case)
    if not set(options) <= REFERENCE_OPTIONS:
        print("%s: options %s, expected files kept as checked by hand" % (name, " ".join(options)))
        return
    shutil.rmtree(expected, ignore_errors=True)
    with tempfile.TemporaryDirectory() as work:
        shutil.copytree(os.path.join(case, "input"), work, dirs_exist_ok=True)
        before = tree(work)
        proc = subprocess.run([sys.executable, REFERENCE, *options], cwd=work,
                              stdout=subprocess.PIPE)
        after = tree(work)
        os.makedirs(expected)
        for rel, data in after.items():
            if before.get(rel) != data:
                path = os.path.join(expected, rel)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as f:
                    f.write(data)
        with open(os.path.join(expected, "console.txt"), "wb") as f:
            f.write(proc.stdout)
        with open(os.path.join(expected, "exit_status"), "w") as f:
            f.write("%d\n" % proc.returncode)


def main():
    names = sys.argv[1:] or sorted(n for n in os.listdir(JOBS) if os.path.isdir(os.path.join(JOBS, n, "input")))
    for n in names:
        derive(n)
    print("%d cases derived" % len(names))


if __name__ == "__main__":
    main()
