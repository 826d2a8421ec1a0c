#!/usr/bin/python3
"""Speed and memory of korvanel-import on a generated model of 1,000,000 nodes.

Generates a block of 100 x 100 x 100 nodes in 8-node bricks with 10 load cases of stresses,
written as a .vtu (meshio, its default zlib compression) and as an ASCII CalculiX .frd (the
solver's layout: node block, element block, one STRESS block per step). Then:
- korvanel-import of each (all 10 load cases, the mesh written too): wall and processor
  time, peak resident memory against the size of the stress arrays (10 x nodes x 6 doubles),
  and, timed inside one process, the reading of the solver file and the writing of the .nds
  in MB/s;
- korvanel on one thread on the imported .nds under a 1,000-point history of the 10 load
  cases (.cmb), the time the import is measured against.

Usage: import_bench.py [--nodes-per-side N] [--work DIR] [--keep] [KORVANEL]
(KORVANEL: default build-release/korvanel, else build/korvanel of the source tree.)
"""
import argparse
import os
import resource
import shutil
import subprocess
import sys
import time

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
IMPORT = os.path.join(ROOT, "tools", "import", "korvanel-import")
sys.path.insert(0, os.path.join(ROOT, "tools", "import"))
LOAD_CASES = 10
TIME_POINTS = 1000
PARAMETERS = os.path.join(ROOT, "examples", "holed-plate", "job", "plate.inp")


def model(side, seed=2026):
    """Points, bricks (point indexes) and 10 load cases of stresses (nodes, 6) each: smooth
    fields of the position plus a little noise, values up to some hundreds."""
    g = np.arange(side, dtype=np.float64) * 2.0
    z, y, x = np.meshgrid(g, g, g, indexing="ij")
    points = np.stack([x.ravel(), y.ravel(), z.ravel()], axis=1)
    at = np.arange(side ** 3).reshape(side, side, side)
    c = at[:-1, :-1, :-1].ravel()
    dx, dy, dz = 1, side, side * side
    bricks = np.stack([c, c + dx, c + dx + dy, c + dy, c + dz, c + dx + dz, c + dx + dy + dz,
                       c + dy + dz], axis=1)
    rng = np.random.default_rng(seed)
    u = points / points.max()
    cases = []
    for k in range(LOAD_CASES):
        a = rng.normal(0, 60, 6)
        b = rng.normal(0, 40, 6)
        s = np.sin(np.pi * (k + 1) * u[:, :1]) * a + np.cos(np.pi * u[:, 1:2] * (k + 2)) * b
        s += rng.normal(0, 1, s.shape)
        cases.append(np.round(s, 3))
    return points, bricks, cases


def write_vtu(path, points, bricks, cases):
    import meshio
    data = {"lc%d" % (k + 1): v for k, v in enumerate(cases)}
    data["node_id"] = np.arange(1, len(points) + 1)
    meshio.write(path, meshio.Mesh(points, [("hexahedron", bricks)], point_data=data))


def e12(values):
    """The .frd's 12-column E12.5 fields of a (rows, k) array, as bytes (rows, 12 k)."""
    text = np.char.mod("%12.5E", values).astype("S12")
    return text.view("S1").reshape(len(values), -1)


def lines(ids, fields, width=10):
    """Data lines " -1" + node + fields, as one bytes block."""
    n = len(ids)
    idtext = np.char.mod("%10d", ids).astype("S10").view("S1").reshape(n, width)
    tag = np.frombuffer(b" -1" * n, "S1").reshape(n, 3)
    nl = np.full((n, 1), b"\n", "S1")
    return np.hstack([tag, idtext, fields, nl]).tobytes()


def write_frd(path, points, bricks, cases):
    n = len(points)
    ids = np.arange(1, n + 1)
    with open(path, "wb") as f:
        f.write(b"    1C\n    1UPGM               CalculiX\n")
        f.write(b"    2C%30d%37d\n" % (n, 1))
        f.write(lines(ids, e12(points)))
        f.write(b" -3\n")
        f.write(b"    3C%30d%37d\n" % (len(bricks), 1))
        m = len(bricks)
        head = np.char.mod(" -1%10d    1    0    1\n", np.arange(1, m + 1)).astype("S")
        conn = np.char.mod("%10d", bricks + 1).astype("S10").view("S1").reshape(m, 80)
        body = np.hstack([np.frombuffer(b" -2" * m, "S1").reshape(m, 3), conn,
                          np.full((m, 1), b"\n", "S1")])
        for start in range(0, m, 100_000):
            part = slice(start, start + 100_000)
            h = head[part]
            rows = np.hstack([h.view("S1").reshape(len(h), -1), body[part]])
            f.write(rows.tobytes())
        f.write(b" -3\n")
        fields = e12(cases[0])   # formatted once; each step a rotation of the nodes' rows
        for k in range(LOAD_CASES):
            f.write(b"    1PSTEP%25d%12d%12d\n" % (k + 1, 1, k + 1))
            f.write(b"  100CL  101 1.000000000%12d                     0    1           1\n"
                    % n)
            f.write(b" -4  STRESS      6    1\n")
            for name, i, j in (("SXX", 1, 1), ("SYY", 2, 2), ("SZZ", 3, 3), ("SXY", 1, 2),
                               ("SYZ", 2, 3), ("SZX", 3, 1)):
                f.write(b" -5  %-10s1    4%5d%5d\n" % (name.encode(), i, j))
            f.write(lines(ids, np.roll(fields, 7919 * k, axis=0)))
            f.write(b" -3\n")
        f.write(b" 9999\n")


