#!/usr/bin/env python3
"""Deterministic benchmark jobs for korvanel.

Usage: generate_bench_job.py <kind> <workdir> [--nodes N] [--repeats N] [--seed S] [--exponent-form]
Kinds: F2 (format 2, 100,000 nodes, 6 load cases, 1,000 time points, no correction),
       F2-N1 / F2-N2 (the same with the Neuber correction, methods 1 and 2; 10,000 nodes),
       F3 (format 3, 100,000 nodes, 6 load cases, 200 blocks, correction on),
       F1 / F1-N1 (format 1, one history of 1,000,000 multiaxial points, correction off / on),
       F1-R (format 1, a 200-point block of the F1 kind repeated 20,000 times: 4,000,000 points),
       F1-S (format 1, a 20-point multiaxial sine repeated 200,000 times: 4,000,000 points),
       F2-R (format 2, 1,000 nodes, a 50-point event of load factors repeated 400 times:
             20,000 time points), F2-L (the same size with 20,000 load-factor rows that never
             repeat, for comparison),
       F2-M (format 2, 1,000,000 nodes, 20 load cases, 50 time points: node tables of 1 GB
       and a short analysis, for the memory of runs on several processes),
       F2-P (format 2, a real part: 200,000 nodes of a plate with a central hole, the stresses
             of three unit load cases (tension along x and y, in-plane shear) and a preload,
             under 1,000 turning points of random amplitude; the hole edge lives about 10^6
             repeats and about 80 % of the nodes stay below the endurance limit),
       F2-FE (format 2, the solved plate of examples/holed-plate: its nodes and its two unit
             load cases (1 MPa tension along x, 1 MPa shear) as korvanel-import reads them from
             the solver's .frd, repeated to 200,000 nodes, under 1,000 turning points of random
             amplitude at which about 82 % of the nodes take no damage; needs the Python of
             korvanel-import).
Stresses are realistic multiaxial states of a steel part (yield 355): a base stress plus unit
load cases whose combination reaches about 1.3 times the yield stress at the worst nodes.
"""
import argparse
import math
import os
import random
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))

PARAMS = """Yielding stress, Young's modulus, Static strength, Total strain at failure (%)
355, 210000, 510, 20
Elasto-plastic correction
{ep}
Method of elasto-plastic correction
{method}
Stress-path based correction
0
Type of S-N curve
1
Palmgren's equation
L1, p, C, Endurance limit
12.6, -3.5, 0, 40
Weibull's equation
Sainf, Sault, alfa, beta
80, 450, 6.5, 2
Multilinear curve
value, then seven integers
0, 0, 0, 0, 0, 0, 0, 0
Goodman exponent, Goodman method, Goodman SmMAX
1, 1, 600
Stress-input format
{fmt}
Stress scale factor, load-case scale factor
1, 1
Complete-output node ID
{cout}
Materials
1
Number of nodes, number of load cases
{nodes}, {lcs}
Load Variability Factor
1
Ground-Air-Ground
0
Cycles extraction
0
Type of damage in the blocks analysis
1
Life units per repeat
1000
"""

KINDS = {
    "F2": dict(fmt=2, ep=0, method=1, nodes=100000, lcs=6, points=1000),
    "F2-N1": dict(fmt=2, ep=1, method=1, nodes=10000, lcs=6, points=1000),
    "F2-N2": dict(fmt=2, ep=1, method=2, nodes=10000, lcs=6, points=1000),
    "F2-M": dict(fmt=2, ep=0, method=1, nodes=1000000, lcs=20, points=50),
    "F3": dict(fmt=3, ep=1, method=1, nodes=100000, lcs=6, blocks=200),
    "F1": dict(fmt=1, ep=0, method=1, points=1000000),
    "F1-N1": dict(fmt=1, ep=1, method=1, points=1000000),
    "F1-R": dict(fmt=1, ep=0, method=1, points=200, repeats=20000),
    "F1-S": dict(fmt=1, ep=0, method=1, points=20, repeats=200000, sine=True),
    "F2-R": dict(fmt=2, ep=0, method=1, nodes=1000, lcs=6, points=50, repeats=400),
    "F2-L": dict(fmt=2, ep=0, method=1, nodes=1000, lcs=6, points=20000),
    "F2-P": dict(fmt=2, ep=0, method=1, nodes=200000, lcs=3, points=1000, part=True),
    "F2-FE": dict(fmt=2, ep=0, method=1, nodes=200000, lcs=2, points=1000, example=True),
}


def crlf(text):
    return text.replace("\n", "\r\n")


