#!/usr/bin/env python3
"""--check on every end-to-end job case and every bundled example.

Each job runs with its case options and --check in a fresh temporary copy of its input.
--check must create and change no file at all (korvanel.adv included) and end as the run
ends: exit status 1 with the run's very console when the run stops, exit status 0 and the
report "The job would run" otherwise. The stops that only the half-cycle analysis and the
elasto-plastic correction can find (a damage that is not a number, Runtime Error Codes 024,
102, 109 and 409, stresses too large for the correction) are the exception: --check cannot
see them, exits 0 and says so.

Usage: check_mode.py <korvanel-binary> <jobs-dir> <examples-dir>
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

CLOCK = re.compile(rb"^(Runtime (?:begin|end) *)\d\d:\d\d:\d\d", re.M)
ANALYSIS_ONLY = (b"Error: the damage is not a number", b"Runtime Error Code 024",
                 b"Runtime Error Code 102", b"Runtime Error Code 109", b"Runtime Error Code 409",
                 b"The stresses are too large for the elasto-plastic correction")
REPORT_END = (b"The job would run. Not checked: the stops that only the half-cycle analysis and "
              b"the elasto-plastic correction can find")


def files_under(root):
    out = {}
    for folder, _, names in os.walk(root):
        for name in names:
            full = os.path.join(folder, name)
            with open(full, "rb") as f:
                out[os.path.relpath(full, root)] = f.read()
    return out


def read(path):
    with open(path, "rb") as f:
        return f.read()


def check(binary, input_dir, options, run_status, run_console):
    problems = []
    with tempfile.TemporaryDirectory(prefix="korvanel-check-") as work:
        shutil.copytree(input_dir, work, dirs_exist_ok=True)
        before = files_under(work)
        proc = subprocess.run([binary, *options, "--check"], cwd=work, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=600)
        after = files_under(work)
    if after != before:
        changed = sorted(k for k in set(after) | set(before) if after.get(k) != before.get(k))
        problems.append("files created or changed: %s" % changed)
    console = CLOCK.sub(rb"\1hh:mm:ss", proc.stdout)
    stops_in_analysis = run_status == 1 and any(m in run_console for m in ANALYSIS_ONLY)
    if run_status == 1 and not stops_in_analysis:
        if proc.returncode != 1:
            problems.append("exit status %d, the run's is 1" % proc.returncode)
        if console != run_console:
            problems.append("console differs from the run's: %r" % console[-200:])
    else:
        if proc.returncode != 0:
            problems.append("exit status %d, expected 0: %r" % (proc.returncode, console[-200:]))
        banner = b"\r\n".join(run_console.split(b"\r\n")[:5]) + b"\r\n"
        if not console.startswith(banner) or REPORT_END not in console:
            problems.append("no report after the run's banner: %r" % console[-300:])
    return problems


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    binary, jobs, examples = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3]
    runs = []
    for name in sorted(os.listdir(jobs)):
        case = os.path.join(jobs, name)
        if not os.path.isdir(os.path.join(case, "input")):
            continue
        options = []
        if os.path.exists(os.path.join(case, "options")):
            options = [o.strip() for o in open(os.path.join(case, "options")) if o.strip()]
        status = int(read(os.path.join(case, "expected", "exit_status")).strip())
        console = CLOCK.sub(rb"\1hh:mm:ss", read(os.path.join(case, "expected", "console.txt")))
        runs.append((name, os.path.join(case, "input"), options, status, console))
    for name in sorted(os.listdir(examples)):
        folder = os.path.join(examples, name)
        if os.path.exists(os.path.join(folder, "korvanel.inp")):
            # A bundled example runs to its end; its banner is the run's.
            runs.append(("examples/" + name, folder, [], 0, None))
    failed = 0
    for name, folder, options, status, console in runs:
        if console is None:
            with tempfile.TemporaryDirectory(prefix="korvanel-example-") as work:
                shutil.copytree(folder, work, dirs_exist_ok=True)
                proc = subprocess.run([binary], cwd=work, stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE, timeout=600)
                status, console = proc.returncode, CLOCK.sub(rb"\1hh:mm:ss", proc.stdout)
        problems = check(binary, folder, options, status, console)
        if problems:
            failed += 1
            print("FAIL %s" % name)
            for p in problems:
                print("     " + p)
        else:
            print("ok   %s" % name)
    print("%d of %d jobs failed under --check" % (failed, len(runs)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
