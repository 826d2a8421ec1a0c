#!/usr/bin/python3
"""Times korvanel-report on a large job: 100,000 nodes in the .ndd and .ans, 10,000
half-cycles in the .cyc and 10,000 points in the .sep (format 2, correction on).

Usage: report_bench.py [--repeat N] [--nodes N] [--cycles N] [--keep DIR]
The result files are written in the layouts the program writes (seeded, deterministic); the
table gives the best wall time of N runs of the report, and the time to read the files alone.
"""
import argparse
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
REPORT = os.path.join(ROOT, "tools", "report", "korvanel-report")
sys.path.insert(0, os.path.join(ROOT, "tools", "report"))
sys.path.insert(0, HERE)

from generate_bench_job import PARAMS  # noqa: E402


def formatted(x):
    return "%.6e" % x


def zone(items):
    """Items in print zones of 14 columns, as the program writes its result lines."""
    line = ""
    for item in items[:-1]:
        line += item
        line += " " * (14 * ((len(line) + 14) // 14) - len(line))
    return line + items[-1]


def write_job(folder, nodes, cycles, seed):
    rng = random.Random(seed)
    job = os.path.join(folder, "job")
    os.makedirs(job, exist_ok=True)
    with open(os.path.join(folder, "korvanel.inp"), "w", newline="") as f:
        f.write("job\r\nbench\r\n")
    with open(os.path.join(job, "bench.inp"), "w", newline="") as f:
        f.write(PARAMS.format(ep=1, method=2, fmt=2, cout=7, nodes=nodes, lcs=6).replace(
            "\n", "\r\n"))
    ndd, ans = [" Node ID      Damage        Life           Static Failure"], []
    worst = (0.0, 0)
    for n in range(1, nodes + 1):
        damage = 10.0 ** rng.uniform(-18, -2) if rng.random() > 0.02 else 1e-18
        code = 1 if rng.random() < 0.001 else 0
        if code:
            damage = 1.0 + rng.random()
        worst = max(worst, (damage, n))
        ndd.append(zone([" %d" % n, formatted(damage / 1000), formatted(1000 / damage),
                         " %d" % code]))
        ans.append("%s %s" % (formatted(float(n)), formatted(math.log10(1000 / damage))))
    cyc = [" Fatigue half-cycles",
           " Node ID       Mean Stress  Amplitude     Damage        Static Failure"]
    for _ in range(cycles):
        amplitude = rng.lognormvariate(4.0, 0.6)
        mean = rng.gauss(50, 80)
        seq = amplitude / (1 - math.copysign(abs(mean) / 600, mean))
        damage = 0.5 / (10 ** (12.6 - 3.5 * math.log10(seq - 40))) if seq > 40 else 0.0
        cyc.append(zone([" 7", formatted(mean), formatted(amplitude), formatted(damage), " 0"]))
    sep = []
    for i in range(cycles):
        s = 300 * math.sin(i / 7.0) + rng.gauss(0, 30)
        sep.append("%r,%r,0,%r,0,0" % (s, 0.2 * s, 0.3 * s))
    summary = ["KORVANEL version v25.02", " ", "Analysis performed with a benchmark", " ",
               zone(["Number of nodes ", " %d" % nodes]), zone(["Max damage is at node ",
                                                                  " %d" % worst[1]])]
    for ext, lines in ((".ndd", ndd), (".ans", ans), (".cyc", cyc), (".sep", sep),
                       (".sum", summary)):
        with open(os.path.join(job, "bench" + ext), "w", newline="") as f:
            f.write("\r\n".join(lines) + "\r\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--nodes", type=int, default=100000)
    parser.add_argument("--cycles", type=int, default=10000)
    parser.add_argument("--keep", help="write the job here and keep it")
    args = parser.parse_args()
    folder = args.keep or tempfile.mkdtemp(prefix="korvanel-report-bench-")
    try:
        write_job(folder, args.nodes, args.cycles, 2026)
        times = []
        for _ in range(args.repeat):
            start = time.perf_counter()
            subprocess.run([sys.executable, REPORT, folder], check=True,
                           stdout=subprocess.DEVNULL)
            times.append(time.perf_counter() - start)
        from korvanel_report import result_files
        start = time.perf_counter()
        result_files.read_node_damage(os.path.join(folder, "job", "bench.ndd"))
        result_files.read_log_life(os.path.join(folder, "job", "bench.ans"))
        result_files.read_cycles(os.path.join(folder, "job", "bench.cyc"), 2)
        result_files.read_path(os.path.join(folder, "job", "bench.sep"))
        reading = time.perf_counter() - start
        print("| nodes | half-cycles | report s (best of %d) | reading the files s |"
              % args.repeat)
        print("|---|---|---|---|")
        print("| %d | %d | %.2f | %.2f |" % (args.nodes, args.cycles, min(times), reading))
    finally:
        if not args.keep:
            shutil.rmtree(folder)


if __name__ == "__main__":
    main()
