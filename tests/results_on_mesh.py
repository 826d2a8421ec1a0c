#!/usr/bin/python3
"""The holed-plate example from its committed solver results to the results on the mesh.

For the plane plate and the 10 mm solid (imported with --surface): korvanel-import, korvanel,
korvanel-report; then <name>-results.vtu read back with meshio: every analysed node's damage
equals its .ndd value, the mesh nodes the job did not analyse (the solid's interior) are NaN;
the page draws the model and its hotspot table starts with the most damaged node of the .ndd;
--results-only writes the results file and nothing else.

Usage: results_on_mesh.py <korvanel>
"""
import os
import re
import subprocess
import sys
import tempfile

import meshio
import numpy as np

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLE = os.path.join(TOP, "examples", "holed-plate")
REPORT = os.path.join(TOP, "tools", "report", "korvanel-report")


def check_model(korvanel, work, model, problems):
    out = os.path.join(work, model)
    subprocess.run([sys.executable, os.path.join(EXAMPLE, "run.py"), "--korvanel", korvanel,
                    "--out", work, model], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    job = os.path.join(out, "job", model)
    with open(job + ".ndd") as f:
        rows = [line.split() for line in f.read().splitlines()[1:]]
    ndd = {int(r[0]): float(r[1]) for r in rows}
    mesh = meshio.read(job + "-results.vtu")
    ids = mesh.point_data["node_id"]
    damage = mesh.point_data["damage_per_life_unit"]
    analysed = np.array([int(n) in ndd for n in ids])
    wrong = [int(n) for n, d, a in zip(ids, damage, analysed) if a and d != ndd[int(n)]]
    if wrong:
        problems.append("%s: damage of node %d is not its .ndd value" % (model, wrong[0]))
    if not np.all(np.isnan(damage[~analysed])):
        problems.append("%s: a node not analysed has a damage" % model)
    for name in ("life", "log10_life", "static_failure_code"):
        if not np.array_equal(np.isnan(mesh.point_data[name]), ~analysed):
            problems.append("%s: %s is not NaN exactly at the nodes not analysed" % (model, name))
    print("%s: %d mesh nodes, %d analysed, %d NaN" % (model, len(ids), analysed.sum(),
                                                      (~analysed).sum()))
    if model == "solid" and analysed.all():
        problems.append("solid: --surface left no interior node out")
    html = open(job + "-report.html", encoding="utf-8").read()
    worst = max(ndd, key=lambda n: ndd[n])
    table = re.search(r'<table class="hotspots">.*?<td[^>]*>1</td>\s*<td[^>]*>(\d+)</td>', html,
                      re.S)
    if not table or int(table.group(1)) != worst:
        problems.append("%s: the first hotspot is not node %d" % (model, worst))
    if not os.path.isfile(job + "-report-model.png"):
        problems.append("%s: no picture of the model" % model)
    only = os.path.join(work, model + "-only")
    os.makedirs(only)
    subprocess.run([sys.executable, REPORT, "--results-only", "-o", only, out], check=True,
                   stdout=subprocess.DEVNULL)
    if os.listdir(only) != [model + "-results.vtu"]:
        problems.append("%s: --results-only wrote %s" % (model, os.listdir(only)))


def main():
    korvanel = os.path.abspath(sys.argv[1])
    problems = []
    with tempfile.TemporaryDirectory(prefix="korvanel-results-on-mesh-") as work:
        for model in ("plate", "solid"):
            check_model(korvanel, work, model, problems)
    for p in problems:
        print("FAILED: " + p)
    print("results on the mesh: %s" % ("FAILED" if problems else "ok"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
