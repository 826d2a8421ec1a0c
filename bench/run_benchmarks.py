#!/usr/bin/env python3
"""Builds a Release korvanel and times the benchmark jobs.

Usage: run_benchmarks.py [--jobs-dir DIR] [--repeat N] [kind ...]
Kinds: F2 F2-N1 F2-N2 F3 F1 F1-N1 read read-E (default: all). Each job runs with one thread and
with all hardware threads; the table gives the best of N runs (wall time), nodes per second,
input MB per second, peak resident memory and the speed-up. "read" times the node stress
file of F2 alone: the job is given one node more than the file holds, so the run stops
right after reading it; "read-E" does the same with the node stresses of F2 written in
exponent form with seven digits (-5.858234E+00), as solvers write them. Output files of the one-thread and all-thread runs are compared.
After F2, one one-thread F2 run per core runs side by side: what the cores deliver together
bounds the speed-up any parallel loop can show on the machine at that time.
"""
import argparse
import filecmp
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
KINDS = ["F2", "F2-N1", "F2-N2", "F3", "F1", "F1-N1", "read", "read-E"]
# Reading benchmarks: the job directory they read from, its kind and generator options.
READ_SOURCES = {"read": ("F2", "F2", []), "read-E": ("F2-E", "F2", ["--exponent-form"])}
OUTPUTS = (".ndd", ".ans", ".sum", ".cyc", ".sep", ".cif")


def build():
    out = os.path.join(ROOT, "build-bench")
    subprocess.run(["cmake", "-S", ROOT, "-B", out, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                    "-DKORVANEL_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", out, "--target", "korvanel"], check=True,
                    stdout=subprocess.DEVNULL)
    return os.path.join(out, "korvanel")


def job_dir(jobs, kind):
    source, source_kind, options = READ_SOURCES.get(kind, (kind, kind, []))
    path = os.path.join(jobs, source)
    if not os.path.exists(os.path.join(path, "korvanel.inp")):
        subprocess.run([sys.executable, os.path.join(HERE, "generate_bench_job.py"), source_kind,
                        path] + options, check=True)
    if kind not in READ_SOURCES:
        return path
    read = os.path.join(jobs, kind)
    os.makedirs(os.path.join(read, "job"), exist_ok=True)
    shutil.copy(os.path.join(path, "korvanel.inp"), read)
    nds = os.path.join(read, "job", "bench.nds")
    if not os.path.exists(nds):
        os.symlink(os.path.join(path, "job", "bench.nds"), nds)
    with open(os.path.join(path, "job", "bench.inp"), newline="") as f:
        text = f.read()
    lines = text.split("\r\n")
    i = lines.index("Number of nodes, number of load cases") + 1
    nodes, cases = lines[i].split(",")
    lines[i] = "%d, %s" % (int(nodes) + 1, cases.strip())
    with open(os.path.join(read, "job", "bench.inp"), "w", newline="") as f:
        f.write("\r\n".join(lines))
    return read


def input_bytes(path):
    total = 0
    for name in os.listdir(os.path.join(path, "job")):
        if not name.endswith(OUTPUTS):
            total += os.path.getsize(os.path.join(path, "job", name))
    return total


def node_count(path):
    with open(os.path.join(path, "job", "bench.inp"), newline="") as f:
        lines = f.read().split("\r\n")
    fmt = int(lines[lines.index("Stress-input format") + 1])
    if fmt == 1:
        return 1
    return int(lines[lines.index("Number of nodes, number of load cases") + 1].split(",")[0])


def run(binary, path, threads, repeat):
    best, peak = None, 0
    for _ in range(repeat):
        start = time.perf_counter()
        proc = subprocess.run(["/usr/bin/time", "-f", "%M", binary, "--threads", str(threads)],
                              cwd=path, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        elapsed = time.perf_counter() - start
        peak = max(peak, int(proc.stderr.decode().strip().splitlines()[-1]))
        best = elapsed if best is None else min(best, elapsed)
    return best, peak


def snapshot(path):
    keep = os.path.join(path, "one-thread")
    os.makedirs(keep, exist_ok=True)
    for name in os.listdir(os.path.join(path, "job")):
        if name.endswith(OUTPUTS):
            shutil.copy(os.path.join(path, "job", name), keep)
    return keep


def same_outputs(path, keep):
    return all(filecmp.cmp(os.path.join(keep, n), os.path.join(path, "job", n), shallow=False)
               for n in os.listdir(keep))


def machine_ceiling(binary, path, cores, alone):
    """Runs one one-thread copy of the job per core, all at once. Their times show what
    the cores deliver together; a perfect parallel loop gets alone * sum(1 / t)."""
    copies = []
    for i in range(cores):
        copy = "%s-side-by-side-%d" % (path, i)
        if not os.path.exists(copy):
            shutil.copytree(path, copy, ignore=shutil.ignore_patterns("one-thread"))
        copies.append(copy)
    starts, procs = [], []
    for copy in copies:
        starts.append(time.perf_counter())
        procs.append(subprocess.Popen([binary, "--threads", "1"], cwd=copy,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    times = [None] * cores
    while any(t is None for t in times):
        for i, proc in enumerate(procs):
            if times[i] is None and proc.poll() is not None:
                times[i] = time.perf_counter() - starts[i]
        time.sleep(0.01)
    return times, alone * sum(1.0 / t for t in times)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("kinds", nargs="*", default=KINDS)
    ap.add_argument("--jobs-dir", default="/tmp/korvanel-bench")
    ap.add_argument("--repeat", type=int, default=3)
    a = ap.parse_args()
    binary = build()
    cores = os.cpu_count() or 1
    ceilings = []
    print("| job | nodes | input MB | threads | time s | nodes/s | MB/s | peak RSS MB | speed-up | same output |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for kind in a.kinds:
        path = job_dir(a.jobs_dir, kind)
        nodes = node_count(path) - (1 if kind in READ_SOURCES else 0)
        mb = (os.path.getsize(os.path.join(path, "job", "bench.nds")) if kind in READ_SOURCES
              else input_bytes(path)) / 1e6
        base = None
        keep = None
        for threads in sorted({1, cores}):
            t, rss = run(binary, path, threads, a.repeat)
            same = ""
            if kind not in READ_SOURCES:
                if threads == 1:
                    keep = snapshot(path)
                else:
                    same = "yes" if same_outputs(path, keep) else "NO"
            base = base or t
            print("| %s | %d | %.1f | %d | %.2f | %.0f | %.1f | %.0f | %.2f | %s |" % (
                kind, nodes, mb, threads, t, nodes / t, mb / t, rss / 1024, base / t, same))
            sys.stdout.flush()
        if kind == "F2" and cores > 1:
            ceilings.append((kind, base) + machine_ceiling(binary, path, cores, base))
    for kind, alone, times, ceiling in ceilings:
        print("\n%s: %d one-thread runs side by side took %s s; the cores together allow a "
              "speed-up of at most %.2f" % (kind, len(times), ", ".join("%.2f" % t for t in times),
                                             ceiling))


if __name__ == "__main__":
    main()
