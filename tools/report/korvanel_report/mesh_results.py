"""The results on the job's mesh: <name>.mesh.vtu (written by korvanel-import) joined with the
.ndd by integer node ID, written as <name>-results.vtu; and the hotspots, the regions of the
mesh above a damage threshold.

Point data of the results file: damage per life unit, life in life units, log10 of the life,
static failure code, and the material ID when the mesh has one. A mesh node the job did not
analyse carries NaN. A node ID the .ndd lists more than once takes its largest damage.
"""
import os
import tempfile

import numpy as np

# Outer faces of solid cells by their corner nodes (VTK order), for drawing.
SOLID_FACES = {
    "tetra": [(0, 1, 2), (0, 1, 3), (1, 2, 3), (0, 2, 3)],
    "hexahedron": [(0, 1, 2, 3), (4, 5, 6, 7), (0, 1, 5, 4), (1, 2, 6, 5), (2, 3, 7, 6),
                   (3, 0, 4, 7)],
    "wedge": [(0, 1, 2), (3, 4, 5), (0, 1, 4, 3), (1, 2, 5, 4), (2, 0, 3, 5)],
    "pyramid": [(0, 1, 2, 3), (0, 1, 4), (1, 2, 4), (2, 3, 4), (3, 0, 4)],
}
SOLID_FACES.update({"tetra10": SOLID_FACES["tetra"], "hexahedron20": SOLID_FACES["hexahedron"],
                    "hexahedron27": SOLID_FACES["hexahedron"], "wedge15": SOLID_FACES["wedge"],
                    "pyramid13": SOLID_FACES["pyramid"]})
PLANE_CORNERS = {"triangle": 3, "triangle6": 3, "triangle7": 3, "quad": 4, "quad8": 4,
                 "quad9": 4}


def mesh_file(job):
    return job.base + ".mesh.vtu"


def read_mesh(path):
    """The mesh, its node IDs and the stress unit the import recorded ("" when none)."""
    import contextlib
    import io

    import meshio
    from .result_files import UnreadableFile
    said = io.StringIO()
    try:
        # meshio prints what it cannot read and may even end the program: both are caught.
        with contextlib.redirect_stdout(said), contextlib.redirect_stderr(said):
            mesh = meshio.read(path)
    except (Exception, SystemExit) as e:
        why = " ".join(said.getvalue().split()) or str(e)
        raise UnreadableFile("%s: %s" % (path, why)) from None
    if "node_id" not in mesh.point_data:
        raise UnreadableFile("%s: no point data node_id" % path)
    ids = np.asarray(mesh.point_data["node_id"]).astype(np.int64).ravel()
    unit = mesh.field_data.get("stress_unit")
    unit = bytes(np.asarray(unit).astype(np.uint8).ravel()).decode() if unit is not None else ""
    return mesh, ids, unit


def join(mesh_ids, nodes):
    """For every mesh point the row of its node in the .ndd (the most damaged row of a
    repeated ID), or -1."""
    ids = nodes["ids"]
    order = np.lexsort((-nodes["damage"], ids))     # by ID, the largest damage first
    first = np.ones(len(order), bool)
    first[1:] = ids[order][1:] != ids[order][:-1]
    unique_rows = order[first]
    unique_ids = ids[unique_rows]
    at = np.searchsorted(unique_ids, mesh_ids).clip(0, max(len(unique_ids) - 1, 0))
    found = (unique_ids[at] == mesh_ids) if len(unique_ids) else np.zeros(len(mesh_ids), bool)
    return np.where(found, unique_rows[at] if len(unique_ids) else -1, -1)


def point_results(mesh, rows, nodes):
    """The point-data arrays of the results file."""
    hit = rows >= 0

    def spread(values):
        out = np.full(len(rows), np.nan)
        out[hit] = values[rows[hit]]
        return out

    with np.errstate(all="ignore"):
        log_life = np.log10(nodes["life"])
    data = {"damage_per_life_unit": spread(nodes["damage"]),
            "life": spread(nodes["life"]),
            "log10_life": spread(log_life),
            "static_failure_code": spread(nodes["codes"].astype(np.float64))}
    if "material_id" in mesh.point_data:
        data["material_id"] = np.asarray(mesh.point_data["material_id"]).astype(np.float64)
    data["node_id"] = np.asarray(mesh.point_data["node_id"]).astype(np.int64)
    return data


def results_vtu(mesh, data):
    """The bytes of <name>-results.vtu."""
    import meshio
    out = meshio.Mesh(mesh.points, mesh.cells, point_data=data)
    handle, path = tempfile.mkstemp(suffix=".vtu")
    os.close(handle)
    try:
        meshio.write(path, out, file_format="vtu")
        with open(path, "rb") as f:
            return f.read()
    finally:
        os.remove(path)


def is_flat(mesh):
    """A plane model: no solid cells and every point in one plane z = const."""
    if any(c.type in SOLID_FACES for c in mesh.cells):
        return False
    z = mesh.points[:, 2] if mesh.points.shape[1] > 2 else np.zeros(1)
    return bool(np.all(z == z[0]))


def plane_triangles(mesh):
    """Triangles (point indexes) of the plane cells' corners, quads split in two."""
    tris = []
    for c in mesh.cells:
        corners = PLANE_CORNERS.get(c.type)
        if corners == 3:
            tris.append(c.data[:, :3])
        elif corners == 4:
            tris += [c.data[:, [0, 1, 2]], c.data[:, [0, 2, 3]]]
    return np.concatenate(tris) if tris else np.empty((0, 3), np.int64)


def outer_faces(mesh):
    """The outer faces of the solid cells and the plane cells, as lists of point indexes."""
    keys, faces = {}, []
    for c in mesh.cells:
        for face in SOLID_FACES.get(c.type, ()):
            for nodes in c.data[:, face].tolist():
                key = tuple(sorted(nodes))
                keys[key] = None if key in keys else nodes
        if c.type in PLANE_CORNERS:
            faces += c.data[:, :PLANE_CORNERS[c.type]].tolist()
    return [f for f in keys.values() if f is not None] + faces


def hotspots(mesh, damage, decades=2.0):
    """Regions of points whose damage is within `decades` of the largest, joined where they
    share a cell: [(worst point index, damage, number of points)], most damaged first."""
    finite = np.isfinite(damage)
    if not finite.any() or np.nanmax(damage) <= 0:
        return []
    threshold = np.nanmax(damage) / 10.0 ** decades
    hot = finite & (damage >= threshold)
    parent = np.arange(len(damage))

    def root(i):
        while parent[i] != i:
            parent[i] = parent[parent[i]]
            i = parent[i]
        return i

    for c in mesh.cells:
        data = c.data[hot[c.data].sum(axis=1) >= 2]
        for cell in data.tolist():
            members = [p for p in cell if hot[p]]
            r0 = root(members[0])
            for p in members[1:]:
                r = root(p)
                if r != r0:
                    parent[r] = r0
    regions = {}
    for p in np.nonzero(hot)[0].tolist():
        regions.setdefault(root(p), []).append(p)
    out = []
    for members in regions.values():
        worst = max(members, key=lambda p: (damage[p], -p))
        out.append((worst, float(damage[worst]), len(members)))
    out.sort(key=lambda r: -r[1])
    return out
