"""Builds the report of one job: reads what the job directory holds, draws the figures and
lays out the page. Every missing or unreadable file is named on the page; nothing raises."""
import io
import math
import os
import time

import numpy as np

from . import figures, input_pages, mesh_results, page, sn_curve
from .job import file_state, job_file, read_advisory
from .parameters import (BLOCKS_DAMAGE_TYPES, CORRECTION_NAMES, CURVE_NAMES, FORMAT_NAMES,
                         GOODMAN_METHODS, read_parameters)
from .result_files import (UnreadableFile, read_cycles, read_log_life, read_node_damage,
                           read_path, read_summary, von_mises)
from .value_reading import NumberOutOfRange

TOP_NODES = 20
FIGURE_NAMES = ("node-damage", "node-life", "model", "cycles", "damage-share",
                "block-damage", "path", "sn-curve") + input_pages.FIGURE_NAMES
HOTSPOT_DECADES = 2.0
VERSION = "v25.02"


def number(x):
    if isinstance(x, (int, np.integer)):
        return "%d" % x
    return "%.10g" % x


def when(mtime_ns):
    return time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(mtime_ns / 1e9))


def expected_files(p, node_found=True):
    """The result files that a finished run of these parameters writes."""
    if p is None:
        return [".sum"]
    fmt = p.stressInputFormat
    files = [".sum", ".cyc"]
    if fmt in (2, 3):
        files += [".ndd", ".ans"]
    if fmt == 1 and p.cyclesExtraction == 1:
        files.append(".cif")
    if (fmt == 1 or fmt == 2 and node_found) and p.elastoPlastic == 1:
        files.append(".sep")
    return files


class Report:
    """Collects the page's parts and the figures while the job is read."""

    def __init__(self, job):
        self.job = job
        self.banners = []
        self.sections = []
        self.pngs = {}
        self.problems = []
        self.glance = []
        self.mesh = None
        self.stress_unit = ""

    def shown(self, ext):
        return self.job.shown + ext

    def add_figure(self, name, fig, alt, caption):
        buffer = io.BytesIO()
        figures.with_stress_unit(fig, self.stress_unit)
        fig.savefig(buffer, format="png", dpi=figures.DPI)
        figures.close(fig)
        file_name = "%s-report-%s.png" % (self.job.name, name)
        self.pngs[file_name] = buffer.getvalue()
        return page.figure(buffer.getvalue(), file_name, alt, caption)

    def guarded(self, what, build):
        """Runs one part of the page; a file it cannot read is named, never raised."""
        try:
            return build()
        except UnreadableFile as e:
            self.problems.append("Cannot read %s" % e)
        except OSError as e:
            self.problems.append("Cannot read %s: %s" % (e.filename or what, e.strerror))
        except (ValueError, ArithmeticError, IndexError, KeyError) as e:
            self.problems.append("%s could not be drawn: %s" % (what, e))
        return None


