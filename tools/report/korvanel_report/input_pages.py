"""The job's input on the report: the load history (the .sig, the .cmb factors or the blocks
of the .blc) and, with the elasto-plastic correction, the elastic path of the detail node
beside the corrected one of the .sep.

Input files are read as the program reads them: a stream of values, grouped as the format
says (a .sig group cut short counts, its missing values 0; values after the last whole group
of a .cmb or .blc are not used).
"""
import re

import numpy as np

from . import figures, page
from .job import file_state, job_file
from .result_files import read_path, von_mises
from .value_reading import ValueReader

FIGURE_NAMES = ("load-history", "elastic-path")
COMPONENTS = ("sx", "sy", "sz", "txy", "tyz", "txz")
CASES_DRAWN = 12  # load cases drawn one by one; more are only counted
COMPACTION_DISTANCE = 0.0001


def detail_node_of(summary, p):
    """The node of the detail files: the one the summary names when the command line chose it
    (--detail-node), else the parameter file's complete-output node."""
    for line in (summary or {}).get("lines", []):
        m = re.match(r"Detail files \(.*\) of node (-?\d+)", line)
        if m:
            return int(m.group(1))
    return p.completeOutputNode if p is not None else None


def read_values(path):
    """Every value of a file, each read as a real."""
    with open(path, "rb") as f:
        reader = ValueReader(f.read())
    values = []
    while reader.pos < len(reader.data):
        values.append(reader.real())
    return np.array(values, float)


def whole_groups(values, size):
    """The values as rows of `size`; the rest after the last whole row is left out."""
    count = len(values) // size if size > 0 else 0
    return values[:count * size].reshape(count, size)


