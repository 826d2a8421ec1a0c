#!/usr/bin/env python3
"""Deterministic random korvanel jobs for differential testing.

    python3 generate_job.py <seed> <outdir> [--history KIND]

writes korvanel.inp into <outdir> and every input file of one random job
(job name "job", job directory "." or a subdirectory).  The same seed always
gives the same bytes.

With --history the job is a valid format 1 or 2 job whose history (the .sig
rows, or the .cmb load factors) has one of these shapes, long enough to
keep hundreds of half-cycles open:
  repeated  a random block of 3 to 40 points repeated many times;
  constant  constant amplitude: one cycle of a sine of 4 to 24 points,
            repeated many times;
  ties      peaks and valleys drawn from a few states, so that many peaks
            tie exactly, with points on the way between some of them.
These jobs have at most four nodes; the elasto-plastic correction (either
method) and the stress-path correction are each on in about half of them.

Most jobs are valid analyses with realistic steel-like values (yield stress
about 250-460, Young's modulus about 210000, stresses up to 1.5 times the
yield stress).  About a third of the jobs also take "edge" features: paths
built from a few repeated states (exact ties), hydrostatic points, two-point
histories, odd curve or Goodman parameters, zero or negative life units,
fractional or negative cycle numbers, quoted or hexadecimal values, lone CR
line ends, trailing blank lines.  About one job in eight is deliberately
broken (bad parameter, short or missing file, numbering mismatch, number out
of range, unusable material data or S-N type, cycles extraction outside
format 1, a path that compacts to nothing) so that the fatal stops are
compared too.

Numbers are written with at most six significant digits, in varied forms
(plain, integer, "d" exponent, blanks, commas or tabs between values), so that
every implementation reads identical values.
"""

import math
import os
import random
import sys


class Writer:
    """Formats values and lines in the style chosen for one file."""

    def __init__(self, rng, edge=False):
        self.rng = rng
        r = rng.random()
        if edge and r < 0.1:
            self.eol = "\r"
        elif r < 0.8:
            self.eol = "\r\n"
        else:
            self.eol = "\n"
        self.sep = rng.choice([",", ", ", " ", "  ", "\t", ",", " ,"])
        self.edge = edge
        self.trailing = " " if (edge and rng.random() < 0.2) else ""

    def real(self, x, digits=6):
        r = self.rng.random()
        if x == int(x) and abs(x) < 1e9 and r < 0.5:
            s = "%d" % int(x)
            if self.edge and r < 0.05:
                s = s + "."
            return s
        s = "%.*g" % (digits, x)
        if r < 0.08 and "e" in s:
            return s.replace("e", "d")
        if r < 0.12:
            s = "%.*E" % (max(digits - 1, 1), x)
            return s.replace("E", "D") if r < 0.1 else s
        if self.edge and r < 0.16:
            return '"%s"' % s
        if self.edge and r < 0.18 and x > 0:
            return "+" + s
        return s

    def integer(self, n):
        if self.edge and n >= 0 and self.rng.random() < 0.1:
            return "&H%X" % n
        if self.edge and self.rng.random() < 0.05:
            return "%d.0" % n
        return "%d" % n

    def line(self, values):
        return self.sep.join(values) + self.trailing + self.eol


def rnd(rng, lo, hi, digits=4):
    return float("%.*g" % (digits, rng.uniform(lo, hi)))


def write(path, text):
    with open(path, "wb") as f:
        f.write(text.encode("latin-1"))


def gen_stress(rng, scale, multiaxial):
    if not multiaxial:
        return [rnd(rng, -scale, scale), 0.0, 0.0, 0.0, 0.0, 0.0]
    s = [rnd(rng, -scale, scale) for _ in range(3)]
    s += [rnd(rng, -scale / 2, scale / 2) for _ in range(3)]
    for k in range(6):
        if rng.random() < 0.3:
            s[k] = 0.0
    return s


def gen_history(rng, count, level, multi, edge):
    """Rows of six stresses; edge paths reuse a few states exactly."""
    style = rng.choice(["random", "pool", "hydro", "integer"]) if edge else "random"
    rows = []
    if style == "pool":
        pool = [gen_stress(rng, level, multi) for _ in range(rng.randint(2, 4))]
        for _ in range(count):
            rows.append(list(rng.choice(pool)))
    elif style == "hydro":
        for _ in range(count):
            if rng.random() < 0.4:
                p = rnd(rng, -level, level, 2)
                rows.append([p, p, p, 0.0, 0.0, 0.0])
            else:
                rows.append(gen_stress(rng, level, multi))
    elif style == "integer":
        for _ in range(count):
            rows.append([float(rng.randint(-int(level), int(level)))] + [0.0] * 5)
    else:
        for _ in range(count):
            if rows and rng.random() < 0.08:
                rows.append(list(rows[-1]))
            else:
                rows.append(gen_stress(rng, level, multi))
    if rng.random() < 0.1:
        rows.append(list(rows[0]))
    return rows