def build(job):
    """The page (text) and the figures {file name: PNG bytes} of the job."""
    r = Report(job)
    states = {ext: file_state(job_file(job, ext))
              for ext in (".inp",) + (".sum", ".ndd", ".ans", ".cyc", ".cif", ".sep")}
    advisory, advisory_time = r.guarded("korvanel.adv", lambda: read_advisory(job)) or (None, None)
    sum_time = states[".sum"][1] if states[".sum"] else None
    stopped = advisory is not None and (sum_time is None or advisory_time > sum_time)
    p = _parameters(r, states)
    if os.path.isfile(mesh_results.mesh_file(job)):
        r.mesh = r.guarded(r.shown(".mesh.vtu"), lambda: mesh_results.read_mesh(
            mesh_results.mesh_file(job)))
        r.stress_unit = r.mesh[2] if r.mesh else ""
    _stop_banners(r, states, stopped, advisory, advisory_time)
    summary = r.guarded(".sum", lambda: read_summary(job_file(job, ".sum"))) \
        if states[".sum"] else None
    fmt = p.stressInputFormat if p is not None else (2 if states[".ndd"] else 1)

    r.guarded("The load history", lambda: input_pages.load_history_section(r, p, fmt))
    nodes = None
    if fmt in (2, 3) and states[".ndd"]:
        nodes = r.guarded(".ndd", lambda: _nodes_section(r, p, states))
    if nodes is not None and r.mesh is not None:
        r.guarded("The model", lambda: _model_section(r, p, nodes))
    cycles = None
    if states[".cyc"]:
        cycles = r.guarded(".cyc", lambda: _cycles_section(r, p, fmt))
    node_found = cycles is None or "not_existing" not in cycles
    if not node_found:
        cycles = None
    if states[".sep"] and (p is None or p.elastoPlastic == 1) and node_found:
        detail = input_pages.detail_node_of(summary, p)
        r.guarded(".sep", lambda: _path_section(r, p, fmt, detail))
        r.guarded("The elastic path", lambda: input_pages.elastic_path_section(r, p, fmt, detail))
    if cycles is not None and p is not None:
        r.guarded("The S-N curve", lambda: _sn_section(r, p, fmt, cycles))
    if not stopped:
        r.problems[:0] = ["Missing: %s" % r.shown(ext) for ext in expected_files(p, node_found)
                          if states[ext] is None]

    glance = _glance(r, p, fmt, states, summary, stopped, advisory, nodes, cycles)
    sections = [page.section("job", "The job at a glance", [page.glance(glance)])]
    if summary is not None:
        sections.append(page.section("summary", "Summary (%s)" % r.shown(".sum"), [
            page.preformatted(summary["lines"], "Show the %d lines of the summary as written"
                              % len(summary["lines"]))]))
    sections += r.sections
    sections.append(page.section("files", "Files of the job", [_files_table(r, p, states)]))
    if r.problems:
        r.banners.append(page.box("warn", "Not everything could be shown:", r.problems))
    html = page.page("korvanel report: %s" % job.shown,
                     "Job directory %s, job name %s" % (job.directory, job.name),
                     r.banners, sections,
                     "Written by korvanel-report %s on %s with matplotlib %s." % (
                         VERSION, time.strftime("%Y-%m-%d %H:%M:%S"),
                         figures.matplotlib.__version__))
    return html, r.pngs


def _parameters(r, states):
    """The job's parameters as the program read them, or None (the reason is noted)."""
    if states[".inp"] is None:
        r.problems.append("Missing: the parameter file %s" % r.shown(".inp"))
        return None
    try:
        with open(job_file(r.job, ".inp"), "rb") as f:
            return read_parameters(f.read())
    except NumberOutOfRange:
        r.problems.append("Number out of range in the file %s" % r.shown(".inp"))
    except OSError as e:
        r.problems.append("Cannot read %s: %s" % (r.shown(".inp"), e.strerror))
    return None


def _stop_banners(r, states, stopped, advisory, advisory_time):
    if stopped:
        r.banners.append(page.box("stop", "The last run of this job stopped on an error. "
                                  "korvanel.adv says:", advisory or ["(empty)"]))
        older = [r.shown(ext) for ext in (".sum", ".ndd", ".ans", ".cyc", ".cif", ".sep")
                 if states[ext] and states[ext][1] < advisory_time]
        if older:
            r.banners.append(page.box("warn", "These result files are older than korvanel.adv "
                                      "and come from an earlier run:", older))
    elif advisory is not None:
        r.banners.append(page.box("warn", "korvanel.adv is older than %s: an earlier run "
                                  "stopped with this message; the last run finished."
                                  % r.shown(".sum"), advisory))


def _life_units(p):
    if p is None or not math.isfinite(p.lifeUnitsPerRepeat) or p.lifeUnitsPerRepeat <= 0:
        return None
    return p.lifeUnitsPerRepeat


def top_rows(nodes, count=TOP_NODES):
    """Indexes of the most damaged nodes, largest first; ties keep node order."""
    return np.argsort(-nodes["damage"], kind="stable")[:count]


