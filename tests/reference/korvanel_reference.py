#!/usr/bin/env python3
"""Reference model of the korvanel fatigue run, used by the tests as an oracle.

Run it with the working directory set to a job's working directory (the one
that holds korvanel.inp).  It reads the job the way korvanel does, writes the
same result files into the job directory, prints the console text to standard
output (CR LF line ends) and exits with 0 after a normal end, 1 after a fatal
stop (which also writes korvanel.adv in the working directory).

Only the standard library is used.  Every floating-point expression keeps the
evaluation order of the program (left to right, squares as x*x), and the few
operations where Python raises instead of giving the IEEE result go through
the small helpers below.
"""

import math
import os
import re
import sys
import time

INF = float("inf")
NAN = float("nan")
LN10 = 2.302585092994046

VERSION_LINE = b"You are running KORVANEL version v25.02"
EXEC_LINE = b"Executing KORVANEL version 25.02 ..."
TITLE = b"KORVANEL version v25.02"

INT64_MIN = -(1 << 63)
INT64_MAX = (1 << 63) - 1
NO_INDEX = 1000000000000  # "no half-cycle extended in this segment"


# ---------------------------------------------------------------------------
# IEEE arithmetic where Python would raise
# ---------------------------------------------------------------------------

def fdiv(a, b):
    """a / b with the IEEE result for a zero divisor."""
    try:
        return a / b
    except ZeroDivisionError:
        if a != a or a == 0.0:
            return NAN
        neg = (math.copysign(1.0, a) < 0) != (math.copysign(1.0, b) < 0)
        return -INF if neg else INF


def _odd_integer(y):
    if not math.isfinite(y) or y != math.floor(y):
        return False
    return math.fmod(y, 2.0) != 0.0


def cpow(x, y):
    """C pow(): inf or nan where math.pow raises."""
    try:
        return math.pow(x, y)
    except OverflowError:
        if x < 0 and _odd_integer(y):
            return -INF
        return INF
    except ValueError:
        if x == 0.0:
            if math.copysign(1.0, x) < 0 and _odd_integer(y):
                return -INF
            return INF
        return NAN


def clog(x):
    """C log(): -inf at 0, nan below 0."""
    if x != x:
        return NAN
    if x == 0.0:
        return -INF
    if x < 0.0:
        return NAN
    return math.log(x)


def csqrt(x):
    if x != x:
        return NAN
    if x < 0.0:
        return NAN
    return math.sqrt(x)


def decimal_log(x):
    return clog(x) / LN10


def max_of(a, b):
    return b if b >= a else a


def min_of(a, b):
    return a if a < b else b


# ---------------------------------------------------------------------------
# Stress measures (a stress state is a list of six floats, components 1..6 at
# positions 0..5)
# ---------------------------------------------------------------------------

def von_mises_squared(s):
    s1, s2, s3, s4, s5, s6 = s
    normal = ((s1 * s1 + s2 * s2) + s3 * s3) - s1 * s2 - s2 * s3 - s1 * s3
    shear = (s4 * s4 + s5 * s5) + s6 * s6
    r = 3.0 * shear + normal
    # a nearly hydrostatic state can round below zero: never return that
    if r < 0.0:
        return 0.0
    return r


def deviatoric_product(a, b):
    am = ((a[0] + a[1]) + a[2]) / 3.0
    bm = ((b[0] + b[1]) + b[2]) / 3.0
    br = (a[0] - am) * (b[0] - bm)
    br = br + (a[1] - am) * (b[1] - bm)
    br = br + (a[2] - am) * (b[2] - bm)
    br = br + (2.0 * a[3]) * b[3]
    br = br + (2.0 * a[4]) * b[4]
    br = br + (2.0 * a[5]) * b[5]
    return (3.0 * br) / 2.0


def first_invariant(s):
    return (s[0] + s[1]) + s[2]


def vsub(a, b):
    return [a[0] - b[0], a[1] - b[1], a[2] - b[2],
            a[3] - b[3], a[4] - b[4], a[5] - b[5]]


def vadd(a, b):
    return [a[0] + b[0], a[1] + b[1], a[2] + b[2],
            a[3] + b[3], a[4] + b[4], a[5] + b[5]]


def vscale(f, a):
    return [f * a[0], f * a[1], f * a[2], f * a[3], f * a[4], f * a[5]]


def vdivs(a, d):
    return [fdiv(a[0], d), fdiv(a[1], d), fdiv(a[2], d),
            fdiv(a[3], d), fdiv(a[4], d), fdiv(a[5], d)]


ZERO6 = (0.0, 0.0, 0.0, 0.0, 0.0, 0.0)


# ---------------------------------------------------------------------------
# Fatal stop
# ---------------------------------------------------------------------------

class FatalStop(Exception):
    def __init__(self, lines, advisory=None):
        Exception.__init__(self)
        self.lines = [to_bytes(x) for x in lines]
        self.advisory = self.lines if advisory is None else [to_bytes(x) for x in advisory]


def to_bytes(x):
    if isinstance(x, bytes):
        return x
    if isinstance(x, bytearray):
        return bytes(x)
    return x.encode("latin-1")


def runtime_error(code):
    return FatalStop(["Runtime Error Code %s: please contact the KORVANEL support" % code,
                      "Sorry for the inconvenience"])


# ---------------------------------------------------------------------------
# Writing: print channels with their column counter
# ---------------------------------------------------------------------------

def fmt_g(x):
    """%.16g with a signed exponent of at least three digits."""
    if x != x:
        return "nan"
    if x == INF:
        return "inf"
    if x == -INF:
        return "-inf"
    if x == 0.0:
        return "0"
    s = "%.16g" % x
    k = s.find("e")
    if k >= 0:
        s = s[:k + 2] + s[k + 2:].rjust(3, "0")
    return s


def print_real(x):
    s = fmt_g(x)
    return s if s.startswith("-") else " " + s


def write_real(x):
    return fmt_g(x)


def print_int(n):
    return " %d" % n if n >= 0 else "%d" % n


def fmt_e(x):
    """The 0.000000e+00 mask."""
    if x != x:
        return "nan"
    if x == INF:
        return "inf"
    if x == -INF:
        return "-inf"
    if x == 0.0:
        return "0.000000e+00"
    return "%.6e" % x


class Zone:
    pass


ZONE = Zone()


