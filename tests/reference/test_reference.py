#!/usr/bin/env python3
"""Hand-made checks of the reference model (python3 -m unittest test_reference).

Each case builds a small job in a temporary directory, runs
korvanel_reference.py there and checks the values that can be derived by hand.
"""

import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import korvanel_reference as K  # noqa: E402

REFERENCE = os.path.join(HERE, "korvanel_reference.py")


def parameters(**kw):
    v = dict(Sy="355", E="210000", Su="510", A="20", ep="0", epm="1", spc="0", sn="1",
             pal="12,-3,1,0", wei="60,500,6,2", ml="0,0,0,0,0,0,0,0", good="1,1,600", fmt="1",
             scale="1,1", cnode="1", mm="1", counts="1,1", lvf="1", gag="0", cyc="0", bdt="1", lu="1")
    v.update({k: str(x) for k, x in kw.items()})
    rec = [("c1", "%s,%s,%s,%s" % (v["Sy"], v["E"], v["Su"], v["A"])), ("c2", v["ep"]), ("c3", v["epm"]),
           ("c4", v["spc"]), ("c5", v["sn"]), ("c6a\r\nc6b", v["pal"]), ("c7a\r\nc7b", v["wei"]),
           ("c8a\r\nc8b", v["ml"]), ("c9", v["good"]), ("c10", v["fmt"]), ("c11", v["scale"]),
           ("c12", v["cnode"]), ("c13", v["mm"]), ("c14", v["counts"]), ("c15", v["lvf"]),
           ("c16", v["gag"]), ("c17", v["cyc"]), ("c18", v["bdt"]), ("c19", v["lu"])]
    return "".join("%s\r\n%s\r\n" % r for r in rec)


