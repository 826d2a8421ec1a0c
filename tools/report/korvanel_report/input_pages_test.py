"""The input read for the report: groups as the program forms them, the elastic states of a
node, and the path compacted as the analysis compacts it."""
import unittest
from types import SimpleNamespace

import numpy as np

from .input_pages import compacted, detail_node_of, history_states, node_states, whole_groups


class InputPagesTest(unittest.TestCase):
    def test_groups_as_the_program_forms_them(self):
        values = np.arange(1.0, 8.0)
        # .cmb and .blc: the values after the last whole group are not used.
        self.assertEqual(whole_groups(values, 3).tolist(), [[1, 2, 3], [4, 5, 6]])
        self.assertEqual(whole_groups(values, 0).shape, (0, 0))
        # .sig: a group cut short counts, its missing values read as 0.
        self.assertEqual(history_states(values).tolist(),
                         [[1, 2, 3, 4, 5, 6], [7, 0, 0, 0, 0, 0]])

    def test_elastic_states_of_the_last_node_with_the_id(self):
        p = SimpleNamespace(nodeCount=2, loadCaseCount=1, stressScaleFactor=2.0,
                            loadCaseScaleFactor=0.5)
        nds = np.array([7, 1, 1, 0, 0, 0, 0, 0,      # base, node index 1
                        7, 1, 3, 0, 0, 0, 0, 0,      # base, node index 2 (the last with ID 7)
                        7, 1, 10, 0, 0, 0, 0, 0,     # load case 1
                        7, 1, 20, 4, 0, 0, 0, 0], float)
        states = node_states(p, nds, np.array([[0.0], [1.0]]), 7)
        # 2 x (3 + 0.5 x c x 20) and 2 x (0.5 x c x 4)
        self.assertEqual(states[:, :2].tolist(), [[6, 0], [26, 4]])
        self.assertIsNone(node_states(p, nds, np.array([[1.0]]), 8))
        self.assertIsNone(node_states(p, nds[:24], np.array([[1.0]]), 7))

    def test_compaction_drops_points_closer_than_the_distance_to_the_next(self):
        rows = [[0] * 6, [1] + [0] * 5, [1.00005] + [0] * 5, [2] + [0] * 5, [0] * 6]
        kept = compacted(np.array(rows, float))
        # the first of two close points and a last point equal to the first are dropped
        self.assertEqual(kept[:, 0].tolist(), [0, 1.00005, 2])

    def test_the_detail_node_is_the_one_the_summary_names(self):
        p = SimpleNamespace(completeOutputNode=11)
        chosen = {"lines": ["Max damage is at node        12",
                            "Detail files (.cyc, .sep) of node 12, the node of max damage "
                            "(--detail-node worst)"]}
        self.assertEqual(detail_node_of(chosen, p), 12)
        self.assertEqual(detail_node_of({"lines": ["Number of nodes 4"]}, p), 11)
        self.assertEqual(detail_node_of(None, p), 11)


if __name__ == "__main__":
    unittest.main()
