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
LINES_AT_ONCE = 100_000


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

    def records(self, count, first):
        """The next `count` records of the lengths of `first` (a list of lines already read,
        the first record) as a (count, record length) byte array; None, with nothing more
        read, when the file does not hold records of that layout."""
        size = sum(len(x) for x in first)
        ends = np.cumsum([len(x) for x in first]) - 1
        start = self.f.tell()
        rest = self.f.read((count - 1) * size)
        if len(rest) == (count - 1) * size:
            raw = np.frombuffer(b"".join(first) + rest, np.uint8).reshape(count, size)
            if np.all(raw[:, ends] == 10) and np.count_nonzero(raw == 10) == count * len(ends):
                self.number += (count - 1) * len(first)
                return raw
        self.f.seek(start)
        return None

    def data_lines(self, count):
        """The next `count` lines: a byte array (count, length) when they have one length,
        else a list."""
        first = [self.next()]
        raw = self.records(count, first) if count > 1 else \
            np.frombuffer(first[0], np.uint8).reshape(1, -1)
        return raw if raw is not None else first + self.many(count - 1)


def _cut_values(lines, width, ncomp, path, first_no):
    """Node numbers and values of data lines " -1" with up to six values each (one line per
    node), as arrays. Lines of one length are cut as a block of bytes; others one by one."""
    n = len(lines)
    ids = np.empty(n, np.int64)
    values = np.empty((n, ncomp), np.float64)
    start = 3 + width
    if isinstance(lines, np.ndarray):
        raw = lines.view("S1")
        length = raw.shape[1]
        lines = None
    elif len({len(x) for x in lines}) == 1:
        length = len(lines[0])
        raw = np.frombuffer(b"".join(lines), dtype="S1").reshape(n, length)
    else:
        raw = None
    if raw is not None:
        tags = raw[:, :3].view("S3").ravel()
        if not np.all(tags == b" -1"):
            bad = int(np.nonzero(tags != b" -1")[0][0])
            raise ImportStop("%s line %d: a node's line was expected (\" -1\"), found %r"
                             % (path, first_no + bad,
                                raw[bad, :20].tobytes().decode("latin-1")))
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
        if lines is None:
            lines = [row.tobytes() for row in raw.view(np.uint8)]
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
            lines.data_lines(k), width, 3, lines.path, first + done)
        done += k
    _end_of_block(lines)
    return ids, points


def _end_of_block(lines):
    line = lines.next()
    if not line.startswith(b" -3"):
        raise ImportStop("%s line %d: the end of the block (\" -3\") was expected"
                         % (lines.path, lines.number))


def _element_lines(lines, width):
    """The lines of the next element: its head (number, type, material) and its nodes."""
    head = lines.next()
    text = head.decode("latin-1")
    try:
        if not text.startswith(" -1"):
            raise ValueError
        number, etype = int(text[3:3 + width]), int(text[3 + width:8 + width])
        material = int(text[13 + width:18 + width])
    except ValueError:
        raise ImportStop("%s line %d: an element's line was expected, found %r"
                         % (lines.path, lines.number, text[:60])) from None
    if etype not in FRD_ELEMENTS:
        raise ImportStop("%s line %d: element type %d is not known"
                         % (lines.path, lines.number, etype))
    nodes = FRD_ELEMENTS[etype][1]
    got, node_lines = 0, []
    while got < nodes:
        line = lines.next()
        if not line.startswith(b" -2"):
            raise ImportStop("%s line %d: the nodes of an element were expected"
                             % (lines.path, lines.number))
        node_lines.append(line)
        got += (len(line.rstrip(b"\r\n")) - 3) // width
    return [head] + node_lines, number, etype, material


def _connectivity(node_lines, width, nodes):
    conn = []
    for line in node_lines:
        text = line.decode("latin-1").rstrip("\r\n")
        conn += [int(text[i:i + width]) for i in range(3, len(text) - width + 1, width)]
    return conn[:nodes]


