"""Parses the job's result files into numpy arrays (whole-file, vectorised: a .ndd of 100,000
nodes takes a fraction of a second).

Items are split on blanks, as the result pages advise, since long items shift the print
zones. Formatted reals may carry the locale's decimal comma; it is read as a point.
"""
import numpy as np

NOT_EXISTING = b"looks not existing"


class UnreadableFile(Exception):
    """A result file does not have the expected layout: the message names the line."""


def _lines(data):
    return data.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")


def _table(path, lines, first_line, columns, kinds):
    """The items of lines[first_line:] as arrays, one per column (kinds: "f" a real, "i" a
    64-bit integer), and the items as written (a matrix of bytes). Blank lines are skipped."""
    body = [line for line in lines[first_line:] if line.strip()]
    joined = b" ".join(body)
    tokens = joined.split()
    if len(tokens) != columns * len(body):
        _name_bad_line(path, lines, first_line, columns)
    text = np.array(tokens, dtype=bytes).reshape(len(body), columns) if body else \
        np.empty((0, columns), dtype="S1")
    decimal_comma = b"," in joined
    result = []
    for c, kind in enumerate(kinds):
        column = text[:, c]
        if decimal_comma:
            column = np.char.replace(column, b",", b".")
        try:
            result.append(column.astype(np.int64 if kind == "i" else np.float64))
        except (ValueError, OverflowError):
            _name_bad_line(path, lines, first_line, columns, c, kind)
    return result, text


def _name_bad_line(path, lines, first_line, columns, column=None, kind=None):
    for number, line in enumerate(lines[first_line:], start=first_line + 1):
        if not line.strip():
            continue
        items = line.replace(b",", b".").split()
        problem = None
        if len(items) != columns:
            problem = "%d items instead of %d" % (len(items), columns)
        elif column is not None:
            try:
                int(items[column]) if kind == "i" else float(items[column])
            except ValueError:
                problem = "item %d is not a number" % (column + 1)
        if problem:
            raise UnreadableFile("%s, line %d: %s" % (path, number, problem))
    raise UnreadableFile("%s: unexpected layout" % path)


def _read(path):
    with open(path, "rb") as f:
        return f.read()


def read_node_damage(path):
    """.ndd: ids, damage per life unit, life in life units, codes, and the lines' items as
    written (text)."""
    lines = _lines(_read(path))
    if not lines or not lines[0].lstrip().startswith(b"Node ID"):
        raise UnreadableFile("%s, line 1: the heading \" Node ID ...\" is missing" % path)
    (ids, damage, life, codes), text = _table(path, lines, 1, 4, "iffi")
    return dict(ids=ids, damage=damage, life=life, codes=codes, text=text)


def read_log_life(path):
    """.ans: node IDs (as reals) and log10 of the life in life units."""
    lines = _lines(_read(path))
    (ids, log_life), _ = _table(path, lines, 0, 2, "ff")
    return dict(ids=ids, log_life=log_life)


def read_cycles(path, stress_input_format):
    """.cyc: half-cycles (formats 1 and 2) or blocks (format 3).

    Returns a dict with node (None in format 1), mean, amplitude, damage (of the half-cycle,
    or of one cycle of the block), cycles (format 3, as listed) and flag; or
    dict(not_existing=line) when the complete-output node was not found.
    """
    lines = _lines(_read(path))
    if lines and NOT_EXISTING in lines[0]:
        return dict(not_existing=lines[0].decode("latin-1").strip())
    heading = lines[0].strip() if lines else b""
    if stress_input_format == 3 or heading == b"Fatigue cycles":
        (node, mean, amplitude, cycles, damage, flag), _ = _table(path, lines, 2, 6, "iffffi")
        return dict(node=node, mean=mean, amplitude=amplitude, cycles=cycles,
                    damage=damage, flag=flag, blocks=True)
    second = lines[1] if len(lines) > 1 else b""
    if b"Node ID" in second:
        (node, mean, amplitude, damage, flag), _ = _table(path, lines, 2, 5, "iffff")
    else:
        (mean, amplitude, damage, flag), _ = _table(path, lines, 2, 4, "ffff")
        node = None
    return dict(node=node, mean=mean, amplitude=amplitude, damage=damage,
                flag=flag.astype(np.int64), blocks=False)


def read_path(path):
    """.sep: the corrected stress states, one row of six components per point."""
    data = _read(path)
    lines = _lines(data.replace(b",", b" "))
    columns, _ = _table(path, lines, 0, 6, "ffffff")
    return np.column_stack(columns) if len(columns[0]) else np.empty((0, 6))


def von_mises(states):
    s = states
    normal = s[:, 0] * s[:, 0] + s[:, 1] * s[:, 1] + s[:, 2] * s[:, 2] \
        - s[:, 0] * s[:, 1] - s[:, 1] * s[:, 2] - s[:, 0] * s[:, 2]
    shear = s[:, 3] * s[:, 3] + s[:, 4] * s[:, 4] + s[:, 5] * s[:, 5]
    return np.sqrt(np.maximum(3.0 * shear + normal, 0.0))


# Labels of the .sum lines whose values the report shows; the value follows the label after
# blanks (a print zone), so the line is cut at the label, not at fixed columns.
SUMMARY_LABELS = [
    "Yielding stress", "Young's modulus", "Static strength", "Total strain at failure (%)",
    "L1 =", "p =", "C =", "Endurance limit =", "Sainf =", "Sault =", "alfa =", "beta =",
    "Goodman exponent", "Goodman method", "Goodman SmMAX",
    "Number of nodes", "Number of load cases", "Number of time points", "Number of blocks",
    "Max damage is at node", "Total damage is equal to", "Number of Life Repeats",
    "Total Fatigue Life",
]
NODE_LINES = {"Damage at node": "is =", "Life Repeats at node": "are =",
              "Total Fatigue Life at node": "is ="}


def read_summary(path):
    """.sum: its lines (text) and the figures found in them, by label."""
    text = _read(path).decode("latin-1")
    lines = text.replace("\r\n", "\n").split("\n")
    while lines and not lines[-1].strip():
        lines.pop()
    figures = {}
    for line in lines:
        for label, word in NODE_LINES.items():
            if line.startswith(label) and word in line:
                node, value = line[len(label):].split(word, 1)
                figures[label] = (node.strip(), value.strip())
                break
        else:
            for label in SUMMARY_LABELS:
                if line.startswith(label) and (line[len(label):len(label) + 1] in ("", " ")):
                    figures.setdefault(label, line[len(label):].strip())
                    break
    return dict(lines=lines, figures=figures)
