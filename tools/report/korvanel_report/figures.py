"""The report's figures, drawn with matplotlib (Agg, no display needed).

Each function takes plain arrays and returns a Figure; the page saves it as a PNG.
"""
import warnings

import matplotlib

matplotlib.use("Agg")
# Degenerate data (every node at the damage floor, say) only makes matplotlib widen an axis.
for source in ("matplotlib", __name__):
    warnings.filterwarnings("ignore", category=UserWarning, module=source)
import matplotlib.pyplot as plt  # noqa: E402
import matplotlib.transforms as transforms  # noqa: E402
from matplotlib.ticker import MaxNLocator  # noqa: E402
import numpy as np  # noqa: E402

from . import sn_curve  # noqa: E402

SIZE = (8.0, 4.2)
DPI = 110
LINE = "#1f5fa8"
STATIC = "#c0392b"
QUIET = "#9aa0a6"
plt.rcParams.update({"font.size": 9.5, "axes.titlesize": 11, "axes.grid": True,
                     "grid.color": "#e3e3e3", "grid.linewidth": 0.6,
                     "axes.spines.top": False, "axes.spines.right": False,
                     "path.simplify": True, "agg.path.chunksize": 20000})


def new_figure():
    return plt.subplots(figsize=SIZE, dpi=DPI, layout="constrained")


def close(fig):
    plt.close(fig)


def _positive(values):
    values = np.asarray(values, float)
    return values[np.isfinite(values) & (values > 0)]


def node_damage(ids, damage, codes, damage_label, highlighted=20):
    """Damage of every node, sorted from the largest, on a log scale."""
    fig, ax = new_figure()
    order = np.argsort(-damage, kind="stable")
    sorted_damage, sorted_codes, sorted_ids = damage[order], codes[order], ids[order]
    rank = np.arange(1, len(damage) + 1)
    shown = np.isfinite(sorted_damage) & (sorted_damage > 0)
    ax.plot(rank[shown], sorted_damage[shown], color=LINE, lw=1.4,
            label="node damage, sorted", rasterized=len(rank) > 5000)
    top = shown & (rank <= highlighted)
    ax.plot(rank[top], sorted_damage[top], "o", ms=4, color=LINE,
            label="the %d most damaged nodes" % min(highlighted, int(top.sum())))
    failed = shown & (sorted_codes > 0)
    if failed.any():
        ax.plot(rank[failed], sorted_damage[failed], "x", ms=6, color=STATIC,
                label="static failure (code > 0)")
    ax.set_yscale("log")
    if len(rank) >= 50:
        ax.set_xscale("log")
    else:
        ax.xaxis.set_major_locator(MaxNLocator(integer=True))
    if shown.any():
        first = np.argmax(shown)
        ax.annotate("node %d" % sorted_ids[first], (rank[first], sorted_damage[first]),
                    xytext=(8, -2), textcoords="offset points", fontsize=9)
    ax.set_xlabel("rank of the node (1 = most damaged)")
    ax.set_ylabel(damage_label)
    ax.set_title("Damage of every node")
    ax.legend(loc="upper right", fontsize=8.5)
    return fig


def life_histogram(log_life, marked=None, marked_label=None):
    """Histogram of log10 of the life (in life units) of all nodes."""
    fig, ax = new_figure()
    values = log_life[np.isfinite(log_life)]
    bins = int(np.clip(np.sqrt(len(values)), 10, 60))
    low, high = (values.min(), values.max()) if len(values) else (0.0, 1.0)
    if high - low < 1e-9:
        low, high = low - 0.5, high + 0.5
    ax.hist(values, bins=bins, range=(low, high), color=LINE, alpha=0.85)
    if marked is not None and np.isfinite(marked):
        ax.axvline(marked, color=STATIC, ls="--", lw=1.2, label=marked_label)
        ax.legend(loc="best", fontsize=8.5)
    ax.yaxis.set_major_locator(MaxNLocator(integer=True))
    ax.set_xlabel("log10 of the life in life units")
    ax.set_ylabel("number of nodes")
    ax.set_title("Life of the nodes")
    return fig


