"""Any file meshio reads (.vtu, .vtk, .xdmf, ...): one stress field per load case as point
data, six components in VTK's order (xx yy zz xy yz xz) or nine (a 3 x 3 tensor)."""
import contextlib
import io
import os

import numpy as np

from .results import ImportStop, SolverResults, StressField

SIX_ORDERS = {
    "vtk": (0, 1, 2, 3, 4, 5),        # xx yy zz xy yz xz
    "abaqus": (0, 1, 2, 3, 5, 4),     # xx yy zz xy xz yz
    "voigt": (0, 1, 2, 5, 4, 3),      # xx yy zz yz xz xy
}
NODE_ID_FIELDS = ("node_id", "node_ids", "NodeID", "NodeIds", "GlobalNodeID", "ids",
                  "vtkOriginalPointIds")


def _read(path, fields):
    """The mesh and the names of its point data: a .vtu one array at a time, keeping the
    fields asked for and the arrays of one component (IDs, materials); else meshio.read."""
    import meshio
    if path.lower().endswith(".vtu"):
        from .vtu_stream import NotStreamable, read_vtu
        try:
            return read_vtu(path, lambda name, comps: name in fields or comps == 1)
        except NotStreamable:
            pass
        except Exception:  # anything it does not understand: meshio tells what is wrong
            pass
    said = io.StringIO()
    try:
        # meshio prints what it cannot read and may even end the program: both are caught.
        with contextlib.redirect_stdout(said), contextlib.redirect_stderr(said):
            mesh = meshio.read(path)
    except (Exception, SystemExit) as e:
        raise ValueError(" ".join(said.getvalue().split()) or str(e)) from None
    return mesh, sorted(mesh.point_data)


def read_meshio(path, fields, order="vtk", node_id_field=None):
    """The mesh and the named point-data fields. Node IDs from node_id_field (or the first
    of the usual names present), else the point numbers from 1."""
    try:
        mesh, available = _read(path, set(fields))
    except Exception as e:  # meshio raises many kinds of errors for files it cannot read
        raise ImportStop("%s: meshio cannot read it (%s)" % (path, e)) from None
    n = len(mesh.points)
    out = SolverResults(source=path)
    names = [node_id_field] if node_id_field else [f for f in NODE_ID_FIELDS
                                                    if f in mesh.point_data]
    if node_id_field and node_id_field not in mesh.point_data:
        raise ImportStop("%s: no point data %s for the node IDs (there are: %s)"
                         % (path, node_id_field, ", ".join(sorted(mesh.point_data)) or "none"))
    if names:
        raw = np.asarray(mesh.point_data[names[0]]).reshape(n)
        if not np.all(np.isfinite(raw)) or np.any(np.asarray(raw, np.float64) != np.round(raw)):
            raise ImportStop("%s: the node IDs of %s are not all integers" % (path, names[0]))
        ids = raw.astype(np.int64)
    else:
        ids = np.arange(1, n + 1, dtype=np.int64)
    points = np.zeros((n, 3))
    points[:, :mesh.points.shape[1]] = mesh.points
    out.mesh_ids, out.mesh_points = ids, points
    for block in mesh.cells:
        out.cells.append((block.type, ids[np.asarray(block.data, np.int64)]))
    out.available = sorted(available)
    for name in fields:
        if name not in mesh.point_data or name in out.fields:
            continue
        # Each field is dropped from the mesh once converted: one copy at a time at most.
        out.fields[name] = StressField(ids, six_components(
            np.asarray(mesh.point_data.pop(name)), order, "%s field %s" % (path, name)))
    out.node_sets = {k: ids[np.asarray(v, np.int64)] for k, v in mesh.point_sets.items()}
    for k, blocks in mesh.cell_sets.items():
        out.element_sets[k] = [(b, np.asarray(v, np.int64)) for b, v in enumerate(blocks)
                               if v is not None and len(v)]
    out.cell_data = {k: v for k, v in mesh.cell_data.items()}
    out.point_data = {k: v for k, v in mesh.point_data.items()
                      if np.asarray(v).size == n and k not in fields}
    out.source = os.path.basename(path)
    return out


def six_components(values, order, what):
    """(n, 6) in korvanel's order from (n, 6) in the given order or (n, 3, 3) / (n, 9)."""
    v = values.reshape(len(values), -1)
    if v.shape[1] == 9:
        t = v.reshape(-1, 3, 3)
        return np.ascontiguousarray(np.stack([t[:, 0, 0], t[:, 1, 1], t[:, 2, 2], t[:, 0, 1],
                                              t[:, 1, 2], t[:, 0, 2]], axis=1), np.float64)
    if v.shape[1] != 6:
        raise ImportStop("%s has %d components: its order cannot be told (6 in the order of "
                         "--order, or 9 for a 3 x 3 tensor, are read)" % (what, v.shape[1]))
    if order == "vtk":
        return np.ascontiguousarray(v, np.float64)   # the same array when it is that already
    return np.ascontiguousarray(v[:, SIX_ORDERS[order]], np.float64)
