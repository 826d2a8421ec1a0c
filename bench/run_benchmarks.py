#!/usr/bin/env python3
"""Builds a Release korvanel and times the benchmark jobs.

Usage: run_benchmarks.py [--jobs-dir DIR] [--repeat N] [--baseline BINARY] [--threads N]
                         [kind ...]
Kinds: F2 F2-P F2-FE F2-N1 F2-N2 F3 F1 F1-N1 F1-R F1-S F2-R F2-L read read-E (default: all). Each job
runs with one thread and with all hardware threads (--threads 1: one thread only); the table
gives the best of N runs (wall time), the best processor time (user + system: on a machine
shared with other work it varies less than the wall time), microseconds of processor time per
node and time point ("us/pt": nodes times the rows of the .sig or .cmb), nodes per second,
input MB per second, peak resident memory and the speed-up. With --baseline, another korvanel
(say one built from an earlier commit) runs each job too, its runs taking turns with the
built one's, and the table adds its wall and processor time and whether it wrote the very
same output files; a baseline run is stopped after 60 s (shown as "> 60"). "read" times the node stress
file of F2 alone: the job is given one node more than the file holds, so the run stops
right after reading it; "read-E" does the same with the node stresses of F2 written in
exponent form with seven digits (-5.858234E+00), as solvers write them. Output files of the one-thread and all-thread runs are compared.
After F2, one one-thread F2 run per core runs side by side: what the cores deliver together
bounds the speed-up any parallel loop can show on the machine at that time. F2-P is a real
part (a plate with a hole, most nodes below the endurance limit), F2-FE the solved plate of
examples/holed-plate as korvanel-import reads it; after each format 2 job a
line gives how many nodes the damage screen passed (--count-screened-nodes).
"""
import argparse
import filecmp
import os
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
KINDS = ["F2", "F2-P", "F2-FE", "F2-N1", "F2-N2", "F3", "F1", "F1-N1", "F1-R", "F1-S", "F2-R",
         "F2-L", "read", "read-E"]
BASELINE_TIMEOUT = 60
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


def time_points(path):
    """Rows of the stress history (.sig) or of the load-case combination (.cmb), or None."""
    for ext in (".sig", ".cmb"):
        name = os.path.join(path, "job", "bench" + ext)
        if os.path.exists(name):
            with open(name, "rb") as f:
                return sum(chunk.count(b"\n") for chunk in iter(lambda: f.read(1 << 20), b""))
    return None


def node_count(path):
    with open(os.path.join(path, "job", "bench.inp"), newline="") as f:
        lines = f.read().split("\r\n")
    fmt = int(lines[lines.index("Stress-input format") + 1])
    if fmt == 1:
        return 1
    return int(lines[lines.index("Number of nodes, number of load cases") + 1].split(",")[0])