def state(rng, scale):
    normal = [rng.gauss(0.0, scale) for _ in range(3)]
    shear = [rng.gauss(0.0, 0.4 * scale) for _ in range(3)]
    return normal + shear


def write_nds(path, rng, nodes, lcs, number_form):
    severity = [0.3 + 0.7 * rng.random() ** 3 for _ in range(nodes)]
    with open(path, "w", newline="") as f:
        for block in range(lcs + 1):
            rows = []
            for n in range(nodes):
                scale = (15.0 if block == 0 else 55.0) * severity[n]
                values = ", ".join(number_form % v for v in state(rng, scale))
                rows.append("%d, 1, %s\r\n" % (1000 + n, values))
            f.write("".join(rows))


def load_factors(rng, lcs, points):
    periods = [rng.uniform(20, 200) for _ in range(lcs)]
    phases = [rng.uniform(0, 2 * math.pi) for _ in range(lcs)]
    for t in range(points):
        yield [math.sin(2 * math.pi * t / periods[k] + phases[k]) + 0.2 * rng.gauss(0, 1)
               for k in range(lcs)]


def hole_plate_stress(x, y, direction):
    """Plane stress (sx, sy, sz, txy, tyz, txz) at (x, y) of an infinite plate with a hole of
    radius 1 at the origin, under a remote unit tension along the angle `direction`."""
    r2 = x * x + y * y
    theta = math.atan2(y, x)
    a2, a4 = 1.0 / r2, 1.0 / (r2 * r2)
    c2, s2 = math.cos(2 * (theta - direction)), math.sin(2 * (theta - direction))
    srr = 0.5 * (1 - a2) + 0.5 * (1 - 4 * a2 + 3 * a4) * c2
    stt = 0.5 * (1 + a2) - 0.5 * (1 + 3 * a4) * c2
    srt = -0.5 * (1 + 2 * a2 - 3 * a4) * s2
    c, s = math.cos(theta), math.sin(theta)
    sx = srr * c * c + stt * s * s - 2 * srt * s * c
    sy = srr * s * s + stt * c * c + 2 * srt * s * c
    txy = (srr - stt) * s * c + srt * (c * c - s * s)
    return [sx, sy, 0.0, txy, 0.0, 0.0]


def write_part(job, rng, nodes, points):
    """F2-P: the node stresses of a plate with a hole, meshed finer towards the hole edge as
    a model would be (radii 1 to 6, logarithmically spaced), and turning points of random
    amplitude: mostly tension along x, with y tension and shear following in part."""
    cases = []
    for n in range(nodes):
        r = math.exp(rng.random() * math.log(2.5))
        theta = rng.uniform(0, 2 * math.pi)
        x, y = r * math.cos(theta), r * math.sin(theta)
        tx = hole_plate_stress(x, y, 0.0)
        ty = hole_plate_stress(x, y, 0.5 * math.pi)
        shear = [a - b for a, b in zip(hole_plate_stress(x, y, 0.25 * math.pi),
                                       hole_plate_stress(x, y, 0.75 * math.pi))]
        cases.append((tx, ty, shear))
    unit = 28.0  # remote stress of a unit load factor
    with open(os.path.join(job, "bench.nds"), "w", newline="") as f:
        for block in range(4):
            rows = []
            for n, (tx, ty, shear) in enumerate(cases):
                if block == 0:  # a preload: 0.3 of the x tension
                    values = [0.3 * unit * v for v in tx]
                else:
                    values = [unit * v for v in (tx, ty, shear)[block - 1]]
                rows.append("%d, 1, %s\r\n" % (1000 + n, ", ".join("%.3f" % v for v in values)))
            f.write("".join(rows))
    with open(os.path.join(job, "bench.cmb"), "w", newline="") as f:
        for t in range(points):
            sign = 1.0 if t % 2 == 0 else -1.0
            amplitude = 0.1 + 0.9 * rng.random() ** 2
            main = sign * amplitude
            factors = [main, 0.3 * main + 0.1 * rng.uniform(-1, 1), 0.15 * rng.uniform(-1, 1)]
            f.write(", ".join("%.4f" % v for v in factors) + "\r\n")


TENSION = 26.0  # MPa, the largest tension factor of F2-FE


