#!/usr/bin/env python3
"""Writes the input/ directory of every end-to-end job case under tests/jobs/.

Each case is a small job that exercises one behaviour of the program: a stress-input
format and summary variant, a detail file situation, a fatal stop or a command-line
option. The expected results of each case are derived by make_expected.py with the
independent reference implementation under tests/reference/ (and checked by hand where
the case says so). A case run with options has an "options" file (one option per line).

Usage: make_cases.py [case-name ...]           (default: every case)
       make_cases.py --check [case-name ...]   exit 1 when a case on disk differs from what
                                               this script writes (its input/, README and options)
"""
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
JOBS = os.path.join(HERE, "jobs")

PARAMETERS = [
    ("Yielding stress, Young's modulus, Static strength, Total strain at failure (%)", "material"),
    ("Elasto-plastic correction (0 off, 1 on)", "ep"),
    ("Method of elasto-plastic correction (1 Neuber Linear, 2 Neuber Non-Linear)", "method"),
    ("Stress-path based correction (0 off, 1 on)", "spc"),
    ("Type of S-N curve definition (1 Palmgren, 2 Weibull, 3 multilinear)", "curve"),
    ("Palmgren's equation\r\nL1, p, C, Endurance limit", "palmgren"),
    ("Weibull's equation\r\nSainf, Sault, alfa, beta", "weibull"),
    ("Multilinear S-N curve\r\nvalue, then seven integers", "multilinear"),
    ("Goodman exponent, Goodman method, Goodman SmMAX", "goodman"),
    ("Stress-input format (1, 2, 3)", "format"),
    ("Stress scale factor, load-case scale factor", "scale"),
    ("Complete-output node ID", "output"),
    ("Materials (1 one, 2 multiple)", "materials"),
    ("Number of nodes, number of load cases", "counts"),
    ("Load Variability Factor", "lvf"),
    ("Ground-Air-Ground analysis (0 off, 1 on)", "gag"),
    ("Cycles extraction (0 off, 1 on)", "extraction"),
    ("Type of damage in the blocks analysis (0, 1, 2)", "blocks"),
    ("Life units per repeat", "life"),
]

DEFAULTS = dict(material="355, 210000, 510, 20", ep="0", method="1", spc="0", curve="1",
                palmgren="12.6, -3.5, 0, 40", weibull="80, 450, 6.5, 2",
                multilinear="0, 0, 0, 0, 0, 0, 0, 0", goodman="1, 1, 600", format="1",
                scale="1, 1", output="1", materials="1", counts="1, 0", lvf="1", gag="0",
                extraction="0", blocks="1", life="1000")


def parameters(**changes):
    values = dict(DEFAULTS, **changes)
    return "".join("%s\r\n%s\r\n" % (comment, values[key]) for comment, key in PARAMETERS)


def lines(*rows):
    return "".join(r + "\r\n" for r in rows)


# A single multiaxial history (a bracket weld toe), stresses in MPa.
HISTORY = lines("0, 0, 0, 0, 0, 0", "250, 20, 0, 40, 0, 0", "-50, 0, 0, 10, 0, 0",
                "180, 10, 0, 30, 0, 0", "-120, -15, 0, -35, 5, 0", "60, 5, 0, 10, 0, 0")
UNIAXIAL = lines("0, 0, 0, 0, 0, 0", "100, 0, 0, 0, 0, 0", "50, 0, 0, 0, 0, 0",
                 "80, 0, 0, 0, 0, 0")
# Three nodes (IDs 10, 20, 30; materials 1, 2, 1) under two unit load cases.
NODES = lines("10, 1, 20, 5, 0, 2, 0, 0", "20, 2, -10, 0, 0, 0, 0, 0", "30, 1, 5, 5, 5, 1, 1, 1",
              "10, 1, 120, 30, 0, 25, 0, 0", "20, 2, 90, -20, 10, 0, 15, 0", "30, 1, 60, 60, 0, 40, 0, 10",
              "10, 1, -40, 10, 0, 50, 0, 0", "20, 2, 30, 70, 0, -20, 0, 5", "30, 1, 0, -50, 20, 0, 30, 0")
COMBINATION = lines("0, 0", "1, 0", "0.5, 1", "-0.6, 0.4", "1.2, -0.8", "0, 1", "-1, -1", "0.3, 0.2")
BLOCKS = lines("1, -1, 0, 0, 2000", "0.5, -0.5, 0.8, -0.8, 1500.5", "1.2, 0.2, 0.3, -0.3, 2.5",
               "0, 0, 1, -1, 3.5", "0.2, 0.2, 0.1, 0.1, 100")
MATERIALS = lines("Material ID, Sy, E, Su, A%, S-N type, four S-N values, Goodman exponent, method, SmMAX, four extras",
                  "(one record per line)",
                  "1, 355, 210000, 510, 20, 1, 12.6, -3.5, 0, 40, 1, 1, 600, 0, 0, 0, 0",
                  "2, 275, 205000, 430, 24, 2, 60, 380, 6, 2, 1.2, 3, 500, 0, 0, 0, 0")

CASES = {}


def case(name, note, files, control="job\r\nj\r\n", options=()):
    CASES[name] = (note, files, control, list(options))


def job(ext_contents):
    return {"job/j" + ext: text for ext, text in ext_contents.items()}


