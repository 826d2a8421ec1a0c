import math
import unittest
from types import SimpleNamespace

import numpy as np

from korvanel_report import sn_curve


def palmgren(L1, p, C, E):
    return sn_curve.curve_of(SimpleNamespace(snCurveType=1, palmgrenL1=L1, palmgrenP=p,
                                             palmgrenC=C, enduranceLimit=E))


def goodman(method, k=1.0, smax=600.0):
    return SimpleNamespace(goodmanMethod=method, goodmanExponent=k, goodmanSmMax=smax)


class Curves(unittest.TestCase):
    def test_palmgren(self):
        curve = palmgren(12, -3, 1, 0)
        self.assertAlmostEqual(curve.static, 10000.0)
        n = sn_curve.cycles_to_failure(curve, [100.0, 10000.0])
        self.assertAlmostEqual(n[0], 999999.0, delta=1e-6)
        self.assertTrue(math.isnan(n[1]))  # static failure of type 2
        self.assertAlmostEqual(float(sn_curve.amplitude_at(curve, 999999.0)), 100.0)

    def test_palmgren_limits(self):
        curve = palmgren(12.6, -3.5, 0, 50)
        self.assertEqual(curve.static, math.inf)  # C = 0: no static limit
        self.assertEqual(sn_curve.cycles_to_failure(curve, [50.0])[0], math.inf)

    def test_weibull(self):
        curve = sn_curve.curve_of(SimpleNamespace(snCurveType=2, weibullSainf=80,
                                                  weibullSault=450, weibullAlfa=6.5,
                                                  weibullBeta=2))
        n = sn_curve.cycles_to_failure(curve, [80.0, 200.0, 450.0])
        self.assertEqual(n[0], math.inf)
        self.assertAlmostEqual(n[1], 10 ** (6.5 * math.sqrt(-math.log(120 / 370))), delta=1)
        self.assertTrue(math.isnan(n[2]))
        self.assertAlmostEqual(float(sn_curve.amplitude_at(curve, n[1])), 200.0)

    def test_other_types_are_not_drawn(self):
        self.assertIsNone(sn_curve.curve_of(SimpleNamespace(snCurveType=3)))


class MeanStressCorrection(unittest.TestCase):
    def seq(self, method, mean):
        return float(sn_curve.equivalent_amplitude([100.0], [mean], goodman(method))[0])

    def test_methods(self):
        self.assertAlmostEqual(self.seq(1, 200), 150.0)
        self.assertAlmostEqual(self.seq(1, -200), 75.0)
        self.assertEqual(self.seq(2, -200), 100.0)
        self.assertAlmostEqual(self.seq(2, 200), 150.0)
        self.assertAlmostEqual(self.seq(3, -200), self.seq(3, 200))
        self.assertAlmostEqual(self.seq(7, -200), 150.0)  # other methods act as 3

    def test_mean_gate(self):
        self.assertEqual(self.seq(1, 0.0001), 100.0)
        self.assertEqual(self.seq(3, -0.0001), 100.0)
        self.assertGreater(self.seq(2, 0.0001), 100.0)

    def test_arrays(self):
        seq = sn_curve.equivalent_amplitude(np.array([100.0, 100.0]), np.array([0.0, 300.0]),
                                            goodman(1))
        self.assertEqual(list(seq), [100.0, 200.0])


if __name__ == "__main__":
    unittest.main()
