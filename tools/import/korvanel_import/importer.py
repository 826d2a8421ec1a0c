"""From the solver's results to the job's files: pick the load cases, check them, restrict
the nodes, set the materials, scale, write."""
import os

import numpy as np

from .job_files import remove_quietly, replace_all, write_mesh, write_nds
from .results import ImportStop

NAMES = ("sx", "sy", "sz", "txy", "tyz", "txz")


def kind_of(path, given):
    if given:
        return given
    ext = os.path.splitext(path)[1].lower()
    return {".frd": "frd", ".csv": "csv"}.get(ext, "meshio")


def read_results(args, names):
    from .csv_input import read_csv
    from .frd import read_frd
    from .meshio_input import read_meshio
    kind = kind_of(args.results, args.format)
    if not os.path.isfile(args.results):
        raise ImportStop("%s: no such file" % args.results)
    if kind == "frd":
        return read_frd(args.results), kind
    if kind == "csv":
        return read_csv(args.results), kind
    return read_meshio(args.results, names, args.order, args.node_id_field), kind


def pick(results, kind, name):
    if name not in results.fields:
        what = {"frd": "step", "csv": "load case"}.get(kind, "point-data field")
        have = sorted(results.fields) if kind != "meshio" else results.available
        raise ImportStop("%s: no %s %s with stresses (there %s: %s)" % (
            results.source, what, name, "is" if len(have) == 1 else "are",
            ", ".join(have) or "none"))
    return results.fields[name]


def check_unique(ids, what):
    order = np.argsort(ids, kind="stable")
    s = ids[order]
    dup = np.nonzero(s[1:] == s[:-1])[0]
    if len(dup):
        raise ImportStop("%s: node %d appears %d times" % (
            what, s[dup[0]], int(np.count_nonzero(s == s[dup[0]]))))
    return order, s


def aligned(field, ref_ids, ref_sorted, ref_order, what):
    """The field's values in the order of the reference nodes (the same array when the nodes
    are in that order already); stops when its node set differs."""
    if field.node_ids is ref_ids or np.array_equal(field.node_ids, ref_ids):
        return field.values
    order, s = check_unique(field.node_ids, what)
    if len(s) != len(ref_sorted) or not np.array_equal(s, ref_sorted):
        extra = np.setdiff1d(s, ref_sorted)
        missing = np.setdiff1d(ref_sorted, s)
        detail = ("node %d is missing" % missing[0]) if len(missing) else \
                 ("node %d is not in the first load case" % extra[0])
        raise ImportStop("%s: another set of nodes than the first load case (%d nodes "
                         "against %d; %s)" % (what, len(s), len(ref_sorted), detail))
    out = np.empty_like(field.values)
    out[ref_order] = field.values[order]
    return out


def check_finite(values, ids, what):
    bad = ~np.isfinite(values)
    if bad.any():
        row, col = np.argwhere(bad)[0]
        raise ImportStop("%s: %s of node %d is %r, not a finite number" % (
            what, NAMES[col], ids[row], float(values[row, col])))


def selected_nodes(args, results, ids):
    """A mask over ids of the nodes to keep, and lines telling what it kept."""
    from .deck_sets import read_sets
    from .surface import surface_nodes
    keep = np.ones(len(ids), bool)
    told = []
    if args.surface:
        if not results.cells:
            raise ImportStop("%s has no elements: --surface needs them" % results.source)
        on = np.isin(ids, surface_nodes(results.cells))
        keep &= on
        told.append("--surface: %d of %d nodes on the outer surface" % (on.sum(), len(ids)))
    if args.nodes:
        wanted = np.array(int_list_or_stop(args.nodes), np.int64)
        absent = np.setdiff1d(wanted, ids)
        if len(absent):
            raise ImportStop("node %d of --nodes is not in the results" % absent[0])
        keep &= np.isin(ids, wanted)
    if args.node_set:
        sets = read_sets(args.sets)[0] if args.sets else {
            k.upper(): v for k, v in results.node_sets.items()}
        if args.node_set.upper() not in sets:
            raise ImportStop("no node set %s (there are: %s)" % (
                args.node_set, ", ".join(sorted(sets)) or "none"))
        keep &= np.isin(ids, np.array(sorted(sets[args.node_set.upper()]), np.int64))
    if not keep.any():
        raise ImportStop("no node is left to write")
    return keep, told


