#!/usr/bin/env python3
"""Differential test: korvanel binary against the Python reference.

    python3 compare.py <path-to-korvanel-binary> <first-seed> <count> [--keep DIR]
                       [--history KIND] [--limits] [--option OPTION ...]

For every seed a random job is generated (generate_job.py), copied into two
fresh directories, and run there by the binary and by the reference (working
directory = the job's working directory, no arguments).  Compared byte for
byte: standard output (the two clock times masked), exit status, and every
file left in the directory tree, korvanel.adv included.  One line per
mismatch, a summary at the end; exit status 1 on any mismatch.  With --keep
the generated job of every failing seed is copied into DIR/seed-N. With
--history every job has a history of that shape (see generate_job.py); with
--limits every job is of format 2 with many nodes near the fatigue limit and
SmMAX; --option passes a command-line option to the binary.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.path.join(HERE, "korvanel_reference.py")
GENERATOR = os.path.join(HERE, "generate_job.py")
TIMEOUT = 300

_CLOCK = re.compile(rb"^(Runtime begin {1}|Runtime end {3})(.{8})", re.M)


def mask_clock(out):
    return _CLOCK.sub(lambda m: m.group(1) + b"HH:MM:SS", out)


def run(cmd, cwd):
    try:
        p = subprocess.run(cmd, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=TIMEOUT)
        return p.returncode, p.stdout, p.stderr
    except subprocess.TimeoutExpired:
        return "timeout", b"", b""


def tree(root):
    files = {}
    for d, _dirs, names in os.walk(root):
        for name in names:
            full = os.path.join(d, name)
            with open(full, "rb") as f:
                files[os.path.relpath(full, root)] = f.read()
    return files


def first_difference(a, b):
    la = a.split(b"\n")
    lb = b.split(b"\n")
    for i in range(max(len(la), len(lb))):
        x = la[i] if i < len(la) else b"<missing>"
        y = lb[i] if i < len(lb) else b"<missing>"
        if x != y:
            return i + 1, x.rstrip(b"\r"), y.rstrip(b"\r")
    return 0, b"", b""


def compare_seed(binary, seed, keep, history=None, limits=False, options=()):
    problems = []
    with tempfile.TemporaryDirectory(prefix="korvanel-cmp-") as tmp:
        gen = os.path.join(tmp, "gen")
        shape = (["--history", history] if history else []) + (["--limits"] if limits else [])
        g = subprocess.run([sys.executable, GENERATOR, str(seed), gen] + shape,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if g.returncode != 0:
            return [("generator", g.stdout.decode("latin-1", "replace").strip()[-300:])]
        bdir = os.path.join(tmp, "bin")
        rdir = os.path.join(tmp, "ref")
        shutil.copytree(gen, bdir)
        shutil.copytree(gen, rdir)
        bst, bout, berr = run([os.path.abspath(binary)] + list(options), bdir)
        rst, rout, rerr = run([sys.executable, REFERENCE], rdir)
        if rerr:
            problems.append(("reference stderr", rerr.decode("latin-1", "replace").strip()[-300:]))
        if bst != rst:
            problems.append(("exit status", "binary %s, reference %s" % (bst, rst)))
        bm, rm = mask_clock(bout), mask_clock(rout)
        if bm != rm:
            ln, x, y = first_difference(bm, rm)
            problems.append(("stdout", "line %d: binary %r / reference %r" % (ln, x, y)))
        bt, rt = tree(bdir), tree(rdir)
        for name in sorted(set(bt) | set(rt)):
            if name not in bt:
                problems.append((name, "missing in the binary's run"))
            elif name not in rt:
                problems.append((name, "missing in the reference's run"))
            elif bt[name] != rt[name]:
                ln, x, y = first_difference(bt[name], rt[name])
                problems.append((name, "line %d: binary %r / reference %r" % (ln, x, y)))
        if problems and keep:
            dest = os.path.join(keep, "seed-%d" % seed)
            if os.path.exists(dest):
                shutil.rmtree(dest)
            shutil.copytree(gen, dest)
    return problems


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("binary")
    ap.add_argument("first_seed", type=int)
    ap.add_argument("count", type=int)
    ap.add_argument("--keep", metavar="DIR", help="copy the jobs of failing seeds here")
    ap.add_argument("--history", choices=["repeated", "constant", "ties"],
                    help="give every job a history of this shape")
    ap.add_argument("--limits", action="store_true",
                    help="format 2 jobs with many nodes near the fatigue limit and SmMAX")
    ap.add_argument("--option", action="append", default=[], metavar="OPTION",
                    help="give the binary this command-line option (repeatable)")
    args = ap.parse_args()
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)
    failed = 0
    for seed in range(args.first_seed, args.first_seed + args.count):
        problems = compare_seed(args.binary, seed, args.keep, args.history, args.limits,
                                args.option)
        if problems:
            failed += 1
            for what, detail in problems:
                print("seed %d: %s: %s" % (seed, what, detail))
            sys.stdout.flush()
    passed = args.count - failed
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