def history_states(values):
    """The states of a .sig: rows of six, a last row cut short filled with zeros."""
    count = -(-len(values) // 6)
    padded = np.zeros(count * 6)
    padded[:len(values)] = values
    return padded.reshape(count, 6)


def node_states(p, nds_values, factors, node_id):
    """The elastic states of the last node with the ID at every time point:
    F x (base + G x (c1 x load case 1 + ... + cL x load case L)), summed in load-case order."""
    nodes, cases = p.nodeCount, p.loadCaseCount
    rows = whole_groups(nds_values, 8)
    if nodes <= 0 or cases < 0 or len(rows) < nodes * (cases + 1):
        return None
    matches = np.nonzero(rows[:nodes, 0] == node_id)[0]
    if len(matches) == 0:
        return None
    n = matches[-1]
    base = rows[n, 2:8]
    load_cases = [rows[(lc + 1) * nodes + n, 2:8] for lc in range(cases)]
    states = np.empty((len(factors), 6))
    for t, row in enumerate(factors):
        combined = np.zeros(6)
        for lc in range(cases):
            combined = combined + row[lc] * load_cases[lc]
        states[t] = p.stressScaleFactor * (base + p.loadCaseScaleFactor * combined)
    return states


def compacted(states):
    """The path as the analysis keeps it: a point closer than 0.0001 to the next (the first
    after the last) is dropped."""
    if len(states) == 0:
        return states
    following = np.roll(states, -1, axis=0)
    distance = np.sqrt(np.sum((following - states) ** 2, axis=1))
    return states[distance >= COMPACTION_DISTANCE]


def load_history_section(r, p, fmt):
    """The load history of the job, as a section of the page (None when its file is absent)."""
    ext = {1: ".sig", 2: ".cmb", 3: ".blc"}.get(fmt)
    if ext is None or p is None or file_state(job_file(r.job, ext)) is None:
        return
    values = read_values(job_file(r.job, ext))
    shown = r.shown(ext)
    parts = []
    if fmt == 1:
        states = history_states(values)
        if len(states) == 0:
            parts.append(page.paragraph("%s holds no time point." % shown))
        else:
            parts.append(r.add_figure("load-history", history_figure(states),
                                      "Stress components and von Mises stress over time",
                                      "The six stress components and the von Mises stress of "
                                      "every time point of %s" % shown))
    elif fmt == 2:
        cases = max(p.loadCaseCount, 0)
        factors = whole_groups(values, cases)
        if len(factors) == 0:
            parts.append(page.paragraph("%s holds no whole time point of %d load-case factors."
                                        % (shown, cases)))
        else:
            parts.append(r.add_figure("load-history", factors_figure(factors),
                                      "Load-case factors over time",
                                      "The factor of each load case at every time point of %s "
                                      "(%d time points)%s" % (shown, len(factors),
                                                              _cut_note(cases))))
    else:
        cases = max(p.loadCaseCount, 0)
        blocks = whole_groups(values, 2 * cases + 1)
        if len(blocks) == 0:
            parts.append(page.paragraph("%s holds no whole block." % shown))
        else:
            parts.append(r.add_figure("load-history", blocks_figure(blocks, cases),
                                      "Blocks: from and to factors and cycles",
                                      "Each block of %s: the from- and to-factor of every load "
                                      "case, and its number of cycles (%d blocks)%s"
                                      % (shown, len(blocks), _cut_note(cases))))
    r.sections.append(page.section("load-history", "Load history (%s)" % shown, parts))


def elastic_path_section(r, p, fmt, node_id):
    """The elastic path beside the corrected one of the .sep, for the detail node."""
    if p is None or fmt not in (1, 2):
        return
    sep = job_file(r.job, ".sep")
    if file_state(sep) is None:
        return
    if fmt == 1:
        if file_state(job_file(r.job, ".sig")) is None:
            return
        elastic = history_states(read_values(job_file(r.job, ".sig")))
        where = "the history"
    else:
        if file_state(job_file(r.job, ".nds")) is None or file_state(job_file(r.job, ".cmb")) \
                is None:
            return
        factors = whole_groups(read_values(job_file(r.job, ".cmb")), max(p.loadCaseCount, 0))
        elastic = node_states(p, read_values(job_file(r.job, ".nds")), factors, node_id)
        if elastic is None:
            return
        where = "node %d" % node_id
    corrected = read_path(sep)
    kept = compacted(elastic)
    sy = p.yieldStress if p.materialsMode == 1 or fmt == 1 else float("nan")
    title = "Elastic and corrected path of %s" % where
    aligned = len(kept) == len(corrected)
    parts = [page.paragraph(
        "%d time points, %d kept after compaction, %d points in %s%s." % (
            len(elastic), len(kept), len(corrected), r.shown(".sep"),
            "" if aligned else " (the .sep is not from this input: each is drawn on its own "
            "points)"))]
    parts.append(r.add_figure("elastic-path", path_figure(
        von_mises(kept), von_mises(corrected), sy, title, aligned),
        "Elastic and elasto-plastic von Mises stress along the path",
        "Von Mises stress of the elastic path (the input, compacted as the analysis does) and "
        "of the corrected path of %s, point by point" % r.shown(".sep")))
    r.sections.append(page.section("elastic-path", title, parts))


def _cut_note(cases):
    if cases <= CASES_DRAWN:
        return ""
    return "; the first %d of the %d load cases are drawn" % (CASES_DRAWN, cases)


def history_figure(states):
    fig, ax = figures.new_figure()
    t = np.arange(1, len(states) + 1)
    many = len(t) > 5000
    for k, name in enumerate(COMPONENTS):
        if np.any(states[:, k] != 0):
            ax.plot(t, states[:, k], lw=0.8, alpha=0.8, label=name, rasterized=many)
    ax.plot(t, von_mises(states), color="black", lw=1.6, label="von Mises", rasterized=many)
    ax.set_xlabel("time point")
    ax.set_ylabel("stress")
    ax.set_title("Stress history (.sig)")
    ax.legend(loc="best", fontsize=8, ncol=4)
    return fig


def factors_figure(factors):
    fig, ax = figures.new_figure()
    t = np.arange(1, len(factors) + 1)
    many = len(t) > 5000
    for lc in range(min(factors.shape[1], CASES_DRAWN)):
        ax.plot(t, factors[:, lc], lw=1.1, marker="o" if len(t) <= 60 else None, ms=3,
                label="load case %d" % (lc + 1), rasterized=many)
    ax.set_xlabel("time point")
    ax.set_ylabel("factor")
    ax.set_title("Load-case factors (.cmb)")
    ax.legend(loc="best", fontsize=8, ncol=3)
    return fig


def blocks_figure(blocks, cases):
    fig, (top, bottom) = figures.plt.subplots(2, 1, figsize=(figures.SIZE[0], 5.2),
                                               dpi=figures.DPI, layout="constrained",
                                               sharex=True, height_ratios=(2, 1))
    b = np.arange(1, len(blocks) + 1)
    drawn = min(cases, CASES_DRAWN)
    width = 0.6 / max(drawn, 1)
    for lc in range(drawn):
        x = b - 0.3 + (lc + 0.5) * width
        start, end = blocks[:, 2 * lc], blocks[:, 2 * lc + 1]
        lines = top.vlines(x, np.minimum(start, end), np.maximum(start, end), lw=2,
                           color="C%d" % (lc % 10), label="load case %d" % (lc + 1))
        top.plot(x, start, "_", ms=6, color=lines.get_color()[0])
        top.plot(x, end, "o", ms=3, color=lines.get_color()[0])
    top.set_ylabel("factor, from (-) to (o)")
    top.set_title("Blocks (.blc)")
    if drawn:
        top.legend(loc="best", fontsize=8, ncol=3)
    cycles = blocks[:, 2 * cases]
    positive = cycles > 0
    bottom.bar(b[positive], cycles[positive], color=figures.LINE, width=0.6)
    if positive.any():
        bottom.set_yscale("log")
    bottom.set_ylabel("cycles")
    bottom.set_xlabel("block")
    return fig


def path_figure(elastic, corrected, sy, title, aligned):
    fig, ax = figures.new_figure()
    ax.plot(np.arange(1, len(elastic) + 1), elastic, color=figures.QUIET, lw=1.4,
            marker="o" if len(elastic) <= 60 else None, ms=3, label="elastic (input)")
    ax.plot(np.arange(1, len(corrected) + 1), corrected, color=figures.LINE, lw=1.4,
            marker="o" if len(corrected) <= 60 else None, ms=3,
            label="corrected (.sep)")
    if np.isfinite(sy):
        ax.axhline(sy, color=figures.STATIC, ls=":", lw=1.2, label="yield stress %.6g" % sy)
    ax.set_xlabel("point of the path" + ("" if aligned else " (each its own)"))
    ax.set_ylabel("von Mises stress")
    ax.set_title(title)
    ax.legend(loc="best", fontsize=8)
    return fig
