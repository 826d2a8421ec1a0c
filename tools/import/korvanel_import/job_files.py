"""The job's files written by the import: the .nds and the mesh, each under a temporary name
renamed into place once complete, so a failed import leaves no half-written file."""
import os

import numpy as np

ROWS_AT_ONCE = 100_000
ROW = "%d, %d, %r, %r, %r, %r, %r, %r\n"


def write_nds(path, node_ids, materials, blocks):
    """Block 1 (base) then one block per load case, one line per node: ID, material, the six
    stresses. Reals are written by repr: the shortest text that reads back as the very same
    double."""
    ids, mats = node_ids.tolist(), materials.tolist()
    with open(path, "w", newline="\n") as f:
        for values in blocks:
            for start in range(0, len(ids), ROWS_AT_ONCE):
                end = start + ROWS_AT_ONCE
                cols = values[start:end].T.tolist()
                f.write("".join([ROW % row for row in zip(ids[start:end], mats[start:end],
                                                           *cols)]))


def write_mesh(path, points, cells, node_ids, stress_unit, materials=None):
    """<name>.mesh.vtu: the points, the cells and the solver's node IDs as point data; the
    stress unit as field data (its UTF-8 bytes)."""
    import meshio
    order = np.argsort(node_ids, kind="stable")
    sorted_ids = node_ids[order]
    out_cells = []
    for ctype, conn in cells:
        at = np.searchsorted(sorted_ids, conn)
        out_cells.append((ctype, order[np.minimum(at, len(order) - 1)]))
    point_data = {"node_id": node_ids.astype(np.int64)}
    if materials is not None:
        point_data["material_id"] = materials.astype(np.int64)
    meshio.write(path, meshio.Mesh(points, out_cells, point_data=point_data), file_format="vtu")
    add_field_data(path, "stress_unit", stress_unit)


def add_field_data(path, name, text):
    """Adds a text as field data (its UTF-8 bytes, UInt8) to a .vtu meshio wrote; meshio
    reads field data but does not write it."""
    codes = " ".join(str(b) for b in text.encode())
    element = ('<FieldData>\n<DataArray type="UInt8" Name="%s" NumberOfTuples="%d" '
               'format="ascii">%s</DataArray>\n</FieldData>\n' % (name, len(text.encode()), codes))
    with open(path, "rb") as f:
        data = f.read()
    at = data.index(b"<UnstructuredGrid>") + len(b"<UnstructuredGrid>\n")
    with open(path, "wb") as f:
        f.write(data[:at] + element.encode() + data[at:])


def read_stress_unit(mesh):
    data = mesh.field_data.get("stress_unit")
    return bytes(np.asarray(data).astype(np.uint8).ravel()).decode() if data is not None else ""


def replace_all(pairs):
    """Renames each temporary file to its final name."""
    for temporary, final in pairs:
        os.replace(temporary, final)


def remove_quietly(paths):
    for p in paths:
        try:
            os.remove(p)
        except OSError:
            pass