def int_list_or_stop(text):
    from .main import int_list
    try:
        return int_list(text)
    except (ValueError, OSError) as e:
        raise ImportStop("--nodes %s: %s" % (text, e)) from None


def node_materials(args, results, ids):
    """The material ID of every node, or None for one material."""
    if not args.material and not args.material_field:
        return np.full(len(ids), args.default_material, np.int64)
    mats = np.full(len(ids), args.default_material, np.int64)
    if args.material_field:
        name = args.material_field
        if name in results.point_data:
            values = np.asarray(results.point_data[name]).reshape(len(results.mesh_ids))
            order = np.argsort(results.mesh_ids)
            at = order[np.searchsorted(results.mesh_ids, ids, sorter=order)]
            return values[at].astype(np.int64)
        if name in results.cell_data:
            best = {}
            for (ctype, conn), values in zip(results.cells, results.cell_data[name]):
                per_cell = np.asarray(values).reshape(len(conn))
                for k in range(conn.shape[1]):
                    for node, m in zip(conn[:, k].tolist(), per_cell.tolist()):
                        if node not in best or m < best[node]:
                            best[node] = m
            order = np.argsort(ids)
            for node, m in best.items():
                at = np.searchsorted(ids, node, sorter=order)
                if at < len(ids) and ids[order[at]] == node:
                    mats[order[at]] = int(m)
            return mats
        raise ImportStop("%s: no point or cell data %s for the material IDs"
                         % (results.source, name))
    from .deck_sets import read_sets
    if args.sets:
        elsets = read_sets(args.sets)[1]
        if not results.cell_numbers:
            raise ImportStop("--material with --sets needs element numbers (a .frd)")
        numbered = {}
        for b, numbers in enumerate(results.cell_numbers):
            for i, n in enumerate(numbers.tolist()):
                numbered[n] = (b, i)
        sets = {k: [numbered[n] for n in v if n in numbered] for k, v in elsets.items()}
    else:
        sets = {k.upper(): [(b, i) for b, idx in v for i in idx.tolist()]
                for k, v in results.element_sets.items()}
    decided = np.zeros(len(ids), bool)
    order = np.argsort(ids)
    for given in args.material:
        name, _, value = given.partition("=")
        try:
            material = int(value)
        except ValueError:
            raise ImportStop("--material %s: SET=ID with an integer ID" % given) from None
        if name.upper() not in sets:
            raise ImportStop("--material: no element set %s (there are: %s)" % (
                name, ", ".join(sorted(sets)) or "none"))
        nodes = np.unique(np.concatenate([results.cells[b][1][i] for b, i in
                                          sets[name.upper()]] or [np.empty(0, np.int64)]))
        at = np.searchsorted(ids, nodes, sorter=order)
        at = order[np.minimum(at, len(ids) - 1)]
        hit = at[(ids[at] == nodes) & ~decided[at]]
        mats[hit] = material
        decided[hit] = True
    return mats


def read_line(results):
    cells = sum(len(c) for _, c in results.cells)
    types = ", ".join(sorted({t for t, _ in results.cells}))
    return "read %s: %d nodes, %d elements%s, stresses of %s" % (
        results.source, len(results.mesh_ids), cells, " (%s)" % types if types else "",
        ", ".join(sorted(results.fields, key=lambda n: (len(n), n))) or "nothing")


def summary_lines(results, kind, case_names, base_name, ids, cases):
    lines = []
    what = {"frd": "step", "csv": "case"}.get(kind, "field")
    labels = ["base" + (" (%s %s)" % (what, base_name) if base_name else " (zeros)")] + [
        "load case %d (%s %s)" % (i + 1, what, n) for i, n in enumerate(case_names)]
    for label, values in zip(labels, cases):
        if values is None:
            lines.append("%s" % label)
            continue
        if not len(values):
            lines.append("%s: no node" % label)
            continue
        lo, hi = values.min(axis=0), values.max(axis=0)
        lines.append("%s: %s" % (label, ", ".join(
            "%s %.6g .. %.6g" % (NAMES[k], lo[k], hi[k]) for k in range(6))))
    return lines


