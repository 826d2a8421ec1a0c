"""The nodes on the outer surface of solid elements: the nodes of the faces that belong to
one element only (midside nodes of the face included). Faces are in VTK's node order."""
import numpy as np

from .results import ImportStop

# meshio cell type -> faces, each (corners..., midside...).
SOLID_FACES = {
    "tetra": [(0, 1, 2), (0, 1, 3), (1, 2, 3), (0, 2, 3)],
    "tetra10": [(0, 1, 2, 4, 5, 6), (0, 1, 3, 4, 8, 7), (1, 2, 3, 5, 9, 8), (0, 2, 3, 6, 9, 7)],
    "hexahedron": [(0, 1, 2, 3), (4, 5, 6, 7), (0, 1, 5, 4), (1, 2, 6, 5), (2, 3, 7, 6),
                   (3, 0, 4, 7)],
    "hexahedron20": [(0, 1, 2, 3, 8, 9, 10, 11), (4, 5, 6, 7, 12, 13, 14, 15),
                     (0, 1, 5, 4, 8, 17, 12, 16), (1, 2, 6, 5, 9, 18, 13, 17),
                     (2, 3, 7, 6, 10, 19, 14, 18), (3, 0, 4, 7, 11, 16, 15, 19)],
    "wedge": [(0, 1, 2), (3, 4, 5), (0, 1, 4, 3), (1, 2, 5, 4), (2, 0, 3, 5)],
    "wedge15": [(0, 1, 2, 6, 7, 8), (3, 4, 5, 9, 10, 11), (0, 1, 4, 3, 6, 13, 9, 12),
                (1, 2, 5, 4, 7, 14, 10, 13), (2, 0, 3, 5, 8, 12, 11, 14)],
    "pyramid": [(0, 1, 2, 3), (0, 1, 4), (1, 2, 4), (2, 3, 4), (3, 0, 4)],
}
# Elements that are their own surface: shells, plane and line elements.
SURFACE_ELEMENTS = {"triangle", "triangle6", "quad", "quad8", "quad9", "line", "line3",
                    "vertex"}


def _corner_count(face):
    return 3 if len(face) in (3, 6) else 4


def surface_faces(cells):
    """The outer faces as arrays of node IDs, one (faces, nodes per face) array per kind."""
    by_corners = {3: [], 4: []}
    for ctype, conn in cells:
        if ctype in SURFACE_ELEMENTS:
            continue
        if ctype not in SOLID_FACES:
            raise ImportStop("the surface of elements of type %s cannot be taken" % ctype)
        for face in SOLID_FACES[ctype]:
            by_corners[_corner_count(face)].append(conn[:, face])
    outer = []
    for corners, groups in by_corners.items():
        if not groups:
            continue
        keys = np.concatenate([np.sort(g[:, :corners], axis=1) for g in groups])
        _, first, counts = np.unique(keys, axis=0, return_index=True, return_counts=True)
        once = np.zeros(len(keys), bool)
        once[first[counts == 1]] = True
        start = 0
        for g in groups:
            picked = g[once[start:start + len(g)]]
            if len(picked):
                outer.append(picked)
            start += len(g)
    return outer


def surface_nodes(cells):
    """Node IDs on the outer surface: of the outer faces of solid elements, and every node of
    plane, shell and line elements."""
    parts = [f.ravel() for f in surface_faces(cells)]
    parts += [conn.ravel() for ctype, conn in cells if ctype in SURFACE_ELEMENTS]
    return np.unique(np.concatenate(parts)) if parts else np.empty(0, np.int64)