def write_example_part(job, rng, nodes, points):
    """F2-FE: the example plate's node stresses as korvanel-import writes them, every copy
    with node IDs of its own, and turning points of random amplitude, mostly tension with
    some shear: about 82 % of the nodes take no damage, and the hole edge lives about
    3 x 10^5 repeats."""
    top = os.path.dirname(HERE)
    imported = os.path.join(job, "example")
    subprocess.run([os.path.join(top, "tools", "import", "korvanel-import"),
                    os.path.join(top, "examples", "holed-plate", "solver", "plate.frd"),
                    "-o", imported, "--load-cases", "1,2", "--no-mesh"],
                   check=True, stderr=subprocess.DEVNULL)
    with open(imported + ".nds") as f:
        lines = f.read().splitlines()
    os.remove(imported + ".nds")
    count = len(lines) // 3
    blocks = [[line.split(",", 1)[1] for line in lines[b * count:(b + 1) * count]]
              for b in range(3)]
    with open(os.path.join(job, "bench.nds"), "w", newline="") as f:
        for block in blocks:
            f.write("".join("%d,%s\r\n" % (1000000 * (n // count + 1) + n % count,
                                             block[n % count]) for n in range(nodes)))
    with open(os.path.join(job, "bench.cmb"), "w", newline="") as f:
        for t in range(points):
            sign = 1.0 if t % 2 == 0 else -1.0
            main = sign * (0.1 + 0.9 * rng.random() ** 2) * TENSION
            f.write("%.4f, %.4f\r\n" % (main, 0.1 * main + 2.0 * rng.uniform(-1, 1)))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("kind", choices=sorted(KINDS))
    ap.add_argument("workdir")
    ap.add_argument("--nodes", type=int)
    ap.add_argument("--repeats", type=int, help="repetitions of the block of F1-R, F1-S, F2-R")
    ap.add_argument("--seed", type=int, default=2026)
    ap.add_argument("--exponent-form", action="store_true",
                    help="node stresses as a solver writes them, e.g. -5.858234E+00")
    a = ap.parse_args()
    k = dict(KINDS[a.kind])
    if a.nodes:
        k["nodes"] = a.nodes
    if a.repeats and "repeats" in k:
        k["repeats"] = a.repeats
    rng = random.Random(a.seed)
    job = os.path.join(a.workdir, "job")
    os.makedirs(job, exist_ok=True)
    with open(os.path.join(a.workdir, "korvanel.inp"), "w", newline="") as f:
        f.write("job\r\nbench\r\n")
    nodes, lcs = k.get("nodes", 1), k.get("lcs", 0)
    with open(os.path.join(job, "bench.inp"), "w", newline="") as f:
        f.write(crlf(PARAMS.format(ep=k["ep"], method=k["method"], fmt=k["fmt"], cout=1000,
                                   nodes=nodes, lcs=lcs)))
    # Repeated jobs write their block once and repeat its text, so every
    # repetition reads the very same numbers.
    repeats = k.get("repeats", 1)
    if k["fmt"] == 1:
        base = [60.0, 20.0, 0.0, 15.0, 0.0, 0.0]
        dirs = [state(rng, 1.0) for _ in range(3)]
        if k.get("sine"):
            factors = ([math.sin(2 * math.pi * t / k["points"]),
                        math.sin(2 * math.pi * t / k["points"] + 1.0), 0.0]
                       for t in range(k["points"]))
        else:
            factors = load_factors(rng, 3, k["points"])
        rows = []
        for fac in factors:
            s = [base[c] + 160.0 * sum(fac[j] * dirs[j][c] for j in range(3)) for c in range(6)]
            rows.append(", ".join("%.3f" % v for v in s) + "\r\n")
        block = "".join(rows)
        with open(os.path.join(job, "bench.sig"), "w", newline="") as f:
            for _ in range(repeats):
                f.write(block)
        return
    if k.get("part"):
        write_part(job, rng, nodes, k["points"])
        return
    if k.get("example"):
        write_example_part(job, rng, nodes, k["points"])
        return
    write_nds(os.path.join(job, "bench.nds"), rng, nodes, lcs,
              "%.6E" if a.exponent_form else "%.3f")
    if k["fmt"] == 2:
        with open(os.path.join(job, "bench.cmb"), "w", newline="") as f:
            f.write("".join(", ".join("%.4f" % v for v in fac) + "\r\n"
                            for fac in load_factors(rng, lcs, k["points"])) * repeats)
    else:
        with open(os.path.join(job, "bench.blc"), "w", newline="") as f:
            for b in range(k["blocks"]):
                fr = [rng.uniform(-1, 1) for _ in range(lcs)]
                to = [rng.uniform(-1, 1) for _ in range(lcs)]
                pairs = ", ".join("%.4f, %.4f" % p for p in zip(fr, to))
                f.write("%s, %d\r\n" % (pairs, int(10 ** rng.uniform(1, 5))))


if __name__ == "__main__":
    main()