def run_import(args, tell):
    """Reads, checks and writes; tells what it read and wrote, line by line, as it goes."""
    names = [n.strip() for n in args.load_cases.split(",") if n.strip()]
    if not names:
        raise ImportStop("--load-cases names no load case")
    wanted = names + ([args.base] if args.base else [])
    results, kind = read_results(args, wanted)
    tell(read_line(results))
    first = pick(results, kind, names[0])
    ref_order, ref_sorted = check_unique(first.node_ids, "%s %s" % (results.source, names[0]))
    ids = first.node_ids
    tables = []
    for name in ([args.base] if args.base else []) + names:
        what = "%s, %s" % (results.source, name)
        values = aligned(pick(results, kind, name), ids, ref_sorted, ref_order, what)
        check_finite(values, ids, what)
        tables.append(values)
    base = tables.pop(0) if args.base else None
    for line in summary_lines(results, kind, names, args.base, ids, [base] + tables):
        tell(line)
    if results.mesh_ids is not None and results.cells:
        unknown = np.setdiff1d(np.unique(np.concatenate([c.ravel() for _, c in results.cells])),
                               results.mesh_ids)
        if len(unknown):
            raise ImportStop("%s: an element uses node %d, which is not among the nodes"
                             % (results.source, unknown[0]))
    keep, told = selected_nodes(args, results, ids)
    for line in told:
        tell(line)
    mats = node_materials(args, results, ids)
    if not np.isfinite(args.scale):
        raise ImportStop("--scale %r is not a finite number" % args.scale)
    every = bool(keep.all())
    blocks = [np.zeros((int(keep.sum()), 6)) if base is None else base if every else base[keep]]
    blocks += [t if every else t[keep] for t in tables]
    del tables, base
    results.fields.clear()
    if args.scale != 1.0:
        scaled = set()
        for b, label in zip(blocks, ["base"] + names):
            if id(b) not in scaled:     # a step named twice is one array: scaled once
                b *= args.scale
                scaled.add(id(b))
            check_finite(b, ids[keep], "%s scaled by %r" % (label, args.scale))
    out_dir = os.path.dirname(args.output) or "."
    if not os.path.isdir(out_dir):
        raise ImportStop("the directory %s does not exist" % out_dir)
    nds, mesh = args.output + ".nds", args.output + ".mesh.vtu"
    temporary = [nds + ".part", mesh + ".part.vtu"]
    write_mesh_file = not args.no_mesh and results.mesh_points is not None and results.cells
    try:
        write_nds(temporary[0], ids[keep], mats[keep], blocks)
        # The stresses are written: free them before the mesh is built and written.
        blocks.clear()
        first = values = None  # noqa: F841
        if write_mesh_file:
            in_mesh = np.isin(results.mesh_ids, np.unique(np.concatenate(
                [c.ravel() for _, c in results.cells])))
            mesh_ids = results.mesh_ids[in_mesh]
            mesh_mats = None
            if args.material or args.material_field:
                mesh_mats = np.full(len(mesh_ids), -1, np.int64)
                order = np.argsort(mesh_ids)
                at = order[np.searchsorted(mesh_ids, ids, sorter=order).clip(0, len(order) - 1)]
                hit = mesh_ids[at] == ids
                mesh_mats[at[hit]] = mats[hit]
            write_mesh(temporary[1], results.mesh_points[in_mesh], results.cells, mesh_ids,
                       args.unit, mesh_mats)
        replace_all([(temporary[0], nds)] + ([(temporary[1], mesh)] if write_mesh_file else []))
    except BaseException:
        remove_quietly(temporary)
        raise
    tell("wrote %s: %d nodes, the base and %d load case%s (parameter record "
                 "\"Number of nodes, number of load cases\": %d, %d)" % (
                     nds, int(keep.sum()), len(names), "s" if len(names) > 1 else "",
                     int(keep.sum()), len(names)))
    if write_mesh_file:
        tell("wrote %s: %d points, %d cells" % (
            mesh, len(mesh_ids), sum(len(c) for _, c in results.cells)))
    elif not args.no_mesh:
        tell("no mesh in %s: no %s written" % (results.source, mesh))
