#!/usr/bin/env python3
"""Runs every end-to-end job under a directory and compares the results.

A job case is a directory holding
  input/          the working directory before the run (korvanel.inp and the job files)
  expected/       every file the run creates or changes, by its path below the working
                  directory, plus console.txt (standard output) and exit_status
  stderr.txt      (optional, beside them) standard error of the run: warnings, stop
                  details, the reason of a failed write; without it, standard error must
                  be empty. Standard error is the program's own, so it is not derived by
                  the reference with expected/.
  options         (optional) the command-line options of the run, one per line
Each case runs the real binary, with the case's options, in a fresh temporary copy of input/.
Every created or changed file must equal its expected file byte for byte; no other file
may appear or change. Standard error must equal stderr.txt, or be empty without one; the
temporary working directory appears there as <working directory>. The two clock times on the
console are masked.

Usage: run_jobs.py [--threads N] <korvanel-binary> <jobs-dir> [case-name ...]
With --threads the binary runs with "--threads N": every result must be the same.
With KORVANEL_SIMD set (a forced vector form) the runs inherit it; when the binary refuses
the form (the processor lacks it) the script exits with 77, which ctest counts as skipped.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

CLOCK = re.compile(rb"^(Runtime (?:begin|end) *)\d\d:\d\d:\d\d", re.M)
SPECIAL = {"console.txt", "exit_status"}


def mask_clock(data):
    return CLOCK.sub(rb"\1hh:mm:ss", data)


def tree(root):
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            full = os.path.join(folder, name)
            files[os.path.relpath(full, root)] = full
    return files


def read(path):
    with open(path, "rb") as f:
        return f.read()


def first_difference(actual, expected):
    a_lines, e_lines = actual.split(b"\n"), expected.split(b"\n")
    for i, (a, e) in enumerate(zip(a_lines, e_lines)):
        if a != e:
            return "line %d: got %r, expected %r" % (i + 1, a, e)
    return "lengths differ: got %d lines, expected %d" % (len(a_lines), len(e_lines))


def case_options(case_dir):
    path = os.path.join(case_dir, "options")
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [line.strip() for line in f if line.strip()]


def run_case(binary, case_dir, extra_args=()):
    problems = []
    with tempfile.TemporaryDirectory(prefix="korvanel-e2e-") as work:
        shutil.copytree(os.path.join(case_dir, "input"), work, dirs_exist_ok=True)
        before = {rel: read(path) for rel, path in tree(work).items()}
        proc = subprocess.run([binary, *case_options(case_dir), *extra_args], cwd=work,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
        expected_dir = os.path.join(case_dir, "expected")
        expected = tree(expected_dir)

        status = read(expected["exit_status"]).strip().decode()
        if str(proc.returncode) != status:
            problems.append("exit status %d, expected %s" % (proc.returncode, status))
        stderr_path = os.path.join(case_dir, "stderr.txt")
        want_stderr = read(stderr_path) if os.path.exists(stderr_path) else b""
        # The working directory is a new temporary one each time; stderr.txt names it so.
        stderr = proc.stderr.replace(os.path.realpath(work).encode(), b"<working directory>")
        if stderr != want_stderr:
            if want_stderr:
                problems.append("standard error: " + first_difference(stderr, want_stderr))
            else:
                problems.append("standard error: expected nothing, got %r" % stderr[:200])
        console = mask_clock(proc.stdout)
        want = mask_clock(read(expected["console.txt"]))
        if console != want:
            problems.append("console: " + first_difference(console, want))

        after = tree(work)
        for rel, path in sorted(after.items()):
            if rel in expected and rel not in SPECIAL:
                got, want = read(path), read(expected[rel])
                if got != want:
                    problems.append("%s: %s" % (rel, first_difference(got, want)))
            elif rel not in before:
                problems.append("%s: created but not expected" % rel)
            elif read(path) != before[rel]:
                problems.append("%s: changed but not expected" % rel)
        for rel in sorted(set(expected) - set(after) - SPECIAL):
            problems.append("%s: expected but not created" % rel)
    return problems


SKIPPED = 77  # the exit status ctest counts as a skipped test


def main():
    args = sys.argv[1:]
    extra = []
    if len(args) >= 2 and args[0] == "--threads":
        extra = ["--threads", args[1]]
        args = args[2:]
    if len(args) < 2:
        print(__doc__)
        return 2
    binary = os.path.abspath(args[0])
    jobs = args[1]
    if os.environ.get("KORVANEL_SIMD"):
        # A vector form this processor cannot run is refused at start-up.
        probe = subprocess.run([binary, "--version"], capture_output=True, text=True)
        if probe.returncode != 0:
            print("skipped: " + probe.stderr.strip())
            return SKIPPED
    names = args[2:] or sorted(
        n for n in os.listdir(jobs) if os.path.isdir(os.path.join(jobs, n, "input")))
    failed = 0
    for name in names:
        problems = run_case(binary, os.path.join(jobs, name), extra)
        if problems:
            failed += 1
            print("FAIL %s" % name)
            for p in problems[:10]:
                print("     " + p)
        else:
            print("ok   %s" % name)
    print("%d of %d job cases failed" % (failed, len(names)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
