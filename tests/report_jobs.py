#!/usr/bin/python3
"""Runs korvanel-report on end-to-end job cases and checks the page it writes.

Each case's working directory is laid out as after its run: input/ then expected/ (the
files the run wrote; input files older than the run's files). The report must end with
status 0 and nothing on standard error, write <name>-report.html beside the job's files with
every figure embedded as a PNG and also written beside it, show the advisory message of a
stopped job, name every missing file, and list in its top-nodes table exactly the .ndd's
largest rows (largest damage first, ties in node order).

Usage: report_jobs.py <korvanel-report> <jobs-dir>
"""
import base64
import contextlib
import html
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

# (case, files removed after the run, what the page must also hold)
CASES = [
    ("f1-palmgren", [], ["cycles", "damage-share", "sn-curve", "load-history"]),
    ("f1-neuber-nonlinear", [], ["path", "sn-curve", "elastic-path", "kept after compaction"]),
    ("f1-weibull-goodman3", [], ["sn-curve", "Weibull"]),
    ("f1-no-damage", [], ["No half-cycle does damage"]),
    ("f1-static-failure", [], ["static failure"]),
    ("f1-one-line-control", [], ["korvanel.adv is older than"]),
    ("f2-basic", [], ["node-damage", "node-life", "sn-curve", "Load-case factors"]),
    ("f2-many-nodes", [], ["The 20 most damaged nodes"]),
    ("f2-neuber-nonlinear", [], ["path", "elastic-path", "Elastic and corrected path of node"]),
    ("f2-static-both", [], ["Static failures of both type 1 and 2 occurred at node"]),
    ("f2-missing-output-node", [], ["looks not existing"]),
    ("f2-materials", [], ["draws the S-N curve of a single-material job only"]),
    ("f3-sum", [], ["block-damage", "sn-curve", "Load history (job/j.blc)"]),
    ("f3-huge-cycles", [], ["block-damage"]),
    ("f3-many-nodes", [], ["The 20 most damaged nodes"]),
    ("f3-no-groups", [], ["block-damage"]),
    ("stop-format", [], []),
    ("stop-missing-parameters", [], ["Missing: the parameter file job/j.inp"]),
    ("stop-unloaded-node", [], []),
    ("f2-basic", ["job/j.ans", "job/j.cyc"], ["Missing: job/j.ans", "Missing: job/j.cyc"]),
    ("f1-neuber-linear", ["job/j.sum"], ["Missing: job/j.sum"]),
]
IMAGE = re.compile(r'<img src="data:image/png;base64,([^"]*)"[^>]*><figcaption>.*?'
                   r'<a href="([^"]*)">', re.S)
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def lay_out(case_dir, work, removed):
    """The working directory after the run, input files older than the run's files."""
    now = time.time()
    for part, stamp in (("input", now - 60), ("expected", now - 30)):
        root = os.path.join(case_dir, part)
        for folder, _, names in os.walk(root):
            for name in names:
                rel = os.path.relpath(os.path.join(folder, name), root)
                if part == "expected" and rel in ("console.txt", "exit_status"):
                    continue
                target = os.path.join(work, rel)
                os.makedirs(os.path.dirname(target), exist_ok=True)
                shutil.copyfile(os.path.join(folder, name), target)
                os.utime(target, (stamp, stamp))
    for rel in removed:
        os.remove(os.path.join(work, rel))


def largest_rows(ndd_path, count=20):
    with open(ndd_path, "rb") as f:
        rows = [line.split() for line in f.read().decode().splitlines()[1:] if line.strip()]
    order = sorted(range(len(rows)), key=lambda i: -float(rows[i][1]))  # stable
    return [rows[i] for i in order[:count]]


def table_rows(page):
    found = re.search(r'<table class="top-nodes" id="top-nodes">(.*?)</table>', page, re.S)
    if not found:
        return None
    rows = re.findall(r"<tr>(.*?)</tr>", found.group(1), re.S)[1:]
    return [[html.unescape(c) for c in re.findall(r"<td[^>]*>(.*?)</td>", row, re.S)]
            for row in rows]