SCATTER_LIMIT = 20000


def cycles_scatter(mean, amplitude, damage, flag, title, damage_label, what):
    """Half-cycles (or blocks) by mean stress and amplitude, coloured by their damage; a
    range-mean matrix of summed damage when there are too many to draw one by one."""
    if len(mean) > SCATTER_LIMIT:
        return cycles_matrix(mean, amplitude, damage, flag, title, damage_label, what)
    fig, ax = new_figure()
    big = len(mean) > 2000
    size = 10 if big else 28
    none = ~(damage > 0) & (flag == 0)
    if none.any():
        ax.scatter(mean[none], amplitude[none], s=size * 0.6, color=QUIET, alpha=0.6,
                   linewidths=0, label="%s without damage" % what, rasterized=big)
    hurt = (damage > 0) & np.isfinite(damage) & (flag == 0)
    if hurt.any():
        order = np.argsort(damage[hurt])  # the most damaging drawn last, on top
        colour = np.log10(damage[hurt][order])
        # Six decades of colour: what lies further below the largest damage hardly counts.
        low = max(colour.min(), colour.max() - 6.0)
        points = ax.scatter(mean[hurt][order], amplitude[hurt][order], c=colour, s=size,
                            cmap="plasma_r", vmin=low, vmax=max(colour.max(), low + 1e-9),
                            linewidths=0, rasterized=big)
        fig.colorbar(points, ax=ax, label="log10 of the " + damage_label, pad=0.01,
                     extend="min" if colour.min() < low else "neither")
    failed = flag > 0
    if failed.any():
        ax.scatter(mean[failed], amplitude[failed], marker="x", s=size * 1.8, color=STATIC,
                   label="static failure", linewidths=1.2)
    ax.set_xlabel("mean stress (first invariant sx + sy + sz)")
    ax.set_ylabel("amplitude (half the von Mises range)")
    ax.set_title(title)
    if none.any() or failed.any():
        ax.legend(loc="upper left", fontsize=8.5)
    return fig


def cycles_matrix(mean, amplitude, damage, flag, title, damage_label, what, bins=48):
    """Range-mean matrix: the damage of the half-cycles summed cell by cell."""
    fig, ax = new_figure()
    finite = np.isfinite(mean) & np.isfinite(amplitude)
    m, a = mean[finite], amplitude[finite]
    d = np.where(np.isfinite(damage[finite]), damage[finite], 0.0)
    count, mean_edges, amplitude_edges = np.histogram2d(m, a, bins=bins)
    summed, _, _ = np.histogram2d(m, a, bins=[mean_edges, amplitude_edges], weights=d)
    quiet = np.ma.masked_where(~((count > 0) & (summed <= 0)), np.ones_like(count))
    ax.pcolormesh(mean_edges, amplitude_edges, quiet.T, cmap="Greys", vmin=0, vmax=4)
    if (summed > 0).any():
        colour = np.ma.masked_where(summed <= 0, np.log10(np.where(summed > 0, summed, 1.0)))
        low = max(colour.min(), colour.max() - 6.0)
        cells = ax.pcolormesh(mean_edges, amplitude_edges, colour.T, cmap="plasma_r",
                              vmin=low, vmax=max(colour.max(), low + 1e-9))
        fig.colorbar(cells, ax=ax, pad=0.01, label="log10 of the damage summed per cell",
                     extend="min" if colour.min() < low else "neither")
    failed = finite & (flag > 0)
    if failed.any():
        ax.scatter(mean[failed], amplitude[failed], marker="x", s=18, color=STATIC,
                   label="static failure", linewidths=1.0, rasterized=True)
        ax.legend(loc="upper left", fontsize=8.5)
    ax.set_xlabel("mean stress (first invariant sx + sy + sz)")
    ax.set_ylabel("amplitude (half the von Mises range)")
    ax.set_title("%s: %d %s in a %d x %d range-mean matrix" % (title, len(mean), what, bins,
                                                              bins))
    return fig


