"""The analysis parameter file (.inp): its nineteen records, read as the program reads them."""
from types import SimpleNamespace

from .value_reading import ValueReader

# (comment lines before the record, [(field, kind), ...]) in file order.
_RECORDS = [
    (1, [("yieldStress", "r"), ("youngsModulus", "r"), ("staticStrength", "r"),
         ("strainAtFailurePercent", "r")]),
    (1, [("elastoPlastic", "i")]),
    (1, [("elastoPlasticMethod", "i")]),
    (1, [("stressPathCorrection", "i")]),
    (1, [("snCurveType", "i")]),
    (2, [("palmgrenL1", "r"), ("palmgrenP", "r"), ("palmgrenC", "r"), ("enduranceLimit", "r")]),
    (2, [("weibullSainf", "r"), ("weibullSault", "r"), ("weibullAlfa", "r"),
         ("weibullBeta", "r")]),
    (2, [("multilinearReal", "r")] + [("multilinearInt%d" % i, "i") for i in range(1, 8)]),
    (1, [("goodmanExponent", "r"), ("goodmanMethod", "i"), ("goodmanSmMax", "r")]),
    (1, [("stressInputFormat", "i")]),
    (1, [("stressScaleFactor", "r"), ("loadCaseScaleFactor", "r")]),
    (1, [("completeOutputNode", "i")]),
    (1, [("materialsMode", "i")]),
    (1, [("nodeCount", "i"), ("loadCaseCount", "i")]),
    (1, [("loadVariabilityFactor", "r")]),
    (1, [("groundAirGround", "i")]),
    (1, [("cyclesExtraction", "i")]),
    (1, [("blocksDamageType", "i")]),
    (1, [("lifeUnitsPerRepeat", "r")]),
]


def read_parameters(data):
    """The parameters of the bytes of a .inp file; raises NumberOutOfRange as the program stops."""
    reader = ValueReader(data)
    values = {}
    for comments, fields in _RECORDS:
        reader.skip_lines(comments)
        for name, kind in fields:
            values[name] = reader.real() if kind == "r" else reader.integer()
    return SimpleNamespace(**values)


FORMAT_NAMES = {
    1: "1: one stress history (.sig)",
    2: "2: node stresses with load-case combination (.nds, .cmb)",
    3: "3: node stresses with block spectrum (.nds, .blc)",
}
CURVE_NAMES = {1: "Palmgren", 2: "Weibull", 3: "multilinear (not evaluated)"}
CORRECTION_NAMES = {1: "Neuber Linear", 2: "Neuber Non-Linear"}
GOODMAN_METHODS = {1: "1 (tensile means raise, compressive lower the amplitude)",
                   2: "2 (tensile means only)", 3: "3 (tension and compression alike)"}
BLOCKS_DAMAGE_TYPES = {0: "0: the worst block", 1: "1: the sum of all blocks",
                       2: "2: the worst group of blocks (.btf)"}
