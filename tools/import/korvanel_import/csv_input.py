"""A headed CSV: the node ID first, then six named components per load case.

The heading names the node column (any name) and each stress column CASE.COMPONENT, the
component one of xx yy zz xy yz xz (also sxx, s11, SXY, zx, ...), the case any name; the
separator before the component may also be ':' or '_'. Values separated by commas (or
semicolons, or tabs).
"""
import re
import warnings

import numpy as np

from .results import COMPONENTS, ImportStop, SolverResults, StressField, component_index


def _split_heading(line):
    for sep in (",", ";", "\t"):
        if sep in line:
            return sep, [c.strip().strip('"') for c in line.split(sep)]
    return ",", [line.strip()]


def read_csv(path):
    try:
        with open(path, encoding="utf-8-sig") as f:
            heading = f.readline()
            sep, names = _split_heading(heading.rstrip("\r\n"))
            columns = {}
            for i, name in enumerate(names[1:], 1):
                m = re.match(r"^(.*)[.:_]([^.:_]+)$", name)
                k = component_index(m.group(2)) if m else None
                if k is None:
                    raise ImportStop("%s: column %d (%r) is not CASE.COMPONENT with a component "
                                     "of %s" % (path, i + 1, name, " ".join(COMPONENTS)))
                case = columns.setdefault(m.group(1), [None] * 6)
                if case[k] is not None:
                    raise ImportStop("%s: load case %s has component %s twice"
                                     % (path, m.group(1), COMPONENTS[k]))
                case[k] = i
            try:
                with warnings.catch_warnings():     # a file of no rows is told below
                    warnings.simplefilter("ignore", UserWarning)
                    table = np.loadtxt(f, delimiter=sep, dtype=np.float64, ndmin=2,
                                       comments=None)
            except ValueError as e:
                raise ImportStop("%s: %s" % (path, e)) from None
    except OSError as e:
        raise ImportStop("%s: %s" % (path, e.strerror)) from None
    if table.size and table.shape[1] != len(names):
        raise ImportStop("%s: %d columns in the heading, %d in the rows"
                         % (path, len(names), table.shape[1]))
    table = table.reshape(-1, len(names))
    ids = table[:, 0]
    if not np.all(np.isfinite(ids)) or np.any(ids != np.round(ids)):
        raise ImportStop("%s: the node IDs of the first column are not all integers" % path)
    out = SolverResults(source=path)
    out.mesh_ids = ids.astype(np.int64)
    for case, cols in columns.items():
        missing = [COMPONENTS[k] for k in range(6) if cols[k] is None]
        if missing:
            raise ImportStop("%s: load case %s lacks the component%s %s" % (
                path, case, "s" if len(missing) > 1 else "", " ".join(missing)))
        out.fields[case] = StressField(out.mesh_ids, np.ascontiguousarray(table[:, cols]))
    return out