class Channel:
    def __init__(self):
        self.buf = bytearray()
        self.col = 0

    def text(self, b):
        b = to_bytes(b)
        self.buf += b
        k = max(b.rfind(b"\r"), b.rfind(b"\n"))
        if k >= 0:
            self.col = len(b) - k - 1
        else:
            self.col += len(b)

    def zone(self):
        self.text(b" " * (14 * ((self.col + 14) // 14) - self.col))

    def line(self, *items):
        """One print statement that ends with a line end."""
        for it in items:
            if it is ZONE:
                self.zone()
            else:
                self.text(it)
        self.text(b"\r\n")


class Console(Channel):
    def text(self, b):
        Channel.text(self, b)
        out = sys.stdout.buffer
        out.write(to_bytes(b))


CONSOLE = None


def write_output_file(path, channel):
    try:
        with open(os_path(path), "wb") as f:
            f.write(bytes(channel.buf))
    except (OSError, ValueError):
        raise FatalStop([b"Cannot write the output file " + path])


def create_output(path):
    """Create (or empty) an output file at once."""
    write_output_file(path, Channel())


def os_path(p):
    return p


# ---------------------------------------------------------------------------
# Reading
# ---------------------------------------------------------------------------

_REAL_RE = re.compile(rb"[+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eEdD][+-]?[0-9]+)?")
_INT_RE = re.compile(rb"[+-]?[0-9]+")
_RADIX = {
    ord("H"): (16, re.compile(rb"[0-9A-Fa-f]*")), ord("h"): (16, re.compile(rb"[0-9A-Fa-f]*")),
    ord("O"): (8, re.compile(rb"[0-7]*")), ord("o"): (8, re.compile(rb"[0-7]*")),
    ord("B"): (2, re.compile(rb"[01]*")), ord("b"): (2, re.compile(rb"[01]*")),
}


BYTE_ORDER_MARK = b"\xef\xbb\xbf"


def read_input_file(path):
    """The bytes of an input file; a UTF-8 byte-order mark at its start is dropped."""
    try:
        with open(os_path(path), "rb") as f:
            data = f.read()
    except (OSError, ValueError):
        raise FatalStop([b"Cannot open the input file " + path])
    return data[3:] if data.startswith(BYTE_ORDER_MARK) else data


class Reader:
    """Sequential reader with the value and whole-line reads of the job files."""

    def __init__(self, data, path):
        self.d = data
        self.i = 0
        self.n = len(data)
        self.path = path

    def eof(self):
        return self.i >= self.n

    def skip_line(self):
        d, i, n = self.d, self.i, self.n
        while i < n and d[i] != 13 and d[i] != 10:
            i += 1
        if i < n:
            if d[i] == 13 and i + 1 < n and d[i + 1] == 10:
                i += 2
            else:
                i += 1
        self.i = i

    def _skip_blanks(self):
        d, i, n = self.d, self.i, self.n
        while i < n and (d[i] == 32 or d[i] == 9):
            i += 1
        self.i = i

    def _finish_value(self):
        # blanks and tabs, then one comma or one line end if it is there
        self._skip_blanks()
        d, i, n = self.d, self.i, self.n
        if i < n:
            c = d[i]
            if c == 44 or c == 10:
                i += 1
            elif c == 13:
                i += 2 if (i + 1 < n and d[i + 1] == 10) else 1
        self.i = i

    def _quoted(self):
        d, i = self.d, self.i
        j = d.find(b'"', i + 1)
        if j < 0:
            val = d[i + 1:]
            self.i = self.n
        else:
            val = d[i + 1:j]
            self.i = j + 1
        return val

    def value(self):
        self._skip_blanks()
        d, i, n = self.d, self.i, self.n
        if i < n and d[i] == 34:
            val = self._quoted()
        else:
            s = i
            while i < n:
                c = d[i]
                if c == 44 or c == 32 or c == 9 or c == 13 or c == 10:
                    break
                i += 1
            val = d[s:i]
            self.i = i
        self._finish_value()
        return val

    def string_value(self):
        self._skip_blanks()
        d, i, n = self.d, self.i, self.n
        if i < n and d[i] == 34:
            val = self._quoted()
        else:
            s = i
            while i < n:
                c = d[i]
                if c == 44 or c == 13 or c == 10:
                    break
                i += 1
            val = d[s:i]
            self.i = i
        self._finish_value()
        return val[:4096]

    def out_of_range(self):
        return FatalStop([b"Number out of range in the file " + self.path])

    def _convert(self, text):
        """Returns ('i', int) or ('r', float) for the text of one value."""
        if len(text) >= 2 and text[0] == 38 and text[1] in _RADIX:
            base, rx = _RADIX[text[1]]
            digits = rx.match(text, 2).group(0)
            v = int(digits, base) if digits else 0
            if v > INT64_MAX:
                raise self.out_of_range()
            return ("i", v)
        if any(c in text for c in b".eEdD"):
            m = _REAL_RE.match(text)
            if not m:
                return ("r", 0.0)
            s = m.group(0).replace(b"d", b"e").replace(b"D", b"e")
            x = float(s)
            if math.isinf(x):
                raise self.out_of_range()
            return ("r", x)
        m = _INT_RE.match(text)
        if not m:
            return ("i", 0)
        return ("i", m.group(0))

    def read_int(self):
        kind, v = self._convert(self.value())
        if kind == "r":
            r = round(v)  # ties to even
            if r < INT64_MIN or r > INT64_MAX:
                raise self.out_of_range()
            return r
        if isinstance(v, bytes):
            v = int(v)
        if v < INT64_MIN or v > INT64_MAX:
            raise self.out_of_range()
        return v

    def read_real(self):
        kind, v = self._convert(self.value())
        if kind == "r":
            return v
        if isinstance(v, bytes):
            x = float(v)  # digits only: the nearest double
        else:
            x = float(v)
        if math.isinf(x):
            raise self.out_of_range()
        return x


# ---------------------------------------------------------------------------
# Analysis parameters
# ---------------------------------------------------------------------------

class Params:
    pass


def read_parameters(path):
    rd = Reader(read_input_file(path), path)
    p = Params()
    rd.skip_line()
    p.Sy = rd.read_real(); p.E = rd.read_real(); p.Su = rd.read_real(); p.A = rd.read_real()
    rd.skip_line(); p.elastoPlastic = rd.read_int()
    rd.skip_line(); p.epMethod = rd.read_int()
    rd.skip_line(); p.pathCorrection = rd.read_int()
    rd.skip_line(); p.snType = rd.read_int()
    rd.skip_line(); rd.skip_line()
    p.L1 = rd.read_real(); p.pp = rd.read_real(); p.C = rd.read_real(); p.El = rd.read_real()
    rd.skip_line(); rd.skip_line()
    p.Sainf = rd.read_real(); p.Sault = rd.read_real(); p.alfa = rd.read_real(); p.beta = rd.read_real()
    rd.skip_line(); rd.skip_line()
    p.mlReal = rd.read_real()
    p.mlInts = [rd.read_int() for _ in range(7)]
    rd.skip_line()
    p.gExp = rd.read_real(); p.gMethod = rd.read_int(); p.gSmMax = rd.read_real()
    rd.skip_line(); p.format = rd.read_int()
    rd.skip_line(); p.F = rd.read_real(); p.G = rd.read_real()
    rd.skip_line(); p.cNode = rd.read_int()
    rd.skip_line(); p.matMode = rd.read_int()
    rd.skip_line(); p.nodeCount = rd.read_int(); p.lcCount = rd.read_int()
    rd.skip_line(); p.lvf = rd.read_real()
    rd.skip_line(); p.gag = rd.read_int()
    rd.skip_line(); p.cycExtr = rd.read_int()
    rd.skip_line(); p.bdType = rd.read_int()
    rd.skip_line(); p.lifeUnits = rd.read_real()
    return p


def check_parameters(p):
    def stop(msg):
        raise FatalStop([msg])
    if p.bdType not in (0, 1, 2):
        stop("Please put 0, 1 or 2 for type of damage in the Blocks analysis")
    if p.cycExtr not in (0, 1):
        stop("Please put 0 or 1 for the cycles extraction")
    if p.lvf < 0.0:
        stop("The Load Variability Factor must be > 0")
    if p.gag not in (0, 1):
        stop("Please put 0 or 1 for the Ground-Air-Ground analysis")
    if p.pathCorrection not in (0, 1):
        stop("Please put 0 or 1 for the stress-path based correction")
    if p.epMethod not in (1, 2):
        stop("Please put 1 or 2 for the method of elastoplastic correction")
    if p.matMode not in (1, 2):
        stop("Please put 1 or 2 for analysis with one or multiple materials")
    if p.gMethod not in (1, 2, 3):
        stop("Please put 1, 2 or 3 for the method of mean-stress correction")
    if p.elastoPlastic not in (0, 1):
        stop("Please put 0 or 1 concerning the elasto-plastic correction")
    if p.format not in (1, 2, 3):
        stop("Please put 1, 2 or 3 concerning the choice of the stress-input format")


# ---------------------------------------------------------------------------
# Input data files
# ---------------------------------------------------------------------------

def read_block_groups(path):
    rd = Reader(read_input_file(path), path)
    groups = []
    while not rd.eof():
        a = rd.read_int()
        b = rd.read_int()
        groups.append((a, b))
    return groups


def read_stress_history(path):
    rd = Reader(read_input_file(path), path)
    rows = []
    while not rd.eof():
        rows.append([rd.read_real() for _ in range(6)])
    if len(rows) < 2:
        raise FatalStop(["At least two values are needed in the stress-history"])
    return rows


def read_materials(path):
    rd = Reader(read_input_file(path), path)
    rd.skip_line()
    rd.skip_line()
    recs = []
    while not rd.eof():
        r = {}
        r["id"] = rd.read_int()
        r["Sy"] = rd.read_real(); r["E"] = rd.read_real()
        r["Su"] = rd.read_real(); r["A"] = rd.read_real()
        r["snType"] = rd.read_int()
        r["sn"] = [rd.read_real() for _ in range(4)]
        r["gExp"] = rd.read_real()
        r["gMethod"] = rd.read_int()
        r["gSmMax"] = rd.read_real()
        for _ in range(4):
            rd.read_real()
        recs.append(r)
    return recs


SIZE_MESSAGE = "Please check number of nodes and loadcases and size of .nds file, they look not coherent"
NUMBERING_MESSAGE = "Please check the nodes numbering in the .nds file, it looks not coherent"


def read_node_stresses(path, p):
    rd = Reader(read_input_file(path), path)
    groups = []
    while not rd.eof():
        i1 = rd.read_int()
        i2 = rd.read_int()
        groups.append((i1, i2, [rd.read_real() for _ in range(6)]))
    nc, lc = p.nodeCount, p.lcCount
    if nc < 0 or lc < 0:
        raise FatalStop([SIZE_MESSAGE])
    expected = (lc + 1) * nc
    if lc + 1 > INT64_MAX or expected > INT64_MAX or len(groups) != expected:
        raise FatalStop([SIZE_MESSAGE])
    ids = []
    mats = []
    base = []
    lcs = [[None] * (lc + 1) for _ in range(nc)]
    g = 0
    for k in range(1, lc + 2 if nc > 0 else 1):
        for n in range(nc):
            i1, i2, s = groups[g]
            g += 1
            if k == 1:
                ids.append(i1)
                mats.append(i2)
                base.append(s)
            else:
                if i1 != ids[n]:
                    CONSOLE.line("ndummy2", ZONE, print_int(i1))
                    raise FatalStop([NUMBERING_MESSAGE])
                if i2 != mats[n]:
                    CONSOLE.line("ndummy3", ZONE, print_int(i2))
                    raise FatalStop([NUMBERING_MESSAGE])
                lcs[n][k - 1] = s
    return ids, mats, base, lcs


def read_combination(path, lc):
    rd = Reader(read_input_file(path), path)
    vals = []
    while not rd.eof():
        vals.append(rd.read_real())
    if len(vals) < 2:
        raise FatalStop(["Error: at least two values are needed in the stress-history"])
    if lc == 0:
        raise FatalStop(["Error: at least one load case is needed for the load-case combination"])
    tpc = int(math.floor(float(len(vals)) / float(lc)))
    factors = []
    for t in range(tpc):
        factors.append(vals[t * lc:(t + 1) * lc])
    return tpc, factors


def read_block_spectrum(path, lc):
    rd = Reader(read_input_file(path), path)
    vals = []
    while not rd.eof():
        vals.append(rd.read_real())
    per = 2 * lc + 1
    if len(vals) < per:
        raise FatalStop(["Error: at least one line with from-to coefficient is needed in the block spectrum"])
    bc = int(math.floor(float(len(vals)) / float(per)))
    frm, to, cyc = [], [], []
    for b in range(bc):
        row = vals[b * per:(b + 1) * per]
        frm.append([row[2 * i] for i in range(lc)])
        to.append([row[2 * i + 1] for i in range(lc)])
        cyc.append(row[2 * lc])
    return bc, frm, to, cyc


# ---------------------------------------------------------------------------
# Material constants, Neuber rules
# ---------------------------------------------------------------------------

class Material:
    def __init__(self, p):
        self.Sy = p.Sy
        self.E = p.E
        self.Su = p.Su
        self.A = p.A
        strain = fdiv(self.A, 100.0)
        self.Ep = fdiv(self.Su - self.Sy, strain - fdiv(self.Sy, self.E))
        self.c = fdiv(self.Ep - self.E, self.E * self.Ep)
        self.h = fdiv(self.Sy, 50.0)
        self.sigmaU = csqrt((self.c * self.Sy + fdiv(self.Su, self.Ep)) * (self.E * self.Su))

    def neuber_linear(self, x):
        Sy = self.Sy
        return Sy + fdiv(self.Su - Sy, self.sigmaU - Sy) * (x - Sy)

    def neuber_non_linear(self, x):
        Sy, c, E, Ep = self.Sy, self.c, self.E, self.Ep
        return (csqrt(fdiv(4.0 * (x * x), E * Ep) + ((Sy * Sy) * c) * c) - Sy * c) * (Ep / 2.0)


def check_elasto_plastic_material(m):
    bad = (not math.isfinite(m.Sy) or m.Sy <= 0.0 or
           not math.isfinite(m.E) or m.E <= 0.0 or
           not math.isfinite(m.Ep) or m.Ep <= 0.0)
    if bad:
        raise FatalStop(["The material data do not allow the elasto-plastic correction: please check "
                         "yield stress, Young's modulus, static strength and strain at failure"])


# ---------------------------------------------------------------------------
# Elasto-plastic correction
# ---------------------------------------------------------------------------

def correct_blocks(p, mat, A, B):
    """Corrected from- and to-states of every block."""
    if p.elastoPlastic != 1:
        return A, B
    N = mat.neuber_linear if p.epMethod == 1 else mat.neuber_non_linear
    Sy = mat.Sy
    Ac, Bc = [], []
    for a, b in zip(A, B):
        M = [0.5 * (a[k] + b[k]) for k in range(6)]
        Am = [0.5 * (b[k] - a[k]) for k in range(6)]
        sa = csqrt(von_mises_squared(Am))
        r = 2.0 * sa - Sy
        if sa > Sy:
            n = vdivs(Am, sa)
            sa2 = N(sa)
            r2 = N(r)
            bb = [M[k] + sa2 * n[k] for k in range(6)]
            w = r2 + Sy
            aa = [bb[k] - w * n[k] for k in range(6)]
            Ac.append(aa)
            Bc.append(bb)
        else:
            Ac.append(a)
            Bc.append(b)
    return Ac, Bc


def correct_path(p, mat, hist, tpc):
    """Neuber correction of a compacted path; returns the corrected points."""
    P = len(hist)
    method = p.epMethod
    if method == 1:
        max_passes, max_attempts = 5, 3
    else:
        max_passes, max_attempts = 3, 1
    capacity = 3 * (tpc + 1) * 3
    Sy = mat.Sy
    Se = [list(ZERO6)] + [list(r) for r in hist]
    Sc = [list(ZERO6) for _ in range(P + 1)]
    X = [list(ZERO6) for _ in range(P + 1)]
    Sp = [list(ZERO6) for _ in range(P + 1)]
    h = mat.h
    D = 123456000.0
    passes = 0
    passes_made = 0
    attempts = 0
    restart = 1
    history = []
    start_x = list(ZERO6)
    end_x = list(ZERO6)
    drift = list(ZERO6)
    while attempts < max_attempts and restart == 1:
        attempts += 1
        history = []
        for j in range(1, P + 1):
            Sc[j] = list(ZERO6)
            X[j] = list(ZERO6)
            Sp[j] = list(ZERO6)
        while passes < max_passes and D > 0.0001:
            restart = 0
            passes += 1
            for j in range(1, P + 1):
                Sp[j] = list(Sc[j])
            if passes >= 2:
                Se[0] = list(Se[P])
                X[0] = list(X[P])
                Sc[0] = list(Sc[P])
                start_x = list(X[P])
            for j in range(1, P + 1):
                dSe = vsub(Se[j], Se[j - 1])
                V = vadd(Sc[j - 1], dSe)
                R = vsub(V, X[j - 1])
                if csqrt(von_mises_squared(R)) <= Sy:
                    Sc[j] = vadd(dSe, Sc[j - 1])
                    X[j] = list(X[j - 1])
                else:
                    if method == 1:
                        length = csqrt(von_mises_squared(dSe))
                        # stresses and yield stress in different units
                        if length > 1000.0 * Sy:
                            raise FatalStop([b"The stresses are too large for the elasto-plastic "
                                             b"correction: please check the units of the stresses "
                                             b"and of the yield stress"])
                        quot = fdiv(length, h)
                        # a segment too long for a finite count (overflowed
                        # stresses) is taken in one sub-step
                        ns = 1 + int(math.floor(quot)) if math.isfinite(quot) else 1
                    else:
                        ns = 1
                    delta = vdivs(dSe, float(ns))
                    s = list(Sc[j - 1])
                    x = list(X[j - 1])
                    for _ in range(ns):
                        v = vadd(s, delta)
                        u = vsub(v, x)
                        qq = csqrt(von_mises_squared(u))
                        if qq <= Sy:
                            s = vadd(s, delta)
                        elif method == 1:
                            n = vdivs(u, qq)
                            nl = mat.neuber_linear(qq)
                            for k in range(6):
                                s[k] = nl * n[k] + x[k]
                                x[k] = s[k] - Sy * n[k]
                        else:
                            n = vdivs(u, qq)
                            total = 0.0
                            for ent in history:
                                total = total + deviatoric_product(n, ent)
                                if not (total >= 0.0):
                                    total = 0.0
                            sig = mat.neuber_non_linear(qq + total)
                            if len(history) + 1 > capacity - 2:
                                raise runtime_error("102")
                            entry = [0.0] * 6
                            for k in range(6):
                                s[k] = sig * n[k] + x[k]
                                x[k] = s[k] - Sy * n[k]
                                entry[k] = n[k] * (qq - Sy)
                            history.append(entry)
                    Sc[j] = s
                    X[j] = x
                if method == 2:
                    end_x = list(X[j])
            if passes >= 2:
                tot = 0.0
                for j in range(1, P + 1):
                    a, b = Sp[j], Sc[j]
                    for k in range(6):
                        d = a[k] - b[k]
                        tot = tot + d * d
                D = csqrt(fdiv(tot, float(P)))
            passes_made = passes
        if method == 2:
            drift = vsub(end_x, start_x)
        if D <= 0.0001:
            break
        h = h / 2.0
        restart = 1
        passes = 0
        D = 123456000.0
    if method == 2:
        shift = vscale(float(passes_made), drift)
        for j in range(0, P + 1):
            Sc[j] = vsub(Sc[j], shift)
    return [Sc[j] for j in range(1, P + 1)]


def sep_channel(points):
    ch = Channel()
    for pt in points:
        ch.text(",".join(write_real(v) for v in pt))
        ch.text(b"\r\n")
    return ch


# ---------------------------------------------------------------------------
# Stress history assembly and compaction
# ---------------------------------------------------------------------------

def compact(hist):
    P = len(hist)
    kept = []
    for j in range(P):
        cur = hist[j]
        nxt = hist[j + 1] if j + 1 < P else hist[0]
        tot = 0.0
        for k in range(6):
            d = nxt[k] - cur[k]
            tot = tot + d * d
        if csqrt(tot) >= 0.0001:
            kept.append(cur)
    if len(kept) > P:
        raise runtime_error("014")
    return kept


def combine(F, G, base, lcs_node, factors_row, lc):
    out = [0.0] * 6
    for k in range(6):
        acc = 0.0
        for c in range(1, lc + 1):
            acc = acc + factors_row[c - 1] * lcs_node[c][k]
        out[k] = F * (base[k] + G * acc)
    return out


# ---------------------------------------------------------------------------
# Cycle extraction
# ---------------------------------------------------------------------------

class HalfCycles:
    def __init__(self):
        self.sigA = []
        self.sigB = []
        self.rs = []
        self.closed = []
        self.mi = []


def extract_cycles(p, pts, tpc):
    P = len(pts)
    if P <= 1:
        raise runtime_error("018")
    best = -1.0
    m = 0
    for k in range(1, P + 1):
        qk = von_mises_squared(pts[k - 1])
        if qk > best:
            best = qk
            m = k
    # points indexed 1..P; index 0 is the unused zero row
    pt = [list(ZERO6)] + pts
    R = [None] * (P + 2)
    for k in range(1, P - m + 2):
        R[k] = pt[m + k - 1]
    for k in range(1, m):
        R[P - m + 1 + k] = pt[k]
    R[P + 1] = R[1]
    Pc = P + 1
    I1 = [0.0] * (Pc + 1)
    for k in range(1, Pc + 1):
        I1[k] = first_invariant(R[k])

    hc = HalfCycles()
    path_points = []  # (state, owner) with owner 0-based
    rs0 = von_mises_squared(vsub(R[2], R[1]))
    hc.sigA.append(R[1])
    hc.sigB.append(R[2])
    hc.rs.append(rs0)
    hc.closed.append(0)
    hc.mi.append((csqrt(rs0) * (I1[2] + I1[1])) / 2.0)
    path_points.append((R[1], 0))
    path_points.append((R[2], 0))
    open_list = [0]

    for pos in range(3, Pc + 1):
        Pprev = R[pos - 1]
        Ppos = R[pos]
        v = vsub(Ppos, Pprev)
        lmin = 1.0
        jmin = NO_INDEX
        for j in list(open_list):
            if hc.closed[j]:
                continue
            sA = hc.sigA[j]
            dNew = von_mises_squared(vsub(Ppos, sA))
            if dNew <= hc.rs[j]:
                continue
            dOld = von_mises_squared(vsub(Pprev, sA))
            mirror = [((2.0 * Pprev[k]) - Ppos[k]) - sA[k] for k in range(6)]
            dMirror = von_mises_squared(mirror)
            a = (dNew + dMirror) / 2.0 - dOld
            hh = (dNew - dMirror) / 2.0
            if not (a > 0.0):
                continue
            disc = hh * hh - (4.0 * a) * (dOld - hc.rs[j])
            if disc < 0.0:
                disc = 0.0
            sd = csqrt(disc)
            lam = max_of((sd - hh) / (2.0 * a), (-hh - sd) / (2.0 * a))
            if lam >= lmin:
                if lam < 1.0:
                    hc.closed[j] = 1
            else:
                jmin = min_of(jmin, j + 1)
                r0 = hc.rs[j]
                new_rs = (dOld + (lmin * lmin) * a) + hh * lmin
                hc.rs[j] = new_rs
                end_pt = [Pprev[k] + lmin * v[k] for k in range(6)]
                hc.sigB[j] = end_pt
                path_points.append(([Pprev[k] + lam * v[k] for k in range(6)], j))
                path_points.append((list(end_pt), j))
                inc = ((csqrt(new_rs) - csqrt(r0)) *
                       (I1[pos] * (lam + lmin) + I1[pos - 1] * ((2.0 - lam) - lmin))) / 2.0
                hc.mi[j] = hc.mi[j] + inc
                if lmin < 1.0:
                    hc.closed[j] = 1
                lmin = lam
        Ncur = len(hc.rs)
        if jmin != NO_INDEX:
            for j in range(jmin, Ncur):  # 0-based jmin .. N-1 = indexes jmin+1 .. N
                hc.closed[j] = 1
        # new half-cycle on the remaining piece [0, lmin]
        end_pt = [Pprev[k] + lmin * v[k] for k in range(6)]
        new_rs = (lmin * lmin) * von_mises_squared(vsub(Ppos, Pprev))
        hc.sigA.append(Pprev)
        hc.sigB.append(end_pt)
        hc.rs.append(new_rs)
        path_points.append((Pprev, Ncur))
        path_points.append((list(end_pt), Ncur))
        hc.mi.append((csqrt(new_rs) * (lmin * I1[pos] + (2.0 - lmin) * I1[pos - 1])) / 2.0)
        if lmin == 1.0:
            hc.closed.append(0)
        else:
            hc.closed.append(1)
        open_list = [j for j in open_list if not hc.closed[j]]
        if not hc.closed[Ncur]:
            open_list.append(Ncur)

    if len(path_points) > 4 * tpc - 2:
        raise runtime_error("024")
    ends = None
    if p.cycExtr == 1:
        if p.format != 1:
            raise runtime_error("912")
        ends = [(list(hc.sigA[j]), list(hc.sigB[j])) for j in range(len(hc.rs))]
    if p.pathCorrection == 1:
        for X, j in path_points:
            r = csqrt(hc.rs[j])
            two = csqrt(von_mises_squared(vsub(X, hc.sigA[j]))) + \
                csqrt(von_mises_squared(vsub(hc.sigB[j], X)))
            pr = max_of(r, two)
            hc.rs[j] = pr * pr
    return hc, ends


# ---------------------------------------------------------------------------
# S-N curves, mean-stress correction, verdicts
# ---------------------------------------------------------------------------

class Curve:
    def __init__(self, p, fmt):
        self.p = p
        t = p.snType
        if t == 1:
            self.static_limit = p.El + cpow(10.0, fdiv(decimal_log(p.C) - p.L1, p.pp))
        elif t == 2:
            self.static_limit = p.Sault
        else:
            if fmt == 3 and t == 3:
                raise FatalStop(["ARRIVATO QUA CON LA CURVA MULTILINEARE !!!"])
            raise FatalStop(["Type of SN curve definition needs values 1, 2 or 3"])

    def equivalent(self, Sa, m):
        p = self.p
        meth = p.gMethod
        if meth == 1:
            if abs(m) <= 0.0001:
                return Sa
            sg = 1.0 if m > 0 else (-1.0 if m < 0 else 0.0)
            return fdiv(Sa, 1.0 - sg * cpow(fdiv(abs(m), p.gSmMax), p.gExp))
        if meth == 2:
            if m >= 0.0001:
                return fdiv(Sa, 1.0 - cpow(fdiv(m, p.gSmMax), p.gExp))
            return Sa
        if abs(m) <= 0.0001:
            return Sa
        return fdiv(Sa, 1.0 - cpow(fdiv(abs(m), p.gSmMax), p.gExp))

    def verdict(self, Seq, m):
        """('static', 1|2), ('none', 0) or ('cycles', N)."""
        p = self.p
        tested = m if p.gMethod in (1, 2) else abs(m)
        if tested >= p.gSmMax:
            return ("static", 1)
        if p.snType == 1:
            if Seq >= self.static_limit:
                return ("static", 2)
            if Seq <= p.El:
                return ("none", 0)
            return ("cycles", cpow(10.0, p.L1 + p.pp * decimal_log(Seq - p.El)) - p.C)
        if Seq >= p.Sault:
            return ("static", 2)
        if Seq <= p.Sainf:
            return ("none", 0)
        ratio = fdiv(Seq - p.Sainf, p.Sault - p.Sainf)
        return ("cycles", cpow(10.0, p.alfa * cpow(-clog(ratio), fdiv(1.0, p.beta))))


def nan_damage(node_id):
    return FatalStop(["Error: the damage is not a number at node ID %d, please check the material "
                      "and S-N curve data" % node_id])


def node_code(f1, f2):
    if f1 and f2:
        return 12
    if f1:
        return 1
    if f2:
        return 2
    return 0


def half_cycle_damage(p, curve, hc, fmt, node_id):
    """Damage of a path; returns (D, code, maxHC, lines, last_static_type)."""
    D = 0.0
    f1 = f2 = False
    code = 0
    max_hc = -10000.0
    rows = []  # (index, mean, Sa, hcd, flag) for the detail files
    last_static = 0
    any_static = False
    for j in range(len(hc.rs)):
        flag = 0
        Sa = csqrt(hc.rs[j]) / 2.0
        if Sa <= 0.0001:
            continue
        m = fdiv(hc.mi[j], csqrt(hc.rs[j]))
        Seq = curve.equivalent(Sa, m)
        kind, val = curve.verdict(Seq, m)
        if kind == "cycles":
            hcd = fdiv(1.0, val)
            D += fdiv(1.0, val)
        elif kind == "none":
            hcd = 0.0
        else:
            hcd = 2.0
            D += 2.0
            if val == 1:
                f1 = True
            else:
                f2 = True
            flag = val
            last_static = val
        if fmt == 2:
            if hcd > max_hc:
                max_hc = hcd
            code = node_code(f1, f2)
            if code > 0:
                any_static = True
        if not (Sa > 0.0001):
            continue
        rows.append((j, m, Sa, hcd, flag))
    if D != D:
        raise nan_damage(node_id)
    D = D / 2.0
    return D, code, max_hc, rows, last_static, any_static


def store_damage(D):
    if D >= 1e-18:
        return D, fdiv(1.0, D)
    return 1e-18, 1e18


# ---------------------------------------------------------------------------
# The run
# ---------------------------------------------------------------------------

class Run:
    def __init__(self):
        self.con = CONSOLE

    def job_file(self, ext):
        return self.jobdir + b"/" + self.jobname + ext

    def start(self):
        con = self.con
        con.line("Runtime begin", ZONE, time.strftime("%H:%M:%S"))
        con.line(VERSION_LINE)
        con.line(" ")
        con.line(EXEC_LINE)
        data = read_input_file(b"korvanel.inp")
        rd = Reader(data, b"korvanel.inp")
        self.jobdir = rd.string_value()
        self.jobname = rd.string_value()
        inp = self.job_file(b".inp")
        con.line("Name of input file : ", ZONE, inp)
        p = read_parameters(inp)
        check_parameters(p)
        self.p = p
        self.read_inputs()
        self.node_loop()
        self.finish()
        con.line("End of KORVANEL")
        con.line("Runtime end", ZONE, time.strftime("%H:%M:%S"))

    # -- input data ---------------------------------------------------------

    def read_inputs(self):
        p = self.p
        self.groups = []
        if p.bdType == 2:
            self.groups = read_block_groups(self.job_file(b".btf"))
        self.materials = []
        if p.format == 1:
            self.sig = read_stress_history(self.job_file(b".sig"))
            self.tpc = len(self.sig)
            self.node_count = 1
            self.found = True
            return
        if p.matMode == 2:
            self.materials = read_materials(self.job_file(b".mtr"))
        self.ids, self.mats, self.base, self.lcs = read_node_stresses(self.job_file(b".nds"), p)
        self.node_count = p.nodeCount
        self.damage = [0.0] * self.node_count
        self.life = [0.0] * self.node_count
        self.code = [-1] * self.node_count
        if p.format == 2:
            self.tpc, self.factors = read_combination(self.job_file(b".cmb"), p.lcCount)
        else:
            (self.block_count, self.bfrom, self.bto,
             self.bcycles) = read_block_spectrum(self.job_file(b".blc"), p.lcCount)
        self.found = False
        for n in range(self.node_count):
            if self.ids[n] == p.cNode:
                self.found = True
        if not self.found:
            self.write_not_existing()

    def write_not_existing(self):
        ch = Channel()
        ch.line("The node where complete output is requested looks not existing: please chek node ID =",
                ZONE, print_int(self.p.cNode))
        write_output_file(self.job_file(b".cyc"), ch)

    # -- per node -------------------------------------------------------------

    def select_material(self, mat_id):
        p = self.p
        for r in self.materials:
            if r["id"] != mat_id:
                continue
            p.Sy, p.E, p.Su, p.A = r["Sy"], r["E"], r["Su"], r["A"]
            p.snType = r["snType"]
            t = r["snType"]
            if t not in (1, 2):
                if p.format == 2:
                    raise FatalStop(["Type of SN curve definition needs values 1, 2 or 3"])
                if t == 3:
                    raise FatalStop(["MODELLO MULTILINEARE TUTTO DA RIVEDERE"])
                raise FatalStop(["Type of SN curve definition needs values 1, 2 or 3"],
                                ["Type of SN curve definition values 1, 2 or 3"])
            if t == 1:
                p.L1, p.pp, p.C, p.El = r["sn"]
            else:
                p.Sainf, p.Sault, p.alfa, p.beta = r["sn"]
            p.gExp, p.gMethod, p.gSmMax = r["gExp"], r["gMethod"], r["gSmMax"]

    def node_setup(self, n):
        p = self.p
        if p.format != 1 and p.matMode == 2:
            self.select_material(self.mats[n])
        mat = Material(p)
        if p.elastoPlastic == 1:
            check_elasto_plastic_material(mat)
        curve = Curve(p, p.format)
        return mat, curve

    def node_loop(self):
        p = self.p
        self.any_static = False
        if p.format == 1:
            self.history_node()
            return
        for n in range(self.node_count):
            if p.format == 2:
                self.combination_node(n)
            else:
                self.block_node(n)

    def history_node(self):
        p = self.p
        mat, curve = self.node_setup(0)
        hist = [list(r) for r in self.sig]
        pts = compact(hist)
        if p.elastoPlastic == 1:
            pts = correct_path(p, mat, pts, self.tpc)
            write_output_file(self.job_file(b".sep"), sep_channel(pts))
        hc, ends = extract_cycles(p, pts, self.tpc)
        D, _code, _mx, rows, last_static, _any = half_cycle_damage(p, curve, hc, 1, 1)
        if D != D:
            raise nan_damage(1)
        self.total_damage = D
        self.history_static = last_static
        ch = Channel()
        ch.line(" Fatigue half-cycles")
        ch.line(" Mean Stress  Amplitude     Damage        Static Failure")
        for j, m, Sa, hcd, flag in rows:
            ch.line(fmt_e(m), ZONE, fmt_e(Sa), ZONE, fmt_e(hcd / 2.0), ZONE, print_int(flag))
        write_output_file(self.job_file(b".cyc"), ch)
        if p.cycExtr == 1:
            ch = Channel()
            ch.line(" Fatigue half-cycles")
            ch.line(" sigA(1,...,6)  ,  sigB(1,...,6)  ")
            for j, m, Sa, hcd, flag in rows:
                a, b = ends[j]
                items = []
                for val in a + b:
                    if items:
                        items.append(ZONE)
                    items.append(fmt_e(val))
                ch.line(*items)
            write_output_file(self.job_file(b".cif"), ch)

    def combination_node(self, n):
        p = self.p
        node_id = self.ids[n]
        mat, curve = self.node_setup(n)
        hist = [combine(p.F, p.G, self.base[n], self.lcs[n], self.factors[t], p.lcCount)
                for t in range(self.tpc)]
        pts = compact(hist)
        if p.elastoPlastic == 1:
            pts = correct_path(p, mat, pts, self.tpc)
            if node_id == p.cNode:
                write_output_file(self.job_file(b".sep"), sep_channel(pts))
        if len(pts) <= 1 and ALLOW_UNLOADED_NODES:
            # An unloaded node: no half-cycle, so no damage.
            if p.cycExtr == 1:
                raise runtime_error("912")
            hc = HalfCycles()
        else:
            hc, _ends = extract_cycles(p, pts, self.tpc)
        D, code, max_hc, rows, _last, any_static = half_cycle_damage(p, curve, hc, 2, node_id)
        if any_static:
            self.any_static = True
        if code < 0:
            raise runtime_error("109")
        if p.gag == 1:
            D = max_hc / 2.0
        if D != D:
            raise nan_damage(node_id)
        self.damage[n], self.life[n] = store_damage(D)
        self.code[n] = code
        if node_id == p.cNode:
            ch = Channel()
            ch.line(" Fatigue half-cycles")
            ch.line(" Node ID       Mean Stress  Amplitude     Damage        Static Failure")
            for j, m, Sa, hcd, flag in rows:
                ch.line(print_int(p.cNode), ZONE, fmt_e(m), ZONE, fmt_e(Sa), ZONE,
                        fmt_e(hcd / 2.0), ZONE, print_int(flag))
            write_output_file(self.job_file(b".cyc"), ch)

    def block_node(self, n):
        p = self.p
        node_id = self.ids[n]
        mat, curve = self.node_setup(n)
        lc = p.lcCount
        base = self.base[n]
        lcs = self.lcs[n]
        A, B = [], []
        for b in range(self.block_count):
            a_state = [0.0] * 6
            b_state = [0.0] * 6
            for k in range(6):
                sa = 0.0
                sb = 0.0
                for c in range(1, lc + 1):
                    sa = sa + self.bfrom[b][c - 1] * lcs[c][k]
                for c in range(1, lc + 1):
                    sb = sb + self.bto[b][c - 1] * lcs[c][k]
                a_state[k] = p.F * (base[k] + p.G * sa)
                b_state[k] = p.F * (base[k] + p.G * sb)
            A.append(a_state)
            B.append(b_state)
        Ac, Bc = correct_blocks(p, mat, A, B)
        D = 0.0
        f1 = f2 = False
        code = 0
        max_bd = -10000.0
        bdam = []
        rows = []
        for b in range(self.block_count):
            H = [0.5 * (Bc[b][k] - Ac[b][k]) for k in range(6)]
            M = [0.5 * (Ac[b][k] + Bc[b][k]) for k in range(6)]
            amp2 = von_mises_squared(H)
            mean = first_invariant(M)
            amp = csqrt(amp2)
            Sa = p.lvf * amp
            Seq = curve.equivalent(Sa, mean)
            kind, val = curve.verdict(Seq, mean)
            flag = 0
            if kind == "cycles":
                d1 = fdiv(1.0, val)
            elif kind == "none":
                d1 = 0.0
            else:
                d1 = 1.0
                flag = val
                if val == 1:
                    f1 = True
                else:
                    f2 = True
            bd = d1 * self.bcycles[b]
            bdam.append(bd)
            D += bd
            if bd > max_bd:
                max_bd = bd
            code = node_code(f1, f2)
            if code > 0:
                self.any_static = True
            rows.append((mean, amp, self.bcycles[b], d1, flag))
        if D != D:
            raise nan_damage(node_id)
        if code < 0:
            raise runtime_error("109")
        if p.bdType == 0:
            D = max_bd
        elif p.bdType == 2:
            best = -1.23456
            for first, last in self.groups:
                s = 0.0
                for b in range(self.block_count):
                    if first <= b + 1 <= last:
                        s += bdam[b]
                if s > best:
                    best = s
            D = best
        if D != D:
            raise nan_damage(node_id)
        self.damage[n], self.life[n] = store_damage(D)
        self.code[n] = code
        if node_id == p.cNode:
            ch = Channel()
            ch.line(" Fatigue cycles")
            ch.line(" Node ID       Mean Stress  Amplitude      No. of cycles              "
                    "Damage of 1 cycle        Static Failure")
            for mean, amp, cyc, d1, flag in rows:
                if flag > 2:
                    write_output_file(self.job_file(b".cyc"), ch)
                    raise runtime_error("409")
                ch.line(print_int(p.cNode), ZONE, fmt_e(mean), ZONE, fmt_e(amp), ZONE,
                        print_int(round(cyc)), ZONE, "  ", ZONE, fmt_e(d1), ZONE, "  ", ZONE,
                        print_int(flag))
            write_output_file(self.job_file(b".cyc"), ch)

    # -- results --------------------------------------------------------------

    def finish(self):
        p = self.p
        if p.format != 1:
            if not self.found:
                self.write_not_existing()
            lu = p.lifeUnits
            ch = Channel()
            ch.line(" Node ID      Damage        Life           Static Failure")
            self.max_damage = -123456000.0
            self.max_id = 0
            self.max_life = 0.0
            self.max_code = 0
            for n in range(self.node_count):
                if not (self.max_damage >= self.damage[n]):
                    self.max_damage = self.damage[n]
                    self.max_id = self.ids[n]
                    self.max_life = self.life[n]
                    self.max_code = self.code[n]
                ch.line(print_int(self.ids[n]), ZONE, fmt_e(fdiv(self.damage[n], lu)), ZONE,
                        fmt_e(self.life[n] * lu), ZONE, print_int(self.code[n]))
            write_output_file(self.job_file(b".ndd"), ch)
            ch = Channel()
            for n in range(self.node_count):
                ch.line(fmt_e(float(self.ids[n])), " ", fmt_e(decimal_log(self.life[n] * lu)))
            write_output_file(self.job_file(b".ans"), ch)
        ch = Channel()
        ch.line(TITLE)
        ch.line(" ")
        self.summary_body(ch)
        write_output_file(self.job_file(b".sum"), ch)
        con = self.con
        con.line(TITLE)
        self.summary_body(con)
        if p.format != 1 and not self.found:
            con.line("The node where complete output was requested looks not existing! please chek node ID: ",
                     ZONE, print_int(p.cNode))

    def summary_body(self, ch):
        p = self.p
        if p.matMode == 1:
            ch.line("The following parameters define the elasto-plastic behavior of the material:")
            ch.line("Yielding stress ", ZONE, print_real(p.Sy))
            ch.line("Young's modulus ", ZONE, print_real(p.E))
            ch.line("Static strength ", ZONE, print_real(p.Su))
            ch.line("Total strain at failure (%)", ZONE, print_real(p.A))
        if p.elastoPlastic == 1 and p.epMethod == 1:
            ch.line("The elasto-plastic correction with Neuber Linear has been applied")
        elif p.elastoPlastic == 1:
            ch.line("The elasto-plastic correction with Neuber Non-Linear has been applied")
        else:
            ch.line("Analysis performed without elasto-plastic correction")
        if p.matMode == 1:
            ch.line(" ")
            ch.line("The following unique set of material properties has been used for the analysis:")
            if p.snType == 1:
                ch.line("The S-N curve format is the Palmgren's equation, with the following parameters:")
                ch.line("L1 = ", ZONE, print_real(p.L1))
                ch.line("p = ", ZONE, print_real(p.pp))
                ch.line("C = ", ZONE, print_real(p.C))
                ch.line("Endurance limit = ", ZONE, print_real(p.El))
            elif p.snType == 2:
                ch.line("The S-N curve format is the Weibull's equation, with the following parameters:")
                ch.line("Sainf = ", ZONE, print_real(p.Sainf))
                ch.line("Sault = ", ZONE, print_real(p.Sault))
                ch.line("alfa = ", ZONE, print_real(p.alfa))
                ch.line("beta = ", ZONE, print_real(p.beta))
            ch.line("Parameters for the mean-stress correction:")
            ch.line("Goodman exponent", ZONE, print_real(p.gExp))
            ch.line("Goodman method", ZONE, print_int(p.gMethod))
            ch.line("Goodman SmMAX   ", ZONE, print_real(p.gSmMax))
        if p.format == 1:
            if self.history_static in (1, 2):
                ch.line("Static Failure occurred, see file .cyc for details")
            D = self.total_damage
            if D <= 1e-18:
                ch.line("Total damage is < 1e-18")
                ch.line("Number of Life Repeats is > 1e18")
            else:
                life = fdiv(1.0, D)
                ch.line("Total damage is equal to", ZONE, print_real(D))
                ch.line("Number of Life Repeats", ZONE, print_real(life))
                ch.line("Total Fatigue Life", ZONE, print_real(p.lifeUnits * life))
            return
        nid = self.max_id
        ch.line(" ")
        ch.line("Number of nodes ", ZONE, print_int(p.nodeCount))
        ch.line("Number of load cases ", ZONE, print_int(p.lcCount))
        if p.format == 2:
            ch.line("Number of time points ", ZONE, print_int(self.tpc))
        else:
            ch.line("Number of blocks ", ZONE, print_int(self.block_count))
        ch.line("For the damage summary on all the nodes see file .ndd")
        if self.any_static:
            ch.line("Static Failure occurred at least at one node, see file .ndd for the details at the nodes")
        ch.line("Max damage is at node ", ZONE, print_int(nid))
        ch.line("Damage at node ", ZONE, print_int(nid), ZONE, "is = ", ZONE, print_real(self.max_damage))
        ch.line("Life Repeats at node ", ZONE, print_int(nid), ZONE, "are = ", ZONE, print_real(self.max_life))
        ch.line("Total Fatigue Life at node ", ZONE, print_int(nid), ZONE, "is = ", ZONE,
                print_real(p.lifeUnits * self.max_life))
        if self.max_code == 1:
            ch.line("Static failure of type 1 occurred at node ", ZONE, print_int(nid))
        elif self.max_code == 2:
            ch.line("Static failure of type 2 occurred at node ", ZONE, print_int(nid))
        elif self.max_code == 12:
            ch.line("Static failures of both type 1 and 2 occurred at node ", ZONE, print_int(nid))


def fatal(stop):
    for ln in stop.lines:
        CONSOLE.line(ln)
    try:
        with open("korvanel.adv", "wb") as f:
            f.write(b"".join(ln + b"\r\n" for ln in stop.advisory))
    except OSError:
        pass


# --allow-unloaded-nodes: a format 2 node whose path is constant gets no damage
# instead of Runtime Error Code 018.
ALLOW_UNLOADED_NODES = False


def main():
    global CONSOLE, ALLOW_UNLOADED_NODES
    ALLOW_UNLOADED_NODES = "--allow-unloaded-nodes" in sys.argv[1:]
    CONSOLE = Console()
    status = 0
    try:
        Run().start()
    except FatalStop as stop:
        fatal(stop)
        status = 1
    sys.stdout.buffer.flush()
    return status


if __name__ == "__main__":
    sys.exit(main())