def damage_share(amplitude, damage, what):
    """Cumulative share of the damage against the amplitude, with the amplitude from which on
    the half-cycles do 90 % of the damage."""
    fig, ax = new_figure()
    order = np.argsort(amplitude, kind="stable")
    a = amplitude[order]
    d = np.where(np.isfinite(damage[order]), damage[order], 0.0)
    share = np.cumsum(d) / d.sum()
    counts = ax.twinx()
    counts.hist(a, bins=int(np.clip(np.sqrt(len(a)), 10, 60)), color=QUIET, alpha=0.35)
    counts.set_ylabel("number of " + what, color="#666666")
    counts.yaxis.set_major_locator(MaxNLocator(integer=True))
    counts.grid(False)
    counts.spines["right"].set_visible(True)
    ax.set_zorder(counts.get_zorder() + 1)
    ax.patch.set_visible(False)
    ax.step(np.concatenate(([a[0]], a)), np.concatenate(([0.0], share)) * 100, where="post",
            color=LINE, lw=1.8)
    ninety = float(a[np.searchsorted(share, 0.1, side="right")]) if share[-1] > 0 else None
    if ninety is not None and ninety > a[0]:  # at the smallest amplitude it says nothing
        ax.axvline(ninety, color=STATIC, ls="--", lw=1.1)
        ax.text(0.02, 0.96, "%s of amplitude %.4g and above\ndo 90 %% of the damage"
                % (what, ninety), transform=ax.transAxes, ha="left", va="top", fontsize=8.5,
                color=STATIC, bbox=dict(facecolor="white", edgecolor="none", alpha=0.85))
    ax.set_ylim(0, 102)
    ax.set_xlabel("amplitude")
    ax.set_ylabel("share of the damage done by %s\nup to this amplitude (%%)" % what)
    ax.set_title("Which %s do the damage" % what)
    return fig


def block_damage(damage, flag):
    """Damage of each block (cycles x damage of one cycle), in spectrum order."""
    fig, ax = new_figure()
    number = np.arange(1, len(damage) + 1)
    ok = (damage > 0) & np.isfinite(damage)
    for chosen, colour, label in ((ok & (flag == 0), LINE, "damage of the block"),
                                  (ok & (flag > 0), STATIC, "static failure")):
        if not chosen.any():
            continue
        if len(damage) <= 300:
            ax.bar(number[chosen], damage[chosen], width=0.8, color=colour, label=label)
        else:  # a dot per block: thousands of bars would merge into one area
            ax.plot(number[chosen], damage[chosen], ".", ms=3 if colour == LINE else 6,
                    color=colour, label=label)
    if ok.any():
        ax.set_yscale("log")
    ax.xaxis.set_major_locator(MaxNLocator(integer=True))
    ax.set_xlabel("block (spectrum order)")
    ax.set_ylabel("damage of the block")
    ax.set_title("Damage per block")
    ax.legend(loc="best", fontsize=8.5)
    return fig


def corrected_path(von_mises, yield_stress, title):
    """Von Mises equivalent of the corrected path, point by point."""
    fig, ax = new_figure()
    point = np.arange(1, len(von_mises) + 1)
    ax.plot(point, von_mises, color=LINE, lw=1.2, marker="o" if len(point) <= 200 else None,
            ms=3)
    top = np.nanmax(von_mises) if len(von_mises) else 1.0
    if np.isfinite(yield_stress) and yield_stress > 0:
        ax.axhline(yield_stress, color=STATIC, ls="--", lw=1.1)
        ax.annotate("yield stress %.4g" % yield_stress, (1.0, yield_stress),
                    xycoords=("axes fraction", "data"), xytext=(-4, 3),
                    textcoords="offset points", ha="right", va="bottom", color=STATIC,
                    fontsize=8.5)
        top = max(top, yield_stress)
    if np.isfinite(top) and top > 0:
        ax.set_ylim(0, top * 1.12)
    ax.xaxis.set_major_locator(MaxNLocator(integer=True))
    ax.set_xlabel("point of the path (after compaction)")
    ax.set_ylabel("von Mises equivalent stress")
    ax.set_title(title)
    return fig


