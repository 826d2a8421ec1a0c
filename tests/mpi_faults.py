#!/usr/bin/env python3
"""Faults injected into runs on several MPI processes: a signal to one of the other processes,
the signal masks of the threads the MPI library starts, a node stress file replaced by
another of the same size and time between the first process's reading and the others', and a
limit on every process's address space.

A fault is injected at a point found by watching the processes (the files they hold open,
the processor time they used) and freezing one with SIGSTOP where needed, never by sleeping.

Usage: mpi_faults.py <korvanel-mpi-binary> [check-name ...]
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import fault_injection as fi  # noqa: E402  (jobs, snapshots and waiting)
import make_cases  # noqa: E402

BINARY = None
RUN_LIMIT = fi.RUN_LIMIT
STOP_SIGNALS = (signal.SIGHUP, signal.SIGINT, signal.SIGTERM)


Failure = fi.Failure
expect = fi.expect
finish = fi.finish  # the console with its clock times masked


def start(work, processes=2, threads=1):
    command = ["mpirun", "--oversubscribe", "-n", str(processes)]
    if os.geteuid() == 0:
        command.insert(1, "--allow-run-as-root")
    return subprocess.Popen(command + [BINARY, "--threads", str(threads)], cwd=work,
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)


def ranks(proc, count):
    """{rank: pid} of the korvanel processes below mpirun once all `count` exist."""
    binary = os.path.realpath(BINARY)

    def found():
        out = {}
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                if os.path.realpath("/proc/%s/exe" % pid) != binary:
                    continue
                with open("/proc/%s/environ" % pid, "rb") as f:
                    env = dict(e.split(b"=", 1) for e in f.read().split(b"\0") if b"=" in e)
            except OSError:
                continue
            if env.get(b"OMPI_COMM_WORLD_SIZE") and env.get(b"OMPI_COMM_WORLD_RANK") is not None:
                out[int(env[b"OMPI_COMM_WORLD_RANK"])] = int(pid)
        return out if len(out) == count else None
    got = fi.wait_for(proc, found)
    if not got:
        raise Failure("the %d processes of the run were not found" % count)
    return got


def cpu_of(pid):
    class P:  # fault_injection.cpu_seconds takes a process object
        pass
    p = P()
    p.pid = pid
    return fi.cpu_seconds(p)


_last_busy = {}


def idle_for(pid, seconds):
    """True once the process has used no processor time for `seconds`."""
    now, used = time.monotonic(), cpu_of(pid)
    seen, since = _last_busy.get(pid, (None, now))
    if used != seen:
        _last_busy[pid] = (used, now)
        return False
    return now - since >= seconds


def holds_open(pid, name):
    class P:
        pass
    p = P()
    p.pid = pid
    return fi.has_open(p, name)()


# --- Checks ----------------------------------------------------------------------------------

def long_second_node_job(root):
    """Two nodes, one per process: node 1 below the yield stress (done at once), node 2 walked
    elasto-plastically for seconds; node 1 is the complete-output node, so the first process
    writes its .cyc after both slices. The results of an earlier run are in place."""
    work = fi.long_loop_job(root, nodes=2)
    fi.set_parameters(work, format="2", counts="2, 2", output="1", ep="1", method="1",
                      material="1, 210000, 510, 20")
    fi.write(os.path.join(work, "job", "j.nds"), make_cases.lines(
        "1, 1, 0.01, 0, 0, 0, 0, 0", "2, 1, 20, 5, 0, 2, 0, 0",
        "1, 1, 0.01, 0, 0, 0, 0, 0", "2, 1, 120, 30, 0, 25, 0, 0",
        "1, 1, 0.01, 0, 0, 0, 0, 0", "2, 1, -40, 10, 0, 50, 0, 0"))
    for ext in fi.RESULTS:
        fi.write(os.path.join(work, "job", "j" + ext), "an earlier run's %s\r\n" % ext)
    return work


def signal_to_another_process_writes_no_result(ctx):
    """SIGTERM to the second process while it walks its node: the run stops with the
    interruption, and no result file is written, not even the complete-output node's .cyc
    that the first process would write after the slices."""
    root = tempfile.mkdtemp(prefix="mpi-fault-", dir=ctx.base)
    work = long_second_node_job(root)
    before = fi.snapshot(os.path.join(work, "job"))
    proc = start(work)
    pids = ranks(proc, 2)
    if not fi.wait_for(proc, lambda: cpu_of(pids[1]) >= 0.5):
        raise Failure("signal to another process: the run ended before the walk")
    os.kill(pids[1], signal.SIGTERM)
    code, console, err = finish(proc)
    name = "signal to another process"
    expect(name, code != 0, "exit status 0")
    with open(os.path.join(work, "korvanel.adv"), "rb") as f:
        adv = f.read()
    expect(name, adv == b"The run was interrupted by signal 15\r\n", "korvanel.adv %r" % adv)
    after = fi.snapshot(os.path.join(work, "job"))
    changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
    expect(name, not changed, "files changed: %s" % changed)


def stop_signals_blocked_in_library_threads(ctx):
    """Every thread of every process but its main thread has the stop signals blocked (the
    MPI library's threads included), so that only the main thread runs the handler."""
    root = tempfile.mkdtemp(prefix="mpi-fault-", dir=ctx.base)
    work = long_second_node_job(root)
    proc = start(work)
    pids = ranks(proc, 2)
    name = "signal masks of the threads"
    try:
        if not fi.wait_for(proc, lambda: cpu_of(pids[1]) >= 0.3):
            raise Failure(name + ": the run ended before the walk")
        wanted = sum(1 << (s - 1) for s in STOP_SIGNALS)
        for rank, pid in sorted(pids.items()):
            others = 0
            for tid in os.listdir("/proc/%d/task" % pid):
                with open("/proc/%d/task/%s/status" % (pid, tid)) as f:
                    fields = dict(line.split(":", 1) for line in f if ":" in line)
                blocked = int(fields["SigBlk"].strip(), 16)
                if int(tid) == pid:
                    expect(name, blocked & wanted == 0, "rank %d: main thread blocks %x"
                           % (rank, blocked & wanted))
                else:
                    others += 1
                    expect(name, blocked & wanted == wanted, "rank %d: thread %s (%s) blocks %x"
                           % (rank, tid, fields.get("Name", "?").strip(), blocked))
            expect(name, others > 0, "rank %d has no thread but its main one" % rank)
    finally:
        proc.kill()
        finish(proc)


def same_size_same_time_file_renamed_in(ctx):
    for attempt in range(3):  # the first process's reading may pass before it is seen
        try:
            return renamed_in_once(ctx)
        except Missed:
            if attempt == 2:
                raise Failure("same size and time renamed in: the first process's reading "
                              "was never seen in 3 attempts")


class Missed(Exception):
    pass


def renamed_in_once(ctx):
    """Once the first process has read the .nds, another file of the same size with the same
    modification time is renamed onto its name before the second process reads its slice: the
    run stops as for any change."""
    root = tempfile.mkdtemp(prefix="mpi-fault-", dir=ctx.base)
    work = fi.make_job(root, nodes=fi.NODES)
    nds = os.path.join(work, "job", "j.nds")
    other = nds + ".new"
    fi.write(other, fi.node_stresses(fi.NODES, peak="130"))
    stat = os.stat(nds)
    os.utime(other, ns=(stat.st_atime_ns, stat.st_mtime_ns))
    expect("renamed in", os.path.getsize(other) == stat.st_size, "sizes differ")
    proc = start(work)
    pids = ranks(proc, 2)
    name = "same size and time renamed in"
    try:
        if not fi.wait_for(proc, lambda: holds_open(pids[0], "/job/j.nds")):
            proc.kill()
            finish(proc)
            raise Missed()
        os.kill(pids[1], signal.SIGSTOP)  # it cannot read its slice before the first has read
        # The first process reads the whole file, then its own slice, then waits for the
        # second: the file is renamed in once it has been idle for a while.
        if not fi.wait_for(proc, lambda: idle_for(pids[0], 0.5)):
            raise Failure(name + ": the run ended while the first process read")
        expect(name, not holds_open(pids[0], "/job/j.nds"), "the first process still reads")
        os.rename(other, nds)
    finally:
        try:
            os.kill(pids[1], signal.SIGCONT)
        except ProcessLookupError:
            pass
    code, console, _ = finish(proc)
    expect(name, code != 0, "exit status 0: the run used the file renamed in")
    with open(os.path.join(work, "korvanel.adv"), "rb") as f:
        adv = f.read()
    expect(name, adv == b"The input file job/j.nds changed while it was being read\r\n",
           "korvanel.adv %r" % adv)


def address_space_limit_on_every_process(ctx):
    """Every process under a limit on its address space too small for 64 threads and their
    work: the run ends with the memory stop (or its results), never by a signal."""
    root = tempfile.mkdtemp(prefix="mpi-fault-", dir=ctx.base)
    work = os.path.join(root, "work")
    subprocess.run([sys.executable, os.path.join(HERE, "..", "bench", "generate_bench_job.py"),
                    "F2", work, "--nodes", "2000"], check=True, stdout=subprocess.DEVNULL)
    name = "address space limit on every process"
    for megabytes in (300, 600):
        command = ["mpirun", "--oversubscribe", "-n", "2"]
        if os.geteuid() == 0:
            command.insert(1, "--allow-run-as-root")
        command += ["prlimit", "--as=%d" % (megabytes << 20), BINARY, "--threads", "64"]
        p = subprocess.run(command, cwd=work, stdin=subprocess.DEVNULL, capture_output=True,
                           timeout=RUN_LIMIT)
        adv = os.path.join(work, "korvanel.adv")
        stopped = os.path.exists(adv)
        if stopped:
            with open(adv, "rb") as f:
                text = f.read()
            os.remove(adv)
            expect(name, text == b"Not enough memory for the analysis\r\n",
                   "%d MB: korvanel.adv %r" % (megabytes, text))
        expect(name, p.returncode == (1 if stopped else 0), "%d MB: exit status %d, %r"
               % (megabytes, p.returncode, p.stderr[-300:]))
        expect(name, b"on signal" not in p.stderr and b"terminate called" not in p.stderr,
               "%d MB: standard error %r" % (megabytes, p.stderr[-300:]))


def main():
    global BINARY
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    BINARY = os.path.abspath(sys.argv[1])
    checks = [signal_to_another_process_writes_no_result, stop_signals_blocked_in_library_threads,
              same_size_same_time_file_renamed_in, address_space_limit_on_every_process]
    return fi.run_checks(checks, "korvanel-mpi-faults-")


if __name__ == "__main__":
    sys.exit(main())
