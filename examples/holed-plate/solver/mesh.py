#!/usr/bin/python3
"""Meshes the holed plate with gmsh and writes the mesh part of the CalculiX deck.

A plate of 300 x 100 mm with a central hole of 20 mm, in plane stress per mm of thickness,
second-order triangles (CPS6) refined towards the hole. Writes plate-mesh.inp: the nodes, the elements
(set PLATE), the support nodes (LEFTMID, RIGHTMID, CORNER) and the nodal forces of the two unit load
cases as consistent edge loads of 1 MPa over the plate's thickness:
plate-tension.inp (tension along x on both ends) and plate-shear.inp (in-plane shear on all
four edges).

Usage: mesh.py [--size-at-hole MM] [--size-far MM] [--thickness MM] [--solid] [DIR]
With --solid: the same plate as a solid 10 mm thick in second-order tetrahedra (C3D10),
coarser, for the 3D example (solid-mesh.inp, solid-tension.inp, solid-shear.inp).
"""
import argparse
import os
import sys
from collections import defaultdict

import gmsh

LENGTH, WIDTH, HOLE = 300.0, 100.0, 20.0


def plate_geometry(size_at_hole, size_far):
    """The plate with its hole drawn with the built-in kernel; the hole's centre is a
    construction point of the arcs and belongs to no element."""
    geo = gmsh.model.geo
    x0, x1, y0, y1, r = -LENGTH / 2, LENGTH / 2, -WIDTH / 2, WIDTH / 2, HOLE / 2
    corners = [geo.addPoint(x, y, 0, size_far) for x, y in
               ((x0, y0), (x1, y0), (x1, 0), (x1, y1), (x0, y1), (x0, 0))]
    outer = [geo.addLine(corners[i], corners[(i + 1) % 6]) for i in range(6)]
    centre = geo.addPoint(0, 0, 0, size_at_hole)
    rim = [geo.addPoint(x, y, 0, size_at_hole) for x, y in ((r, 0), (0, r), (-r, 0), (0, -r))]
    arcs = [geo.addCircleArc(rim[i], centre, rim[(i + 1) % 4]) for i in range(4)]
    surface = geo.addPlaneSurface([geo.addCurveLoop(outer), geo.addCurveLoop(arcs)])
    geo.synchronize()
    field = gmsh.model.mesh.field
    distance = field.add("Distance")
    field.setNumbers(distance, "CurvesList", arcs)
    threshold = field.add("Threshold")
    field.setNumber(threshold, "InField", distance)
    field.setNumber(threshold, "SizeMin", size_at_hole)
    field.setNumber(threshold, "SizeMax", size_far)
    field.setNumber(threshold, "DistMin", 0.5)
    field.setNumber(threshold, "DistMax", 35.0)
    field.setAsBackgroundMesh(threshold)
    gmsh.option.setNumber("Mesh.MeshSizeExtendFromBoundary", 0)
    gmsh.option.setNumber("Mesh.MeshSizeFromPoints", 0)
    gmsh.option.setNumber("Mesh.MeshSizeFromCurvature", 0)
    return surface, outer, (corners[5], corners[2], corners[0])


def edge_forces(edges, coords, traction, thickness):
    """Consistent nodal forces of a uniform traction on quadratic edges (corner 1/6, midside
    2/3 of the edge's force)."""
    forces = defaultdict(lambda: [0.0, 0.0, 0.0])
    for a, b, m in edges:
        length = sum((coords[a][k] - coords[b][k]) ** 2 for k in range(3)) ** 0.5
        for node, share in ((a, 1 / 6), (b, 1 / 6), (m, 2 / 3)):
            for k in range(3):
                forces[node][k] += traction[k] * length * thickness * share
    return forces


def write_forces(path, forces):
    with open(path, "w") as f:
        f.write("*CLOAD, OP=NEW\n")
        for node in sorted(forces):
            for k in range(3):
                if forces[node][k] != 0.0:
                    f.write("%d, %d, %.12g\n" % (node, k + 1, forces[node][k]))