def screened_nodes(binary, path):
    """The damage screen's count for a format 2 job, from --count-screened-nodes."""
    proc = subprocess.run([binary, "--threads", "1", "--count-screened-nodes"], cwd=path,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    for line in proc.stderr.decode().splitlines():
        if "nodes screened as taking no damage" in line:
            return line.rsplit(": ", 1)[1]
    return None


def run_once(binary, path, threads, timeout=None):
    """Wall time, processor time (user + system) and peak RSS in KB of one run; None on
    timeout."""
    start = time.perf_counter()
    # A session of its own, so that a run past its time is ended with its child.
    proc = subprocess.Popen(["/usr/bin/time", "-f", "%U %S %M", binary, "--threads",
                             str(threads)], cwd=path, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, start_new_session=True)
    try:
        _, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        return None
    elapsed = time.perf_counter() - start
    user, system, rss = err.decode().strip().splitlines()[-1].split()
    return elapsed, float(user) + float(system), int(rss)


class Best:
    def __init__(self):
        self.wall = self.cpu = None
        self.rss = 0
        self.timed_out = False

    def add(self, result):
        if result is None:
            self.timed_out = True
            return
        wall, cpu, rss = result
        self.wall = wall if self.wall is None else min(self.wall, wall)
        self.cpu = cpu if self.cpu is None else min(self.cpu, cpu)
        self.rss = max(self.rss, rss)


def run(binary, path, threads, repeat, baseline=None, baseline_outputs=None):
    """Best of `repeat` runs of binary and, taking turns with them, of baseline (whose
    output files are kept in baseline_outputs). A baseline that timed out is not run again."""
    mine, theirs = Best(), Best()
    for _ in range(repeat):
        if baseline and not theirs.timed_out:
            theirs.add(run_once(baseline, path, threads, BASELINE_TIMEOUT))
            if not theirs.timed_out:
                keep_outputs(path, baseline_outputs)
        mine.add(run_once(binary, path, threads))
    return mine, theirs


def keep_outputs(path, keep):
    os.makedirs(keep, exist_ok=True)
    for name in os.listdir(os.path.join(path, "job")):
        if name.endswith(OUTPUTS):
            shutil.copy(os.path.join(path, "job", name), keep)


def snapshot(path):
    keep = os.path.join(path, "one-thread")
    keep_outputs(path, keep)
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
    ap.add_argument("--baseline", help="another korvanel binary to time side by side")
    ap.add_argument("--threads", type=int, help="run with this many threads only")
    a = ap.parse_args()
    binary = build()
    baseline = os.path.abspath(a.baseline) if a.baseline else None
    cores = os.cpu_count() or 1
    ceilings = []
    notes = []
    head = "| job | nodes | input MB | threads | time s | cpu s | us/pt | nodes/s | MB/s | peak RSS MB | speed-up | same output |"
    rule = "|---|---|---|---|---|---|---|---|---|---|---|---|"
    if baseline:
        head += " before: time s | cpu s | us/pt | same output |"
        rule += "---|---|---|---|"
    print(head)
    print(rule)
    for kind in a.kinds:
        path = job_dir(a.jobs_dir, kind)
        nodes = node_count(path) - (1 if kind in READ_SOURCES else 0)
        rows = None if kind in READ_SOURCES else time_points(path)
        mb = (os.path.getsize(os.path.join(path, "job", "bench.nds")) if kind in READ_SOURCES
              else input_bytes(path)) / 1e6
        base = None
        keep = None
        for threads in sorted({1, cores}) if not a.threads else [a.threads]:
            before = os.path.join(path, "baseline-outputs")
            mine, theirs = run(binary, path, threads, a.repeat, baseline, before)
            t = mine.wall
            same = ""
            if kind not in READ_SOURCES:
                if threads == 1:
                    keep = snapshot(path)
                elif keep:
                    same = "yes" if same_outputs(path, keep) else "NO"
            base = base or t
            per_point = "%.3f" % (1e6 * mine.cpu / (nodes * rows)) if rows else ""
            line = "| %s | %d | %.1f | %d | %.2f | %.2f | %s | %.0f | %.1f | %.0f | %.2f | %s |" % (
                kind, nodes, mb, threads, t, mine.cpu, per_point, nodes / t, mb / t,
                mine.rss / 1024, base / t, same)
            if baseline:
                if theirs.timed_out:
                    line += " > %d | | | |" % BASELINE_TIMEOUT
                else:
                    theirs_point = ("%.3f" % (1e6 * theirs.cpu / (nodes * rows))) if rows else ""
                    theirs_same = "" if kind in READ_SOURCES else (
                        "yes" if same_outputs(path, before) else "NO")
                    line += " %.2f | %.2f | %s | %s |" % (theirs.wall, theirs.cpu, theirs_point,
                                                         theirs_same)
            print(line)
            sys.stdout.flush()
        if kind.startswith("F2") and kind not in READ_SOURCES:
            count = screened_nodes(binary, path)
            if count:
                notes.append("%s: the damage screen passed %s nodes" % (kind, count))
        if kind == "F2" and cores > 1 and not a.threads:
            ceilings.append((kind, base) + machine_ceiling(binary, path, cores, base))
    for note in notes:
        print("\n" + note)
    for kind, alone, times, ceiling in ceilings:
        print("\n%s: %d one-thread runs side by side took %s s; the cores together allow a "
              "speed-up of at most %.2f" % (kind, len(times), ", ".join("%.2f" % t for t in times),
                                             ceiling))


if __name__ == "__main__":
    main()
