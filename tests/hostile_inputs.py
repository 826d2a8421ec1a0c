#!/usr/bin/env python3
"""Hostile-input runs that the job-case runner cannot express: files generated at test time
(lines of many megabytes, a long elasto-plastic walk), files without read permission and a
job directory without write permission. Each run asserts its exact outcome: console text,
korvanel.adv, exit status and the files created.

Usage: hostile_inputs.py <korvanel-binary>
Permission checks are skipped when the tests run as root, where permissions do not stop
reads or writes (the job cases put a directory where a file should be instead).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_cases  # noqa: E402  (the parameter-file layout and the shared histories)

CLOCK = re.compile(rb"^(Runtime (?:begin|end) *)\d\d:\d\d:\d\d", re.M)
BANNER = (b"Runtime begin hh:mm:ss\r\nYou are running KORVANEL version v25.02\r\n \r\n"
          b"Executing KORVANEL version 25.02 ...\r\nName of input file :        job/j.inp\r\n")
MEGABYTES = 16


class Failure(Exception):
    pass


def files_under(root):
    out = {}
    for folder, _, names in os.walk(root):
        for name in names:
            full = os.path.join(folder, name)
            if not os.path.isfile(full):  # a named pipe would block the read
                continue
            with open(full, "rb") as f:
                out[os.path.relpath(full, root)] = f.read()
    return out


def run(binary, files, control=b"job\r\nj\r\n", prepare=None):
    """Runs the binary on a fresh job; returns (status, console, files created or changed)."""
    with tempfile.TemporaryDirectory(prefix="korvanel-hostile-") as work:
        if control is not None:
            files = dict(files, **{"korvanel.inp": control})
        for rel, data in files.items():
            path = os.path.join(work, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data if isinstance(data, bytes) else data.encode("latin-1"))
        before = files_under(work)
        if prepare:
            prepare(work)
        try:
            proc = subprocess.run([binary], cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  timeout=300)
            for folder, dirs, _ in os.walk(work):  # undo the permission changes before reading
                for d in dirs:
                    os.chmod(os.path.join(folder, d), 0o755)
            for rel in before:
                os.chmod(os.path.join(work, rel), 0o644)
            after = files_under(work)
        finally:
            for folder, dirs, names in os.walk(work):
                for n in dirs + names:
                    os.chmod(os.path.join(folder, n), 0o755)
        changed = {rel: data for rel, data in after.items() if before.get(rel) != data}
        return proc.returncode, CLOCK.sub(rb"\1hh:mm:ss", proc.stdout), changed


def expect_stop(name, outcome, lines, files=()):
    """A fatal stop after the banner and the parameter file line: console, advisory file,
    exit status 1, and exactly the files named created beside korvanel.adv."""
    status, console, changed = outcome
    text = b"".join(line + b"\r\n" for line in lines)
    if status != 1:
        raise Failure("%s: exit status %d, expected 1" % (name, status))
    if console != BANNER + text:
        raise Failure("%s: console %r, expected %r" % (name, console[-300:], (BANNER + text)[-300:]))
    if changed.get("korvanel.adv") != text:
        raise Failure("%s: korvanel.adv %r" % (name, changed.get("korvanel.adv", b"")[:200]))
    created = sorted(set(changed) - {"korvanel.adv"})
    if created != sorted(files):
        raise Failure("%s: files %s, expected %s" % (name, created, sorted(files)))


def expect_case_result(name, outcome, case):
    """The same console and files as the checked job case `case` under tests/jobs/."""
    status, console, changed = outcome
    expected = files_under(os.path.join(HERE, "jobs", case, "expected"))
    want_console = CLOCK.sub(rb"\1hh:mm:ss", expected.pop("console.txt"))
    want_status = int(expected.pop("exit_status").strip())
    if status != want_status:
        raise Failure("%s: exit status %d, expected %d" % (name, status, want_status))
    if console != want_console:
        raise Failure("%s: console differs from the case %s" % (name, case))
    if changed != expected:
        diff = sorted(k for k in set(changed) | set(expected) if changed.get(k) != expected.get(k))
        raise Failure("%s: files differ from the case %s: %s" % (name, case, diff))


def case_inputs(case):
    root = os.path.join(HERE, "jobs", case, "input")
    return files_under(root)


# --- Lines of many megabytes -----------------------------------------------------------------

def huge_comment_line(binary):
    """A parameter file whose first comment line is many megabytes long reads as usual."""
    files = case_inputs("f1-palmgren")
    files["job/j.inp"] = b"x" * (MEGABYTES << 20) + files["job/j.inp"]
    expect_case_result("huge comment line", run(binary, files, control=None), "f1-palmgren")


def huge_digit_string(binary):
    """One value of many megabytes of digits does not fit a double."""
    files = {"job/j.inp": make_cases.parameters(),
             "job/j.sig": b"0, 0, 0, 0, 0, 0\r\n" + b"7" * (MEGABYTES << 20) + b", 0, 0, 0, 0, 0\r\n"}
    expect_stop("huge digit string", run(binary, files),
                [b"Number out of range in the file job/j.sig"])


def huge_leading_zeros(binary):
    """Many megabytes of leading zeros still give the small number after them: the history is
    that of the case f1-uniaxial-rainflow."""
    files = case_inputs("f1-uniaxial-rainflow")
    files["job/j.sig"] = files["job/j.sig"].replace(b"50, 0,", b"0" * (MEGABYTES << 20) + b"50, 0,")
    expect_case_result("huge leading zeros", run(binary, files, control=None), "f1-uniaxial-rainflow")


def huge_single_line_history(binary):
    """A combination file of a million factors on one line: a million time points, all
    zero, so the first node's history is constant and the run stops with code 018."""
    files = {"job/j.inp": make_cases.parameters(format="2", counts="3, 2", output="20"),
             "job/j.nds": make_cases.NODES,
             "job/j.cmb": b"0, " * 1000000 + b"0"}
    expect_stop("huge single line", run(binary, files),
                [b"Runtime Error Code 018: please contact the KORVANEL support",
                 b"Sorry for the inconvenience"])