def sn_diagram(curve, seq, cycles, flag, title, what):
    """The S-N curve with the equivalent amplitudes of the half-cycles (or blocks) marked:
    damaging ones on the curve at their N, every one as a tick on the right edge."""
    fig, ax = new_figure()
    finite_n = cycles[np.isfinite(cycles) & (cycles > 0)]
    n_max = max(1e8, 10 * finite_n.max()) if len(finite_n) else 1e8
    n = np.logspace(0, np.log10(n_max), 400)
    s = sn_curve.amplitude_at(curve, n)
    drawn = np.isfinite(s) & (s > 0)
    ax.plot(n[drawn], s[drawn], color=LINE, lw=1.8, label="%s curve" % curve.name)
    if np.isfinite(curve.limit) and curve.limit > 0:
        ax.axhline(curve.limit, color=LINE, ls=":", lw=1.1,
                   label="%s %.4g" % ("endurance limit" if curve.kind == 1 else "Sainf",
                                      curve.limit))
    if np.isfinite(curve.static) and curve.static > 0:
        ax.axhline(curve.static, color=STATIC, ls=":", lw=1.1,
                   label="static limit %.4g" % curve.static)
    on_curve = np.flatnonzero((flag == 0) & np.isfinite(cycles) & (cycles > 0) & (seq > 0))
    if len(on_curve) > SCATTER_LIMIT:  # the most damaging ones, with the fewest cycles
        on_curve = on_curve[np.argsort(cycles[on_curve], kind="stable")[:SCATTER_LIMIT]]
    if len(on_curve):
        ax.plot(cycles[on_curve], seq[on_curve], "o", ms=4, color="#e67e22", alpha=0.75,
                label="damaging %s" % what)
    levels = seq[np.isfinite(seq) & (seq > 0)]
    if len(levels):
        # Ticks closer than a thousandth of the amplitude fall on the same pixel anyway.
        ticks = np.unique(np.round(np.log10(levels), 3))
        edge = transforms.blended_transform_factory(ax.transAxes, ax.transData)
        ax.plot(np.full(len(ticks), 0.985), 10.0 ** ticks, "_", ms=14, mew=1.0,
                color="#555555", alpha=0.5, transform=edge,
                label="every %s (tick at the right)" % what.rstrip("s"))
    ax.set_xscale("log")
    ax.set_yscale("log")
    levels = np.concatenate([s[drawn], levels, [curve.limit, curve.static]])
    levels = levels[np.isfinite(levels) & (levels > 0)]
    if len(levels):
        ax.set_ylim(levels.min() / 1.3, levels.max() * 1.3)
    ax.set_xlim(1, n_max)
    ax.set_xlabel("cycles to failure N")
    ax.set_ylabel("equivalent amplitude Seq")
    ax.set_title(title)
    # Below the axes: inside, it would hide a limit line or the marked amplitudes.
    ax.legend(loc="upper center", bbox_to_anchor=(0.5, -0.13), ncol=3, fontsize=8.5,
              frameon=False)
    return fig


# Axis labels that are stresses: they get the stress unit the import recorded.
STRESS_LABELS = ("mean stress (first invariant sx + sy + sz)",
                 "amplitude (half the von Mises range)", "amplitude",
                 "von Mises equivalent stress", "equivalent amplitude Seq")
DECADES_SHOWN = 6.0


