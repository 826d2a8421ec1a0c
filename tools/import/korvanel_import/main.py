"""Command line of korvanel-import."""
import argparse
import os
import sys

USAGE = """korvanel-import RESULTS -o DIR/NAME --load-cases LIST [options]

Reads a solver's stress results and writes a korvanel job's node stress file DIR/NAME.nds
(the base stresses, then one block per load case) and, when the results carry a mesh, the
job's mesh DIR/NAME.mesh.vtu (points, cells, the solver's node IDs), which korvanel-report
reads to draw and export the results on the model.

RESULTS is one of:
  a CalculiX .frd (ASCII, as the solver writes it): load cases are step numbers, the step
      being the third number of a result set's 1PSTEP line; the STRESS block of the step's
      last increment is taken, its components by their names (SXX SYY SZZ SXY SYZ SZX);
  a file meshio reads (.vtu, .vtk, .xdmf, ...): load cases are point-data fields, each of
      six components in VTK's order (xx yy zz xy yz xz; see --order) or a 3 x 3 tensor;
      node IDs from --node-id-field, else from a field node_id (and the like), else the
      point numbers from 1;
  a .csv with a heading: the node ID first, then CASE.COMPONENT columns (component one of
      xx yy zz xy yz xz): load cases are the CASE names.

The .nds gets the nodes in the order of the results, the stresses in korvanel's order sx sy
sz txy tyz txz, each value written with all the digits that make it read back as the same
double. Standard error tells what was read: nodes, elements, load cases, the range of every
component. On any problem it stops with a message and writes nothing: a missing step or
field, node sets that differ between load cases, duplicate node IDs, values that are not
finite, a component order it cannot tell, an element type whose surface it cannot take.

Exit status: 0 written, 1 stopped (nothing written), 2 wrong command line."""


def say(text):
    sys.stderr.write("korvanel-import: " + text + "\r\n")


def int_list(text):
    if text.startswith("@"):
        with open(text[1:]) as f:
            text = f.read()
    out = []
    for part in text.replace(",", " ").split():
        if "-" in part[1:]:
            a, b = part.split("-", 1) if not part.startswith("-") else (None, None)
            out += list(range(int(a), int(b) + 1))
        else:
            out.append(int(part))
    return out


def parse(argv):
    p = argparse.ArgumentParser(prog="korvanel-import", usage=USAGE.split("\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter,
                                description=USAGE.split("\n", 2)[2])
    p.add_argument("results", help="the solver's result file")
    p.add_argument("-o", "--output", required=True, metavar="DIR/NAME",
                   help="the job to write: DIR/NAME.nds and DIR/NAME.mesh.vtu")
    p.add_argument("--load-cases", required=True, metavar="LIST",
                   help="the load cases in korvanel's order, comma-separated: step numbers "
                        "of a .frd, field names of a mesh file, case names of a .csv")
    p.add_argument("--base", metavar="CASE",
                   help="the step or field of the base stresses (for example a preload); "
                        "zeros when not given")
    p.add_argument("--format", choices=("frd", "meshio", "csv"),
                   help="the kind of RESULTS, when its extension does not tell")
    p.add_argument("--order", choices=("vtk", "abaqus", "voigt"), default="vtk",
                   help="order of six-component fields of a mesh file: vtk xx yy zz xy yz xz "
                        "(the default), abaqus xx yy zz xy xz yz, voigt xx yy zz yz xz xy")
    p.add_argument("--node-id-field", metavar="NAME",
                   help="the point-data field of a mesh file holding the node IDs")
    p.add_argument("--scale", type=float, default=1.0, metavar="FACTOR",
                   help="multiplies every stress (1e-6 for Pa to MPa); default 1")
    p.add_argument("--unit", default="", metavar="TEXT",
                   help="the name of the stress unit after scaling (MPa), kept with the "
                        "mesh for the report's labels")
    p.add_argument("--surface", action="store_true",
                   help="only the nodes on the outer surface of solid elements (plane, "
                        "shell and beam elements count as surface)")
    p.add_argument("--nodes", metavar="LIST",
                   help="only these node IDs: 1,5,10-20, or @FILE holding such a list")
    p.add_argument("--node-set", metavar="NAME",
                   help="only the nodes of this node set (of --sets, or of the mesh file)")
    p.add_argument("--sets", metavar="DECK",
                   help="a CalculiX/Abaqus input deck whose *NSET and *ELSET sets are named "
                        "by --node-set and --material")
    p.add_argument("--material", action="append", default=[], metavar="SET=ID",
                   help="material ID ID for the nodes of the elements of element set SET; "
                        "repeat it; a node in several sets takes the first given")
    p.add_argument("--material-field", metavar="NAME",
                   help="material IDs from this point- or cell-data field of a mesh file "
                        "(cell data: a node takes the smallest ID of its elements)")
    p.add_argument("--default-material", type=int, default=1, metavar="ID",
                   help="material ID of nodes no --material set holds; default 1")
    p.add_argument("--no-mesh", action="store_true", help="do not write NAME.mesh.vtu")
    return p.parse_args(argv)


def main(argv=None):
    args = parse(argv)
    try:
        import meshio  # noqa: F401
        import numpy  # noqa: F401
    except ImportError as e:
        say("needs numpy and meshio for %s (%s): on Debian or Ubuntu install the package "
            "python3-meshio" % (sys.executable, e))
        return 1
    from .importer import run_import
    from .results import ImportStop
    try:
        run_import(args, say)
    except ImportStop as e:
        say(str(e))
        say("nothing written")
        return 1
    except OSError as e:
        say("%s: %s" % (e.filename or args.output, e.strerror))
        say("nothing written")
        return 1
    except (MemoryError, KeyboardInterrupt):
        say("stopped: %s; nothing written" % ("out of memory" if sys.exc_info()[0] is MemoryError
                                              else "interrupted"))
        return 1
    except Exception as e:  # a fault of the import itself: one line, with where it happened
        import traceback
        where = traceback.extract_tb(e.__traceback__)[-1]
        say("internal error %s: %s (%s, line %d); nothing written" % (
            type(e).__name__, e, os.path.basename(where.filename), where.lineno))
        return 1
    return 0
