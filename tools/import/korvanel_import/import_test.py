"""korvanel-import on small files: one table per reader (component orders, missing fields,
duplicates, values that are not finite, units), the surface and the node selections."""
import contextlib
import io
import os
import tempfile
import unittest

import numpy as np

from korvanel_import.main import main

FRD_HEAD = """    1C
    1UDATE              01.january.2026
    2C                             3                                     1
 -1         1 0.00000E+00 0.00000E+00 0.00000E+00
 -1         2 1.00000E+00 0.00000E+00 0.00000E+00
 -1         3 0.00000E+00 1.00000E+00 0.00000E+00
 -3
    3C                             1                                     1
 -1         1    7    0    1
 -2         1         2         3
 -3
"""
STRESS_HEAD = """    1PSTEP                         {set}           1           {step}
  100CL  101 1.000000000           {n}                     0    1           1
 -4  STRESS      6    1
{components} -1"""
COMPONENTS = "SXX SYY SZZ SXY SYZ SZX".split()


def frd_step(step, rows, names=COMPONENTS, set_no=None):
    comps = "".join(" -5  %-10s1    4    1    1\n" % c for c in names)
    head = STRESS_HEAD.format(set=set_no or step, step=step, n=len(rows), components=comps)
    body = "".join(" -1%10d%s\n" % (node, "".join("%12s" % v for v in values))
                   for node, values in rows)
    return head[:-3] + body + " -3\n"


def rows(*values_per_node, first=1):
    return [(first + i, v) for i, v in enumerate(values_per_node)]


GOOD = rows(["-1.00000E+00", "-2.00000E+00", "3.00000E+00", "4.00000E+00", "5.00000E+00",
             "6.00000E+00"],
            ["1.23456E-03", "-9.87654E+02", "0.00000E+00", "1.00000E+00", "1.00000E+00",
             "1.00000E+00"],
            ["7.00000E+00", "8.00000E+00", "9.00000E+00", "1.00000E+01", "1.10000E+01",
             "1.20000E+01"])


class ImportRun:
    def __init__(self, directory, args):
        self.out = os.path.join(tempfile.mkdtemp(prefix="job", dir=directory), "j")
        err = io.StringIO()
        with contextlib.redirect_stderr(err):
            self.status = main(args + ["-o", self.out])
        self.stderr = err.getvalue()

    def nds(self):
        with open(self.out + ".nds") as f:
            return [line.rstrip("\n").split(", ") for line in f]


