#!/usr/bin/python3
"""The holed-plate example checked against the physics and against a hand-written .nds.

Meshes the plate with gmsh and solves it with CalculiX again (when gmsh, python3-gmsh and ccx
are there; otherwise it checks the committed solver/plate.frd and says so), then:
- the stress concentration at the hole under tension against Heywood's formula
  Kt_net = 2 + (1 - d/W)^3, within 1 %;
- the far field (|x| >= W) within 1 % of the nominal stress, in tension and in shear;
- korvanel-import's .nds gives korvanel the same .ndd, byte for byte, as a .nds written by
  hand from the text of the .frd's fields;
- the most damaged node lies on the hole edge on the axis across the load, and its damage
  agrees with the S-N curve at the stress the solver found there (to the .ndd's digits) and
  at Heywood's Kt x nominal (within what 1 % of Kt allows).

Usage: holed_plate_physics.py <korvanel>
"""
import math
import os
import shutil
import subprocess
import sys
import tempfile

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLE = os.path.join(TOP, "examples", "holed-plate")
IMPORT = os.path.join(TOP, "tools", "import", "korvanel-import")
sys.path.insert(0, os.path.join(TOP, "tools", "import"))

WIDTH, HOLE, NOMINAL = 100.0, 20.0, 100.0     # mm, mm, MPa of the tension in job/plate.cmb
L1, P, C, ENDURANCE = 12.6, -3.5, 0.0, 40.0   # the Palmgren curve of job/plate.inp


def heywood_gross():
    ratio = HOLE / WIDTH
    return (2.0 + (1.0 - ratio) ** 3) / (1.0 - ratio)


def damage_per_repeat(seq):
    """One fully reversed cycle of equivalent amplitude seq: 1 / N."""
    return 1.0 / (10.0 ** (L1 + P * math.log10(seq - ENDURANCE)) - C)


def von_mises(s):
    return math.sqrt(s[0] ** 2 + s[1] ** 2 + s[2] ** 2 - s[0] * s[1] - s[1] * s[2]
                     - s[0] * s[2] + 3.0 * (s[3] ** 2 + s[4] ** 2 + s[5] ** 2))


def solved_frd(work, problems):
    have = shutil.which("gmsh") and shutil.which("ccx")
    try:
        import gmsh  # noqa: F401
    except ImportError:
        have = False
    if not have:
        print("gmsh, python3-gmsh or ccx missing: checking the committed solver/plate.frd")
        return os.path.join(EXAMPLE, "solver", "plate.frd")
    folder = os.path.join(work, "solver")
    shutil.copytree(os.path.join(EXAMPLE, "solver"), folder)
    os.remove(os.path.join(folder, "plate.frd"))
    subprocess.run([sys.executable, "mesh.py"], cwd=folder, check=True)
    proc = subprocess.run(["ccx", "plate"], cwd=folder, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT)
    if proc.returncode != 0 or not os.path.exists(os.path.join(folder, "plate.frd")):
        problems.append("CalculiX failed: " + proc.stdout.decode(errors="replace")[-2000:])
        return None
    print("solved again: %s" % os.path.join(folder, "plate.frd"))
    return os.path.join(folder, "plate.frd")


def hand_written_nds(frd, path):
    """The .nds as a user would write it: the text of each field of the steps' STRESS
    blocks, the base zeros; components SXX SYY SZZ SXY SYZ SZX are sx sy sz txy tyz txz."""
    blocks, current, in_stress = [], None, False
    with open(frd) as f:
        for line in f:
            if line.startswith(" -4"):
                in_stress = line.split()[1] == "STRESS"
                current = [] if in_stress else None
            elif in_stress and line.startswith(" -1"):
                current.append((line[3:13].strip(), [line[13 + 12 * k:25 + 12 * k].strip()
                                                      for k in range(6)]))
            elif in_stress and line.startswith(" -3"):
                blocks.append(current)
                in_stress = False
    with open(path, "w") as f:
        for node, _ in blocks[0]:
            f.write("%s, 1, 0, 0, 0, 0, 0, 0\n" % node)
        for block in blocks:
            for node, values in block:
                f.write("%s, 1, %s\n" % (node, ", ".join(values)))
    return len(blocks[0])