# --- Stress-input format 1 ---------------------------------------------------------------
case("f1-palmgren", "single history, Palmgren, Goodman method 1, .cif on",
     job({".inp": parameters(extraction="1"), ".sig": HISTORY}))
case("f1-weibull-goodman3", "Weibull curve, Goodman method 3, stress-path correction",
     job({".inp": parameters(curve="2", goodman="1.5, 3, 600", spc="1"), ".sig": HISTORY}))
case("f1-uniaxial-rainflow", "0, 100, 50, 80: half-cycles 100->0, 50->80, 80->50, 0->100",
     job({".inp": parameters(palmgren="12, -3, 0, 0", goodman="1, 2, 1000"), ".sig": UNIAXIAL}))
case("f1-no-damage", "every amplitude below the endurance limit: damage <= 1e-18 lines",
     job({".inp": parameters(palmgren="12.6, -3.5, 0, 400"), ".sig": HISTORY}))
case("f1-static-failure", "amplitude above the static limit: static failure line, damage >= 1",
     job({".inp": parameters(palmgren="6, -3, 1, 0", extraction="1"), ".sig": HISTORY}))
case("f1-below-gate", "a history whose half-cycles are all below the amplitude gate",
     job({".inp": parameters(extraction="1"), ".sig": lines("0, 0, 0, 0, 0, 0", "0.0001, 0, 0, 0, 0, 0",
                                                          "0, 0.0001, 0, 0, 0, 0")}))
case("f1-neuber-linear", "Neuber Linear path correction with .sep",
     job({".inp": parameters(ep="1", method="1"), ".sig": lines(
         "0, 0, 0, 0, 0, 0", "420, 60, 0, 90, 0, 0", "-300, 0, 0, -40, 0, 0", "380, 30, 0, 60, 0, 0",
         "-100, 0, 0, 0, 0, 0")}))
case("f1-neuber-nonlinear", "Neuber Non-Linear path correction with .sep, stress-path correction",
     job({".inp": parameters(ep="1", method="2", spc="1", extraction="1"), ".sig": lines(
         "0, 0, 0, 0, 0, 0", "420, 60, 0, 90, 0, 0", "-300, 0, 0, -40, 0, 0", "380, 30, 0, 60, 0, 0",
         "-100, 0, 0, 0, 0, 0")}))
case("f1-nodes-ignored", "format 1 with 50 nodes in the parameter file analyses one node",
     job({".inp": parameters(counts="50, 3", output="999"), ".sig": HISTORY}))
case("f1-one-line-control", "job directory and name on one line with a comma; a successful run "
     "leaves an old korvanel.adv alone",
     dict(job({".inp": parameters(), ".sig": HISTORY}), **{"korvanel.adv": "old message\r\n"}),
     control="job,j\r\n")

# --- Stress-input format 2 ---------------------------------------------------------------
case("f2-basic", "three nodes, two load cases, complete output for node 20",
     job({".inp": parameters(format="2", counts="3, 2", output="20", scale="1, 1.5"),
          ".nds": NODES, ".cmb": COMBINATION}))
case("f2-gag", "Ground-Air-Ground, Weibull, Goodman method 2",
     job({".inp": parameters(format="2", counts="3, 2", output="30", gag="1", curve="2",
                             goodman="1, 2, 400"), ".nds": NODES, ".cmb": COMBINATION}))
case("f2-materials", "two materials from the .mtr (no material block in the summary)",
     job({".inp": parameters(format="2", counts="3, 2", output="10", materials="2"),
          ".nds": NODES, ".cmb": COMBINATION, ".mtr": MATERIALS}))
case("f2-missing-output-node", "complete-output node that no node has",
     job({".inp": parameters(format="2", counts="3, 2", output="77"), ".nds": NODES, ".cmb": COMBINATION}))
case("f2-static-both", "static failures of type 1 and 2 at the node of maximum damage (code 12)",
     job({".inp": parameters(format="2", counts="3, 2", output="10", palmgren="6, -3, 1, 0",
                             goodman="1, 1, 150", scale="1, 2"), ".nds": NODES, ".cmb": COMBINATION}))
case("f2-neuber-linear", "Neuber Linear with .sep for the complete-output node",
     job({".inp": parameters(format="2", counts="3, 2", output="30", ep="1", method="1", scale="2.5, 1.5"),
          ".nds": NODES, ".cmb": COMBINATION}))
case("f2-neuber-nonlinear", "Neuber Non-Linear, two indexes carry the complete-output ID",
     job({".inp": parameters(format="2", counts="3, 2", output="10", ep="1", method="2", scale="2.5, 1.5"),
          ".nds": NODES.replace("30, 1,", "10, 1,"), ".cmb": COMBINATION}))
case("f2-life-units", "life units 2000, stress-path correction",
     job({".inp": parameters(format="2", counts="3, 2", output="20", life="2000", spc="1"),
          ".nds": NODES, ".cmb": COMBINATION}))

# --- Stress-input format 3 ---------------------------------------------------------------
case("f3-sum", "block spectrum, blocks damage type 1, cycles 2.5 and 3.5 listed as 2 and 4",
     job({".inp": parameters(format="3", counts="3, 2", output="20", lvf="1.2"), ".nds": NODES, ".blc": BLOCKS}))