class Job:
    def __init__(self, files, ctl=".,job\r\n"):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        with open(os.path.join(self.dir, "korvanel.inp"), "w", newline="") as f:
            f.write(ctl)
        for name, text in files.items():
            with open(os.path.join(self.dir, name), "wb") as f:
                f.write(text.encode("latin-1") if isinstance(text, str) else text)

    def run(self):
        p = subprocess.run([sys.executable, REFERENCE], cwd=self.dir, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
        assert not p.stderr, p.stderr
        self.status = p.returncode
        self.out = p.stdout.decode("latin-1")
        return self

    def file(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read().decode("latin-1")

    def exists(self, name):
        return os.path.exists(os.path.join(self.dir, name))


def lines(text):
    return text.split("\r\n")[:-1]


class Primitives(unittest.TestCase):
    def test_print_forms(self):
        self.assertEqual(K.print_real(1e-5), " 1e-005")
        self.assertEqual(K.print_real(-1e300), "-1e+300")
        self.assertEqual(K.print_real(1234567890123456789.0), " 1.234567890123457e+018")
        self.assertEqual(K.print_real(-0.0), " 0")
        self.assertEqual(K.write_real(-0.0), "0")
        self.assertEqual(K.print_real(float("inf")), " inf")
        self.assertEqual(K.print_real(float("nan")), " nan")
        self.assertEqual(K.fmt_e(123.456), "1.234560e+02")
        self.assertEqual(K.fmt_e(-0.00012), "-1.200000e-04")
        self.assertEqual(K.fmt_e(-0.0), "0.000000e+00")
        self.assertEqual(K.fmt_e(9.9999999), "1.000000e+01")
        self.assertEqual(K.fmt_e(1e100), "1.000000e+100")

    def test_zone(self):
        ch = K.Channel()
        ch.line("abcdefghijklmn", K.ZONE, "x")
        self.assertEqual(bytes(ch.buf), b"abcdefghijklmn" + b" " * 14 + b"x\r\n")

    def test_values(self):
        r = K.Reader(b"3, 4\r\n  2.0\r\n2.5 3.5\r\n&HFF,1d2,2.e5\r\n", b"f")
        self.assertEqual([r.read_int() for _ in range(5)], [3, 4, 2, 2, 4])
        self.assertEqual([r.read_real() for _ in range(3)], [255.0, 100.0, 200000.0])
        self.assertTrue(r.eof())
        for text in (b"1e400", b"9223372036854775808", b"&H8000000000000000", b"9.3e18"):
            with self.assertRaises(K.FatalStop):
                K.Reader(text, b"f").read_int()

    def test_measures(self):
        self.assertEqual(K.von_mises_squared([0.7, 0.7, 0.7, 0, 0, 0]), 0.0)
        self.assertEqual(K.von_mises_squared([0, 0, 0, 2.0, 0, 0]), 12.0)
        self.assertEqual(K.deviatoric_product([0, 0, 0, 1.0, 0, 0], [0, 0, 0, 1.0, 0, 0]), 3.0)

    def test_palmgren(self):
        class P:
            pass
        p = P()
        p.snType, p.L1, p.pp, p.C, p.El = 1, 12.0, -3.0, 1.0, 0.0
        p.gMethod, p.gSmMax, p.gExp = 3, 1e9, 1.0
        c = K.Curve(p, 1)
        self.assertEqual(c.static_limit, 10000.0)
        self.assertEqual(c.verdict(100.0, 0.0), ("cycles", 999999.0))
        self.assertEqual(c.verdict(10000.0, 0.0), ("static", 2))

    def test_neuber(self):
        class P:
            pass
        p = P()
        p.Sy, p.E, p.Su, p.A = 355.0, 210000.0, 510.0, 20.0
        m = K.Material(p)
        self.assertAlmostEqual(m.neuber_linear(355.0), 355.0)
        self.assertAlmostEqual(m.neuber_linear(m.sigmaU), 510.0)
        self.assertAlmostEqual(m.neuber_non_linear(355.0), 355.0)


class Runs(unittest.TestCase):
    def test_uniaxial_history(self):
        job = Job({"job.inp": parameters(cyc=1),
                   "job.sig": "0,0,0,0,0,0\r\n10,0,0,0,0,0\r\n5,0,0,0,0,0\r\n8,0,0,0,0,0\r\n"}).run()
        self.assertEqual(job.status, 0)
        rows = [ln.split() for ln in lines(job.file("job.cyc"))[2:]]
        self.assertEqual([(r[0], r[1]) for r in rows],
                         [("5.000000e+00", "5.000000e+00"), ("6.500000e+00", "1.500000e+00"),
                          ("6.500000e+00", "1.500000e+00"), ("5.000000e+00", "5.000000e+00")])
        cif = [ln.split() for ln in lines(job.file("job.cif"))[2:]]
        self.assertEqual([(float(r[0]), float(r[6])) for r in cif], [(10, 0), (5, 8), (8, 5), (0, 10)])
        self.assertIn("Runtime end", job.out)

    def test_first_check_wins(self):
        job = Job({"job.inp": parameters(bdt=3, cyc=2)}).run()
        self.assertEqual(job.status, 1)
        out = lines(job.out)
        self.assertEqual(out[-1], "Please put 0, 1 or 2 for type of damage in the Blocks analysis")
        self.assertEqual(out[4], "Name of input file :        ./job.inp")
        self.assertEqual(job.file("korvanel.adv"),
                         "Please put 0, 1 or 2 for type of damage in the Blocks analysis\r\n")

    def test_advisory_truncated(self):
        job = Job({"job.inp": parameters(bdt=3)}).run()
        with open(os.path.join(job.dir, "job.inp"), "w", newline="") as f:
            f.write(parameters(gag=2))
        job.run()
        self.assertEqual(job.file("korvanel.adv"), "Please put 0 or 1 for the Ground-Air-Ground analysis\r\n")

    def test_short_parameter_file(self):
        text = parameters()
        cut = text.split("\r\n")[:23]  # records 1 to 10 (23 lines)
        job = Job({"job.inp": "\r\n".join(cut) + "\r\n"}).run()
        self.assertEqual(lines(job.out)[-1], "Please put 1 or 2 for analysis with one or multiple materials")
        job = Job({"job.inp": ""}).run()
        self.assertEqual(lines(job.out)[-1], "Please put 1 or 2 for the method of elastoplastic correction")

    def test_missing_files(self):
        job = Job({}).run()
        self.assertEqual(lines(job.out)[-1], "Cannot open the input file ./job.inp")
        job = Job({"job.inp": parameters()}).run()
        self.assertEqual(lines(job.out)[-1], "Cannot open the input file ./job.sig")
        job = Job({"job.inp": parameters()}, ctl="").run()
        self.assertEqual(lines(job.out)[-2:], ["Name of input file :        /.inp",
                                               "Cannot open the input file /.inp"])
        os.remove(os.path.join(job.dir, "korvanel.inp"))
        job.run()
        self.assertEqual(lines(job.out)[-1], "Cannot open the input file korvanel.inp")

    def test_history_counts(self):
        job = Job({"job.inp": parameters(), "job.sig": "1,2,3,4,5,6\r\n"}).run()
        self.assertEqual(lines(job.out)[-1], "At least two values are needed in the stress-history")
        # seven values: two time points, the second mostly zero; constant -> 018
        job = Job({"job.inp": parameters(), "job.sig": "5,5,5,5,5,5\r\n5,5,5,5,5,5\r\n"}).run()
        self.assertEqual(lines(job.out)[-2:], ["Runtime Error Code 018: please contact the KORVANEL support",
                                               "Sorry for the inconvenience"])

    def test_format2_nodes(self):
        nds = ("10,1,0,0,0,0,0,0\r\n20,1,0,0,0,0,0,0\r\n"
               "10,1,100,0,0,0,0,0\r\n20,1,200,0,0,0,0,0\r\n")
        cmb = "0\r\n1\r\n0.5\r\n1\r\n"
        job = Job({"job.inp": parameters(fmt=2, counts="2,1", cnode=20, lu=1000), "job.nds": nds,
                   "job.cmb": cmb}).run()
        self.assertEqual(job.status, 0, job.out)
        ndd = lines(job.file("job.ndd"))
        self.assertEqual(ndd[0], " Node ID      Damage        Life           Static Failure")
        self.assertEqual(len(ndd), 3)
        self.assertIn("Number of time points        4", job.out)
        self.assertIn("Max damage is at node        20", job.out)
        cyc = lines(job.file("job.cyc"))
        self.assertEqual(cyc[1], " Node ID       Mean Stress  Amplitude     Damage        Static Failure")
        self.assertTrue(all(ln.startswith(" 20 ") for ln in cyc[2:]))
        # wrong ID order in block 2
        bad = nds.replace("10,1,100", "30,1,100")
        job = Job({"job.inp": parameters(fmt=2, counts="2,1"), "job.nds": bad, "job.cmb": cmb}).run()
        self.assertEqual(lines(job.out)[-2:], ["ndummy2        30",
                                               "Please check the nodes numbering in the .nds file, it looks not coherent"])
        job = Job({"job.inp": parameters(fmt=2, counts="3,1"), "job.nds": nds, "job.cmb": cmb}).run()
        self.assertTrue(lines(job.out)[-1].startswith("Please check number of nodes and loadcases"))
        job = Job({"job.inp": parameters(fmt=2, counts="2,0"), "job.nds": nds[:36], "job.cmb": cmb}).run()
        self.assertEqual(lines(job.out)[-1],
                         "Error: at least one load case is needed for the load-case combination")
        job = Job({"job.inp": parameters(fmt=2, counts="2,1", cyc=1), "job.nds": nds, "job.cmb": cmb}).run()
        self.assertEqual(lines(job.out)[-2], "Runtime Error Code 912: please contact the KORVANEL support")

    def test_no_nodes(self):
        job = Job({"job.inp": parameters(fmt=2, counts="0,1", cnode=5), "job.nds": "",
                   "job.cmb": "1\r\n2\r\n"}).run()
        self.assertEqual(job.status, 0)
        self.assertRegex(job.out, r"Max damage is at node {8}0\r\n")
        self.assertRegex(job.out, r"Damage at node {15}0 {12}is = {10}-123456000\r\n")
        self.assertEqual(job.file("job.ndd"), " Node ID      Damage        Life           Static Failure\r\n")
        self.assertEqual(job.file("job.ans"), "")
        self.assertRegex(job.file("job.cyc"),
                         r"^The node where complete output is requested looks not existing: "
                         r"please chek node ID = {13} 5\r\n$")
        self.assertRegex(lines(job.out)[-3],
                         r"^The node where complete output was requested looks not existing! "
                         r"please chek node ID: {13} 5$")

    def test_blocks_damage_types(self):
        # one node, two load cases; Palmgren L1=12, p=-3, C=0, E=0: N(100) = 1e6
        nds = "1,1,0,0,0,0,0,0\r\n1,1,200,0,0,0,0,0\r\n1,1,0,0,0,0,0,0\r\n"
        blc = "0,1,0,0,300000\r\n0,1,0,0,500000\r\n"
        results = {}
        for bdt in (0, 1, 2):
            job = Job({"job.inp": parameters(fmt=3, counts="1,2", pal="12,-3,0,0", good="1,3,1e9", bdt=bdt),
                       "job.nds": nds, "job.blc": blc, "job.btf": "1,1\r\n1,2\r\n"}).run()
            self.assertEqual(job.status, 0, job.out)
            m = re.search(r"Damage at node\s+1\s+is =\s+(\S+)", job.out)
            results[bdt] = float(m.group(1))
        self.assertAlmostEqual(results[0], 0.5, places=5)
        self.assertAlmostEqual(results[1], 0.8, places=5)
        self.assertAlmostEqual(results[2], 0.8, places=5)

    def test_material_stops(self):
        job = Job({"job.inp": parameters(ep=1, Su=300), "job.sig": "1,0,0,0,0,0\r\n2,0,0,0,0,0\r\n"}).run()
        self.assertTrue(lines(job.out)[-1].startswith("The material data do not allow"))
        nds = "1,7,0,0,0,0,0,0\r\n1,7,200,0,0,0,0,0\r\n"
        mtr = "h1\r\nh2\r\n7,355,210000,510,20,3,1,1,1,1,1,1,600,0,0,0,0\r\n"
        job = Job({"job.inp": parameters(fmt=3, mm=2), "job.nds": nds, "job.blc": "0,1,10\r\n",
                   "job.mtr": mtr}).run()
        self.assertEqual((job.status, lines(job.out)[-1]), (1, "MODELLO MULTILINEARE TUTTO DA RIVEDERE"))
        job = Job({"job.inp": parameters(fmt=3, mm=2), "job.nds": nds, "job.blc": "0,1,10\r\n",
                   "job.mtr": mtr.replace(",3,1,1", ",4,1,1")}).run()
        self.assertEqual(lines(job.out)[-1], "Type of SN curve definition needs values 1, 2 or 3")
        self.assertEqual(job.file("korvanel.adv"), "Type of SN curve definition values 1, 2 or 3\r\n")
        job = Job({"job.inp": parameters(fmt=3, sn=3), "job.nds": nds, "job.blc": "0,1,10\r\n"}).run()
        self.assertEqual(lines(job.out)[-1], "ARRIVATO QUA CON LA CURVA MULTILINEARE !!!")

    def test_sep_below_yield(self):
        sig = "100,0,0,0,0,0\r\n-50,20,0,30,0,0\r\n200,0,0,0,0,10\r\n"
        for method in (1, 2):
            job = Job({"job.inp": parameters(ep=1, epm=method), "job.sig": sig}).run()
            self.assertEqual(lines(job.file("job.sep")), ["100,0,0,0,0,0", "-50,20,0,30,0,0", "200,0,0,0,0,10"])
            self.assertIn("Neuber %s" % ("Linear" if method == 1 else "Non-Linear"), job.out)


if __name__ == "__main__":
    unittest.main()
