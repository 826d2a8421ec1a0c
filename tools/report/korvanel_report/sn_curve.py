"""The S-N curve and mean-stress correction of a job, evaluated on arrays for the drawing.

The formulas are the program's: Goodman-type equivalent amplitude, then Palmgren
log10(N + C) = L1 + p log10(Seq - E) or Weibull
N = 10^(alfa (-ln((Seq - Sainf) / (Sault - Sainf)))^(1/beta)).
"""
from types import SimpleNamespace

import numpy as np

MEAN_GATE = 0.0001


def curve_of(p):
    """The curve of the parameters, or None when its type is not drawn (not 1 or 2)."""
    if p.snCurveType == 1:
        E = p.enduranceLimit
        with np.errstate(all="ignore"):
            static = E + 10.0 ** ((np.log10(p.palmgrenC) - p.palmgrenL1) / p.palmgrenP) \
                if p.palmgrenC > 0 else np.inf
        return SimpleNamespace(kind=1, name="Palmgren", L1=p.palmgrenL1, p=p.palmgrenP,
                               C=p.palmgrenC, limit=E, static=float(static))
    if p.snCurveType == 2:
        return SimpleNamespace(kind=2, name="Weibull", limit=p.weibullSainf,
                               sault=p.weibullSault, alfa=p.weibullAlfa, beta=p.weibullBeta,
                               static=p.weibullSault)
    return None


def equivalent_amplitude(amplitude, mean, p):
    """Seq of every half-cycle or block (methods other than 1 and 2 act as 3)."""
    k, smax, method = p.goodmanExponent, p.goodmanSmMax, p.goodmanMethod
    a, m = np.asarray(amplitude, float), np.asarray(mean, float)
    with np.errstate(all="ignore"):
        if method == 1:
            corrected = a / (1.0 - np.sign(m) * (np.abs(m) / smax) ** k)
            return np.where(np.abs(m) <= MEAN_GATE, a, corrected)
        if method == 2:
            corrected = a / (1.0 - (m / smax) ** k)
            return np.where(m >= MEAN_GATE, corrected, a)
        corrected = a / (1.0 - (np.abs(m) / smax) ** k)
        return np.where(np.abs(m) <= MEAN_GATE, a, corrected)


def cycles_to_failure(curve, seq):
    """N of each equivalent amplitude; inf at or below the fatigue limit, nan where the curve
    gives nothing (above its static limit)."""
    s = np.asarray(seq, float)
    with np.errstate(all="ignore"):
        if curve.kind == 1:
            n = 10.0 ** (curve.L1 + curve.p * np.log10(s - curve.limit)) - curve.C
        else:
            x = (s - curve.limit) / (curve.sault - curve.limit)
            n = 10.0 ** (curve.alfa * (-np.log(x)) ** (1.0 / curve.beta))
    n = np.where(s <= curve.limit, np.inf, n)
    return np.where(s >= curve.static, np.nan, n)


def amplitude_at(curve, n):
    """The equivalent amplitude at which the curve gives N cycles (the curve's inverse)."""
    n = np.asarray(n, float)
    with np.errstate(all="ignore"):
        if curve.kind == 1:
            return curve.limit + 10.0 ** ((np.log10(n + curve.C) - curve.L1) / curve.p)
        x = np.exp(-(np.log10(n) / curve.alfa) ** curve.beta)
        return curve.limit + (curve.sault - curve.limit) * x