def _nodes_section(r, p, states):
    nodes = read_node_damage(job_file(r.job, ".ndd"))
    count = len(nodes["ids"])
    parts = []
    if count == 0:
        parts.append(page.paragraph("The .ndd lists no node."))
        r.sections.append(page.section("nodes", "Nodes", parts))
        return nodes
    units = _life_units(p)
    damage = nodes["damage"] * units if units else nodes["damage"]
    label = "damage per repeat" if units else "damage per life unit"
    parts.append(r.add_figure("node-damage", figures.node_damage(
        nodes["ids"], damage, nodes["codes"], label),
        "Damage of every node, sorted, log scale",
        "Damage of all %d nodes from %s, sorted from the largest, on a log scale"
        % (count, r.shown(".ndd"))))

    text = nodes["text"]
    rows = []
    for rank, i in enumerate(top_rows(nodes), start=1):
        per_repeat = "%.6e" % damage[i] if units else "-"
        rows.append([rank, text[i, 0].decode(), per_repeat, text[i, 1].decode(),
                     text[i, 2].decode(), text[i, 3].decode()])
    parts.append("<h3>The %d most damaged nodes</h3>" % len(rows))
    parts.append(page.table(["Rank", "Node ID", "Damage per repeat", "Damage per life unit",
                             "Life (life units)", "Static failure"], rows, cls="top-nodes",
                            numeric=(0, 1, 2, 3, 4, 5)).replace(
        '<table class="top-nodes">', '<table class="top-nodes" id="top-nodes">'))
    parts.append(page.paragraph(
        "Damage per life unit, life and static failure code as written in the .ndd; the damage "
        "per repeat is the damage per life unit times the life units per repeat (%s)."
        % (number(p.lifeUnitsPerRepeat) if p is not None else "unknown"), "note"))

    log_life, source = None, r.shown(".ndd")
    if states[".ans"]:
        ans = r.guarded(".ans", lambda: read_log_life(job_file(r.job, ".ans")))
        if ans is not None and len(ans["log_life"]) == count:
            log_life, source = ans["log_life"], r.shown(".ans")
        elif ans is not None:
            r.problems.append("%s lists %d nodes, the .ndd %d: the life histogram uses the .ndd"
                              % (r.shown(".ans"), len(ans["log_life"]), count))
    if log_life is None:
        with np.errstate(all="ignore"):
            log_life = np.log10(nodes["life"])
    worst = top_rows(nodes, 1)[0]
    parts.append(r.add_figure("node-life", figures.life_histogram(
        log_life, log_life[worst], "most damaged node, %d" % nodes["ids"][worst]),
        "Histogram of log10 life", "Histogram of the decimal logarithm of the life in life "
        "units of every node, from %s" % source))
    r.sections.append(page.section("nodes", "Nodes", parts))
    return nodes


def results_on_mesh(job, nodes, mesh):
    """(file name, bytes) of <name>-results.vtu, and the point data written in it."""
    mesh, ids, _ = mesh
    data = mesh_results.point_results(mesh, mesh_results.join(ids, nodes), nodes)
    return "%s-results.vtu" % job.name, mesh_results.results_vtu(mesh, data), data


def _model_section(r, p, nodes):
    """The damage drawn on the model, the hotspot table, and the results file."""
    name, vtu, data = results_on_mesh(r.job, nodes, r.mesh)
    r.pngs[name] = vtu
    mesh = r.mesh[0]
    units = _life_units(p)
    damage = data["damage_per_life_unit"] * (units if units else 1.0)
    label = "damage per repeat" if units else "damage per life unit"
    parts = []
    if not np.isfinite(damage).any():
        parts.append(page.paragraph("No node of the mesh %s is in the .ndd."
                                    % r.shown(".mesh.vtu")))
        r.sections.append(page.section("model", "On the model", parts))
        return
    with np.errstate(all="ignore"):
        log_damage = np.log10(damage)
    worst = int(np.nanargmax(damage))
    points = np.asarray(mesh.points, float)
    if points.shape[1] < 3:
        points = np.hstack([points, np.zeros((len(points), 3 - points.shape[1]))])
    missing = int(np.count_nonzero(~np.isfinite(damage)))
    if mesh_results.is_flat(mesh):
        fig = figures.model_flat(points, mesh_results.plane_triangles(mesh), log_damage, worst,
                                 label)
        how = "the plane model"
    else:
        fig = figures.model_views(points, mesh_results.outer_faces(mesh), log_damage, worst,
                                  label)
        how = "the outer surface of the model from four directions"
    parts.append(r.add_figure("model", fig, "Damage on the model", (
        "%s coloured by the decimal logarithm of the %s over the %d decades below the "
        "largest, the most damaged node circled%s" % (
            how[0].upper() + how[1:], label, int(figures.DECADES_SHOWN),
            "; grey: %d mesh nodes the job did not analyse" % missing if missing else ""))))
    rows = []
    for k, (point, value, count) in enumerate(mesh_results.hotspots(mesh, damage,
                                                                   HOTSPOT_DECADES), 1):
        x, y, z = points[point]
        rows.append([k, "%d" % data["node_id"][point], "%.6e" % value, count,
                     "%.6g" % x, "%.6g" % y, "%.6g" % z])
    parts.append("<h3>Hotspots</h3>")
    parts.append(page.table(["Region", "Worst node ID", label[0].upper() + label[1:],
                             "Nodes", "x", "y", "z"], rows, cls="hotspots",
                            numeric=(0, 1, 2, 3, 4, 5, 6)))
    parts.append(page.paragraph(
        "A region is a set of nodes whose damage is within %d decades of the largest, joined "
        "where they share an element; each with its most damaged node and that node's "
        "position. The results on the mesh are in %s (damage per life unit, life, log10 of "
        "the life, static failure code; NaN for nodes not analysed)." % (
            int(HOTSPOT_DECADES), name), "note"))
    r.sections.append(page.section("model", "On the model", parts))