class Base(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def run_import(self, args):
        return ImportRun(self.dir, args)

    def assertStops(self, run, *texts):
        self.assertEqual(run.status, 1, run.stderr)
        for t in texts:
            self.assertIn(t, run.stderr)
        self.assertIn("nothing written", run.stderr)
        self.assertEqual(os.listdir(os.path.dirname(run.out)), [], "files were written")


class FrdReading(Base):
    def test_table(self):
        shuffled = ["SYY", "SXX", "SZZ", "SZX", "SYZ", "SXY"]
        cases = [
            # (name, steps of the file, args, expected: stop texts or node 2's load case 1)
            ("steps by their 1PSTEP step number", frd_step(5, GOOD, set_no=1) +
             frd_step(7, GOOD, set_no=2), ["--load-cases", "7"], None),
            ("components by their names", frd_step(1, GOOD, shuffled), ["--load-cases", "1"],
             ["-9.87654E+02", "1.23456E-03", "0.00000E+00", "1.00000E+00", "1.00000E+00",
              "1.00000E+00"]),
            ("missing step", frd_step(1, GOOD), ["--load-cases", "1,2"], ["no step 2"]),
            ("missing base step", frd_step(1, GOOD), ["--load-cases", "1", "--base", "4"],
             ["no step 4"]),
            ("duplicate node", frd_step(1, GOOD[:2] + [(2, GOOD[2][1])]),
             ["--load-cases", "1"], ["node 2 appears 2 times"]),
            ("node sets differ", frd_step(1, GOOD) + frd_step(2, GOOD[:2]),
             ["--load-cases", "1,2"], ["another set of nodes", "node 3 is missing"]),
            ("not finite", frd_step(1, GOOD[:1] + [(2, ["NaN"] * 6), GOOD[2]]),
             ["--load-cases", "1"], ["sx of node 2 is nan"]),
            ("not six components", frd_step(1, GOOD, COMPONENTS[:5] + ["S1"]),
             ["--load-cases", "1"], ["not the six of a symmetric tensor"]),
            ("a number that is not one", frd_step(1, GOOD[:1] + [(2, ["1.0X000E+00"] * 6),
                                                                   GOOD[2]]),
             ["--load-cases", "1"], ["cannot read a node and 6 values"]),
        ]
        for name, steps, args, expected in cases:
            with self.subTest(name):
                self.tearDown()
                self.setUp()
                path = self.write("r.frd", FRD_HEAD + steps + " 9999\n")
                run = self.run_import([path] + args)
                if expected and expected[0][0].isalpha():
                    self.assertStops(run, *expected)
                    continue
                self.assertEqual(run.status, 0, run.stderr)
                lines = run.nds()
                self.assertEqual(len(lines), 6)
                self.assertEqual(lines[0], ["1", "1"] + ["0.0"] * 6)
                got = [float(v) for v in lines[4][2:]]
                want = [float(v) for v in (expected or GOOD[1][1])]
                self.assertEqual(got, want)

    def test_base_scale_and_exact_digits(self):
        path = self.write("r.frd", FRD_HEAD + frd_step(1, GOOD) + frd_step(2, GOOD) +
                          " 9999\n")
        run = self.run_import([path, "--load-cases", "2,1", "--base", "1", "--scale", "1e-6",
                               "--unit", "MPa"])
        self.assertEqual(run.status, 0, run.stderr)
        lines = run.nds()
        self.assertEqual(len(lines), 9)
        for line, (node, values) in zip(lines[3:] + lines[:3], GOOD * 3):
            self.assertEqual(int(line[0]), node)
            self.assertEqual([float(v) for v in line[2:]], [float(v) * 1e-6 for v in values])
        import meshio
        from korvanel_import.job_files import read_stress_unit
        mesh = meshio.read(run.out + ".mesh.vtu")
        self.assertEqual(read_stress_unit(mesh), "MPa")
        self.assertEqual(mesh.point_data["node_id"].tolist(), [1, 2, 3])
        self.assertEqual(mesh.cells[0].data.tolist(), [[0, 1, 2]])

    def test_exact_text_reading(self):
        """Every value reads as the double nearest its text, as korvanel reads it."""
        rng = np.random.default_rng(7)
        texts = ["%12.5E" % v for v in rng.normal(0, 1, 600) * 10.0 ** rng.integers(-30, 30, 600)]
        steps = frd_step(1, [(i + 1, texts[6 * i:6 * i + 6]) for i in range(100)])
        head = FRD_HEAD.replace("    3C ", "    3X ").replace(
            "                             3          ", "                           100          ")
        nodes = "".join(" -1%10d 0.00000E+00 0.00000E+00 0.00000E+00\n" % i
                        for i in range(1, 101))
        frd = head.split(" -1         1 0.0")[0] + nodes + " -3\n" + steps + " 9999\n"
        run = self.run_import([self.write("r.frd", frd), "--load-cases", "1"])
        self.assertEqual(run.status, 0, run.stderr)
        got = [v for line in run.nds()[100:] for v in line[2:]]
        self.assertEqual([float(v) for v in got], [float(t) for t in texts])
        self.assertEqual(got[:3], [repr(float(t)) for t in texts[:3]])   # the shortest text


class MeshioReading(Base):
    def mesh_file(self, fields, ids=True):
        import meshio
        points = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0]], float)
        data = dict(fields)
        if ids:
            data["node_id"] = np.array([10, 20, 30])
        path = os.path.join(self.dir, "r.vtu")
        meshio.write(path, meshio.Mesh(points, [("triangle", [[0, 1, 2]])], point_data=data))
        return path

    def test_table(self):
        six = np.arange(18, dtype=float).reshape(3, 6) + 0.25
        tensor = np.array([[[r[0], r[3], r[5]], [r[3], r[1], r[4]], [r[5], r[4], r[2]]]
                           for r in six]).reshape(3, 9)
        nan = six.copy()
        nan[1, 4] = np.inf
        cases = [
            ("six components, VTK order", {"lc": six}, ["--load-cases", "lc"], six[1]),
            ("3 x 3 tensor", {"lc": tensor}, ["--load-cases", "lc"], six[1]),
            ("abaqus order", {"lc": six}, ["--load-cases", "lc", "--order", "abaqus"],
             six[1][[0, 1, 2, 3, 5, 4]]),
            ("four components", {"lc": six[:, :4]}, ["--load-cases", "lc"],
             ["has 4 components: its order cannot be told"]),
            ("missing field", {"lc": six}, ["--load-cases", "lc,other"],
             ["no point-data field other", "node_id"]),
            ("infinite value", {"lc": nan}, ["--load-cases", "lc"],
             ["tyz of node 20 is inf"]),
        ]
        for name, fields, args, expected in cases:
            with self.subTest(name):
                self.tearDown()
                self.setUp()
                run = self.run_import([self.mesh_file(fields)] + args)
                if isinstance(expected, list):
                    self.assertStops(run, *expected)
                    continue
                self.assertEqual(run.status, 0, run.stderr)
                lines = run.nds()
                self.assertEqual(lines[4][:2], ["20", "1"])
                self.assertEqual([float(v) for v in lines[4][2:]], list(expected))

    def test_read_one_array_at_a_time(self):
        """The incremental .vtu reading gives what meshio.read gives, compressed or not."""
        import meshio
        from korvanel_import.vtu_stream import read_vtu
        points = np.random.default_rng(5).normal(size=(4, 3))
        fields = {"lc": np.arange(24.0).reshape(4, 6), "u": np.ones((4, 3)),
                  "node_id": np.array([4, 3, 2, 1])}
        for binary in (True, False):
            with self.subTest(binary=binary):
                path = os.path.join(self.dir, "s%d.vtu" % binary)
                meshio.write(path, meshio.Mesh(points, [("tetra", [[0, 1, 2, 3]])],
                                               point_data=fields), binary=binary)
                mesh, names = read_vtu(path, lambda name, comps: name == "lc" or comps == 1)
                whole = meshio.read(path)
                self.assertEqual(sorted(names), ["lc", "node_id", "u"])
                self.assertEqual(sorted(mesh.point_data), ["lc", "node_id"])
                for name in ("lc", "node_id"):
                    self.assertTrue(np.array_equal(mesh.point_data[name], whole.point_data[name]))
                self.assertTrue(np.array_equal(mesh.points, whole.points))
                self.assertTrue(np.array_equal(mesh.cells[0].data, whole.cells[0].data))

    def test_unreadable_file(self):
        path = self.write("r.vtu", "not a mesh")
        self.assertStops(self.run_import([path, "--load-cases", "lc"]), "meshio cannot read it")

    def test_duplicate_ids(self):
        import meshio
        path = os.path.join(self.dir, "r.vtu")
        meshio.write(path, meshio.Mesh(np.zeros((2, 3)), [("line", [[0, 1]])], point_data={
            "node_id": np.array([5, 5]), "lc": np.ones((2, 6))}))
        self.assertStops(self.run_import([path, "--load-cases", "lc"]), "node 5 appears 2 times")


