"""Command line of korvanel-report."""
import argparse
import os
import sys
import traceback

USAGE = """korvanel-report [-o DIRECTORY] [--results-only] [JOB]

Writes a self-contained HTML page with plots of a korvanel job's results, and each plot as a
PNG file, into the job directory (or DIRECTORY): <job name>-report.html and
<job name>-report-<figure>.png. When the job has a mesh (<job name>.mesh.vtu, written by
korvanel-import) it also draws the damage on the model, lists the hotspots and writes the
results on the mesh, <job name>-results.vtu; --results-only writes only that file.

JOB is the working directory of the run (the one holding korvanel.inp; the default is the
current directory), its korvanel.inp, a job directory holding one .inp file, or a job's .inp
file."""


def say(text, stream=None):
    """One line with the program's CR LF line end."""
    stream = stream or sys.stdout
    stream.write(text + "\r\n")
    stream.flush()


def main(argv=None):
    parser = argparse.ArgumentParser(prog="korvanel-report", usage=USAGE.split("\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter,
                                     description=USAGE.split("\n", 2)[2])
    parser.add_argument("job", nargs="?", default=".", help=argparse.SUPPRESS)
    parser.add_argument("-o", "--output", metavar="DIRECTORY",
                        help="write the page and figures here instead of the job directory")
    parser.add_argument("--results-only", action="store_true",
                        help="write only <job name>-results.vtu (the job needs a mesh)")
    args = parser.parse_args(argv)

    try:
        import matplotlib  # noqa: F401
        import numpy  # noqa: F401
    except ImportError as e:
        say("korvanel-report needs numpy and matplotlib for %s (%s): on Debian or Ubuntu "
            "install the package python3-matplotlib" % (sys.executable, e), sys.stderr)
        return 1
    from . import report
    from .job import JobNotFound, locate

    try:
        job = locate(args.job)
    except JobNotFound as e:
        say("korvanel-report: %s" % e, sys.stderr)
        return 2
    except OSError as e:
        say("korvanel-report: cannot read %s: %s" % (e.filename or args.job, e.strerror),
            sys.stderr)
        return 2
    out_dir = args.output or (job.directory if os.path.isdir(job.directory) else
                              job.working or ".")
    if not os.path.isdir(out_dir):
        say("korvanel-report: the output directory %s does not exist" % out_dir, sys.stderr)
        return 1
    if args.results_only:
        return _results_only(job, out_dir)
    try:
        html, pngs = report.build(job)
    except Exception as e:  # a fault of the report itself: one line, with where it happened
        where = traceback.extract_tb(e.__traceback__)[-1]
        say("korvanel-report: internal error %s: %s (%s, line %d)" % (
            type(e).__name__, e, os.path.basename(where.filename), where.lineno), sys.stderr)
        return 1
    try:
        path = report.write(out_dir, job.name, html, pngs)
    except OSError as e:
        say("korvanel-report: cannot write the report in %s: %s" % (out_dir, e.strerror),
            sys.stderr)
        return 1
    say(path)
    return 0


def _results_only(job, out_dir):
    """Writes <job name>-results.vtu alone."""
    from . import mesh_results, report
    from .result_files import UnreadableFile, read_node_damage
    if not os.path.isfile(mesh_results.mesh_file(job)):
        say("korvanel-report: the job has no mesh (%s, which korvanel-import writes)"
            % mesh_results.mesh_file(job), sys.stderr)
        return 1
    try:
        mesh = mesh_results.read_mesh(mesh_results.mesh_file(job))
        nodes = read_node_damage(job.base + ".ndd")
        name, vtu, _ = report.results_on_mesh(job, nodes, mesh)
        path = report.write_file(out_dir, name, vtu)
    except (OSError, UnreadableFile, KeyError, ValueError) as e:
        say("korvanel-report: cannot write the results on the mesh: %s" % e, sys.stderr)
        return 1
    say(path)
    return 0