case("f3-worst-block", "blocks damage type 0, Weibull",
     job({".inp": parameters(format="3", counts="3, 2", output="30", blocks="0", curve="2"),
          ".nds": NODES, ".blc": BLOCKS}))
case("f3-groups", "blocks damage type 2 with block groups from the .btf",
     job({".inp": parameters(format="3", counts="3, 2", output="10", blocks="2"),
          ".nds": NODES, ".blc": BLOCKS, ".btf": lines("1, 2", "3, 5", "4, 1")}))
case("f3-no-groups", "blocks damage type 2 with an empty .btf: damage stored as 1e-18",
     job({".inp": parameters(format="3", counts="3, 2", output="10", blocks="2"),
          ".nds": NODES, ".blc": BLOCKS, ".btf": ""}))
case("f3-neuber", "block correction, Neuber Non-Linear, static failures listed with damage 1",
     job({".inp": parameters(format="3", counts="3, 2", output="10", ep="1", method="2", scale="3, 1",
                             goodman="1, 3, 300"), ".nds": NODES, ".blc": BLOCKS}))
case("f3-huge-cycles", "block cycle counts beyond the 64-bit range are listed with all their digits",
     job({".inp": parameters(format="3", counts="3, 2", output="30"), ".nds": NODES,
          ".blc": lines("1, -1, 0, 0, 1e20", "0.5, -0.5, 0.8, -0.8, -2.5e19", "0, 0, 1, -1, 9.3e18")}))
case("f3-neuber-linear-materials", "block correction, Neuber Linear, two materials",
     job({".inp": parameters(format="3", counts="3, 2", output="20", ep="1", method="1", scale="3, 1",
                             materials="2"), ".nds": NODES, ".blc": BLOCKS, ".mtr": MATERIALS}))

# --- Many nodes: the node loop runs on several threads -----------------------------------
def many_nodes(count, material_ids=(1,), unloaded=None, output_at=()):
    """A node stress file of `count` nodes under two load cases; deterministic values."""
    rows = []
    for block in range(3):
        for n in range(count):
            node_id = 1000 if n in output_at else 2000 + n
            material = material_ids[n % len(material_ids)]
            if block > 0 and n == unloaded:
                values = [0.0] * 6
            else:
                values = [((n * 37 + block * 11 + k * 5) % 41 - 20) * (4.0 if block else 1.0)
                          for k in range(6)]
            rows.append("%d, %d, " % (node_id, material) + ", ".join("%g" % v for v in values))
    return lines(*rows)


def graded_nodes(count, output_at=()):
    """A node stress file of `count` nodes under two load cases whose stresses grow from node to
    node, from far below the endurance limit to above it, about a base stress of their own."""
    rows = []
    for block in range(3):
        for n in range(count):
            node_id = 1000 if n in output_at else 3000 + n
            scale = 2.0 + 40.0 * n / count
            pattern = [(n * 7 + block * 13 + k * 3) % 11 - 5 for k in range(6)]
            if block == 0:
                values = [10.0 + 2 * pattern[k] if k < 3 else pattern[k] for k in range(6)]
            else:
                values = [scale * (1.0 + 0.1 * pattern[k]) if k == block - 1 else 0.1 * scale * pattern[k]
                          for k in range(6)]
            rows.append("%d, 1, " % node_id + ", ".join("%.4f" % v for v in values))
    return lines(*rows)


MANY_MATERIALS = lines("heading", "heading",
                       "1, 355, 210000, 510, 20, 1, 12.6, -3.5, 0, 40, 1, 1, 600, 0, 0, 0, 0",
                       "2, 275, 205000, 430, 24, 2, 60, 380, 6, 2, 1.2, 3, 500, 0, 0, 0, 0",
                       "2, 300, 205000, 450, 22, 1, 12.2, -3.2, 0, 30, 1, 2, 550, 0, 0, 0, 0",
                       "3, 420, 206000, 600, 16, 2, 90, 520, 7, 2.5, 1, 1, 700, 0, 0, 0, 0")
case("f2-many-nodes", "300 nodes; the complete-output ID at indexes 10, 100 and 200 (the last stays)",
     job({".inp": parameters(format="2", counts="300, 2", output="1000"),
          ".nds": many_nodes(300, output_at=(10, 100, 200)), ".cmb": COMBINATION}))
case("f2-many-materials", "240 nodes of materials 1, 2, 9, 3 (9 has no record and keeps the values in "
     "effect; material 2 has a Weibull and a Palmgren record), Neuber Linear",
     job({".inp": parameters(format="2", counts="240, 2", output="1000", materials="2", ep="1",
                             scale="2.5, 1"),
          ".nds": many_nodes(240, material_ids=(1, 2, 9, 3), output_at=(7,)), ".cmb": COMBINATION,
          ".mtr": MANY_MATERIALS}))
# 120 nodes from far below to above the endurance limit (also run with the screen's options).
SCREENED_NODES_JOB = job({".inp": parameters(format="2", counts="120, 2", output="1000"),
                          ".nds": graded_nodes(120, output_at=(3,)), ".cmb": COMBINATION})
case("f2-screened-nodes", "120 nodes from far below to above the endurance limit: the damage "
     "screen passes the nodes below it, the rest get the whole half-cycle analysis",
     SCREENED_NODES_JOB)