class CsvReading(Base):
    def test_table(self):
        head = "node,lc.sxx,lc.syy,lc.szz,lc.sxy,lc.syz,lc.szx"
        cases = [
            ("named components in any order",
             "id,a:yy,a:xx,a:zz,a:xz,a:yz,a:xy\n7,2,1,3,6,5,4\n8,0,0,0,0,0,0\n",
             ["--load-cases", "a"], ["7", "1", "1.0", "2.0", "3.0", "4.0", "5.0", "6.0"]),
            ("missing component", head.rsplit(",", 1)[0] + "\n1,1,2,3,4,5\n",
             ["--load-cases", "lc"], ["lacks the component xz"]),
            ("unknown column", head + ",lc.pressure\n1,1,2,3,4,5,6,7\n",
             ["--load-cases", "lc"], ["(\'lc.pressure\') is not CASE.COMPONENT"]),
            ("duplicate node", head + "\n1,1,2,3,4,5,6\n1,1,2,3,4,5,6\n",
             ["--load-cases", "lc"], ["node 1 appears 2 times"]),
            ("not a number", head + "\n1,1,2,nan,4,5,6\n", ["--load-cases", "lc"],
             ["sz of node 1 is nan"]),
            ("scaled", head + "\n3,1e6,2e6,0,0,0,-5e5\n",
             ["--load-cases", "lc", "--scale", "1e-6", "--unit", "MPa"],
             ["3", "1", "1.0", "2.0", "0.0", "0.0", "0.0", "-0.5"]),
        ]
        for name, text, args, expected in cases:
            with self.subTest(name):
                self.tearDown()
                self.setUp()
                run = self.run_import([self.write("r.csv", text)] + args)
                if " " in expected[0] or not expected[0][0].isdigit():
                    self.assertStops(run, *expected)
                    continue
                self.assertEqual(run.status, 0, run.stderr)
                line = run.nds()[-2 if name.startswith("named") else -1]
                self.assertEqual(line[:2], expected[:2])
                self.assertEqual([float(v) for v in line[2:]], [float(v) for v in expected[2:]])
                self.assertFalse(os.path.exists(run.out + ".mesh.vtu"))


