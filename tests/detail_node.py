#!/usr/bin/env python3
"""--detail-node on every end-to-end case of formats 2 and 3 that ends normally.

With `--detail-node worst` the run must write, for the most damaged node, the detail files
(.cyc, .cif, .sep) that a run whose parameter file names that node as complete-output node
writes, byte for byte; `--detail-node ID` the same for the node ID. Every other file the run
writes, and the console but for its one line on the detail node, must be those of the case.

With --mpi, the MPI build runs each case with --detail-node worst under mpirun -n 2 too, and
must write the very files and console of the one-process run.

Usage: detail_node.py [--mpi <korvanel-mpi>] <korvanel-binary> <jobs-dir>
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools", "report"))
from korvanel_report.parameters import read_parameters  # noqa: E402
from korvanel_report.value_reading import NumberOutOfRange  # noqa: E402

DETAIL = (".cyc", ".cif", ".sep")
CLOCK = re.compile(rb"^(Runtime (?:begin|end) *)\d\d:\d\d:\d\d", re.M)
RECORD_12_LINE = 26  # 0-based: records 1 to 11 take 25 lines, record 12 one comment line
DETAIL_LINE = re.compile(rb"^Detail files .*\r\n", re.M)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def job_of(work):
    directory, name = read(os.path.join(work, "korvanel.inp")).decode("latin-1").split()[:2]
    return os.path.join(work, directory.strip(","), name.strip(","))


def run(binary, case_dir, options, record_12=None):
    """Runs the case in a temporary copy; returns (status, console, {extension: bytes}).
    `binary` is a list for a command before the program (mpirun)."""
    with tempfile.TemporaryDirectory(prefix="korvanel-detail-") as work:
        shutil.copytree(os.path.join(case_dir, "input"), work, dirs_exist_ok=True)
        base = job_of(work)
        if record_12 is not None:
            with open(base + ".inp", "rb") as f:
                lines = f.read().split(b"\n")
            lines[RECORD_12_LINE] = str(record_12).encode() + (
                b"\r" if lines[RECORD_12_LINE].endswith(b"\r") else b"")
            with open(base + ".inp", "wb") as f:
                f.write(b"\n".join(lines))
        command = binary if isinstance(binary, list) else [binary]
        proc = subprocess.run([*command, *options], cwd=work, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=600)
        files = {ext: read(base + ext) for ext in (".ndd", ".ans", ".sum") + DETAIL
                 if os.path.isfile(base + ext)}
        return proc.returncode, CLOCK.sub(rb"\1", proc.stdout), files


def case_options(case_dir):
    path = os.path.join(case_dir, "options")
    return read(path).decode().split() if os.path.exists(path) else []


def worst_node(console):
    m = re.search(rb"Max damage is at node +(-?\d+)", console)
    return int(m.group(1)) if m else None


def check_case(binary, case_dir, mpi=None):
    problems = []
    options = [o for o in case_options(case_dir) if o != "--check"]
    status, console, files = run(binary, case_dir, options)
    worst = worst_node(console)
    if status != 0 or worst is None or files.get(".ndd", b"").count(b"\n") < 2:
        return None  # a stop, or no node to be the worst
    for choice in ("worst", str(worst)):
        got_status, got_console, got = run(binary, case_dir, options + ["--detail-node", choice])
        _, named_console, named = run(binary, case_dir, options, record_12=worst)
        if got_status != 0:
            problems.append("--detail-node %s: exit status %d" % (choice, got_status))
            continue
        for ext in DETAIL:
            if got.get(ext) != named.get(ext):
                problems.append("--detail-node %s: %s differs from the run whose parameter file "
                                "names node %d" % (choice, ext, worst))
        for ext in (".ndd", ".ans"):
            if got.get(ext) != files.get(ext):
                problems.append("--detail-node %s: %s differs from the case's" % (choice, ext))
        # The summary: that of the run naming the node, with one line that says so.
        for ext, text, want in ((".sum", got.get(".sum", b""), named.get(".sum", b"")),
                                ("console", got_console, named_console)):
            line = b"Detail files (.cyc, .sep) of node %d" % worst
            if DETAIL_LINE.sub(b"", text) != want or line not in text:
                problems.append("--detail-node %s: the %s is not that of the run naming the "
                                "node with one line on the detail node" % (choice, ext))
    if mpi is not None:
        single = run(binary, case_dir, options + ["--detail-node", "worst"])
        mpirun = ["mpirun", "--oversubscribe", "-n", "2"]
        if os.geteuid() == 0:
            mpirun.insert(1, "--allow-run-as-root")
        multi = run(mpirun + [mpi], case_dir,
                    options + ["--threads", "1", "--detail-node", "worst"])
        if multi != single:
            problems.append("--detail-node worst under mpirun -n 2: not the one-process run")
    return problems


def main():
    args = sys.argv[1:]
    mpi = None
    if args[0] == "--mpi":
        mpi = os.path.abspath(args[1])
        args = args[2:]
    binary = os.path.abspath(args[0])
    jobs = args[1]
    problems, checked = [], 0
    for name in sorted(os.listdir(jobs)):
        case_dir = os.path.join(jobs, name)
        inp = [os.path.join(root, f) for root, _, names in os.walk(os.path.join(case_dir, "input"))
               for f in names if f.endswith(".inp") and f != "korvanel.inp"]
        if len(inp) != 1:
            continue
        try:
            p = read_parameters(read(inp[0]))
        except NumberOutOfRange:
            continue  # the run stops on it
        if p.stressInputFormat not in (2, 3):
            continue
        found = check_case(binary, case_dir, mpi)
        if found is None:
            continue
        checked += 1
        print(("FAIL " if found else "ok   ") + name)
        problems += ["%s: %s" % (name, p) for p in found]
    for p in problems:
        print("FAIL " + p)
    print("%d problems in %d cases of formats 2 and 3" % (len(problems), checked))
    return 1 if problems or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
