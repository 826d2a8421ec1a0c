"""Joining the .ndd to the mesh and finding the hotspots, on a strip of five squares."""
import unittest
from types import SimpleNamespace

import numpy as np

from korvanel_report import mesh_results


def strip():
    """Points 0..11 in two rows, five quads side by side."""
    points = np.array([[x, y, 0.0] for y in (0, 1) for x in range(6)])
    quads = np.array([[i, i + 1, i + 7, i + 6] for i in range(5)])
    return SimpleNamespace(points=points, cells=[SimpleNamespace(type="quad", data=quads)],
                           point_data={"node_id": np.arange(100, 112)})


class Join(unittest.TestCase):
    def test_rows_by_node_id(self):
        nodes = {"ids": np.array([105, 100, 105, 999]),
                 "damage": np.array([1e-6, 2e-6, 3e-6, 1.0])}
        rows = mesh_results.join(np.arange(100, 112), nodes)
        self.assertEqual(rows[0], 1)
        self.assertEqual(rows[5], 2)            # a repeated ID: its most damaged row
        self.assertTrue(np.all(rows[[1, 2, 3, 4, 6, 7, 8, 9, 10, 11]] == -1))


class Hotspots(unittest.TestCase):
    def test_regions(self):
        cases = [
            # (damage of the 12 points, expected [(worst point, point count)])
            ("two regions apart", [1e-3, 1e-4, 0, 0, 1e-4, 5e-4] + [1e-3, 0, 0, 0, 0, 2e-4],
             [(0, 3), (5, 3)]),
            ("one region through a shared cell", [1e-3, 1e-4, 1e-4, 1e-4, 1e-4, 5e-4] + [0] * 6,
             [(0, 6)]),
            ("below two decades left out, NaN ignored", [1e-3, 9e-6, np.nan, 0, 0, 0] + [0] * 6,
             [(0, 1)]),
            ("nothing damaged", [np.nan] * 12, []),
        ]
        for name, damage, expected in cases:
            with self.subTest(name):
                got = mesh_results.hotspots(strip(), np.array(damage, float))
                self.assertEqual([(p, n) for p, _, n in got], expected)


if __name__ == "__main__":
    unittest.main()
