"""Node and element sets (*NSET, *ELSET) of a CalculiX or Abaqus input deck, following its
*INCLUDE lines, for --node-set and --material."""
import os

from .results import ImportStop


def read_sets(path):
    """{name: set of numbers} for node sets and for element sets (names in upper case)."""
    nsets, elsets = {}, {}
    _read(path, nsets, elsets, set())
    return nsets, elsets


def _options(line):
    parts = [p.strip() for p in line.split(",")]
    opts = {}
    for p in parts[1:]:
        k, _, v = p.partition("=")
        opts[k.strip().upper()] = v.strip()
    return parts[0].upper(), opts


def _read(path, nsets, elsets, seen):
    if os.path.realpath(path) in seen:
        return
    seen.add(os.path.realpath(path))
    try:
        lines = open(path, encoding="latin-1").read().splitlines()
    except OSError as e:
        raise ImportStop("%s: %s" % (path, e.strerror)) from None
    target, generate = None, False
    for number, line in enumerate(lines, 1):
        s = line.strip()
        if not s or s.startswith("**"):
            continue
        if s.startswith("*"):
            keyword, opts = _options(s)
            target = None
            if keyword == "*INCLUDE" and "INPUT" in opts:
                _read(os.path.join(os.path.dirname(path), opts["INPUT"]), nsets, elsets, seen)
            elif keyword in ("*NSET", "*ELSET", "*NODE", "*ELEMENT"):
                kind = "NSET" if keyword in ("*NSET", "*NODE") else "ELSET"
                name = opts.get(kind)
                if name:
                    family = nsets if kind == "NSET" else elsets
                    target = family.setdefault(name.upper(), set())
                    generate = "GENERATE" in opts
                    member = keyword in ("*NODE", "*ELEMENT")
            continue
        if target is None:
            continue
        items = [v.strip() for v in s.split(",") if v.strip()]
        try:
            if member:
                target.add(int(items[0]))
            elif generate:
                a, b, step = (int(v) for v in (items + ["1"])[:3])
                target.update(range(a, b + 1, step))
            else:
                for v in items:
                    if v.lstrip("-").isdigit():
                        target.add(int(v))
                    else:
                        target.update(family.get(v.upper(), set()))
        except (ValueError, IndexError):
            raise ImportStop("%s line %d: cannot read the set line %r" % (path, number, s)) \
                from None