def timed(command, cwd=None):
    """Wall time, processor time (user + system) and peak resident memory (MB) of a run."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    proc = subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if proc.returncode != 0:
        raise RuntimeError("%s failed: %s" % (command[0], proc.stderr.decode()[-800:]))
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, after.ru_maxrss / 1024.0


def peak_of(command):
    """Peak resident memory of one run alone (a child's maximum, by a fresh process)."""
    probe = ("import resource, subprocess, sys; "
             "subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, "
             "check=True); print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    out = subprocess.run([sys.executable, "-c", probe] + command, stdout=subprocess.PIPE,
                         check=True)
    return int(out.stdout) / 1024.0


def phases(kind, path, work):
    """Reading the solver file and writing the .nds, timed in this process by processor time
    (on a machine shared with other work the wall time waits for the cores)."""
    from korvanel_import.job_files import write_nds
    names = ["lc%d" % (k + 1) for k in range(LOAD_CASES)] if kind == "vtu" else \
        [str(k + 1) for k in range(LOAD_CASES)]
    start = time.process_time()
    if kind == "vtu":
        from korvanel_import.meshio_input import read_meshio
        results = read_meshio(path, names)
    else:
        from korvanel_import.frd import read_frd
        results = read_frd(path)
    read = time.process_time() - start
    ids = results.fields[names[0]].node_ids
    blocks = [np.zeros((len(ids), 6))] + [results.fields[n].values for n in names]
    nds = os.path.join(work, "phase.nds")
    start = time.process_time()
    write_nds(nds, ids, np.ones(len(ids), np.int64), blocks)
    written = time.process_time() - start
    size = os.path.getsize(nds)
    os.remove(nds)
    return read, written, size


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--nodes-per-side", type=int, default=100)
    ap.add_argument("--work", default=os.path.join(ROOT, "build-bench-import"))
    ap.add_argument("--keep", action="store_true", help="keep the generated files")
    ap.add_argument("--skip-analysis", action="store_true")
    ap.add_argument("korvanel", nargs="?")
    args = ap.parse_args()
    korvanel = args.korvanel or next((p for p in (os.path.join(ROOT, "build-release", "korvanel"),
                                                   os.path.join(ROOT, "build", "korvanel"))
                                      if os.path.exists(p)), None)
    os.makedirs(args.work, exist_ok=True)
    side = args.nodes_per_side
    points, bricks, cases = model(side)
    n = len(points)
    stress_mb = LOAD_CASES * n * 6 * 8 / 1e6
    files = {kind: os.path.join(args.work, "model." + kind) for kind in ("vtu", "frd")}
    if not os.path.exists(files["vtu"]):
        write_vtu(files["vtu"], points, bricks, cases)
    if not os.path.exists(files["frd"]):
        write_frd(files["frd"], points, bricks, cases)
    del points, bricks, cases
    print("model: %d nodes, %d load cases; stress arrays %.0f MB" % (n, LOAD_CASES, stress_mb))
    rows = []
    for kind, path in files.items():
        loads = ",".join(("lc%d" if kind == "vtu" else "%d") % (k + 1) for k in range(LOAD_CASES))
        out = os.path.join(args.work, "job", kind)
        os.makedirs(os.path.dirname(out), exist_ok=True)
        command = [IMPORT, path, "-o", out, "--load-cases", loads]
        wall, cpu, _ = timed(command)
        peak = peak_of(command)
        read, written, nds_size = phases(kind, path, args.work)
        size = os.path.getsize(path) / 1e6
        rows.append((kind, size, wall, cpu, peak, read, written, nds_size / 1e6))
        print("import %s: %.1f MB, %.1f s wall, %.1f s cpu, peak %.0f MB (%.2f x the stress "
              "arrays); read %.1f s cpu (%.1f MB/s), .nds %.0f MB written in %.1f s cpu "
              "(%.1f MB/s)" % (
                  kind, size, wall, cpu, peak, peak / stress_mb, read, size / read,
                  nds_size / 1e6, written, nds_size / 1e6 / written), flush=True)
    if korvanel and not args.skip_analysis:
        job = os.path.join(args.work, "job")
        text = open(PARAMETERS).read().replace("\n4620, 2\n", "\n%d, %d\n" % (n, LOAD_CASES))
        text = text.replace("Complete-output node ID\n9\n", "Complete-output node ID\n0\n")
        with open(os.path.join(job, "frd.inp"), "w") as f:
            f.write(text)
        rng = np.random.default_rng(7)
        factors = np.round(rng.normal(0, 1, (TIME_POINTS, LOAD_CASES)), 4)
        np.savetxt(os.path.join(job, "frd.cmb"), factors, fmt="%.4f", delimiter=", ")
        with open(os.path.join(args.work, "korvanel.inp"), "w") as f:
            f.write("job\nfrd\n")
        wall, cpu, _ = timed([os.path.abspath(korvanel), "--threads", "1"], cwd=args.work)
        print("korvanel, one thread, %d nodes x %d time points: %.1f s wall, %.1f s cpu" % (
            n, TIME_POINTS, wall, cpu))
        for kind, size, iwall, icpu, *_ in rows:
            print("import %s / analysis: %.3f (wall), %.3f (cpu)" % (kind, iwall / wall,
                                                                     icpu / cpu))
    if not args.keep:
        shutil.rmtree(args.work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
