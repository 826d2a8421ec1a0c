"""CalculiX results (.frd, ASCII as the solver writes it by default).

Reads the node block (2C), the element block (3C) and every STRESS block, one per result set;
each set carries its step number as the third number of its 1PSTEP line. Data lines have fixed
columns (a node number of 5 or 10 digits after " -1", then 12-column values that may touch
each other), so a block's lines are cut by columns, many at a time with numpy.
"""
import numpy as np

from .results import ImportStop, SolverResults, StressField, component_index

# .frd element type -> (meshio type, number of nodes); node order as CalculiX's.
FRD_ELEMENTS = {1: ("hexahedron", 8), 2: ("wedge", 6), 3: ("tetra", 4),
                4: ("hexahedron20", 20), 5: ("wedge15", 15), 6: ("tetra10", 10),
                7: ("triangle", 3), 8: ("triangle6", 6), 9: ("quad", 4), 10: ("quad8", 8),
                11: ("line", 2), 12: ("line3", 3)}
# The .frd lists the midside nodes of the vertical edges of a 20-node brick (15-node wedge)
# before those of the top face; VTK the other way.
TO_VTK_ORDER = {4: list(range(12)) + list(range(16, 20)) + list(range(12, 16)),
                5: list(range(9)) + list(range(12, 15)) + list(range(9, 12))}
LINES_AT_ONCE = 200_000


def _id_width(format_code, path, line_no):
    if format_code == 0:
        return 5
    if format_code == 1:
        return 10
    raise ImportStop("%s line %d: a binary .frd is not read; let CalculiX write the ASCII "
                     "form (its default)" % (path, line_no))


class _Lines:
    """The file's lines as bytes, with their numbers, for the messages."""

    def __init__(self, path):
        self.path = path
        self.f = open(path, "rb")
        self.number = 0

    def next(self):
        line = self.f.readline()
        if not line:
            raise ImportStop("%s: the file ends inside a block (after line %d)"
                             % (self.path, self.number))
        self.number += 1
        return line

    def many(self, count):
        lines = []
        for _ in range(count):
            lines.append(self.next())
        return lines


def _cut_values(lines, width, ncomp, path, first_no):
    """Node numbers and values of data lines " -1" with up to six values each (one line per
    node), as arrays. Lines of one length are cut as a block of bytes; others one by one."""
    n = len(lines)
    ids = np.empty(n, np.int64)
    values = np.empty((n, ncomp), np.float64)
    start = 3 + width
    lengths = {len(x) for x in lines}
    if len(lengths) == 1:
        length = lengths.pop()
        raw = np.frombuffer(b"".join(lines), dtype="S1").reshape(n, length)
        tags = raw[:, :3].view("S3").ravel()
        if not np.all(tags == b" -1"):
            bad = int(np.nonzero(tags != b" -1")[0][0])
            raise ImportStop("%s line %d: a node's line was expected (\" -1\"), found %r"
                             % (path, first_no + bad, lines[bad][:20].decode("latin-1")))
        end = start + 12 * ncomp
        if end > length - 1:
            raise ImportStop("%s line %d: %d values were expected on the line"
                             % (path, first_no, ncomp))
        try:
            ids[:] = raw[:, 3:start].copy().view("S%d" % width).ravel().astype(np.int64)
            cols = raw[:, start:end].copy().view("S12").reshape(n, ncomp)
            values[:] = cols.astype(np.float64)
            return ids, values
        except ValueError:
            pass  # a field that is not a number: found and named line by line below
    for i, line in enumerate(lines):
        text = line.decode("latin-1").rstrip("\r\n")
        try:
            if not text.startswith(" -1"):
                raise ValueError
            ids[i] = int(text[3:start])
            for k in range(ncomp):
                values[i, k] = float(text[start + 12 * k:start + 12 * (k + 1)])
        except ValueError:
            raise ImportStop("%s line %d: cannot read a node and %d values from %r"
                             % (path, first_no + i, ncomp, text[:100])) from None
    return ids, values


def _read_nodes(lines, count, width):
    first = lines.number + 1
    ids = np.empty(count, np.int64)
    points = np.empty((count, 3))
    done = 0
    while done < count:
        k = min(LINES_AT_ONCE, count - done)
        ids[done:done + k], points[done:done + k] = _cut_values(
            lines.many(k), width, 3, lines.path, first + done)
        done += k
    _end_of_block(lines)
    return ids, points


def _end_of_block(lines):
    line = lines.next()
    if not line.startswith(b" -3"):
        raise ImportStop("%s line %d: the end of the block (\" -3\") was expected"
                         % (lines.path, lines.number))