def with_stress_unit(fig, unit):
    """Adds " (unit)" to every stress axis label of the figure."""
    if not unit:
        return fig
    for ax in fig.axes:
        for get, set_ in ((ax.get_xlabel, ax.set_xlabel), (ax.get_ylabel, ax.set_ylabel)):
            if get() in STRESS_LABELS:
                set_("%s (%s)" % (get(), unit))
    return fig


def _damage_colours(log_damage):
    top = np.nanmax(log_damage)
    return matplotlib.colors.Normalize(vmin=top - DECADES_SHOWN, vmax=top), \
        matplotlib.colormaps["inferno_r"]


def model_flat(points, triangles, log_damage, worst, label):
    """A plane model coloured by log10 damage (nodes without result grey), the worst node
    marked."""
    fig, ax = plt.subplots(figsize=(8.0, 4.6), dpi=DPI, layout="constrained")
    norm, cmap = _damage_colours(log_damage)
    known = np.all(np.isfinite(log_damage[triangles]), axis=1)
    x, y = points[:, 0], points[:, 1]
    if (~known).any():
        ax.tripcolor(x, y, triangles[~known], np.zeros((~known).sum()), cmap="Greys",
                     vmin=-4, vmax=1)
    if known.any():
        values = np.where(np.isfinite(log_damage), log_damage, norm.vmin)
        shaded = ax.tripcolor(x, y, triangles[known], values, shading="gouraud", cmap=cmap,
                              norm=norm)
        fig.colorbar(shaded, ax=ax, label="log10 " + label, shrink=0.85)
    ax.plot([x[worst]], [y[worst]], marker="o", ms=9, mfc="none", mec="#1f5fa8", mew=2)
    ax.annotate("most damaged node", (x[worst], y[worst]), xytext=(8, 8),
                textcoords="offset points", color="#1f5fa8")
    ax.set_aspect("equal")
    ax.grid(False)
    ax.set_xlabel("x")
    ax.set_ylabel("y")
    return fig


VIEWS = ((25, -60, "from the front left"), (25, 120, "from the back right"),
         (90, -90, "from above (+z)"), (-90, -90, "from below (-z)"))


def model_views(points, faces, log_damage, worst, label):
    """The outer surface of a solid model from four directions, faces coloured by the mean
    log10 damage of their nodes, the worst node marked."""
    from mpl_toolkits.mplot3d.art3d import Poly3DCollection
    fig = plt.figure(figsize=(9.0, 7.2), dpi=DPI, layout="constrained")
    norm, cmap = _damage_colours(log_damage)
    polygons = [points[f] for f in faces]
    with np.errstate(all="ignore"):
        face_values = np.array([np.mean(log_damage[f]) for f in faces])
    colours = [cmap(norm(v)) if np.isfinite(v) else (0.8, 0.8, 0.8, 1.0) for v in face_values]
    lo, hi = points.min(axis=0), points.max(axis=0)
    for k, (elev, azim, title) in enumerate(VIEWS):
        ax = fig.add_subplot(2, 2, k + 1, projection="3d")
        ax.add_collection3d(Poly3DCollection(polygons, facecolors=colours, edgecolors="none"))
        ax.scatter(*points[worst], s=60, facecolors="none", edgecolors="#1f5fa8",
                   linewidths=2, depthshade=False)
        ax.set_xlim(lo[0], hi[0])
        ax.set_ylim(lo[1], hi[1])
        ax.set_zlim(lo[2], hi[2])
        ax.set_box_aspect(np.maximum(hi - lo, 1e-9 * max(hi - lo)))
        ax.view_init(elev=elev, azim=azim)
        ax.set_title(title)
        ax.set_axis_off()
    mappable = matplotlib.cm.ScalarMappable(norm=norm, cmap=cmap)
    fig.colorbar(mappable, ax=fig.axes, label="log10 " + label, shrink=0.6)
    return fig
