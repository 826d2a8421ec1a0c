#!/usr/bin/env python3
"""Every message that docs/first-job.md and docs/errors.md quote, run in the situation the page
describes: the run must end with that message on the console (and, where the page quotes it,
the line on standard error).

Each row is a small job (most of them the lug of the first-job guide with one change), the
message as the page quotes it (<path>, <ID>, <N> stand for any text; "..." for the rest of the
line), and the lines of standard error the page quotes for it. The pages are read too: a
message quoted on a page that no row runs, and that is not among the few no small job can
reach (listed with their reason), fails the test.

Usage: documented_messages.py <korvanel-binary>
"""
import fcntl
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
DOCS = os.path.join(HERE, "..", "docs")
sys.path.insert(0, HERE)
from make_cases import CASES, COMBINATION, NODES, first_job_file  # noqa: E402

LUG = {rel: text for rel, text in CASES["f2-first-job"][1].items()}
LUG_VALUES = {12: "11", 14: "4, 2", 19: "8"}
ZERO_STATE = "0, 0, 0, 0, 0, 0"


def filled_template(values):
    """template.inp with the value lines of the given records replaced."""
    rows = first_job_file("template.inp").split("\n")
    for record, value in values.items():
        at = next(i for i, row in enumerate(rows) if re.match(r"Record %d[,:]" % record, row))
        rows[at + (2 if record in (6, 7, 8) else 1)] = value
    return "\n".join(rows)


def lug(records=None, name="lug", **files):
    """The lug job with the given records of the parameter file and files replaced."""
    out = {"korvanel.inp": "job\n%s\n" % name}
    for rel, text in LUG.items():
        out[rel.replace("lug.", name + ".")] = text
    out["job/%s.inp" % name] = filled_template({**LUG_VALUES, **(records or {})})
    for ext, text in files.items():
        path = "job/%s.%s" % (name, ext)
        if text is None:
            out.pop(path, None)
        else:
            out[path] = text
    return out


def lug_inp_lines(change):
    """The lug's parameter file with its lines (from 1) changed by `change(lines)`."""
    files = lug()
    rows = files["job/lug.inp"].split("\n")
    change(rows)
    files["job/lug.inp"] = "\n".join(rows)
    return files


def note_after(line):
    return lug_inp_lines(lambda rows: rows.__setitem__(line - 1, rows[line - 1] + "   note"))


def line_added_after(line):
    return lug_inp_lines(lambda rows: rows.insert(line, ""))


THREE_NODES_UNLOADED = lug({14: "3, 2"}, name="j",
                           nds=NODES.replace("20, 2, 90, -20, 10, 0, 15, 0", "20, 2, 0, 0, 0, 0, 0, 0")
                           .replace("20, 2, 30, 70, 0, -20, 0, 5", "20, 2, 0, 0, 0, 0, 0, 0"),
                           cmb=COMBINATION)
MTR_TYPE_3 = "Material records\r\n(one per line)\r\n1, 355, 210000, 510, 20, 3, 12.6, -3.5, 0, 40, 1, 1, 600, 0, 0, 0, 0\r\n"
SIG_ONE_POINT = ZERO_STATE + "\r\n"
SIG_OUT_OF_RANGE = "0, 0, 0, 0, 0, 0\r\n100, 0, 0, 0, 0, 0\r\n50, 0, 0, 0, 0, 0\r\n1e400, 0, 0, 0, 0, 0\r\n"
BLOCKS_OF_TWO = "1, 0, 0, 1, 1000\r\n0.5, 0, 0, 0.5, 500\r\n"