def no_line_end_at_all(binary):
    """A stress-history file of 50000 time points and no line end reads as one per six
    values (a pseudo-random history: every point is kept and many half-cycles do damage)."""
    x, points = 12345, []
    for _ in range(50000):
        x = (1103515245 * x + 12345) % 2147483648
        points.append("%d, 0, 0, %d, 0, 0" % (x % 201 - 100, (x >> 8) % 41 - 20))
    files = {"job/j.inp": make_cases.parameters(palmgren="12, -3, 0, 0"), "job/j.sig": ", ".join(points)}
    status, console, changed = run(binary, files)
    if status != 0 or b"End of KORVANEL" not in console:
        raise Failure("no line end: status %d, console %r" % (status, console[-300:]))
    if b"Total damage is equal to" not in changed["job/j.sum"]:
        raise Failure("no line end: no damage line in the .sum")


# --- The elasto-plastic walk -----------------------------------------------------------------

def long_linear_walk(binary):
    """Neuber Linear with stresses of twenty times the yield stress, about the largest that a
    linear-elastic analysis of a real part gives: the segments are about 49 yield stresses
    long, so a yielding segment takes 1 + floor(49.17 * 50) = 2459 sub-steps in the first
    attempt and up to 9835 should the correction restart with Sy/200; the run ends normally.
    (A segment of more than 1000 yield stresses stops the run instead: see the job case
    stop-correction-units.)"""
    rows = []
    for t in range(200):
        s = 200.0 if t % 2 else -200.0
        rows.append("%g, %g, 0, %g, 0, 0" % (s * (1 + 0.001 * t), -0.3 * s, 0.2 * s))
    files = {"job/j.inp": make_cases.parameters(ep="1", method="1", material="10, 210000, 20, 20",
                                                palmgren="12, -3, 0, 0", goodman="1, 3, 1e9"),
             "job/j.sig": make_cases.lines(*rows)}
    status, console, changed = run(binary, files)
    if status != 0 or b"End of KORVANEL" not in console:
        raise Failure("long walk: status %d, console %r" % (status, console[-300:]))
    if changed["job/j.sep"].count(b"\r\n") != 200:
        raise Failure("long walk: the .sep does not hold 200 corrected points")