case("f2-screened-nodes-weibull", "the nodes of f2-screened-nodes under Weibull, Goodman method 3 "
     "with exponent 2, the stress-path based correction and Ground-Air-Ground",
     job({".inp": parameters(format="2", counts="120, 2", output="5", curve="2",
                             weibull="45, 450, 6.5, 2", goodman="2, 3, 300", spc="1", gag="1"),
          ".nds": graded_nodes(120), ".cmb": COMBINATION}))
case("f3-many-nodes", "300 nodes of a block spectrum with several complete-output indexes",
     job({".inp": parameters(format="3", counts="300, 2", output="1000", ep="1", method="2", scale="2, 1"),
          ".nds": many_nodes(300, output_at=(5, 250)), ".blc": BLOCKS}))
case("stop-many-nodes", "300 nodes, node index 150 has no load: Runtime Error Code 018 there, after "
     "the complete-output nodes 10 and 100 wrote their files and before node 200 would",
     job({".inp": parameters(format="2", counts="300, 2", output="1000", ep="1"),
          ".nds": many_nodes(300, unloaded=150, output_at=(10, 100, 200)), ".cmb": COMBINATION}))
case("stop-many-materials", "240 nodes; node index 120 selects a multilinear material record",
     job({".inp": parameters(format="3", counts="240, 2", output="1000", materials="2"),
          ".nds": many_nodes(240, material_ids=(1, 2, 3), output_at=(3, 200)).replace(
              "2120, 1,", "2120, 5,"),
          ".blc": BLOCKS, ".mtr": MANY_MATERIALS + lines(
              "5, 300, 205000, 450, 22, 3, 0, 0, 0, 0, 1, 2, 550, 0, 0, 0, 0")}))


# --- Fatal stops ---------------------------------------------------------------------------
OLD_ADVISORY = {"korvanel.adv": "An earlier message that is longer than the new one\r\nand a second line\r\n"}
case("stop-blocks-type", "blocksDamageType 3 and cyclesExtraction 2: the first check wins; "
     "the old korvanel.adv is replaced",
     dict(job({".inp": parameters(blocks="3", extraction="2")}), **OLD_ADVISORY))
case("stop-lvf", "Load Variability Factor below 0", job({".inp": parameters(lvf="-0.5")}))
case("stop-method", "elastoPlasticMethod 0 while the correction is off",
     job({".inp": parameters(method="0")}))
case("stop-format", "stress-input format 4 after the nine other checks", job({".inp": parameters(format="4")}))
case("stop-empty-parameters", "an empty parameter file reads as zeros", job({".inp": ""}))
case("stop-missing-parameters", "no parameter file", {"job/.keep": ""})
case("stop-missing-control", "no korvanel.inp", {"job/j.inp": parameters()}, control=None)
case("stop-shifted-layout", "text after a value shifts the layout",
     job({".inp": parameters(ep="1  on"), ".sig": HISTORY}))
case("stop-out-of-range", "a number too large for a double",
     job({".inp": parameters(material="355, 1e400, 510, 20")}))
case("stop-one-time-point", "a stress history of one time point",
     job({".inp": parameters(), ".sig": lines("1, 2, 3, 4, 5, 6")}))
case("stop-missing-sig", "no stress-history file", job({".inp": parameters()}))
case("stop-constant-history", "a constant history: Runtime Error Code 018",
     job({".inp": parameters(), ".sig": lines("5, 5, 5, 0, 0, 0", "5, 5, 5, 0, 0, 0")}))
case("stop-nds-size", "node stress file one line short",
     job({".inp": parameters(format="2", counts="3, 2"), ".nds": NODES[:NODES.rindex("30, 1, 0")],
          ".cmb": COMBINATION}))
case("stop-ndummy2", "node IDs in another order in block 2",
     job({".inp": parameters(format="2", counts="3, 2"),
          ".nds": NODES.replace("10, 1, 120", "20, 1, 120", 1), ".cmb": COMBINATION}))
case("stop-ndummy3", "another material ID in block 3",
     job({".inp": parameters(format="2", counts="3, 2"),
          ".nds": NODES.replace("30, 1, 0, -50", "30, 4, 0, -50"), ".cmb": COMBINATION}))
case("stop-cmb-one-value", "a combination file of one value",
     job({".inp": parameters(format="2", counts="3, 2"), ".nds": NODES, ".cmb": "1\r\n"}))
case("stop-no-load-case", "format 2 without load cases",
     job({".inp": parameters(format="2", counts="3, 0"), ".nds": NODES.split("10, 1, 120")[0],
          ".cmb": COMBINATION}))
case("stop-blc-short", "a block spectrum shorter than one block",
     job({".inp": parameters(format="3", counts="3, 2"), ".nds": NODES, ".blc": "1, 2, 3, 4\r\n"}))
case("stop-cycles-extraction-f2", "cycles extraction with format 2: Runtime Error Code 912",
     job({".inp": parameters(format="2", counts="3, 2", extraction="1"), ".nds": NODES, ".cmb": COMBINATION}))
case("stop-unloaded-node", "second node without load change: Runtime Error Code 018 at node 20, "
     "after node 10 wrote its .cyc",
     job({".inp": parameters(format="2", counts="3, 2", output="10"),
          ".nds": NODES.replace("20, 2, 90, -20, 10, 0, 15, 0", "20, 2, 0, 0, 0, 0, 0, 0")
                       .replace("20, 2, 30, 70, 0, -20, 0, 5", "20, 2, 0, 0, 0, 0, 0, 0"),
          ".cmb": COMBINATION}))
