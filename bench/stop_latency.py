#!/usr/bin/env python3
"""How soon a run stops after SIGTERM, in every phase of a long run.

Usage: stop_latency.py <korvanel-binary> <job-directory> [--points N] [--baseline BINARY]
The job runs once to completion to learn its length T; then N runs each get SIGTERM at
T * k / (N + 1) (k = 1..N), so the signals fall into every phase: the read of the inputs, the
assembly, compaction, extraction and damage of a long history, the writing of the results.
For each it prints the time from the signal to the end of the process, and the largest.
Jobs: `generate_bench_job.py F1-S DIR` (a 4,000,000-point history of 200 MB), F1, F2.
"""
import argparse
import os
import signal
import subprocess
import time


def clean_run(binary, work):
    began = time.monotonic()
    subprocess.run([binary], cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - began


def latency(binary, work, delay):
    proc = subprocess.Popen([binary], cwd=work, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    time.sleep(delay)
    sent = time.monotonic()
    if proc.poll() is not None:
        return None, proc.returncode
    proc.send_signal(signal.SIGTERM)
    code = proc.wait()
    return time.monotonic() - sent, code


def measure(binary, work, points):
    length = clean_run(binary, work)
    print("%s: a whole run takes %.2f s" % (binary, length))
    worst = 0.0
    for k in range(1, points + 1):
        at = length * k / (points + 1)
        took, code = latency(binary, work, at)
        if took is None:
            print("  at %5.2f s: the run had ended" % at)
            continue
        worst = max(worst, took)
        print("  at %5.2f s: ended %.3f s after the signal, status %d" % (at, took, code))
    print("  largest: %.3f s" % worst)
    return worst


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("binary")
    ap.add_argument("job")
    ap.add_argument("--points", type=int, default=12)
    ap.add_argument("--baseline")
    a = ap.parse_args()
    for binary in ([a.baseline] if a.baseline else []) + [a.binary]:
        measure(os.path.abspath(binary), a.job, a.points)


if __name__ == "__main__":
    main()
