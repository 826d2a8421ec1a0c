"""Reads values from a job's text files with the program's reading rules.

A whole-line read skips one line; a value read skips blanks and tabs, takes the text up to a
comma, blank, tab or line end (or between double quotes), then skips blanks and tabs and
consumes one comma or one line end. Numbers take their leading numeric characters: "&H", "&O"
and "&B" make radix integers, any of ". e E d D" makes a real, otherwise a decimal integer; an
integer field rounds a real to nearest, ties to even. So a parameter file reads here exactly as
the program read it, shifted layouts included.
"""
import re

_REAL = re.compile(rb"[+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eEdD][+-]?[0-9]+)?")
_INTEGER = re.compile(rb"[+-]?[0-9]+")
_RADIX = {ord("h"): (16, re.compile(rb"[0-9A-Fa-f]*")),
          ord("o"): (8, re.compile(rb"[0-7]*")),
          ord("b"): (2, re.compile(rb"[01]*"))}
_BLANKS = b" \t"
_BYTE_ORDER_MARK = b"\xef\xbb\xbf"
_INT64_MAX = 2 ** 63 - 1


class NumberOutOfRange(ValueError):
    """A value does not fit a 64-bit integer or a double: the program stopped on it."""


class ValueReader:
    def __init__(self, data):
        if data.startswith(_BYTE_ORDER_MARK):
            data = data[len(_BYTE_ORDER_MARK):]
        self.data = data
        self.pos = 0

    def skip_lines(self, count=1):
        d, n = self.data, len(self.data)
        for _ in range(count):
            i = self.pos
            while i < n and d[i] not in b"\r\n":
                i += 1
            if i < n:
                i += 2 if d[i:i + 2] == b"\r\n" else 1
            self.pos = i

    def _skip_blanks(self):
        d, i = self.data, self.pos
        while i < len(d) and d[i] in _BLANKS:
            i += 1
        self.pos = i

    def _finish_value(self):
        self._skip_blanks()
        d, i = self.data, self.pos
        if d[i:i + 2] == b"\r\n":
            i += 2
        elif d[i:i + 1] in (b",", b"\r", b"\n"):
            i += 1
        self.pos = i

    def _take(self, stops):
        self._skip_blanks()
        d, i = self.data, self.pos
        if d[i:i + 1] == b'"':
            end = d.find(b'"', i + 1)
            end = len(d) if end < 0 else end
            text = d[i + 1:end]
            self.pos = min(end + 1, len(d))
        else:
            j = i
            while j < len(d) and d[j] not in stops:
                j += 1
            text = d[i:j]
            self.pos = j
        self._finish_value()
        return text

    def text(self):
        """A value read: the text of the next value."""
        return self._take(b", \t\r\n")

    def string(self):
        """A string value read: blanks and tabs inside the value belong to it."""
        return self._take(b",\r\n")[:4096]

    def real(self):
        return to_real(self.text())

    def integer(self):
        return to_integer(self.text())


def _convert(text):
    """('i', int) or ('r', float) for the text of one value."""
    if len(text) >= 2 and text[0] == ord("&") and (text[1] | 0x20) in _RADIX:
        base, digits = _RADIX[text[1] | 0x20]
        found = digits.match(text, 2).group(0)
        value = int(found, base) if found else 0
        if value > _INT64_MAX:
            raise NumberOutOfRange(text)
        return "i", value
    if any(c in text for c in b".eEdD"):
        m = _REAL.match(text)
        if not m:
            return "r", 0.0
        value = float(m.group(0).replace(b"d", b"e").replace(b"D", b"e"))
        if value in (float("inf"), float("-inf")):
            raise NumberOutOfRange(text)
        return "r", value
    m = _INTEGER.match(text)
    return "i", int(m.group(0)) if m else 0


def to_real(text):
    kind, value = _convert(text)
    try:
        value = float(value)
    except OverflowError:  # an integer of more digits than a double holds
        raise NumberOutOfRange(text) from None
    if value in (float("inf"), float("-inf")):
        raise NumberOutOfRange(text)
    return value


def to_integer(text):
    kind, value = _convert(text)
    if kind == "r":
        value = round(value)  # ties to even
    if not -_INT64_MAX - 1 <= value <= _INT64_MAX:
        raise NumberOutOfRange(text)
    return value