def boundary_edges(curve_tags):
    """The quadratic line elements (corner, corner, midside) of the given curves."""
    edges = []
    for tag in curve_tags:
        types, _, nodes = gmsh.model.mesh.getElements(1, tag)
        for t, conn in zip(types, nodes):
            assert t == 8, "second-order lines expected"
            edges += [tuple(int(v) for v in conn[i:i + 3]) for i in range(0, len(conn), 3)]
    return edges


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--size-at-hole", type=float, default=None)
    ap.add_argument("--size-far", type=float, default=None)
    ap.add_argument("--thickness", type=float, default=None)
    ap.add_argument("--solid", action="store_true")
    ap.add_argument("directory", nargs="?", default=".")
    args = ap.parse_args()
    # The plane model per mm of thickness, fine at the hole; the solid coarse and 10 mm thick.
    defaults = (2.5, 20.0, 10.0) if args.solid else (0.6, 10.0, 1.0)
    for name, value in zip(("size_at_hole", "size_far", "thickness"), defaults):
        if getattr(args, name) is None:
            setattr(args, name, value)
    gmsh.initialize()
    gmsh.option.setNumber("General.Terminal", 0)
    gmsh.model.add("plate")
    surface, outer, supports = plate_geometry(args.size_at_hole, args.size_far)
    if args.solid:
        gmsh.model.geo.extrude([(2, surface)], 0, 0, args.thickness)
        gmsh.model.geo.synchronize()
    gmsh.model.mesh.generate(3 if args.solid else 2)
    gmsh.model.mesh.setOrder(2)
    tags, xyz, _ = gmsh.model.mesh.getNodes()
    coords = {int(t): tuple(xyz[3 * i:3 * i + 3]) for i, t in enumerate(tags)}
    prefix = "solid" if args.solid else "plate"
    path = os.path.join(args.directory, prefix + "-mesh.inp")
    dim = 3 if args.solid else 2
    gmsh_type, ccx_type, per = (11, "C3D10", 10) if args.solid else (9, "CPS6", 6)
    elements = []
    for t, conn in zip(*gmsh.model.mesh.getElements(dim)[0::2]):
        if t == gmsh_type:
            elements += [[int(v) for v in conn[i:i + per]] for i in range(0, len(conn), per)]
    if args.solid:
        # gmsh and CalculiX number the two last midside nodes of a tetrahedron the other way.
        elements = [e[:8] + [e[9], e[8]] for e in elements]
    with open(path, "w") as f:
        f.write("*NODE, NSET=NALL\n")
        # Every node gmsh made, the hole's centre among them.
        for t in sorted(coords):
            f.write("%d, %.12g, %.12g, %.12g\n" % (t, *coords[t]))
        f.write("*ELEMENT, TYPE=%s, ELSET=PLATE\n" % ccx_type)
        for i, e in enumerate(elements, 1):
            f.write("%d, %s\n" % (i, ", ".join(map(str, e))))
        for name, point in zip(("LEFTMID", "RIGHTMID", "CORNER"), supports):
            node = gmsh.model.mesh.getNodes(0, point)[0]
            f.write("*NSET, NSET=%s\n%d\n" % (name, int(node[0])))
    x0, x1, y0, y1 = -LENGTH / 2, LENGTH / 2, -WIDTH / 2, WIDTH / 2
    eps = 1e-6

    def edges_where(test):
        return boundary_edges([c for c in outer if all(
            test(coords[n]) for n in gmsh.model.mesh.getNodes(1, c, True)[0].astype(int))])

    if args.solid:
        faces = solid_boundary_faces(elements, coords)
        sides = {"left": lambda p: abs(p[0] - x0) < eps, "right": lambda p: abs(p[0] - x1) < eps,
                 "bottom": lambda p: abs(p[1] - y0) < eps, "top": lambda p: abs(p[1] - y1) < eps}
        loads = {"tension": {"left": (-1, 0, 0), "right": (1, 0, 0)},
                 "shear": {"top": (1, 0, 0), "bottom": (-1, 0, 0),
                           "right": (0, 1, 0), "left": (0, -1, 0)}}
        for case, parts in loads.items():
            forces = defaultdict(lambda: [0.0, 0.0, 0.0])
            for side, traction in parts.items():
                for face in faces:
                    if all(sides[side](coords[n]) for n in face):
                        add_face_forces(forces, face, coords, traction)
            write_forces(os.path.join(args.directory, "%s-%s.inp" % (prefix, case)), forces)
    else:
        t = args.thickness
        left = edges_where(lambda p: abs(p[0] - x0) < eps)
        right = edges_where(lambda p: abs(p[0] - x1) < eps)
        bottom = edges_where(lambda p: abs(p[1] - y0) < eps)
        top = edges_where(lambda p: abs(p[1] - y1) < eps)
        tension = edge_forces(left, coords, (-1, 0, 0), t)
        for n, f in edge_forces(right, coords, (1, 0, 0), t).items():
            tension[n] = [a + b for a, b in zip(tension[n], f)]
        shear = defaultdict(lambda: [0.0, 0.0, 0.0])
        for edges, traction in ((top, (1, 0, 0)), (bottom, (-1, 0, 0)),
                                (right, (0, 1, 0)), (left, (0, -1, 0))):
            for n, f in edge_forces(edges, coords, traction, t).items():
                shear[n] = [a + b for a, b in zip(shear[n], f)]
        write_forces(os.path.join(args.directory, prefix + "-tension.inp"), tension)
        write_forces(os.path.join(args.directory, prefix + "-shear.inp"), shear)
    print("%s: %d nodes, %d elements" % (path, len(coords), len(elements)), file=sys.stderr)
    gmsh.finalize()


TET10_FACES = ((0, 1, 2, 4, 5, 6), (0, 1, 3, 4, 8, 7), (1, 2, 3, 5, 9, 8), (0, 2, 3, 6, 9, 7))


def solid_boundary_faces(elements, coords):
    """The six-node faces of the tetrahedra (CalculiX order) that belong to one element only."""
    count = defaultdict(int)
    keep = {}
    for e in elements:
        for f in TET10_FACES:
            face = tuple(e[i] for i in f)
            key = tuple(sorted(face[:3]))
            count[key] += 1
            keep[key] = face
    return [keep[k] for k, c in count.items() if c == 1]


def add_face_forces(forces, face, coords, traction):
    """Consistent nodal forces of a uniform traction on a six-node triangle: the corners get
    nothing, each midside node a third of the face's force."""
    a, b, c = (coords[n] for n in face[:3])
    u = [b[k] - a[k] for k in range(3)]
    v = [c[k] - a[k] for k in range(3)]
    cross = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
    area = 0.5 * sum(x * x for x in cross) ** 0.5
    for n in face[3:]:
        for k in range(3):
            forces[n][k] += traction[k] * area / 3.0


if __name__ == "__main__":
    main()
