"""What a reader hands over: the mesh and the stress fields by load-case name.

Stresses are (nodes, 6) float64 arrays in korvanel's component order: sx, sy, sz, txy, tyz,
txz. Node IDs are int64. Cells are (meshio cell type, connectivity as node IDs).
"""
from dataclasses import dataclass, field

import numpy as np

COMPONENTS = ("xx", "yy", "zz", "xy", "yz", "xz")


class ImportStop(Exception):
    """A reason not to write anything, in words for the user."""


@dataclass
class StressField:
    node_ids: np.ndarray
    values: np.ndarray


@dataclass
class SolverResults:
    source: str
    mesh_ids: np.ndarray = None          # node IDs of the mesh's points
    mesh_points: np.ndarray = None       # (points, 3)
    cells: list = field(default_factory=list)
    cell_materials: list = field(default_factory=list)   # per cell block, or empty
    cell_numbers: list = field(default_factory=list)     # element numbers per block, or empty
    cell_data: dict = field(default_factory=dict)        # name -> one array per cell block
    point_data: dict = field(default_factory=dict)       # name -> one value per mesh point
    available: list = field(default_factory=list)        # names of the fields in the file
    fields: dict = field(default_factory=dict)           # load-case name -> StressField
    node_sets: dict = field(default_factory=dict)        # name -> node IDs
    element_sets: dict = field(default_factory=dict)     # name -> [(block, cell indexes)]


def component_index(name):
    """The korvanel position of a component named like SXX, sxx, xx, S12, zx; None when
    the name is none of them."""
    n = name.strip().lower()
    if len(n) == 3 and n[0] == "s":
        n = n[1:]
    digits = {"11": "xx", "22": "yy", "33": "zz", "12": "xy", "23": "yz", "13": "xz",
              "21": "xy", "32": "yz", "31": "xz"}
    n = digits.get(n, n)
    n = {"yx": "xy", "zy": "yz", "zx": "xz"}.get(n, n)
    return COMPONENTS.index(n) if n in COMPONENTS else None