case("stop-curve-type", "S-N curve type 3 with format 1",
     job({".inp": parameters(curve="3"), ".sig": HISTORY}))
case("stop-f3-multilinear", "format 3 with a multilinear curve",
     job({".inp": parameters(format="3", counts="3, 2", curve="3"), ".nds": NODES, ".blc": BLOCKS}))
case("stop-f3-material-multilinear", "format 3, a node's material record is multilinear",
     job({".inp": parameters(format="3", counts="3, 2", materials="2"), ".nds": NODES, ".blc": BLOCKS,
          ".mtr": MATERIALS.replace("2, 275, 205000, 430, 24, 2,", "2, 275, 205000, 430, 24, 3,")}))
case("stop-f3-material-type", "format 3, a node's material record has curve type 5",
     job({".inp": parameters(format="3", counts="3, 2", materials="2"), ".nds": NODES, ".blc": BLOCKS,
          ".mtr": MATERIALS.replace("2, 275, 205000, 430, 24, 2,", "2, 275, 205000, 430, 24, 5,")}))
case("stop-f2-material-type", "format 2, a node's material record has curve type 3",
     job({".inp": parameters(format="2", counts="3, 2", materials="2"), ".nds": NODES, ".cmb": COMBINATION,
          ".mtr": MATERIALS.replace("2, 275, 205000, 430, 24, 2,", "2, 275, 205000, 430, 24, 3,")}))
case("stop-correction-material", "correction on with a yield stress of 0",
     job({".inp": parameters(ep="1", material="0, 210000, 510, 20"), ".sig": HISTORY}))
case("stop-correction-units", "Neuber linear with stresses in Pa and the yield stress in MPa",
     job({".inp": parameters(ep="1", method="1"),
          ".sig": lines("0, 0, 0, 0, 0, 0", "250e6, 20e6, 0, 40e6, 0, 0", "-50e6, 0, 0, 10e6, 0, 0",
                        "180e6, 10e6, 0, 30e6, 0, 0")}))
case("stop-nan-damage", "a Weibull curve whose damage is not a number",
     job({".inp": parameters(curve="2", weibull="80, 450, 0, 0"), ".sig": HISTORY}))
case("stop-missing-mtr", "multiple materials without a .mtr",
     job({".inp": parameters(format="2", counts="3, 2", materials="2"), ".nds": NODES, ".cmb": COMBINATION}))



# --- Hostile input -------------------------------------------------------------------------
# Files that are missing, empty, unreadable, mis-sized, binary or written by the wrong tool:
# each ends in a clear fatal stop or in the analysis the rules define. A directory standing
# where a file should be cannot be opened or created, also when the tests run as root.
F2 = dict(format="2", counts="3, 2", output="20")
F3 = dict(format="3", counts="3, 2", output="20")


def f2_job(nds=NODES, cmb=COMBINATION, **changes):
    files = {".inp": parameters(**dict(F2, **changes))}
    if nds is not None:
        files[".nds"] = nds
    if cmb is not None:
        files[".cmb"] = cmb
    return job(files)


def keep_dir(path):
    """A directory at `path` (held by an empty file inside it)."""
    return {path + "/.keep": ""}


case("hostile-missing-nds", "format 2 without a node stress file", f2_job(nds=None))
case("hostile-missing-cmb", "format 2 without a load-case combination file", f2_job(cmb=None))
case("hostile-missing-blc", "format 3 without a block spectrum file",
     job({".inp": parameters(**F3), ".nds": NODES}))
case("hostile-missing-btf", "blocks damage type 2 without a block group file: it is read first",
     job({".inp": parameters(blocks="2", **F3), ".nds": NODES, ".blc": BLOCKS}))
case("hostile-missing-job-directory", "korvanel.inp names a directory that does not exist",
     job({".inp": parameters(), ".sig": HISTORY}), control="nowhere\r\nj\r\n")
case("hostile-empty-control", "an empty korvanel.inp: empty directory and name, the path /.inp",
     job({".inp": parameters(), ".sig": HISTORY}), control="")
case("hostile-empty-sig", "an empty stress-history file", job({".inp": parameters(), ".sig": ""}))
case("hostile-empty-nds", "an empty node stress file with three nodes expected", f2_job(nds=""))
case("hostile-empty-cmb", "an empty load-case combination file", f2_job(cmb=""))
case("hostile-empty-blc", "an empty block spectrum file",
     job({".inp": parameters(**F3), ".nds": NODES, ".blc": ""}))
case("hostile-empty-mtr", "multiple materials with an empty material file: every node keeps the "
     "parameter-file material", f2_job(materials="2") | job({".mtr": ""}))
case("hostile-zero-nodes", "no node at all: the node of largest damage keeps its start values",
     f2_job(nds="", counts="0, 2"))
case("hostile-control-is-directory", "korvanel.inp is a directory",
     dict(job({".inp": parameters(), ".sig": HISTORY}), **keep_dir("korvanel.inp")), control=None)
case("hostile-sig-is-directory", "the stress-history file is a directory",
     dict(job({".inp": parameters()}), **keep_dir("job/j.sig")))