def run_job(korvanel, folder, nds_source):
    os.makedirs(os.path.join(folder, "job"))
    for ext in (".inp", ".cmb"):
        shutil.copy(os.path.join(EXAMPLE, "job", "plate" + ext), os.path.join(folder, "job"))
    shutil.copy(nds_source, os.path.join(folder, "job", "plate.nds"))
    with open(os.path.join(folder, "korvanel.inp"), "w") as f:
        f.write("job\nplate\n")
    nodes = sum(1 for _ in open(nds_source)) // 3
    text = open(os.path.join(folder, "job", "plate.inp")).read().replace(
        "\n4620, 2\n", "\n%d, 2\n" % nodes)
    open(os.path.join(folder, "job", "plate.inp"), "w").write(text)
    proc = subprocess.run([korvanel], cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if proc.returncode != 0:
        raise RuntimeError("korvanel failed in %s: %s" % (folder, proc.stdout[-500:]))
    with open(os.path.join(folder, "job", "plate.ndd"), "rb") as f:
        return f.read()


def main():
    korvanel = os.path.abspath(sys.argv[1])
    problems = []
    from korvanel_import.frd import read_frd
    with tempfile.TemporaryDirectory(prefix="korvanel-holed-plate-") as work:
        frd = solved_frd(work, problems)
        if frd is None:
            return report(problems)
        results = read_frd(frd)
        ids, points = results.mesh_ids, results.mesh_points
        tension, shear = results.fields["1"], results.fields["2"]
        where = {int(n): i for i, n in enumerate(ids)}
        at = {int(n): i for i, n in enumerate(tension.node_ids)}

        # Stress concentration at the hole edge across the load, both sides.
        kt = heywood_gross()
        for y in (HOLE / 2, -HOLE / 2):
            node = min(where, key=lambda n: (points[where[n]][0]) ** 2 +
                       (points[where[n]][1] - y) ** 2)
            sxx = tension.values[at[node]][0]
            print("Kt at (0, %g): %.5f; Heywood %.5f (%+.2f %%)"
                  % (y, sxx, kt, 100 * (sxx / kt - 1)))
            if abs(sxx / kt - 1) > 0.01:
                problems.append("Kt %.5f at (0, %g) is not within 1 %% of Heywood's %.5f"
                                % (sxx, y, kt))
        # Far field.
        x = points[[where[int(n)] for n in tension.node_ids]][:, 0]
        far = abs(x) >= WIDTH
        for name, values, k in (("tension sx", tension.values, 0), ("shear txy", shear.values, 3)):
            lo, hi = values[far, k].min(), values[far, k].max()
            print("far field %s: %.5f .. %.5f" % (name, lo, hi))
            if lo < 0.99 or hi > 1.01:
                problems.append("far field %s %.5f .. %.5f not within 1 %% of 1" % (name, lo, hi))

        # The import against a .nds written by hand, through korvanel.
        subprocess.run([sys.executable, IMPORT, frd, "-o", os.path.join(work, "plate"),
                        "--load-cases", "1,2"], check=True)
        hand = os.path.join(work, "hand.nds")
        hand_written_nds(frd, hand)
        imported = run_job(korvanel, os.path.join(work, "imported"),
                           os.path.join(work, "plate.nds"))
        by_hand = run_job(korvanel, os.path.join(work, "by-hand"), hand)
        if imported != by_hand:
            problems.append("the .ndd of the imported .nds differs from the hand-written one's")
        else:
            print("imported and hand-written .nds: the same .ndd (%d lines)"
                  % imported.count(b"\n"))

        # The most damaged node and its damage.
        rows = [line.split() for line in imported.decode().splitlines()[1:]]
        worst = max(rows, key=lambda r: float(r[1]))   # the first of equal damages
        node, damage = int(worst[0]), float(worst[1])
        px, py = points[where[node]][:2]
        print("most damaged node %d at (%.4f, %.4f): damage %s" % (node, px, py, worst[1]))
        if abs(math.hypot(px, py) - HOLE / 2) > 1e-6 or abs(px) > 1e-6:
            problems.append("the most damaged node %d at (%g, %g) is not on the hole edge on the "
                            "axis across the load" % (node, px, py))
        state = [NOMINAL * v for v in tension.values[at[node]]]
        from_solver = damage_per_repeat(von_mises(state))
        if abs(damage / from_solver - 1) > 1e-6:
            problems.append("damage %r against %r from the S-N curve at the node's stress"
                            % (damage, from_solver))
        low, high = (damage_per_repeat(f * kt * NOMINAL) for f in (0.99, 1.01))
        print("hand calculation at Kt x nominal: %.6e (%.6e .. %.6e for Kt +-1 %%)"
              % (damage_per_repeat(kt * NOMINAL), low, high))
        if not low <= damage <= high:
            problems.append("damage %r outside %r .. %r (Heywood's Kt +-1 %%)"
                            % (damage, low, high))
    return report(problems)


def report(problems):
    for p in problems:
        print("FAILED: " + p)
    print("holed plate: %s" % ("FAILED" if problems else "ok"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