class NodeSelection(Base):
    def cube_of_cubes(self, cell_type="hexahedron"):
        """2 x 2 x 2 hexahedra: 27 nodes, node 14 (the centre) inside."""
        import meshio
        g = np.array([[x, y, z] for z in range(3) for y in range(3) for x in range(3)], float)
        at = lambda x, y, z: x + 3 * y + 9 * z  # noqa: E731
        cells = [[at(x, y, z), at(x + 1, y, z), at(x + 1, y + 1, z), at(x, y + 1, z),
                  at(x, y, z + 1), at(x + 1, y, z + 1), at(x + 1, y + 1, z + 1),
                  at(x, y + 1, z + 1)] for z in range(2) for y in range(2) for x in range(2)]
        path = os.path.join(self.dir, "cube.vtu")
        stress = np.tile(np.arange(1.0, 7.0), (27, 1))
        meshio.write(path, meshio.Mesh(g, [(cell_type, cells)], point_data={"s": stress},
                                       cell_data={"mat": [np.array([2] * 4 + [3] * 4)]}))
        return path

    def test_surface_and_lists(self):
        cube = self.cube_of_cubes()
        cases = [
            (["--surface"], [i for i in range(1, 28) if i != 14]),
            (["--nodes", "3,14-16"], [3, 14, 15, 16]),
            (["--surface", "--nodes", "13-15"], [13, 15]),
        ]
        for args, nodes in cases:
            with self.subTest(args):
                run = self.run_import([cube, "--load-cases", "s"] + args)
                self.assertEqual(run.status, 0, run.stderr)
                self.assertEqual([int(l[0]) for l in run.nds()], nodes * 2)

    def mesh_file_with_grades(self):
        import meshio
        path = os.path.join(self.dir, "grades.vtu")
        meshio.write(path, meshio.Mesh(np.eye(3), [("triangle", [[0, 1, 2]])], point_data={
            "s": np.ones((3, 6)), "grade": np.array([7, 8, 9])}))
        return path

    def test_materials(self):
        run = self.run_import([self.cube_of_cubes(), "--load-cases", "s", "--material-field",
                               "mat"])
        self.assertEqual(run.status, 0, run.stderr)
        mats = {int(l[0]): int(l[1]) for l in run.nds()}
        self.assertEqual((mats[1], mats[14], mats[27]), (2, 2, 3))  # 14: both, the smallest
        run = self.run_import([self.mesh_file_with_grades(), "--load-cases", "s",
                               "--material-field", "grade"])
        self.assertEqual([int(l[1]) for l in run.nds()], [7, 8, 9] * 2)
        deck = self.write("deck.inp", "*ELEMENT, TYPE=CPS3, ELSET=FLANGE\n1, 1, 2, 3\n"
                          "*ELSET, ELSET=WEB\n1\n")
        frd = self.write("r.frd", FRD_HEAD + frd_step(1, GOOD) + " 9999\n")
        for given, want in ((["WEB=4", "FLANGE=2"], 4), (["NONE=3"], "no element set NONE")):
            with self.subTest(given):
                run = self.run_import([frd, "--load-cases", "1", "--sets", deck] +
                                      [a for s in given for a in ("--material", s)])
                if isinstance(want, str):
                    self.assertStops(run, want)
                    continue
                self.assertEqual(run.status, 0, run.stderr)
                self.assertEqual({int(l[1]) for l in run.nds()}, {want})

    def test_stops(self):
        cases = [
            (["--nodes", "99"], "node 99 of --nodes is not in the results"),
            (["--node-set", "NONE"], "no node set NONE"),
            (["--material-field", "grade"], "no point or cell data grade"),
        ]
        for args, text in cases:
            with self.subTest(args):
                self.assertStops(self.run_import([self.cube_of_cubes(), "--load-cases", "s"]
                                                 + args), text)
        with self.subTest("no surface of bricks of 27 nodes"):
            import meshio
            path = os.path.join(self.dir, "p.vtu")
            meshio.write(path, meshio.Mesh(np.zeros((27, 3)), [("hexahedron27",
                                                                 [list(range(27))])],
                                           point_data={"s": np.ones((27, 6))}))
            self.assertStops(self.run_import([path, "--load-cases", "s", "--surface"]),
                             "surface of elements of type hexahedron27 cannot be taken")


if __name__ == "__main__":
    unittest.main()

