#!/usr/bin/env python3
"""Runs jobs on several MPI processes and compares them with the one-process run.

Usage: mpi_compare.py [--processes 1,2,3] [--seeds FIRST COUNT] [--parallel N]
                      <korvanel> <korvanel-mpi> [jobs-dir]

Every job case under jobs-dir (default tests/jobs; its input/ directory) and the random
jobs of tests/reference/generate_job.py for the seeds given run once with the one-process
binary and once under "mpirun -n R" with the MPI build for every R, each in a fresh copy.
Job cases run with their options file. Standard output (the two clock times masked),
standard error (less the notes mpirun adds between its lines of dashes when a process ends
with a non-zero status), the exit status and every file left in the working directory tree
must be the same byte for byte. The processes run one thread each
except every third job, which gives them two, so that slices and threads meet too.
Open MPI takes about two seconds to end a run whose processes end with a non-zero status,
so N jobs (default 3) run at once: the time goes to waiting, not to the cores.
"""
import argparse
import concurrent.futures
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from run_jobs import case_options, first_difference, mask_clock, read, tree  # noqa: E402

GENERATOR = os.path.join(HERE, "reference", "generate_job.py")
TIMEOUT = 300
MPIRUN_RULE = b"-" * 74


def without_mpirun_notes(stderr):
    """Standard error less mpirun's own notes, each framed by two lines of 74 dashes."""
    kept, inside = [], False
    for line in stderr.splitlines(keepends=True):
        if line.rstrip(b"\r\n") == MPIRUN_RULE:
            inside = not inside
        elif not inside:
            kept.append(line)
    return b"".join(kept)


def mpirun(processes):
    command = ["mpirun", "--oversubscribe", "-n", str(processes)]
    if os.geteuid() == 0:
        command.insert(1, "--allow-run-as-root")
    return command


def run(command, cwd):
    try:
        p = subprocess.run(command, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=TIMEOUT)
        return p.returncode, mask_clock(p.stdout), without_mpirun_notes(p.stderr)
    except subprocess.TimeoutExpired:
        return "timeout", b"", b""


def outcome(command, source, work):
    shutil.copytree(source, work)
    status, console, errors = run(command, work)
    # Each run has a working directory of its own, which a stop may name.
    errors = errors.replace(os.path.realpath(work).encode(), b"<working directory>")
    return status, console, {rel: read(path) for rel, path in tree(work).items()}, errors


def compare(name, source, options, single, multi, process_counts, threads):
    problems = []
    with tempfile.TemporaryDirectory(prefix="korvanel-mpi-") as tmp:
        arguments = ["--threads", str(threads), *options]
        want = outcome([single, *arguments], source, os.path.join(tmp, "one"))
        for processes in process_counts:
            got = outcome(mpirun(processes) + [multi, *arguments], source,
                          os.path.join(tmp, "n%d" % processes))
            where = "%s -n %d:" % (name, processes)
            if got[0] != want[0]:
                problems.append("%s exit status %s, one process %s" % (where, got[0], want[0]))
            if got[1] != want[1]:
                problems.append("%s console %s" % (where, first_difference(got[1], want[1])))
            if got[3] != want[3]:
                problems.append("%s standard error %s" % (where,
                                                          first_difference(got[3], want[3])))
            for rel in sorted(set(got[2]) | set(want[2])):
                if rel not in got[2]:
                    problems.append("%s %s missing" % (where, rel))
                elif rel not in want[2]:
                    problems.append("%s %s not written by one process" % (where, rel))
                elif got[2][rel] != want[2][rel]:
                    problems.append("%s %s: %s" % (where, rel,
                                                   first_difference(got[2][rel], want[2][rel])))
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--processes", default="1,2,3")
    parser.add_argument("--seeds", nargs=2, type=int, default=[1, 0], metavar=("FIRST", "COUNT"))
    parser.add_argument("--parallel", type=int, default=3)
    parser.add_argument("single")
    parser.add_argument("multi")
    parser.add_argument("jobs", nargs="?", default=os.path.join(HERE, "jobs"))
    args = parser.parse_args()
    process_counts = [int(n) for n in args.processes.split(",")]
    single, multi = os.path.abspath(args.single), os.path.abspath(args.multi)

    failed = total = 0
    with tempfile.TemporaryDirectory(prefix="korvanel-seeds-") as seeds_dir:
        jobs = [(n, os.path.join(args.jobs, n, "input"), case_options(os.path.join(args.jobs, n)))
                for n in sorted(os.listdir(args.jobs))
                if os.path.isdir(os.path.join(args.jobs, n, "input"))]
        first, count = args.seeds
        for seed in range(first, first + count):
            path = os.path.join(seeds_dir, "seed-%d" % seed)
            subprocess.run([sys.executable, GENERATOR, str(seed), path], check=True,
                           stdout=subprocess.DEVNULL)
            jobs.append(("seed-%d" % seed, path, []))
        with concurrent.futures.ThreadPoolExecutor(args.parallel) as pool:
            results = pool.map(
                lambda job: compare(*job[1], single, multi, process_counts,
                                    2 if job[0] % 3 == 2 else 1), enumerate(jobs))
        for (name, _, _), problems in zip(jobs, results):
            total += 1
            if problems:
                failed += 1
                print("FAIL %s" % name)
                for p in problems[:10]:
                    print("     " + p)
    print("%d of %d jobs differ under mpirun -n %s" % (failed, total, args.processes))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