def _cycles_section(r, p, fmt):
    cyc = read_cycles(job_file(r.job, ".cyc"), fmt)
    if "not_existing" in cyc:
        r.sections.append(page.section("cycles", "Half-cycles", [page.box(
            "warn", "No node has the complete-output node ID: the .cyc says",
            [cyc["not_existing"]])]))
        return cyc
    blocks = cyc["blocks"]
    what = "blocks" if blocks else "half-cycles"
    if blocks:
        damage = cyc["cycles"] * cyc["damage"]
        damage_label = "damage of the block"
    else:
        damage = cyc["damage"]
        damage_label = "damage of the half-cycle"
    cyc["item_damage"] = damage
    where = "the history" if fmt == 1 else (
        "node %d" % cyc["node"][0] if len(cyc["node"]) else "the complete-output node")
    title = "%s of %s" % (what.capitalize(), where)
    count = len(damage)
    parts = []
    if count == 0:
        parts.append(page.paragraph("The .cyc lists no %s (every amplitude is 0.0001 or less)."
                                    % what))
        r.sections.append(page.section("cycles", title, parts))
        return cyc
    total = float(np.sum(damage[np.isfinite(damage)]))
    failed = int(np.sum(cyc["flag"] > 0))
    parts.append(page.paragraph(
        "%d %s; the %s add up to %.6e%s." % (
            count, what, "block damages" if blocks else "half-cycle damages", total,
            ", %d with static failure" % failed if failed else "")))
    parts.append(r.add_figure("cycles", figures.cycles_scatter(
        cyc["mean"], cyc["amplitude"], damage, cyc["flag"], title, damage_label, what),
        "Range-mean scatter coloured by damage",
        "Every %s of %s by mean stress and amplitude, coloured by its damage%s"
        % (what.rstrip("s"), r.shown(".cyc"),
           " (amplitudes before the Load Variability Factor)" if blocks else "")))
    if total > 0:
        parts.append(r.add_figure(
            "damage-share", figures.damage_share(cyc["amplitude"], damage, what),
            "Cumulative share of damage",
            "Cumulative share of the damage against the amplitude; the bars count the %s" % what))
    else:
        parts.append(page.paragraph("No %s does damage: no share of the damage to show."
                                    % what.rstrip("s"), "note"))
    if blocks:
        parts.append(r.add_figure("block-damage", figures.block_damage(damage, cyc["flag"]),
                                  "Damage per block", "Damage of each block: its number of "
                                  "cycles as listed in the .cyc times the damage of one cycle"))
    r.sections.append(page.section("cycles", title, parts))
    return cyc


def _path_section(r, p, fmt, detail):
    states = read_path(job_file(r.job, ".sep"))
    vm = von_mises(states)
    where = "the history" if fmt == 1 else "node %d" % detail if detail is not None else "the node"
    title = "Corrected stress path of %s" % where
    parts = []
    if len(vm) == 0:
        parts.append(page.paragraph("The .sep holds no point."))
    else:
        sy = p.yieldStress if p is not None and p.materialsMode == 1 else float("nan")
        parts.append(page.paragraph(
            "%d points; largest von Mises stress %.6g at point %d." % (
                len(vm), np.nanmax(vm), int(np.nanargmax(vm)) + 1)))
        parts.append(r.add_figure("path", figures.corrected_path(vm, sy, title),
                                  "Von Mises equivalent of the corrected path",
                                  "Von Mises equivalent stress of every point of %s, after the "
                                  "elasto-plastic correction" % r.shown(".sep")))
    r.sections.append(page.section("path", title, parts))