def _elements_at_once(raw, record, width, etype):
    """Numbers, materials and connectivity of elements in records of one layout, or None when
    a record is not an element of that type."""
    text = raw.view("S1")
    heads = raw[:, :3].copy().view("S3").ravel()
    types = raw[:, 3 + width:8 + width].copy().view("S5").ravel()
    if not (np.all(heads == b" -1") and np.all(types == types[0])):
        return None
    columns, offset = [], len(record[0])
    for line in record[1:]:
        if not np.all(raw[:, offset:offset + 3].copy().view("S3").ravel() == b" -2"):
            return None
        body = len(line.rstrip(b"\r\n"))
        for i in range(3, body - width + 1, width):
            columns.append(text[:, offset + i:offset + i + width].copy().view("S%d" % width))
        offset += len(line)
    try:
        numbers = text[:, 3:3 + width].copy().view("S%d" % width).ravel().astype(np.int64)
        materials = text[:, 13 + width:18 + width].copy().view("S5").ravel().astype(np.int64)
        conn = np.hstack(columns).astype(np.int64)[:, :FRD_ELEMENTS[etype][1]]
    except ValueError:
        return None
    return numbers, materials, conn


def _read_elements(lines, count, width):
    """Cells grouped by type, connectivity as node IDs, each element's material number and
    element number. A block of one element type and layout is cut at once."""
    by_type = {}
    done = 0
    while done < count:
        record, number, etype, material = _element_lines(lines, width)
        name, nodes = FRD_ELEMENTS[etype]
        block = by_type.setdefault(name, ([], [], []))
        rest = min(count - done, LINES_AT_ONCE // len(record))
        raw = lines.records(rest, record) if rest > 1 else None
        cut = _elements_at_once(raw, record, width, etype) if raw is not None else None
        if cut is None:
            if raw is not None:       # not one layout after all: read them one by one
                lines.f.seek(-(raw.nbytes - sum(len(x) for x in record)), 1)
                lines.number -= (rest - 1) * len(record)
            numbers, materials = np.array([number]), np.array([material])
            conn = np.array([_connectivity(record[1:], width, nodes)], np.int64)
            rest = 1
        else:
            numbers, materials, conn = cut
        if etype in TO_VTK_ORDER:
            conn = conn[:, TO_VTK_ORDER[etype]]
        block[0].append(conn)
        block[1].append(materials)
        block[2].append(numbers)
        done += rest
    _end_of_block(lines)
    cells = [(name, np.concatenate(c)) for name, (c, _, _) in by_type.items()]
    materials = [np.concatenate(m) for _, m, _ in by_type.values()]
    numbers = [np.concatenate(e) for _, _, e in by_type.values()]
    return cells, materials, numbers


def _skip_data(lines):
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


def _after(lines, first, count):
    """`count` data lines starting with the line `first` already read."""
    raw = lines.records(count, first) if count > 1 else \
        np.frombuffer(first[0], np.uint8).reshape(1, -1)
    return raw if raw is not None else first + lines.many(count - 1)


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
        if not line.startswith(" -3"):
            _skip_data(lines)
        return
    if step is None:
        raise ImportStop("%s line %d: a STRESS block without a 1PSTEP line before it"
                         % (lines.path, first_data))
    order = [component_index(c) for c in components]
    if len(components) != 6 or sorted(o if o is not None else -1 for o in order) != list(range(6)):
        raise ImportStop("%s line %d: the STRESS components %s are not the six of a "
                         "symmetric tensor" % (lines.path, first_data, " ".join(components)))
    k = min(count, LINES_AT_ONCE)
    data_lines = [] if not count else _after(lines, [line.encode("latin-1")], k)
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
            data_lines = lines.data_lines(min(count - done, LINES_AT_ONCE))
    _end_of_block(lines) if count else None
    out.fields[step] = StressField(ids, values)