def check_page(work, case_dir, wanted):
    problems = []
    job = [n for n in os.listdir(os.path.join(work, "job"))] if os.path.isdir(
        os.path.join(work, "job")) else []
    page_path = os.path.join(work, "job", "j-report.html")
    if not os.path.isfile(page_path):
        return ["no page j-report.html beside the job files"]
    with open(page_path, encoding="utf-8") as f:
        page = f.read()
    figures = IMAGE.findall(page)
    for data, file_name in figures:
        png = base64.b64decode(data)
        if not png.startswith(PNG_SIGNATURE):
            problems.append("%s: the embedded figure is not a PNG" % file_name)
        beside = os.path.join(work, "job", file_name)
        if not os.path.isfile(beside):
            problems.append("%s: not written beside the page" % file_name)
        else:
            with open(beside, "rb") as f:
                if f.read() != png:
                    problems.append("%s: differs from the embedded figure" % file_name)
    written = set(n for n in os.listdir(os.path.join(work, "job")) if n.endswith(".png"))
    if written != set(name for _, name in figures):
        problems.append("PNG files %s, page figures %s" % (
            sorted(written), sorted(name for _, name in figures)))
    for text in wanted:
        if html.escape(text) not in page and "j-report-%s.png" % text not in page:
            problems.append("the page lacks %r" % text)

    adv = os.path.join(case_dir, "expected", "korvanel.adv")
    if os.path.isfile(adv) and "j.sum" not in job:
        found = re.search(r'<div class="stop">(.*?)</div></div>', page, re.S)
        with open(adv, encoding="utf-8") as f:
            message = [line for line in f.read().splitlines() if line]
        if not found or any(html.escape(line) not in found.group(1) for line in message):
            problems.append("the stop box does not show the advisory message %r" % message)

    ndd = os.path.join(work, "job", "j.ndd")
    if os.path.isfile(ndd):
        expected = largest_rows(ndd)
        shown = table_rows(page)
        if shown is None:
            problems.append("no top-nodes table")
        else:
            got = [[row[1], row[3], row[4], row[5]] for row in shown]
            if got != expected:
                problems.append("top-nodes table %r, the .ndd's largest rows %r"
                                % (got[:3], expected[:3]))
            if [row[0] for row in shown] != [str(i) for i in range(1, len(shown) + 1)]:
                problems.append("the ranks do not count from 1")
    return problems


def run_in_process(main, work):
    out, err = io.StringIO(), io.StringIO()
    with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
        try:
            status = main([work])
        except SystemExit as e:
            status = e.code
        except Exception as e:  # a stack trace is a failure of the report
            return ["raised %s: %s" % (type(e).__name__, e)]
    problems = []
    if status != 0:
        problems.append("exit status %r" % status)
    if err.getvalue():
        problems.append("standard error: %r" % err.getvalue()[:300])
    return problems


def command_line_checks(report, jobs):
    """The installed command itself: a job by its korvanel.inp, and a folder that is no job."""
    problems = []
    with tempfile.TemporaryDirectory(prefix="korvanel-report-") as work:
        lay_out(os.path.join(jobs, "f2-basic"), work, [])
        proc = subprocess.run([sys.executable, report, os.path.join(work, "korvanel.inp")],
                              capture_output=True, timeout=300)
        page = os.path.join(work, "job", "j-report.html").encode()
        if proc.returncode != 0 or proc.stderr or proc.stdout != page + b"\r\n":
            problems.append("korvanel-report korvanel.inp: status %d, out %r, err %r"
                            % (proc.returncode, proc.stdout, proc.stderr[-300:]))
        os.mkdir(os.path.join(work, "empty"))
        proc = subprocess.run([sys.executable, report, os.path.join(work, "empty")],
                              capture_output=True, timeout=300)
        if proc.returncode != 2 or b"Traceback" in proc.stderr or \
                proc.stderr.count(b"\r\n") != 1:
            problems.append("a folder that is no job: status %d, err %r"
                            % (proc.returncode, proc.stderr[-300:]))
    return problems


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    report, jobs = os.path.abspath(sys.argv[1]), sys.argv[2]
    sys.path.insert(0, os.path.dirname(report))
    from korvanel_report.main import main as report_main

    failed = 0
    for name, removed, wanted in CASES:
        with tempfile.TemporaryDirectory(prefix="korvanel-report-") as work:
            case_dir = os.path.join(jobs, name)
            lay_out(case_dir, work, removed)
            problems = run_in_process(report_main, work)
            if not problems:
                problems = check_page(work, case_dir, wanted)
        label = name + (" without " + ", ".join(removed) if removed else "")
        print(("FAIL %s" if problems else "ok   %s") % label)
        for p in problems:
            print("     " + p)
        failed += bool(problems)
    problems = command_line_checks(report, jobs)
    print(("FAIL %s" if problems else "ok   %s") % "command line")
    for p in problems:
        print("     " + p)
    failed += bool(problems)
    total = len(CASES) + 1
    print("%d passed, %d failed" % (total - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