def _sn_section(r, p, fmt, cyc):
    parts = []
    curve = sn_curve.curve_of(p) if p.materialsMode == 1 else None
    if p.materialsMode != 1:
        parts.append(page.paragraph("Each node takes its material from the .mtr file: the "
                                    "report draws the S-N curve of a single-material job only."))
    elif curve is None:
        parts.append(page.paragraph("The S-N curve type %d is not evaluated by the program."
                                    % p.snCurveType))
    if curve is None:
        r.sections.append(page.section("sn-curve", "S-N curve", parts))
        return
    amplitude = cyc["amplitude"] * (p.loadVariabilityFactor if cyc["blocks"] else 1.0)
    seq = sn_curve.equivalent_amplitude(amplitude, cyc["mean"], p)
    per_cycle = cyc["damage"] if cyc["blocks"] else 2.0 * cyc["damage"]
    with np.errstate(divide="ignore"):
        n = np.where(per_cycle > 0, 1.0 / per_cycle, np.inf)
    what = "blocks" if cyc["blocks"] else "half-cycles"
    if curve.kind == 1:
        text = "Palmgren: log10(N + C) = L1 + p log10(Seq - E), L1 = %s, p = %s, C = %s, " \
               "endurance limit E = %s" % (number(curve.L1), number(curve.p), number(curve.C),
                                           number(curve.limit))
    else:
        text = "Weibull: N = 10^(alfa (-ln((Seq - Sainf)/(Sault - Sainf)))^(1/beta)), " \
               "Sainf = %s, Sault = %s, alfa = %s, beta = %s" % (
                   number(curve.limit), number(curve.sault), number(curve.alfa),
                   number(curve.beta))
    parts.append(page.paragraph(text))
    parts.append(r.add_figure("sn-curve", figures.sn_diagram(
        curve, seq, n, cyc["flag"], "S-N curve (%s) and the %s" % (curve.name, what), what),
        "S-N curve with the amplitudes marked",
        "The %s curve of %s with the equivalent amplitude of every %s after the mean-stress "
        "correction (Goodman method %d%s): damaging ones at their cycles to failure from the "
        ".cyc, every one as a tick on the right edge" % (
            curve.name, r.shown(".inp"), what.rstrip("s"), p.goodmanMethod,
            ", amplitudes times the Load Variability Factor %s" % number(p.loadVariabilityFactor)
            if cyc["blocks"] else "")))
    r.sections.append(page.section("sn-curve", "S-N curve", parts))


def _glance(r, p, fmt, states, summary, stopped, advisory, nodes, cycles):
    rows = [("Job", "%s (parameters %s)" % (r.job.shown, r.shown(".inp")))]
    if stopped:
        rows.append(("Outcome", "stopped: " + " / ".join(advisory or [])))
    elif states[".sum"]:
        rows.append(("Outcome", "finished; run of %s (time of the .sum)"
                     % when(states[".sum"][1])))
    else:
        rows.append(("Outcome", "no summary: the job has not run, or its results were removed"))
    rows.append(("Stress-input format", FORMAT_NAMES.get(fmt, str(fmt))))
    figs = summary["figures"] if summary else {}
    counts = []
    for label in ("Number of nodes", "Number of load cases", "Number of time points",
                  "Number of blocks"):
        if label in figs:
            counts.append("%s %s" % (figs[label], label[10:]))
    if nodes is not None and not counts:
        counts.append("%d nodes" % len(nodes["ids"]))
    if cycles is not None:
        counts.append("%d %s listed in the .cyc" % (
            len(cycles["mean"]), "blocks" if cycles["blocks"] else "half-cycles"))
    if counts:
        rows.append(("Counts", ", ".join(counts)))
    if p is not None:
        if p.materialsMode == 1:
            rows.append(("Material", "yield stress %s, Young's modulus %s, static strength %s, "
                         "strain at failure %s %%" % (
                             number(p.yieldStress), number(p.youngsModulus),
                             number(p.staticStrength), number(p.strainAtFailurePercent))))
            curve = sn_curve.curve_of(p)
            if p.snCurveType == 1:
                rows.append(("S-N curve", "Palmgren: L1 %s, p %s, C %s, endurance limit %s; "
                             "static limit %s" % (number(p.palmgrenL1), number(p.palmgrenP),
                                                  number(p.palmgrenC), number(p.enduranceLimit),
                                                  "none (C = 0)" if not math.isfinite(curve.static)
                                                  else "%.6g" % curve.static)))
            elif p.snCurveType == 2:
                rows.append(("S-N curve", "Weibull: Sainf %s, Sault %s, alfa %s, beta %s" % (
                    number(p.weibullSainf), number(p.weibullSault), number(p.weibullAlfa),
                    number(p.weibullBeta))))
            else:
                rows.append(("S-N curve", CURVE_NAMES.get(p.snCurveType, "type %d (not valid)"
                                                          % p.snCurveType)))
            rows.append(("Mean-stress correction", "Goodman method %s, exponent %s, SmMAX %s" % (
                GOODMAN_METHODS.get(p.goodmanMethod, str(p.goodmanMethod)),
                number(p.goodmanExponent), number(p.goodmanSmMax))))
        else:
            rows.append(("Material and S-N curve", "per node, from the .mtr file"))
        rows.append(("Elasto-plastic correction", CORRECTION_NAMES.get(
            p.elastoPlasticMethod, "method %d" % p.elastoPlasticMethod)
            if p.elastoPlastic == 1 else "off"))
        options = ["stress-path based correction %s" % ("on" if p.stressPathCorrection == 1
                                                        else "off")]
        if fmt == 2:
            options.append("Ground-Air-Ground %s" % ("on" if p.groundAirGround == 1 else "off"))
        if fmt == 3:
            options.append("Load Variability Factor %s" % number(p.loadVariabilityFactor))
            options.append("blocks damage type %s" % BLOCKS_DAMAGE_TYPES.get(
                p.blocksDamageType, str(p.blocksDamageType)))
        if fmt in (2, 3):
            options.append("complete-output node %d" % p.completeOutputNode)
        rows.append(("Options", ", ".join(options)))
        rows.append(("Life units per repeat", number(p.lifeUnitsPerRepeat)))
    rows += _result_rows(summary)
    return rows