case("hostile-nds-is-directory", "the node stress file is a directory",
     dict(f2_job(nds=None), **keep_dir("job/j.nds")))

# Output files that cannot be created: a directory stands in their place.
case("hostile-unwritable-cyc", "format 1, the .cyc cannot be created",
     dict(job({".inp": parameters(), ".sig": HISTORY}), **keep_dir("job/j.cyc")))
case("hostile-unwritable-cif", "format 1 with cycles extraction, the .cif cannot be created "
     "(the .cyc is written before it)",
     dict(job({".inp": parameters(extraction="1"), ".sig": HISTORY}), **keep_dir("job/j.cif")))
case("hostile-unwritable-sep", "format 1 with the correction, the .sep cannot be created",
     dict(job({".inp": parameters(ep="1"), ".sig": HISTORY}), **keep_dir("job/j.sep")))
case("hostile-unwritable-sum", "format 1, the .sum cannot be created (every detail file is written)",
     dict(job({".inp": parameters(), ".sig": HISTORY}), **keep_dir("job/j.sum")))
case("hostile-unwritable-ndd", "format 2, the .ndd cannot be created", dict(f2_job(), **keep_dir("job/j.ndd")))
case("hostile-unwritable-ans", "format 2, the .ans cannot be created (the .ndd is written before it)",
     dict(f2_job(), **keep_dir("job/j.ans")))
case("hostile-unwritable-missing-node-line", "format 2, no node has the complete-output ID and the "
     ".cyc that says so cannot be created", dict(f2_job(output="77"), **keep_dir("job/j.cyc")))
case("hostile-unwritable-advisory", "a fatal stop whose korvanel.adv cannot be written: the console "
     "alone shows the message", dict(job({".inp": parameters(lvf="-1")}), **keep_dir("korvanel.adv")))

# Counts.
case("hostile-negative-nodes", "a negative node count", f2_job(counts="-3, 2"))
case("hostile-negative-load-cases", "a negative load-case count", f2_job(counts="3, -1"))
case("hostile-enormous-nodes", "the largest 64-bit node count", f2_job(counts="9223372036854775807, 0"))
case("hostile-overflowing-counts", "(load cases + 1) x nodes beyond 64 bits",
     f2_job(counts="4611686018427387904, 1"))
case("hostile-overflowing-load-cases", "load cases + 1 beyond 64 bits",
     f2_job(counts="1, 9223372036854775807"))
case("hostile-count-out-of-range", "a node count written as 1e30 does not fit 64 bits",
     f2_job(counts="1e30, 2"))
case("hostile-zero-nodes-enormous-load-cases", "no node and 2^62 load cases: an empty node stress "
     "file is coherent, the combination gives no time point, and the run ends normally",
     f2_job(nds="", counts="0, 4611686018427387904"))
case("hostile-f3-enormous-load-cases", "format 3, no node and 2^62 load cases: the block spectrum "
     "cannot hold one block", job({".inp": parameters(format="3", counts="0, 4611686018427387904"),
                                   ".nds": "", ".blc": BLOCKS}))
case("hostile-more-load-cases-than-values", "three load cases but two factors: no time point, so "
     "the first node's empty history stops the run with code 018",
     f2_job(counts="1, 3", nds=lines("10, 1, 1, 0, 0, 0, 0, 0", "10, 1, 2, 0, 0, 0, 0, 0",
                                     "10, 1, 3, 0, 0, 0, 0, 0", "10, 1, 4, 0, 0, 0, 0, 0"),
            cmb=lines("1, 2")))

# Values.
case("hostile-inf-nan-text", "inf, nan and -inf have no leading number and read as 0",
     job({".inp": parameters(), ".sig": lines("inf, 0, 0, 0, 0, 0", "250, nan, 0, 40, 0, 0",
                                              "-50, 0, -inf, 10, 0, 0", "180, 10, 0, 30, 0, 0")}))
case("hostile-sig-1e400", "a stress of 1e400 is out of range",
     job({".inp": parameters(), ".sig": HISTORY.replace("180,", "1e400,")}))
case("hostile-cmb-minus-1e400", "a combination factor of -1e400 is out of range",
     f2_job(cmb=COMBINATION.replace("-0.6", "-1e400")))
case("hostile-nds-hex-overflow", "a node ID &HFFFFFFFFFFFFFFFFFF is out of range",
     f2_job(nds=NODES.replace("20, 2, -10", "&HFFFFFFFFFFFFFFFFFF, 2, -10")))
case("hostile-radix-and-d-exponent", "hexadecimal, octal and binary integers and the exponent "
     "letter d give the usual numbers",
     job({".inp": parameters(), ".sig": lines("0, 0, 0, 0, 0, 0", "&HFA, &O24, 0, 4d1, 0, 0",
                                              "-50, &B0, 0, 1D1, 0, 0", "1.8d2, 10, 0, 30, 0, 0")}))
case("hostile-long-digits", "a 400-digit stress is out of range of a double",
     job({".inp": parameters(), ".sig": HISTORY.replace("180,", "1" + "0" * 400 + ",")}))