# (page, message as the page quotes it, situation, files, options,
#  lines of standard error the page quotes)
ROWS = [
    # docs/first-job.md
    ("first-job.md", "Cannot open the input file korvanel.inp",
     "started in another directory than the one with korvanel.inp",
     dict(lug(), **{"korvanel.inp": None}), [],
     ["korvanel: the working directory <path> has no readable korvanel.inp: the program reads "
      "korvanel.inp from the directory it is started in; start it in the directory that holds "
      "korvanel.inp"]),
    ("first-job.md", "Cannot open the input file job/lug.nds",
     "korvanel.inp names another job name than the files'",
     dict(lug(), **{"job/lug.nds": None, "job/Lug.nds": LUG["job/lug.nds"]}), [], []),
    ("first-job.md",
     "Please check number of nodes and loadcases and size of .nds file, they look not coherent",
     "record 14 not filled in", lug({14: "0, 0"}), [], []),
    ("first-job.md",
     "Please check number of nodes and loadcases and size of .nds file, they look not coherent",
     "an extra empty line at the end of the .nds", lug(nds=LUG["job/lug.nds"] + "\n"), [], []),
    ("first-job.md", "Please put 0 or 1 for the cycles extraction",
     "a note after the value of record 2", note_after(4), [], []),
    ("first-job.md", "Please put 0 or 1 for the cycles extraction",
     "a trailing comma after the value of record 2",
     lug_inp_lines(lambda rows: rows.__setitem__(3, rows[3] + ",")), [], []),
    ("first-job.md", "Please put 0 or 1 for the cycles extraction",
     "a line added to the parameter file", line_added_after(1), [], []),
    ("first-job.md", "End of KORVANEL",
     "a note after the value of record 14: no stop, the warnings tell", note_after(31), [],
     ["korvanel: warning: job/lug.inp line 31: the text 'note' after the values of record 14 "
      "(numbers of nodes and load cases) is read as the comment line of record 15: the records after it are "
      "read one line earlier than the layout intends"]),
    ("first-job.md", "Runtime Error Code 018: please contact the KORVANEL support",
     "a node whose load-case stresses are all zero",
     lug(nds=LUG["job/lug.nds"].replace("13, 1, 18, 15, 0, 5, 0, 2", "13, 1, 0, 0, 0, 0, 0, 0")
         .replace("13, 1, 4, -12, 0, 10, 2, 0", "13, 1, 0, 0, 0, 0, 0, 0")), [], []),
    # docs/errors.md: files
    ("errors.md", "Cannot open the input file <path>", "korvanel.inp missing",
     dict(lug(), **{"korvanel.inp": None}), [],
     ["korvanel: the working directory <path> has no readable korvanel.inp: the program reads "
      "korvanel.inp from the directory it is started in; start it in the directory that holds korvanel.inp"]),
    ("errors.md", "Another run of this job is in progress", "the .inp locked by another run",
     lug(), ["lock:job/lug.inp"], []),
    ("errors.md", "Number out of range in the file <path>", "1e400 in the .sig",
     lug({10: "1"}, name="j", sig=SIG_OUT_OF_RANGE), [],
     ["korvanel: job/j.sig line 4, value 1: '1e400' is too large for its field"]),
    ("errors.md", "Cannot write the output file <path>", "a directory in place of the .sum",
     lug(**{"sum/keep": ""}), [], ["korvanel: job/lug.sum: Is a directory"]),
    # docs/errors.md: the parameter checks
    ("errors.md", "Please put 0, 1 or 2 for type of damage in the Blocks analysis", "record 18 = 3",
     lug({18: "3"}), [], []),
    ("errors.md", "Please put 0 or 1 for the cycles extraction", "record 17 = 2",
     lug({17: "2"}, name="j"), [],
     ["korvanel: job/j.inp line 37 (cycles extraction, record 17): '2' read as 2"]),
    ("errors.md", "The Load Variability Factor must be > 0", "record 15 = -1", lug({15: "-1"}), [], []),
    ("errors.md", "Please put 0 or 1 for the Ground-Air-Ground analysis", "record 16 = 2",
     lug({16: "2"}), [], []),
    ("errors.md", "Please put 0 or 1 for the stress-path based correction", "record 4 = 2",
     lug({4: "2"}), [], []),
    ("errors.md", "Please put 1 or 2 for the method of elastoplastic correction", "record 3 = 0",
     lug({3: "0"}), [], []),
    ("errors.md", "Please put 1 or 2 for the method of elastoplastic correction",
     "an empty parameter file", lug(inp=""), [], []),
    ("errors.md", "Please put 1 or 2 for analysis with one or multiple materials", "record 13 = 3",
     lug({13: "3"}), [], []),
    ("errors.md", "Please put 1 or 2 for analysis with one or multiple materials",
     "a parameter file that ends after record 10",
     lug_inp_lines(lambda rows: rows.__delitem__(slice(23, None))), [], []),
    ("errors.md", "Please put 1, 2 or 3 for the method of mean-stress correction",
     "Goodman method 4", lug({9: "1, 4, 600"}), [], []),
    ("errors.md", "Please put 0 or 1 concerning the elasto-plastic correction", "record 2 = 2",
     lug({2: "2"}), [], []),
    ("errors.md", "Please put 1, 2 or 3 concerning the choice of the stress-input format",
     "record 10 = 4", lug({10: "4"}), [], []),
    # docs/errors.md: input data
    ("errors.md", "At least two values are needed in the stress-history",
     "format 1, one time point in the .sig", lug({10: "1"}, sig=SIG_ONE_POINT), [], []),
    ("errors.md",
     "Please check number of nodes and loadcases and size of .nds file, they look not coherent",
     "record 14 gives 5 nodes for a .nds of 4", lug({14: "5, 2"}), [], []),
    ("errors.md", "Please check the nodes numbering in the .nds file, it looks not coherent",
     "another node ID in block 2",
     lug(nds=LUG["job/lug.nds"].replace("12, 1, 150,", "999, 1, 150,")), [], []),
    ("errors.md", "Error: at least two values are needed in the stress-history",
     "a .cmb of one value", lug(cmb="1\n"), [], []),
    ("errors.md", "Error: at least one load case is needed for the load-case combination",
     "record 14 with 0 load cases", lug({14: "4, 0"}, nds="".join(
         line + "\n" for line in LUG["job/lug.nds"].splitlines()[:4])), [], []),
    ("errors.md", "Error: at least one line with from-to coefficient is needed in the block spectrum",
     "format 3, a .blc of four values", lug({10: "3"}, blc="1, 0, 0, 1\n"), [], []),
    # docs/errors.md: analysis of a node
    ("errors.md", "Type of SN curve definition needs values 1, 2 or 3", "record 5 = 3 in format 2",
     lug({5: "3"}), [], []),
    ("errors.md", "ARRIVATO QUA CON LA CURVA MULTILINEARE !!!", "record 5 = 3 in format 3",
     lug({5: "3", 10: "3"}, blc=BLOCKS_OF_TWO), [], []),
    ("errors.md", "MODELLO MULTILINEARE TUTTO DA RIVEDERE",
     "format 3, a material record of type 3",
     lug({10: "3", 13: "2"}, blc=BLOCKS_OF_TWO, mtr=MTR_TYPE_3), [], []),
    ("errors.md", "The material data do not allow the elasto-plastic correction: ...",
     "the strain at failure below 100 x Sy/E",
     lug({1: "355, 210000, 510, 0.1", 2: "1"}), [], []),
    ("errors.md", "The stresses are too large for the elasto-plastic correction: please check "
     "the units of the stresses and of the yield stress",
     "Neuber Linear, stresses in Pa against a yield stress in MPa",
     lug({2: "1", 11: "1000000, 1"}), [], []),
    ("errors.md", "Runtime Error Code 018", "node ID 20 of three nodes unloaded",
     THREE_NODES_UNLOADED, [],
     ["korvanel: at node ID 20 (node index 2 of 3): the stress path is constant within 0.0001 (at most one "
      "point is left after compaction): an unloaded node?"]),
    ("errors.md", "Runtime Error Code 912", "cycles extraction in format 2",
     lug({17: "1"}), [], []),
    ("errors.md", "Error: the damage is not a number at node ID <ID>, please check the material "
     "and S-N curve data", "a negative SmMAX with a non-integer Goodman exponent",
     lug({9: "1.5, 1, -100", 11: "-1, 1"}), [], []),
]

