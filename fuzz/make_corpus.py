#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<target>/ from the end-to-end job cases.

Every input file of tests/jobs/*/input/ under 4 KiB becomes a seed of the reader
that reads it (with the count header line the node stress, combination and block
spectrum targets expect), and every small job becomes a seed of the whole-run
target. Seeds are named by a hash of their bytes, so reruns are stable.

Usage: make_corpus.py
"""
import hashlib
import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
JOBS = os.path.join(HERE, "..", "tests", "jobs")
CORPUS = os.path.join(HERE, "corpus")
LIMIT = 4096
EXTENSIONS = [".inp", ".sig", ".nds", ".cmb", ".blc", ".mtr", ".btf"]
READER = {".inp": "analysis_parameters_file", ".sig": "stress_history_file",
          ".btf": "block_group_file", ".mtr": "material_file", ".nds": "node_stress_file",
          ".cmb": "combination_file", ".blc": "blocks_file"}


def save(target, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()[:16]
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def counts(parameters):
    """Node count and load-case count: the value line after the counts comment."""
    text = parameters.decode("latin-1").replace("\r\n", "\n").split("\n")
    for i, line in enumerate(text):
        if line.startswith("Number of nodes") and i + 1 < len(text):
            numbers = re.findall(r"-?\d+", text[i + 1])
            if len(numbers) >= 2:
                return numbers[0], numbers[1]
    return "0", "0"


def main():
    for case in sorted(os.listdir(JOBS)):
        job = os.path.join(JOBS, case, "input", "job")
        if not os.path.isdir(job):
            continue
        files = {}
        for ext in EXTENSIONS:
            path = os.path.join(job, "j" + ext)
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    files[ext] = f.read()
        nodes, cases = counts(files.get(".inp", b""))
        for ext, data in files.items():
            if len(data) > LIMIT:
                continue
            if ext == ".nds":
                data = ("%s %s\n" % (nodes, cases)).encode() + data
            elif ext in (".cmb", ".blc"):
                data = ("%s\n" % cases).encode() + data
            save(READER[ext], data)
            if ext in (".inp", ".sig"):
                for program in (0x00, 0xE4):
                    save("text_input", bytes([program]) + data)
        if sum(len(d) for d in files.values()) <= LIMIT:
            control = b"job\r\nj\r\n"
            parts = [files.get(ext) for ext in EXTENSIONS]
            while parts and parts[-1] is None:
                parts.pop()
            save("whole_run", b"#%#%".join([control] + [p or b"" for p in parts]))
    # Values the conversion rules single out.
    for text in [b"&HFFFFFFFFFFFFFFFFFF", b"&H7FFFFFFFFFFFFFFF", b"&o777, &B101", b"1e400, -1e400",
                 b"1e-400", b"inf, nan, -inf", b"2.5, 3.5, -2.5", b"1.5d3, 1.5D-3, 5.e3",
                 b"\"quoted, value\" 7", b"\"unclosed 12", b"9223372036854775807, -9223372036854775808",
                 b"9223372036854775808", b"1" * 400 + b".5", b"0x1p3", b"+.5e+2, -.e1"]:
        for program in (0x00, 0x55, 0xAA, 0xFF):
            save("text_input", bytes([program]) + text)


if __name__ == "__main__":
    main()
