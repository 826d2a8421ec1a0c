import os
import tempfile
import unittest

from korvanel_report import result_files


class ResultFiles(unittest.TestCase):
    def write(self, text):
        handle, path = tempfile.mkstemp()
        with os.fdopen(handle, "wb") as f:
            f.write(text.replace("\n", "\r\n").encode())
        self.addCleanup(os.remove, path)
        return path

    def test_cycles_of_the_three_formats(self):
        one = self.write(" Fatigue half-cycles\n Mean Stress  Amplitude     Damage        "
                         "Static Failure\n-5.000000e+01 5.000000e+01  1.474061e-09   0\n")
        two = self.write(" Fatigue half-cycles\n Node ID       Mean Stress  Amplitude     "
                         "Damage        Static Failure\n"
                         " 1234567890123  -8.635581e+00 1.710026e+02  3.027147e-06   2\n")
        three = self.write(" Fatigue cycles\n Node ID       Mean Stress  ...\n"
                           " 30           1,500000e+01  9,327379e+01   100000000000000000000"
                           "                    3,232581e-07                 0\n")
        c1 = result_files.read_cycles(one, 1)
        self.assertEqual((c1["node"], list(c1["mean"]), list(c1["flag"])), (None, [-50.0], [0]))
        c2 = result_files.read_cycles(two, 2)
        self.assertEqual((list(c2["node"]), list(c2["flag"])), ([1234567890123], [2]))
        c3 = result_files.read_cycles(three, 3)
        self.assertEqual((list(c3["cycles"]), list(c3["damage"])), ([1e20], [3.232581e-07]))

    def test_complete_output_node_not_found(self):
        path = self.write("The node where complete output is requested looks not existing: "
                          "please chek node ID =              77\n")
        self.assertIn("77", result_files.read_cycles(path, 2)["not_existing"])

    def test_node_damage_keeps_the_text(self):
        path = self.write(" Node ID      Damage        Life           Static Failure\n"
                          " 101          9.358599e-09  1.068536e+08   0\n"
                          "-7            inf           0.000000e+00   12\n")
        nodes = result_files.read_node_damage(path)
        self.assertEqual(list(nodes["ids"]), [101, -7])
        self.assertEqual(nodes["damage"][1], float("inf"))
        self.assertEqual(nodes["text"][0, 1], b"9.358599e-09")

    def test_a_bad_line_is_named(self):
        path = self.write(" Node ID      Damage        Life           Static Failure\n"
                          " 101          9.358599e-09  1.068536e+08   0\n"
                          " 102          9.358599e-09  1.068536e+08\n")
        with self.assertRaisesRegex(result_files.UnreadableFile, "line 3: 3 items instead of 4"):
            result_files.read_node_damage(path)
        path = self.write(" Node ID  Damage\n 101 x 1 0\n")
        with self.assertRaisesRegex(result_files.UnreadableFile, "line 2: item 2 is not a number"):
            result_files.read_node_damage(path)

    def test_path_and_von_mises(self):
        path = self.write("250,-12.5,0,40,0,0\n1e+020,0,0,0,0,0\n0,0,0,0,0,10\n")
        states = result_files.read_path(path)
        self.assertEqual(states.shape, (3, 6))
        vm = result_files.von_mises(states)
        self.assertEqual(vm[1], 1e20)
        self.assertAlmostEqual(vm[2], 10 * 3 ** 0.5)

    def test_summary_figures(self):
        path = self.write("Max damage is at node        103\n"
                          "Damage at node               103          is =           "
                          "1.179789123962029e-005\n"
                          "Total strain at failure (%) -5\n")
        figures = result_files.read_summary(path)["figures"]
        self.assertEqual(figures["Max damage is at node"], "103")
        self.assertEqual(figures["Damage at node"], ("103", "1.179789123962029e-005"))
        self.assertEqual(figures["Total strain at failure (%)"], "-5")


if __name__ == "__main__":
    unittest.main()