case("hostile-long-digits-fit", "a 300-digit stress and a 1000-digit fraction still convert",
     job({".inp": parameters(), ".sig": lines(
         "0, 0, 0, 0, 0, 0", "1" + "0" * 300 + ", 0, 0, 0, 0, 0",
         "0." + "0" * 1000 + "1, 0, 0, 0, 0, 0", "50.000000000000000000000000000000000001, 0, 0, 0, 0, 0")}))
case("hostile-long-digit-integer", "a 25-digit integer field is out of range",
     job({".inp": parameters(output="1234567890123456789012345"), ".sig": HISTORY}))
case("hostile-nul-and-binary", "NUL bytes and other binary data inside values read as 0 or as their "
     "leading number", job({".inp": parameters(), ".sig": lines(
         "0, 0, 0, 0, 0, 0", "250\x00\x01, 20, 0, 40, 0, 0", "\x00-50, \xff\xfe, 0, 10, 0, 0",
         "180, 10, \x80\x81\x82, 30, 0, 0")}))
case("hostile-binary-parameters", "a parameter file of binary bytes: every value reads as 0",
     job({".inp": "".join(chr(b) for b in range(256) if chr(b) not in "0123456789+-.,\r\n \t\"&") * 4}))
case("hostile-no-final-line-end", "files whose last line has no line end read like the others",
     job({".inp": parameters()[:-2], ".sig": HISTORY[:-2]}))
case("hostile-cr-only", "CR-only line ends read like CR LF",
     job({".inp": parameters().replace("\r\n", "\r"), ".sig": HISTORY.replace("\r\n", "\r")}),
     control="job\rj\r")
case("hostile-lf-only", "LF-only line ends read like CR LF",
     job({".inp": parameters().replace("\r\n", "\n"), ".sig": HISTORY.replace("\r\n", "\n")}),
     control="job\nj\n")
case("hostile-unclosed-quote", "a quoted value without its closing quote runs to the end of the file",
     job({".inp": parameters(), ".sig": HISTORY + lines("\"1, 2, 3, 4, 5, 6", "7, 8, 9")}))
case("hostile-unclosed-quote-control", "korvanel.inp whose quote is not closed: the directory takes "
     "the whole file", job({".inp": parameters(), ".sig": HISTORY}), control="\"job\r\nj\r\n")
case("hostile-quoted-control", "a quoted job directory with a comma and blanks",
     {"my job, 2/j.inp": parameters(), "my job, 2/j.sig": HISTORY}, control="\"my job, 2\", j\r\n")
case("hostile-long-control-path", "a job directory of 5000 characters keeps its first 4096",
     job({".inp": parameters()}), control="d" * 5000 + "\r\nj\r\n")

# Material and S-N data.
case("hostile-correction-negative-yield", "correction with a negative yield stress",
     job({".inp": parameters(ep="1", material="-355, 210000, 510, 20"), ".sig": HISTORY}))
case("hostile-correction-zero-modulus", "correction with Young's modulus 0",
     job({".inp": parameters(ep="1", material="355, 0, 510, 20"), ".sig": HISTORY}))
case("hostile-correction-softening", "correction with a static strength below the yield stress "
     "(negative plastic modulus)",
     job({".inp": parameters(ep="1", material="355, 210000, 300, 20"), ".sig": HISTORY}))
case("hostile-correction-infinite-plastic-modulus", "correction with a strain at failure equal to "
     "the yield strain (plastic modulus infinite)",
     job({".inp": parameters(ep="1", material="210, 210000, 510, 0.1"), ".sig": HISTORY}))
case("hostile-correction-block-material", "format 3 block correction with a yield stress of 0",
     job({".inp": parameters(ep="1", method="2", material="0, 210000, 510, 20", **F3),
          ".nds": NODES, ".blc": BLOCKS}))
case("hostile-correction-second-material", "multiple materials: the second node's material does "
     "not allow the correction; the first node wrote its detail files",
     f2_job(ep="1", output="10", materials="2") | job({".mtr": MATERIALS.replace(
         "2, 275, 205000, 430, 24,", "2, 275, 205000, 200, 24,")}))
NAN_WEIBULL = dict(curve="2", weibull="80, 450, 0, 0")
case("hostile-nan-damage-f2", "format 2, a Weibull curve whose damage is not a number",
     f2_job(**NAN_WEIBULL))
case("hostile-nan-damage-gag", "format 2 with Ground-Air-Ground: the not-a-number damage is caught "
     "before the largest half-cycle is taken", f2_job(gag="1", **NAN_WEIBULL))
case("hostile-nan-damage-f3", "format 3, worst single block: the not-a-number damage is caught",
     job({".inp": parameters(blocks="0", **dict(F3, **NAN_WEIBULL)), ".nds": NODES, ".blc": BLOCKS}))


# --- Byte-order marks and command-line options ----------------------------------------------
BOM = "\xef\xbb\xbf"
case("hostile-byte-order-marks-f1", "every file a spreadsheet saved, with a UTF-8 byte-order mark: "
     "korvanel.inp, .inp and .sig read as without it",
     job({".inp": BOM + parameters(extraction="1"), ".sig": BOM + HISTORY}), control=BOM + "job\r\nj\r\n")
case("hostile-byte-order-marks-f2", "byte-order marks at the start of the .mtr, .nds and .cmb",
     job({".inp": parameters(format="2", counts="3, 2", output="10", materials="2"),
          ".nds": BOM + NODES, ".cmb": BOM + COMBINATION, ".mtr": BOM + MATERIALS}))