def _read_elements(lines, count, width):
    """Cells grouped by type, connectivity as node IDs, and each element's material number."""
    by_type = {}
    for _ in range(count):
        head = lines.next().decode("latin-1")
        try:
            if not head.startswith(" -1"):
                raise ValueError
            etype, material = int(head[3 + width:8 + width]), int(head[13 + width:18 + width])
        except ValueError:
            raise ImportStop("%s line %d: an element's line was expected, found %r"
                             % (lines.path, lines.number, head[:60])) from None
        if etype not in FRD_ELEMENTS:
            raise ImportStop("%s line %d: element type %d is not known"
                             % (lines.path, lines.number, etype))
        name, nodes = FRD_ELEMENTS[etype]
        conn = []
        while len(conn) < nodes:
            text = lines.next().decode("latin-1").rstrip("\r\n")
            if not text.startswith(" -2"):
                raise ImportStop("%s line %d: the nodes of an element were expected"
                                 % (lines.path, lines.number))
            conn += [int(text[i:i + width]) for i in range(3, len(text) - width + 1, width)]
        block = by_type.setdefault(name, ([], [], []))
        block[2].append(int(head[3:3 + width]))
        conn = conn[:nodes]
        block[0].append([conn[i] for i in TO_VTK_ORDER[etype]] if etype in TO_VTK_ORDER
                        else conn)
        block[1].append(material)
    _end_of_block(lines)
    cells = [(name, np.array(c, np.int64)) for name, (c, _, _) in by_type.items()]
    materials = [np.array(m, np.int64) for _, m, _ in by_type.values()]
    numbers = [np.array(e, np.int64) for _, _, e in by_type.values()]
    return cells, materials, numbers


def _skip_data(lines, head):
    while True:
        line = lines.next()
        if line.startswith(b" -3"):
            return


def read_frd(path):
    """The mesh and every STRESS result of the file; fields are named by step number ("1",
    "2", ...). A step of several increments gives the last one."""
    out = SolverResults(source=path)
    lines = _Lines(path)
    step = None
    try:
        while True:
            line = lines.f.readline()
            if not line:
                break
            lines.number += 1
            text = line.decode("latin-1")
            words = text.split()
            key = words[0] if words else ""
            if key == "9999":
                break
            if key == "2C":
                fields = text.split()
                ids, points = _read_nodes(lines, int(fields[1]),
                                          _id_width(int(fields[2]), path, lines.number))
                out.mesh_ids, out.mesh_points = ids, points
            elif key == "3C":
                fields = text.split()
                out.cells, out.cell_materials, out.cell_numbers = _read_elements(
                    lines, int(fields[1]), _id_width(int(fields[2]), path, lines.number))
            elif key == "1PSTEP":
                fields = text.split()
                step = fields[3] if len(fields) >= 4 else None
            elif key.startswith("100C"):
                _read_result_block(lines, text, step, out)
    except (ValueError, IndexError):
        raise ImportStop("%s line %d: cannot read the line" % (path, lines.number)) from None
    finally:
        lines.f.close()
    if out.mesh_ids is None:
        raise ImportStop("%s: no node block (2C); is this a CalculiX .frd file?" % path)
    return out


def _read_result_block(lines, head, step, out):
    fields = head[12:].split()
    count, width = int(fields[1]), _id_width(int(fields[-1]), lines.path, lines.number)
    name_line = lines.next().decode("latin-1")
    name = name_line[3:13].strip() if name_line.startswith(" -4") else ""
    components = []
    while True:
        line = lines.next().decode("latin-1")
        if not line.startswith(" -5"):
            break
        parts = line.split()
        if parts[1] != "ALL":
            components.append(parts[1])
    first_data = lines.number
    if name != "STRESS":
        data = [line.encode("latin-1")]
        if not line.startswith(" -3"):
            _skip_data(lines, data)
        return
    if step is None:
        raise ImportStop("%s line %d: a STRESS block without a 1PSTEP line before it"
                         % (lines.path, first_data))
    order = [component_index(c) for c in components]
    if len(components) != 6 or sorted(order, key=lambda v: -1 if v is None else v) != list(range(6)):
        raise ImportStop("%s line %d: the STRESS components %s are not the six of a "
                         "symmetric tensor" % (lines.path, first_data, " ".join(components)))
    data_lines = [line.encode("latin-1")] + lines.many(min(count, LINES_AT_ONCE) - 1) \
        if count else []
    ids = np.empty(count, np.int64)
    values = np.empty((count, 6))
    done = 0
    while done < count:
        k = len(data_lines)
        ids[done:done + k], block = _cut_values(data_lines, width, 6, lines.path,
                                                first_data + done)
        values[done:done + k, order] = block
        done += k
        if done < count:
            data_lines = lines.many(min(count - done, LINES_AT_ONCE))
    _end_of_block(lines) if count else None
    out.fields[step] = StressField(ids, values)