def _result_rows(summary):
    if summary is None:
        return []
    figs, lines = summary["figures"], summary["lines"]
    rows = []
    if "Max damage is at node" in figs:
        rows.append(("Most damaged node", figs["Max damage is at node"]))
    for label, shown in (("Damage at node", "Its damage per repeat"),
                         ("Life Repeats at node", "Its life repeats"),
                         ("Total Fatigue Life at node", "Its fatigue life (life units)")):
        if label in figs:
            rows.append((shown, figs[label][1]))
    if "Total damage is equal to" in figs:
        rows.append(("Damage per repeat", figs["Total damage is equal to"]))
    if "Total damage is < 1e-18" in lines:
        rows.append(("Damage per repeat", "< 1e-18 (life repeats > 1e18)"))
    elif "Number of Life Repeats" in figs:
        rows.append(("Life repeats", figs["Number of Life Repeats"]))
    if "Total Fatigue Life" in figs:
        rows.append(("Fatigue life (life units)", figs["Total Fatigue Life"]))
    for line in lines:
        if line.startswith("Static fail") and "occurred" in line:
            rows.append(("Static failure", " ".join(line.split())))
    return rows


def _files_table(r, p, states):
    rows = []
    written = [".inp"] + expected_files(p)
    for ext in (".inp", ".sum", ".ndd", ".ans", ".cyc", ".cif", ".sep"):
        state = states[ext]
        absent = "not there" if p is None or ext in written else "not written by this job"
        rows.append([r.shown(ext), "%d bytes" % state[0] if state else "-",
                     when(state[1]) if state else absent])
    if r.job.advisory is not None:
        state = file_state(r.job.advisory)
        rows.append(["korvanel.adv (working directory)", "%d bytes" % state[0] if state else "-",
                     when(state[1]) if state else "not there"])
    return page.table(["File", "Size", "Modified"], rows)


def write_file(out_dir, file_name, data):
    """One file through a temporary file; returns its path."""
    target = os.path.join(out_dir, file_name)
    temporary = target + ".tmp%d" % os.getpid()
    try:
        with open(temporary, "wb") as f:
            f.write(data)
        os.replace(temporary, target)
    finally:
        if os.path.exists(temporary):
            os.remove(temporary)
    return target


def write(out_dir, name, html, pngs):
    """Writes the page and the PNG files (each through a temporary file); removes figures of an
    earlier report of the job that this one no longer has. Returns the page's path."""
    paths = {"%s-report.html" % name: html.encode("utf-8")}
    paths.update(pngs)
    for file_name, data in paths.items():
        write_file(out_dir, file_name, data)
    for figure in FIGURE_NAMES:
        stale = "%s-report-%s.png" % (name, figure)
        if stale not in pngs and os.path.isfile(os.path.join(out_dir, stale)):
            os.remove(os.path.join(out_dir, stale))
    return os.path.join(out_dir, "%s-report.html" % name)
