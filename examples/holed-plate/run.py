#!/usr/bin/python3
"""The holed-plate example from the solver's results to the pictures, in one command.

Imports the CalculiX results of solver/ (plate.frd: the plate in plane stress; solid.frd:
the same plate as a 10 mm solid, its outer surface only), analyses each under the load
history of job/<model>.cmb and writes korvanel-report's page, pictures and <model>-results.vtu.

Usage: run.py [--solve] [--korvanel PROGRAM] [--out DIRECTORY] [plate | solid ...]
  --solve     mesh with gmsh and solve with CalculiX again first (python3-gmsh, calculix-ccx)
  --korvanel  the program (default: build/korvanel of this source tree, else korvanel on PATH)
  --out       where the job is run (default: out/ beside this script)
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
IMPORT_OPTIONS = {"plate": [], "solid": ["--surface"]}


def tool(name, source):
    """A tool of this source tree, else the installed one."""
    path = os.path.join(TOP, source)
    return path if os.path.exists(path) else shutil.which(name) or name


def run(command, cwd=None):
    print("+ " + " ".join(command), flush=True)
    subprocess.run(command, cwd=cwd, check=True)


def solve(model, out):
    """Meshes and solves one model in out/solver; returns its .frd."""
    folder = os.path.join(out, "solver")
    os.makedirs(folder, exist_ok=True)
    for name in ("mesh.py", model + ".inp"):
        shutil.copy(os.path.join(HERE, "solver", name), folder)
    run([sys.executable, "mesh.py"] + (["--solid"] if model == "solid" else []), cwd=folder)
    with open(os.path.join(folder, "ccx.log"), "w") as log:
        print("+ ccx " + model, flush=True)
        subprocess.run(["ccx", model], cwd=folder, check=True, stdout=log)
    return os.path.join(folder, model + ".frd")


def set_node_count(parameters, nds, load_cases):
    """Writes the node count of the imported .nds into the parameter file's record."""
    with open(nds) as f:
        nodes = sum(1 for _ in f) // (load_cases + 1)
    with open(parameters) as f:
        text = f.read()
    text = re.sub(r"(Number of nodes, number of load cases[^\n]*\n)[^\n]*",
                  lambda m: m.group(1) + "%d, %d" % (nodes, load_cases), text)
    with open(parameters, "w") as f:
        f.write(text)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--solve", action="store_true")
    ap.add_argument("--korvanel", default=tool("korvanel", "build/korvanel"))
    ap.add_argument("--out", default=os.path.join(HERE, "out"))
    ap.add_argument("models", nargs="*", default=["plate", "solid"])
    args = ap.parse_args()
    importer = tool("korvanel-import", "tools/import/korvanel-import")
    report = tool("korvanel-report", "tools/report/korvanel-report")
    for model in args.models:
        out = os.path.join(args.out, model)
        os.makedirs(os.path.join(out, "job"), exist_ok=True)
        frd = solve(model, out) if args.solve else os.path.join(HERE, "solver", model + ".frd")
        for ext in (".inp", ".cmb"):
            shutil.copy(os.path.join(HERE, "job", model + ext), os.path.join(out, "job"))
        job = os.path.join(out, "job", model)
        run([importer, frd, "-o", job, "--load-cases", "1,2", "--unit", "MPa"]
            + IMPORT_OPTIONS[model])
        set_node_count(job + ".inp", job + ".nds", 2)
        with open(os.path.join(out, "korvanel.inp"), "w", newline="") as f:
            f.write("job\r\n%s\r\n" % model)
        run([args.korvanel], cwd=out)
        run([report, out])
    return 0


if __name__ == "__main__":
    sys.exit(main())