HISTORY_KINDS = ("repeated", "constant", "ties")


def shaped_rows(rng, kind, draw_row):
    """Rows of a history of the given shape (see --history); draw_row(rng)
    makes one random row, rows are lists of values."""
    if kind == "repeated":
        block = [draw_row(rng) for _ in range(rng.randint(3, 40))]
        times = max(20, rng.randint(600, 1500) // len(block))
        return [list(r) for _ in range(times) for r in block]
    if kind == "constant":
        period = rng.randint(4, 24)
        low, high = draw_row(rng), draw_row(rng)
        shape = [0.5 - 0.5 * math.cos(2 * math.pi * t / period) for t in range(period)]
        cycle = [[float("%.4g" % (a + f * (b - a))) for a, b in zip(low, high)] for f in shape]
        times = max(20, rng.randint(600, 1500) // period)
        return [list(r) for _ in range(times) for r in cycle]
    peaks = [draw_row(rng) for _ in range(rng.randint(1, 3))]
    valleys = [draw_row(rng) for _ in range(rng.randint(1, 3))]
    rows = []
    while len(rows) < rng.randint(600, 1500):
        a, b = rng.choice(peaks), rng.choice(valleys)
        rows.append(list(a))
        if rng.random() < 0.3:
            f = rng.choice([0.25, 0.5])
            rows.append([float("%.4g" % (x + f * (y - x))) for x, y in zip(a, b)])
        rows.append(list(b))
    return rows


def von_mises(s):
    return math.sqrt(max(0.0, s[0] * s[0] + s[1] * s[1] + s[2] * s[2] - s[0] * s[1] - s[1] * s[2]
                         - s[0] * s[2] + 3 * (s[3] * s[3] + s[4] * s[4] + s[5] * s[5])))


def limit_to_nodes(rng, states, factor_rows, fatigue_limit, sm_max):
    """Scales each node's load cases so that its largest von Mises half-range lies near the
    fatigue limit (0.6 to 1.2 times it), and shifts its base stress so that the first
    invariant of its mean lies near SmMAX (-1.1 to 1.05 times it), or near 0."""
    for n in range(len(states[0])):
        path = [[states[0][n][c] + sum(f * states[k + 1][n][c] for k, f in enumerate(row))
                 for c in range(6)] for row in factor_rows]
        half = max(von_mises([b[c] - a[c] for c in range(6)]) for a in path for b in path) / 2
        if half > 0:
            scale = fatigue_limit * rng.uniform(0.6, 1.2) / half
            for k in range(1, len(states)):
                states[k][n] = [scale * x for x in states[k][n]]
        base = states[0][n]
        target = sm_max * rng.choice([rng.uniform(-1.1, 1.05), rng.uniform(0.9, 1.02), 0.0])
        shift = (target - (base[0] + base[1] + base[2])) / 3
        states[0][n] = [base[c] + (shift if c < 3 else 0.0) for c in range(6)]


def main():
    args = sys.argv[1:]
    history_kind = None
    limits = "--limits" in args
    if limits:
        args.remove("--limits")
    if "--history" in args:
        i = args.index("--history")
        history_kind = args[i + 1]
        if history_kind not in HISTORY_KINDS:
            sys.exit("--history takes one of: " + ", ".join(HISTORY_KINDS))
        del args[i:i + 2]
    seed = int(args[0])
    outdir = args[1]
    rng = random.Random(seed)
    os.makedirs(outdir, exist_ok=True)
    edge = rng.random() < 0.35

    # job location
    sub = rng.choice([".", ".", "data", "job files"])
    jobdir_path = outdir if sub == "." else os.path.join(outdir, sub)
    os.makedirs(jobdir_path, exist_ok=True)
    if sub == "job files" and rng.random() < 0.5:
        ctl = '"%s","job"\r\n' % sub
    elif rng.random() < 0.5:
        ctl = "%s,job\r\n" % sub
    else:
        ctl = "%s\r\njob\r\n" % sub
    write(os.path.join(outdir, "korvanel.inp"), ctl)

    def jf(ext):
        return os.path.join(jobdir_path, "job" + ext)

    error = rng.random() < 0.12
    error_kind = rng.choice(["param", "short", "missing", "numbering", "range", "material",
                             "sntype", "extraction", "compaction", "empty_inp", "counts"]) if error else None

    fmt = rng.choices([1, 2, 3], weights=[3, 4, 3])[0]
    if history_kind:
        error, error_kind = False, None
        fmt = rng.choice([1, 2])
    mat_mode = 2 if (fmt != 1 and rng.random() < 0.35) else (2 if rng.random() < 0.05 else 1)
    ep = 1 if rng.random() < 0.45 else 0
    ep_method = rng.choice([1, 2])
    spc = rng.choice([0, 1])
    sn_type = rng.choice([1, 2])
    Sy = rnd(rng, 250, 460, 3)
    E = rng.choice([210000.0, 206000.0, 200000.0, rnd(rng, 190000, 215000, 3)])
    Su = rnd(rng, Sy + 60, Sy + 250, 3)
    A = rnd(rng, 8, 30, 3)
    L1 = rnd(rng, 12, 13, 4)
    pp = rnd(rng, -5, -3, 3)
    C = rng.choice([0.0, 1.0, rnd(rng, 0, 1, 2)])
    El = rnd(rng, 0, 80, 3)
    Sainf = rnd(rng, 50, 100, 3)
    Sault = rnd(rng, 400, 600, 3)
    alfa = rnd(rng, 5, 8, 3)
    beta = rnd(rng, 1, 3, 3)
    g_exp = rng.choice([1.0, 2.0, rnd(rng, 1, 2, 3)])
    g_method = rng.choice([1, 2, 3])
    g_smmax = rnd(rng, 400, 800, 3)
    F = rng.choice([1.0, 1.0, rnd(rng, 0.5, 1.5, 3)])
    G = rng.choice([1.0, 1.0, rnd(rng, 0.5, 1.5, 3)])
    node_count = rng.randint(1, 20)
    lc_count = rng.randint(1, 4)
    lvf = rng.choice([1.0, rnd(rng, 0.8, 1.5, 3)])
    gag = 1 if (fmt == 2 and rng.random() < 0.25) else 0
    cyc_extr = 1 if (fmt == 1 and rng.random() < 0.5) else 0
    bd_type = rng.choice([0, 1, 2]) if fmt == 3 else rng.choice([0, 1, 1, 2])
    life_units = rng.choice([1.0, 1000.0, 2000.5, rnd(rng, 1, 5000, 3)])
    level = Sy * rng.choice([0.25, 0.4, 0.6, 0.8, 1.0, 1.5])
    tpc = rng.randint(2, 60)
    if history_kind:
        ep = rng.choice([0, 1])
        node_count = min(node_count, 4)
    if limits:
        # Many format 2 nodes just below and just above the fatigue limit and
        # SmMAX, under every Goodman method and both curve types.
        error, error_kind, edge = False, None, False
        fmt, mat_mode, cyc_extr, F, G = 2, 1, 0, 1.0, 1.0
        node_count = rng.randint(20, 60)
        tpc = rng.randint(3, 60)
        g_method = rng.choice([1, 2, 3, 3, 0, 5])
        g_exp = rng.choice([1.0, 2.0, 0.5, rnd(rng, 0.5, 3, 3)])
        El = rnd(rng, 20, 80, 3)

    if edge:
        # odd but accepted parameter values
        if rng.random() < 0.1:
            life_units = rng.choice([0.0, -1000.0])
        if rng.random() < 0.1:
            C = rng.choice([-1.0, 2.0, 1e6])
        if rng.random() < 0.05:
            beta = 0.0
        if rng.random() < 0.05:
            alfa = 0.0
        if rng.random() < 0.05:
            g_smmax = rng.choice([0.0, -500.0])
        if rng.random() < 0.05:
            g_exp = 0.0
        if rng.random() < 0.05:
            lvf = 0.0
        if rng.random() < 0.05:
            G = 0.0
        if rng.random() < 0.1:
            tpc = 2
        if rng.random() < 0.1:
            tpc = rng.randint(100, 300)
        if rng.random() < 0.1 and not history_kind:
            node_count = rng.randint(30, 60)
        if rng.random() < 0.05 and fmt != 1:
            cyc_extr = 0 if fmt == 2 else 1
        if rng.random() < 0.1:
            level = Sy * 2.5

    # node table (formats 2 and 3)
    ids = rng.sample(range(1, 100000), node_count)
    if edge and rng.random() < 0.2:
        ids = [i - 50000 for i in ids]
    if node_count > 2 and rng.random() < 0.15:
        ids[rng.randrange(node_count)] = ids[0]
    c_node = rng.choice(ids)
    if rng.random() < 0.1 or limits:
        c_node = 100000 + rng.randint(0, 99)
    materials = []
    if mat_mode == 2:
        mids = rng.sample(range(1, 50), rng.randint(1, 4))
        for mid in mids:
            t = rng.choice([1, 2])
            msy = rnd(rng, 250, 460, 3)
            if t == 1:
                snp = [rnd(rng, 12, 13, 4), rnd(rng, -5, -3, 3), rng.choice([0.0, 1.0, rnd(rng, 0, 1, 2)]),
                       rnd(rng, 0, 80, 3)]
            else:
                snp = [rnd(rng, 50, 100, 3), rnd(rng, 400, 600, 3), rnd(rng, 5, 8, 3), rnd(rng, 1, 3, 3)]
            gm = rng.choice([1, 2, 3])
            if edge and rng.random() < 0.2:
                gm = rng.choice([0, 5, -1])
            materials.append([mid, msy, rng.choice([210000.0, 206000.0]), rnd(rng, msy + 60, msy + 250, 3),
                              rnd(rng, 8, 30, 3), t] + snp +
                             [rng.choice([1.0, 2.0, rnd(rng, 1, 2, 3)]), gm,
                              rnd(rng, 400, 800, 3), 0.0, 0.0, 0.0, 0.0])
        if rng.random() < 0.3 and len(materials) > 1:
            materials[-1][0] = materials[0][0]
        node_mats = [rng.choice(mids + ([99] if rng.random() < 0.2 else [])) for _ in range(node_count)]
    else:
        node_mats = [rng.randint(1, 3) for _ in range(node_count)]

    # error injection into the parameters
    if error_kind == "param":
        which = rng.randrange(10)
        if which == 0:
            bd_type = 3
        elif which == 1:
            cyc_extr = 2
        elif which == 2:
            lvf = -0.5
        elif which == 3:
            gag = 2
        elif which == 4:
            spc = 5
        elif which == 5:
            ep_method = 0
        elif which == 6:
            mat_mode = 0
        elif which == 7:
            g_method = 4
        elif which == 8:
            ep = 3
        else:
            fmt = 4
    if error_kind == "sntype":
        if mat_mode == 2 and materials:
            materials[0][5] = rng.choice([3, 4])
            node_mats[0] = materials[0][0]
        else:
            sn_type = rng.choice([3, 7])
    if error_kind == "material":
        ep = 1
        r = rng.random()
        if r < 0.4:
            Su = Sy - 10.0
        elif r < 0.7:
            Sy = 0.0
        else:
            E = 0.0
        mat_mode = 1
    if error_kind == "extraction":
        cyc_extr = 1
        fmt = rng.choice([2, 2, 1])
    counts_written = None
    if error_kind == "counts":
        counts_written = rng.choice([(-1, lc_count), (node_count, -1), (0, 0), (3037000500, 3037000500)])
    real_fmt = fmt if fmt in (1, 2, 3) else 1

    w = Writer(rng, edge)
    R = w.real
    lines = []
    lines.append("Yielding stress, Young's modulus, Static strength, Total strain at failure (%)" + w.eol)
    lines.append(w.line([R(Sy), R(E), R(Su), R(A)]))
    lines.append("Elasto-plastic correction (0 no, 1 yes)" + w.eol)
    lines.append(w.line([str(ep)]))
    lines.append("Method: 1 Neuber Linear, 2 Neuber Non-Linear" + w.eol)
    lines.append(w.line([str(ep_method) if rng.random() < 0.9 else "%d.0" % ep_method]))
    lines.append("Stress-path based correction" + w.eol)
    lines.append(w.line([str(spc)]))
    lines.append("Type of SN curve definition" + w.eol)
    lines.append(w.line([str(sn_type)]))
    lines.append("Palmgren's equation" + w.eol)
    lines.append("L1, p, C, Endurance limit" + w.eol)
    lines.append(w.line([R(L1), R(pp), R(C), R(El)]))
    lines.append("Weibull's equation" + w.eol)
    lines.append("Sainf, Sault, alfa, beta" + w.eol)
    lines.append(w.line([R(Sainf), R(Sault), R(alfa), R(beta)]))
    lines.append("Multilinear curve" + w.eol)
    lines.append("values" + w.eol)
    lines.append(w.line(["0"] * 8))
    lines.append("Goodman exponent, method, SmMAX" + w.eol)
    lines.append(w.line([R(g_exp), str(g_method), R(g_smmax)]))
    lines.append("Stress-input format" + w.eol)
    lines.append(w.line([str(fmt)]))
    lines.append("Stress scale factor, load-case scale factor" + w.eol)
    lines.append(w.line([R(F), R(G)]))
    lines.append("Complete output node" + w.eol)
    lines.append(w.line([str(c_node)]))
    lines.append("Materials: 1 one, 2 multiple" + w.eol)
    lines.append(w.line([str(mat_mode)]))
    lines.append("Number of nodes, number of load cases" + w.eol)
    nc_written = node_count
    if error_kind == "short" and real_fmt != 1 and rng.random() < 0.5:
        nc_written = node_count + 1
    if counts_written:
        lines.append(w.line([str(counts_written[0]), str(counts_written[1])]))
    else:
        lines.append(w.line([str(nc_written), str(lc_count)]))
    lines.append("Load Variability Factor" + w.eol)
    lines.append(w.line([R(lvf)]))
    lines.append("Ground-Air-Ground" + w.eol)
    lines.append(w.line([str(gag)]))
    lines.append("Cycles extraction" + w.eol)
    lines.append(w.line([str(cyc_extr)]))
    lines.append("Blocks damage type" + w.eol)
    lines.append(w.line([str(bd_type)]))
    lines.append("Life units per repeat" + w.eol)
    lines.append(w.line([R(life_units)]))
    range_target = None
    if error_kind == "range":
        range_target = rng.choice(["inp", "data", "data"])
        if range_target == "inp":
            k = rng.choice([3, 5, 22, 26, 28])
            lines[k] = w.line([rng.choice(["99999999999999999999", "1e400", "&HFFFFFFFFFFFFFFFF"])])
    inp_text = "".join(lines)
    if error_kind == "empty_inp":
        inp_text = "".join(lines[:rng.randrange(len(lines))])
    if edge and rng.random() < 0.2:
        inp_text += "extra lines after the parameters" + w.eol
    write(jf(".inp"), inp_text)

    missing = None
    if error_kind == "missing":
        missing = {1: ".sig", 2: rng.choice([".nds", ".cmb"]), 3: rng.choice([".nds", ".blc"])}[real_fmt]
        if bd_type == 2 and rng.random() < 0.3:
            missing = ".btf"

    # block groups
    if bd_type == 2 and missing != ".btf":
        wb = Writer(rng, edge)
        groups = []
        for _ in range(rng.randint(0 if rng.random() < 0.1 else 1, 4)):
            a = rng.randint(1, 10)
            b = rng.randint(1, 10)
            if rng.random() < 0.7 and a > b:
                a, b = b, a
            groups.append(wb.line([wb.integer(a), wb.integer(b)]))
        if range_target == "data" and rng.random() < 0.3:
            groups.append(wb.line(["1", "9223372036854775808"]))
        write(jf(".btf"), "".join(groups))

    if real_fmt == 1:
        multi = rng.random() < 0.6
        ws = Writer(rng, edge)
        if history_kind:
            rows = shaped_rows(rng, history_kind, lambda r: gen_stress(r, level, multi))
        else:
            rows = gen_history(rng, tpc, level, multi, edge)
        if error_kind == "short":
            rows = rows[:1]
        if error_kind == "compaction":
            rows = [rows[0]] * rng.randint(2, 5)
        text = "".join(ws.line([ws.real(x) for x in r]) for r in rows)
        if range_target == "data":
            text += ws.line(["1e400"] + ["0"] * 5)
        if rng.random() < 0.08:
            text += ws.eol
        if edge and rng.random() < 0.1:
            text += ws.real(1.0)  # a cut-short last group
        if missing != ".sig":
            write(jf(".sig"), text)
        return

    # materials file
    if mat_mode == 2:
        wm = Writer(rng, edge)
        text = "Material file" + wm.eol + "id Sy E Su A type p1 p2 p3 p4 gexp gmeth smmax x x x x" + wm.eol
        for m in materials:
            vals = []
            for i, v in enumerate(m):
                vals.append(wm.integer(v) if i in (0, 5, 11) else wm.real(v))
            text += wm.line(vals)
        if range_target == "data" and rng.random() < 0.3:
            text += wm.line(["1", "1e999"])
        if edge and rng.random() < 0.2:
            text += wm.line([wm.integer(materials[0][0]), "300"])  # short record at the end
        write(jf(".mtr"), text)

    # node stress file
    wn = Writer(rng, edge)
    multi = rng.random() < 0.7
    if error_kind == "counts" and counts_written in ((0, 0),):
        node_count_file = 0
    else:
        node_count_file = node_count
    if limits:
        states = [[gen_stress(rng, level * (0.2 if k == 0 else 1.5 / lc_count), multi)
                   for n in range(node_count_file)] for k in range(lc_count + 1)]
        factor_rows = [[rnd(rng, -1.5, 1.5, 3) for _ in range(lc_count)] for _ in range(tpc)]
        limit_to_nodes(rng, states, factor_rows, El if sn_type == 1 else Sainf, g_smmax)
    blocks = []
    for k in range(lc_count + 1):
        rows = []
        for n in range(node_count_file):
            sc = level * (0.2 if k == 0 else 1.0 / max(1, lc_count) * 1.5)
            if limits:
                st = states[k][n]
            elif edge and rng.random() < 0.05:
                st = [0.0] * 6
            else:
                st = gen_stress(rng, sc, multi)
            rows.append([wn.integer(ids[n]) if ids[n] >= 0 else str(ids[n]), wn.integer(node_mats[n])] +
                        [wn.real(x, 5) for x in st])
        blocks.append(rows)
    if error_kind == "numbering" and lc_count >= 1:
        n = rng.randrange(node_count)
        if rng.random() < 0.5:
            blocks[1][n][0] = str(ids[n] + 1)
        else:
            blocks[1][n][1] = str(node_mats[n] + 1)
    text = "".join(wn.line(r) for b in blocks for r in b)
    if error_kind == "short" and nc_written == node_count:
        text = "".join(wn.line(r) for b in blocks for r in b[:-1])
    if range_target == "data" and rng.random() < 0.3:
        text = wn.line(["1e999"]) + text
    if missing != ".nds":
        write(jf(".nds"), text)

    if real_fmt == 2:
        wc = Writer(rng, edge)
        text = ""
        pool = [[rnd(rng, -1.5, 1.5, 3) for _ in range(lc_count)] for _ in range(3)]
        use_pool = edge and rng.random() < 0.4
        if history_kind:
            for row in shaped_rows(rng, history_kind,
                                   lambda r: [rnd(r, -1.5, 1.5, 3) for _ in range(lc_count)]):
                text += wc.line([wc.real(x) for x in row])
        for t in range(0 if history_kind else tpc):
            if limits:
                row = factor_rows[t]
            else:
                row = list(rng.choice(pool)) if use_pool else [rnd(rng, -1.5, 1.5, 3) for _ in range(lc_count)]
            text += wc.line([wc.real(x) for x in row])
        extra = rng.random()
        if extra < 0.1:
            text += wc.line([wc.real(0.5)])
        elif extra < 0.15:
            text += wc.eol
        if error_kind == "short":
            text = wc.line(["1"]) if rng.random() < 0.7 else ""
        if range_target == "data":
            text += wc.line(["1e400"])
        if missing != ".cmb":
            write(jf(".cmb"), text)
    else:
        nb = rng.randint(1, 10)
        wl = Writer(rng, edge)
        text = ""
        for b in range(nb):
            vals = []
            same = edge and rng.random() < 0.1
            for lc in range(lc_count):
                a = rnd(rng, -1.5, 1.5, 3)
                vals.append(wl.real(a))
                vals.append(wl.real(a if same else rnd(rng, -1.5, 1.5, 3)))
            if rng.random() < 0.2:
                cyc = rnd(rng, 1, 1000, 4)
            else:
                cyc = float(rng.choice([1, 10, 100, 1000, 10000, rng.randint(1, 100000)]))
            if edge and rng.random() < 0.2:
                cyc = rng.choice([0.0, -10.0, 2.5, 3.5, 0.5, 1e12])
            vals.append(wl.real(cyc))
            text += wl.line(vals)
        if rng.random() < 0.1:
            text += wl.line(["0.5"] * rng.randint(1, 2 * lc_count))
        if error_kind == "short":
            text = wl.line(["1"] * (2 * lc_count))
        if range_target == "data":
            text += wl.line(["-1e400"])
        if missing != ".blc":
            write(jf(".blc"), text)


if __name__ == "__main__":
    main()