def named_pipe_without_writer(binary):
    """A named pipe in place of the stress-history file, with no program writing to it, reads
    as an empty file instead of blocking the run."""
    files = {"job/j.inp": make_cases.parameters()}
    outcome = run(binary, files, prepare=lambda w: os.mkfifo(os.path.join(w, "job", "j.sig")))
    expect_stop("named pipe", outcome, [b"At least two values are needed in the stress-history"])


# --- Permissions -----------------------------------------------------------------------------

def unreadable_file(binary):
    files = {"job/j.inp": make_cases.parameters(), "job/j.sig": make_cases.HISTORY}
    outcome = run(binary, files, prepare=lambda w: os.chmod(os.path.join(w, "job", "j.sig"), 0))
    expect_stop("unreadable .sig", outcome, [b"Cannot open the input file job/j.sig"])


def unreadable_control_file(binary):
    files = {"job/j.inp": make_cases.parameters(), "job/j.sig": make_cases.HISTORY}
    outcome = run(binary, files, prepare=lambda w: os.chmod(os.path.join(w, "korvanel.inp"), 0))
    status, console, changed = outcome
    want = (b"Runtime begin hh:mm:ss\r\nYou are running KORVANEL version v25.02\r\n \r\n"
            b"Executing KORVANEL version 25.02 ...\r\nCannot open the input file korvanel.inp\r\n")
    if status != 1 or console != want or changed != {
            "korvanel.adv": b"Cannot open the input file korvanel.inp\r\n"}:
        raise Failure("unreadable korvanel.inp: status %d, console %r" % (status, console))


def unwritable_job_directory(binary):
    """Every output file of a job whose directory cannot be written is refused; the first one
    the run writes stops it."""
    jobs = [
        ("format 1: .cyc", {"job/j.inp": make_cases.parameters(), "job/j.sig": make_cases.HISTORY},
         "job/j.cyc"),
        ("format 2, missing node: .cyc",
         {"job/j.inp": make_cases.parameters(format="2", counts="3, 2", output="77"),
          "job/j.nds": make_cases.NODES, "job/j.cmb": make_cases.COMBINATION}, "job/j.cyc"),
        ("format 2 with correction: .sep",
         {"job/j.inp": make_cases.parameters(format="2", counts="3, 2", output="20", ep="1"),
          "job/j.nds": make_cases.NODES, "job/j.cmb": make_cases.COMBINATION}, "job/j.sep"),
        ("format 3, no output node: .cyc",
         {"job/j.inp": make_cases.parameters(format="3", counts="3, 2", output="77"),
          "job/j.nds": make_cases.NODES, "job/j.blc": make_cases.BLOCKS}, "job/j.cyc"),
    ]
    for name, files, first in jobs:
        outcome = run(binary, files, prepare=lambda w: os.chmod(os.path.join(w, "job"), 0o555))
        expect_stop("unwritable job directory, " + name, outcome,
                    [b"Cannot write the output file " + first.encode()])


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    binary = os.path.abspath(sys.argv[1])
    checks = [huge_comment_line, huge_digit_string, huge_leading_zeros, huge_single_line_history,
              no_line_end_at_all, long_linear_walk, named_pipe_without_writer]
    as_root = os.geteuid() == 0
    permission_checks = [unreadable_file, unreadable_control_file, unwritable_job_directory]
    passed = failed = skipped = 0
    for check in checks + permission_checks:
        if as_root and check in permission_checks:
            print("skip %s (running as root: permissions do not stop root)" % check.__name__)
            skipped += 1
            continue
        try:
            check(binary)
            print("ok   %s" % check.__name__)
            passed += 1
        except (Failure, subprocess.TimeoutExpired, KeyError) as e:
            print("FAIL %s: %s" % (check.__name__, e))
            failed += 1
    print("%d passed, %d failed, %d skipped" % (passed, failed, skipped))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