# Quoted messages that no small job reaches, and where they are checked instead.
NOT_RUN = {
    "The input file <path> changed while it was being read":
        "a file changed under the run: tests/fault_injection.py",
    "Not enough memory for the analysis": "tables larger than the machine: the allocation tests",
    "The run was interrupted by signal <N>": "signals: tests/fault_injection.py",
    "Runtime Error Code 014": "an internal check that a correct run never fails",
    "Runtime Error Code 024": "break points beyond their room: the cycle extraction's unit tests",
    "Runtime Error Code 102": "an internal check that a correct run never fails",
    "Runtime Error Code 109": "an internal check that a correct run never fails",
    "Runtime Error Code 409": "an internal check that a correct run never fails",
    "Runtime Error Code 951": "a message between MPI processes that a correct run never garbles",
    "Cannot lock the file <path>": "a file system that refuses locks: tests/fault_injection.py",
}

CLOCK = re.compile(r"^(Runtime (?:begin|end) *)\d\d:\d\d:\d\d", re.M)


def pattern(quoted):
    """A regular expression for the text a page quotes."""
    text = re.escape(quoted)
    text = re.sub(r"<[A-Za-z ]+>", ".+", text)  # re.escape leaves < and > alone
    text = text.replace(re.escape(" ..."), r" .*")
    if quoted.startswith("Runtime Error Code") and len(quoted) == len("Runtime Error Code 018"):
        text += ": please contact the KORVANEL support"
    return re.compile(text + r"\Z")