case("hostile-byte-order-marks-f3", "byte-order marks at the start of the .btf, .nds and .blc",
     job({".inp": parameters(format="3", counts="3, 2", output="10", blocks="2"),
          ".nds": BOM + NODES, ".blc": BOM + BLOCKS, ".btf": BOM + lines("1, 2", "3, 5")}))
case("option-allow-unloaded-nodes", "--allow-unloaded-nodes: node index 150 of 300 has no load and "
     "gets no damage instead of Runtime Error Code 018; the complete-output nodes write their files",
     job({".inp": parameters(format="2", counts="300, 2", output="1000", ep="1"),
          ".nds": many_nodes(300, unloaded=150, output_at=(10, 100, 200)), ".cmb": COMBINATION}),
     options=["--allow-unloaded-nodes"])
case("option-check", "--check on a job with a material ID without a record and a combination "
     "value left over: what was read on the console, the warnings on standard error, no file "
     "written (expected files checked by hand)",
     job({".inp": parameters(format="2", counts="240, 2", output="1000", materials="2", ep="1",
                             scale="2.5, 1"),
          ".nds": many_nodes(240, material_ids=(1, 2, 9, 3), output_at=(7,)),
          ".cmb": COMBINATION + "0.5\r\n", ".mtr": MANY_MATERIALS}),
     options=["--check"])
case("option-no-damage-screen", "--no-damage-screen: the job of f2-screened-nodes, every node "
     "through the whole half-cycle analysis, the same files (expected files those of "
     "f2-screened-nodes)",
     SCREENED_NODES_JOB,
     options=["--no-damage-screen"])
case("option-count-screened-nodes", "--count-screened-nodes: the job of f2-screened-nodes, the "
     "count of the nodes the damage screen passed on standard error (expected files those of "
     "f2-screened-nodes)",
     SCREENED_NODES_JOB,
     options=["--count-screened-nodes"])
case("option-strict", "--strict: a stress written 1S0 in the .nds is the fatal stop with the "
     "warning's text (expected files checked by hand)",
     job({".inp": parameters(format="2", counts="3, 2", output="20"),
          ".nds": NODES.replace("10, 1, 120,", "10, 1, 1S0,"), ".cmb": COMBINATION}),
     options=["--strict"])


# --- The first-job guide: its template filled in as docs/first-job.md says -----------------
FIRST_JOB = os.path.join(HERE, "..", "docs", "first-job")


def first_job_file(name):
    with open(os.path.join(FIRST_JOB, name), encoding="latin-1", newline="") as f:
        return f.read()


def filled_template(values):
    """template.inp with the value lines of the given records replaced."""
    rows = first_job_file("template.inp").split("\n")
    for record, value in values.items():
        at = next(i for i, row in enumerate(rows) if row.startswith("Record %d," % record))
        rows[at + (2 if record in (6, 7, 8) else 1)] = value
    return "\n".join(rows)


case("f2-first-job", "the lug of docs/first-job.md: template.inp with records 12, 14 and 19 filled in",
     {"job/lug.inp": filled_template({12: "11", 14: "4, 2", 19: "8"}),
      "job/lug.nds": first_job_file("lug.nds"), "job/lug.cmb": first_job_file("lug.cmb")},
     control="job\nlug\n")


def case_files(name):
    """Every file of the case's directory but expected/, by its path below the case."""
    note, files, control, options = CASES[name]
    everything = {"README": note + "\n"}
    if options:
        everything["options"] = "".join(option + "\n" for option in options)
    everything.update({"input/" + rel: text for rel, text in files.items()})
    if control is not None:
        everything["input/korvanel.inp"] = control
    return {rel: text.encode("latin-1") for rel, text in everything.items()}


def write_case(name):
    root = os.path.join(JOBS, name)
    shutil.rmtree(os.path.join(root, "input"), ignore_errors=True)
    if os.path.exists(os.path.join(root, "options")):
        os.remove(os.path.join(root, "options"))
    for rel, data in case_files(name).items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def stale_files(name):
    """Paths of the case whose content differs from what this script writes."""
    root = os.path.join(JOBS, name)
    wanted = case_files(name)
    present = {"options"} if os.path.exists(os.path.join(root, "options")) else set()
    for folder, _, names in os.walk(os.path.join(root, "input")):
        present.update(os.path.relpath(os.path.join(folder, n), root) for n in names)
    stale = sorted(present - set(wanted))
    for rel, data in wanted.items():
        path = os.path.join(root, rel)
        if not os.path.isfile(path) or open(path, "rb").read() != data:
            stale.append(rel)
    return stale


def main():
    args = sys.argv[1:]
    if args[:1] == ["--check"]:
        # A case's input must be what this script (and the files it takes from docs/) gives.
        stale = ["%s/%s" % (name, rel) for name in (args[1:] or sorted(CASES)) for rel in stale_files(name)]
        for path in stale:
            print("out of date: tests/jobs/%s (run tests/make_cases.py, then tests/make_expected.py)" % path)
        return 1 if stale else 0
    names = args or sorted(CASES)
    for name in names:
        write_case(name)
    print("%d cases written" % len(names))
    return 0


if __name__ == "__main__":
    sys.exit(main())
