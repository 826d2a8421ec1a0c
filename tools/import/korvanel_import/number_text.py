"""Reals as text that reads back as the very same double, many at a time.

A value whose exact decimal has at most 15 significant digits (every value read from a .frd,
which has 6, and most values of other files) is written from its digits with numpy: digits m
and power k are found and m x 10^k is checked to give the value back exactly (m < 2^53 and
10^k with |k| <= 22 are exact doubles, so the one product or quotient is correctly rounded).
It is written d.ddde+XX without trailing zeros. Any other value is written by Python's repr,
the shortest text that reads back as the same double.
"""
import numpy as np

POWERS = 10.0 ** np.arange(23)
INT_POWERS = 10 ** np.arange(17, dtype=np.int64)
WIDTH = 36          # sign, 15 digits each with a slot for the point after it, e, sign, 3 digits
ZERO = ord("0")


def _exact_digits(a, digits):
    """For positive finite a: (ok, m, k) with m x 10^k == a exactly where ok; m is an
    integer-valued double."""
    with np.errstate(all="ignore"):
        k = np.floor(np.log10(a)) - (digits - 1)
        ok = np.abs(k) <= 22
        scale = POWERS[np.where(ok, np.abs(k), 0).astype(np.int64)]
        m = np.rint(np.where(k < 0, a * scale, a / scale))
        back = np.where(k < 0, m / scale, m * scale)
    ok &= (back == a) & (m < 1e15)
    return ok, np.where(ok, m, 0.0), k


def _split(m):
    """m // 10 and m % 10 of integer-valued doubles below 10^15: exact, since m / 10 is
    within half an ulp of the quotient and the ulp is far below 0.1 there."""
    q = np.floor(m / 10.0)
    return q, m - 10.0 * q


def _scientific(negative, m, k):
    """d.ddde+XX of m x 10^k, m > 0 without trailing zeros, as zero-padded bytes (n, WIDTH):
    the digits right-aligned in fixed slots, the point in the slot after the first digit."""
    n = len(m)
    ndig = np.ones(n, np.int64)
    for p in range(1, 16):
        ndig += m >= POWERS[p]
    exponent = (k + ndig - 1).astype(np.int64)
    out = np.zeros((n, WIDTH), np.uint8)
    out[:, 0] = np.where(negative, ord("-"), 0)
    rest = m
    for i in range(int(ndig.max())):         # digit i from the right, in slot 15 - i
        rest, digit = _split(rest)
        out[:, 1 + 2 * (14 - i)] = np.where(i < ndig, digit + ZERO, 0)
    several = np.nonzero(ndig > 1)[0]
    out[several, 2 + 2 * (15 - ndig[several])] = ord(".")
    a = np.abs(exponent)
    out[:, 31] = ord("e")
    out[:, 32] = np.where(exponent < 0, ord("-"), ord("+"))
    out[:, 33] = np.where(a >= 100, a // 100 + ZERO, 0)
    out[:, 34] = (a // 10) % 10 + ZERO
    out[:, 35] = a % 10 + ZERO
    return out


def real_columns(values):
    """The text of each value of a 1-D float64 array as zero-padded bytes (n, WIDTH)."""
    values = np.asarray(values, np.float64)
    n = len(values)
    negative = np.signbit(values)
    a = np.abs(values)
    fast = np.zeros(n, bool)
    m = np.zeros(n)
    k = np.zeros(n)
    candidate = (a > 0) & np.isfinite(a)
    for digits in (6, 15):
        todo = candidate & ~fast
        if digits == 6:
            ok, m, k = _exact_digits(np.where(todo, a, 1.0), digits)
            fast = ok & todo
            continue
        todo = np.nonzero(todo)[0]
        if len(todo):
            ok, mm, kk = _exact_digits(a[todo], digits)
            m[todo[ok]], k[todo[ok]], fast[todo[ok]] = mm[ok], kk[ok], True
    for _ in range(15):                      # drop the trailing zeros of the digits
        q, r = _split(m)
        z = fast & (r == 0) & (m > 0)
        if not z.any():
            break
        m = np.where(z, q, m)
        k = k + z
    if fast.all():
        return _scientific(negative, m, k)
    out = np.zeros((n, WIDTH), np.uint8)
    if fast.any():
        out[fast] = _scientific(negative[fast], m[fast], k[fast])
    slow = np.nonzero(~fast)[0]
    texts = [repr(v) for v in values[slow].tolist()]
    out[slow] = np.array(texts, dtype="S%d" % WIDTH).view(np.uint8).reshape(-1, WIDTH)
    return out


def texts(values):
    """The texts of a 1-D array of values, as str (for tests and small files)."""
    cols = real_columns(values)
    return [row[row != 0].tobytes().decode() for row in cols]
