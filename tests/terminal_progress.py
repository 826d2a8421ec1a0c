#!/usr/bin/env python3
"""The progress display: a job of 5,000 nodes runs once with standard error on a pipe and once
on a terminal (a pseudo-terminal). Standard output and every file must be the same; the pipe
gets nothing; the terminal gets nothing but progress lines ("\\rkorvanel: node N of 5000, ...")
and, when any was shown, the clearing of the line at the end. Whether a line is shown at all
depends on how long the run takes, so that is reported, not asserted.

Usage: terminal_progress.py <korvanel-binary>
"""
import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(os.path.dirname(HERE), "bench", "generate_bench_job.py")
NODES = 5000
CLOCK = re.compile(rb"^(Runtime (?:begin|end) *)\d\d:\d\d:\d\d", re.M)
PROGRESS = re.compile(rb"(\rkorvanel: node \d+ of %d, \d+:\d\d:\d\d elapsed, "
                      rb"\d+:\d\d:\d\d remaining   )+\r {79}\r" % NODES)


def outputs(work):
    found = {}
    for name in sorted(os.listdir(os.path.join(work, "job"))):
        with open(os.path.join(work, "job", name), "rb") as f:
            found[name] = f.read()
    return found


def run_on_pipe(binary, work):
    proc = subprocess.run([binary, "--threads", "1"], cwd=work, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
    return proc.returncode, proc.stdout, proc.stderr


def run_on_terminal(binary, work):
    master, slave = pty.openpty()
    proc = subprocess.Popen([binary, "--threads", "1"], cwd=work, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=slave)
    os.close(slave)
    shown = b""
    while True:
        try:
            data = os.read(master, 65536)
        except OSError:  # the terminal is gone with the program
            break
        if not data:
            break
        shown += data
    os.close(master)
    stdout = proc.stdout.read()
    proc.wait(timeout=600)
    return proc.returncode, stdout, shown


def main():
    binary = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix="korvanel-progress-") as root:
        pipe_dir, terminal_dir = os.path.join(root, "pipe"), os.path.join(root, "terminal")
        subprocess.run([sys.executable, GENERATOR, "F2", pipe_dir, "--nodes", str(NODES)],
                       check=True)
        shutil.copytree(pipe_dir, terminal_dir)
        status, stdout, stderr = run_on_pipe(binary, pipe_dir)
        t_status, t_stdout, shown = run_on_terminal(binary, terminal_dir)
        problems = []
        if status != 0 or t_status != 0:
            problems.append("exit status %d and %d, expected 0" % (status, t_status))
        if stderr:
            problems.append("standard error on a pipe got %r" % stderr[:200])
        if CLOCK.sub(rb"\1", stdout) != CLOCK.sub(rb"\1", t_stdout):
            problems.append("standard output differs when standard error is a terminal")
        if outputs(pipe_dir) != outputs(terminal_dir):
            problems.append("output files differ when standard error is a terminal")
        if shown and not PROGRESS.fullmatch(shown):
            problems.append("the terminal got more than progress lines: %r" % shown[:300])
    for problem in problems:
        print("FAIL", problem)
    print("progress lines shown: %s" % ("yes" if shown else "no (the run was too short)"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