def write_files(root, files):
    for rel, text in files.items():
        if text is None:
            continue
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if rel.endswith("/keep"):  # a directory in a file's place
            continue
        with open(path, "w", encoding="latin-1", newline="") as f:
            f.write(text)


def run_row(binary, files, options):
    with tempfile.TemporaryDirectory(prefix="korvanel-documented-") as work:
        write_files(work, files)
        locks = [o.split(":", 1)[1] for o in options if o.startswith("lock:")]
        held = [open(os.path.join(work, rel), "rb") for rel in locks]
        for f in held:
            fcntl.flock(f, fcntl.LOCK_EX)
        args = [o for o in options if not o.startswith("lock:")]
        proc = subprocess.run([binary, *args], cwd=work, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=300)
        for f in held:
            f.close()
        return (proc.returncode, proc.stdout.decode("latin-1").split("\r\n"),
                proc.stderr.decode("latin-1").split("\r\n"))


def check_row(binary, page, quoted, situation, files, options, stderr_lines):
    where = "%s: %s (%s)" % (page, quoted, situation)
    status, console, stderr = run_row(binary, files, options)
    lines = [line for line in console if line and not CLOCK.match(line)]
    if lines and lines[-1] == "Sorry for the inconvenience":  # the internal checks' second line
        lines.pop()
    last = lines[-1] if lines else ""
    problems = []
    if not pattern(quoted).match(last):
        problems.append("%s: the console ends with %r" % (where, last))
    if (status == 0) != (quoted == "End of KORVANEL"):
        problems.append("%s: exit status %d" % (where, status))
    for expected in stderr_lines:
        if not any(pattern(expected).match(line) for line in stderr):
            problems.append("%s: standard error lacks %r; got %r" % (where, expected, stderr[:6]))
    return problems


def quoted_messages():
    """The messages the two pages quote: (page, text)."""
    with open(os.path.join(DOCS, "errors.md"), encoding="utf-8") as f:
        errors = f.read()
    with open(os.path.join(DOCS, "first-job.md"), encoding="utf-8") as f:
        first_job = f.read()
    found = set()
    table = errors.split("## Messages in the order a run can meet them")[1].split("\n## ")[0]
    table += errors.split("## Parameter file")[1].split("\n## ")[0]
    for row in table.splitlines():
        if not row.startswith("| `"):
            continue
        for text in re.findall(r"`([^`]+)`", row.split(" | ")[0]):
            found.add(("errors.md", "Runtime Error Code " + text if text.isdigit() else text))
    for heading in re.findall(r"^### (.+)$", errors, re.M):
        if "Runtime Error Codes" not in heading:
            found.add(("errors.md", heading.replace("`", "")))
    beginnings = {text.split()[0] for _, text in found}
    for text in re.findall(r"`([^`\n]+)`", first_job):
        if text.split()[0] in beginnings and len(text.split()) > 2 and text[0].isupper():
            found.add(("first-job.md", text))
    return found


def covered(page, text, rows):
    for row_page, quoted, *_ in rows:
        if row_page != page:
            continue
        if quoted == text or pattern(quoted).match(text) or pattern(text).match(quoted):
            return True
        # a heading gives the whole line of a message the table cuts with "..."
        if quoted.endswith(" ...") and text.startswith(quoted[:-4]):
            return True
    return any(text.startswith(key) or pattern(key).match(text) for key in NOT_RUN)


def main():
    binary = os.path.abspath(sys.argv[1])
    problems = []
    for row in ROWS:
        problems += check_row(binary, *row)
    for page, text in sorted(quoted_messages()):
        if not covered(page, text, ROWS):
            problems.append("%s quotes %r, which no row runs" % (page, text))
    for p in problems:
        print("FAIL " + p)
    print("%d problems in %d rows" % (len(problems), len(ROWS)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
