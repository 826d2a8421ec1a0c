#!/usr/bin/env python3
"""The ordinary mistakes of a new user, one row each: what the program now says about them.

Each row is a small job with one mistake. The run must write the row's lines on standard
error, and its console, exit status and every file must be what the independent reference
implementation gives for the same input (the warnings change no result). With --strict the
first warning must be the fatal stop: exit status 1, its text the last console line and the
whole of korvanel.adv. Rows of the command line check the line before the usage text. The
last row checks that, on a terminal, the banner shows while the run still waits for its
parameter file.

Usage: input_warnings.py <korvanel-binary>
"""
import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from make_cases import (BLOCKS, COMBINATION, HISTORY, MATERIALS, NODES, CASES,  # noqa: E402
                        filled_template, job, lines, parameters)

REFERENCE = os.path.join(HERE, "reference", "korvanel_reference.py")
CLOCK = re.compile(rb"^(Runtime (?:begin|end) *)\d\d:\d\d:\d\d", re.M)
F2 = dict(format="2", counts="3, 2", output="20")
BOM = "\xef\xbb\xbf"


def f2(nds=NODES, cmb=COMBINATION, **changes):
    return job({".inp": parameters(**dict(F2, **changes)), ".nds": nds, ".cmb": cmb})


LUG = CASES["f2-first-job"][1]
LUG_CMB = LUG["job/lug.cmb"]


def first_job(cmb=LUG_CMB, material=None):
    files = dict(LUG, **{"job/lug.cmb": cmb, "korvanel.inp": "job\nlug\n"})
    if material is not None:
        files["job/lug.inp"] = filled_template({1: material, 12: "11", 14: "4, 2", 19: "8"})
    return files


def without_line(text, line):
    return text.replace(line + "\r\n", "", 1)


# (mistake, job files, lines expected on standard error, the first is the --strict stop)
ROWS = [
    ("3OO (letter O) for the yield stress in the .inp",
     job({".inp": parameters(material="3OO, 210000, 510, 20"), ".sig": HISTORY}),
     ["job/j.inp line 2, value 1 (yield stress, record 1): '3OO' is not wholly a number; "
      "read as 3"]),
    ("1S0 for a stress in the .nds", f2(nds=NODES.replace("10, 1, 120,", "10, 1, 1S0,")),
     ["job/j.nds line 4, value 3: '1S0' is not wholly a number; read as 1"]),
    ("a column too many on one line of the .nds",
     f2(nds=NODES.replace("10, 1, 120, 30, 0, 25, 0, 0", "10, 1, 120, 30, 0, 25, 0, 0, 7")),
     ["job/j.nds line 4 holds 9 values ('10, 1, 120, 30, 0, 25, 0, 0, 7'), but a node line is 8 "
      "values (node ID, material ID, six stresses): the file is read as a stream of values, so "
      "this line is not one node line (a decimal comma, or a value too many or too few?)"]),
    ("O.5 in the .cmb", f2(cmb=COMBINATION.replace("0.5, 1", "O.5, 1")),
     ["job/j.cmb line 3, value 1: 'O.5' is not wholly a number; read as 0"]),
    ("decimal commas 0,5; 0,5 in a two-load-case .cmb",
     f2(cmb=COMBINATION.replace(", ", "; ").replace(".", ",")),
     ["job/j.cmb line 1, value 1: '0;' is not wholly a number; read as 0",
      "job/j.cmb line 3, value 2: '5;' is not wholly a number; read as 5"]),
    ("2,5 for the life units", f2(life="2,5"),
     ["job/j.inp line 41: the text '5' after the value of record 19 (life units per repeat) "
      "is not read"]),
    ("one comment line of the .inp deleted",
     job({".inp": without_line(parameters(**F2), "Life units per repeat"), ".nds": NODES,
          ".cmb": COMBINATION}),
     ["job/j.inp line 40, read as a comment line of record 19 (life units per repeat), holds "
      "only numbers ('1000'): a comment line missing or a value line too many? The records "
      "from here on are read out of place",
      "job/j.inp ends before the values of record 19 (life units per repeat): records 19 to "
      "19 read as 0",
      "job/j.inp (life units per repeat, record 19): the file ends before this value; read as "
      "0: life units per repeat of 0 or below make every fatigue life in life units 0 or "
      "negative"]),
    ("a node's material ID with no .mtr record",
     f2(materials="2") | job({".mtr": without_line(MATERIALS, MATERIALS.split("\r\n")[3])}),
     ["job/j.mtr has no record for material ID 2, first used by node ID 20 (node index 2); "
      "such a node keeps the material values in effect at the node before it: here those of "
      "material ID 1 (material record 1)"]),
    ("a .blc whose values are not a whole number of blocks",
     job({".inp": parameters(format="3", counts="3, 2", output="20"), ".nds": NODES,
          ".blc": BLOCKS + "1, 2\r\n"}),
     ["job/j.blc line 6 holds 2 values ('1, 2'), but a block is 5 values (from and to of 2 "
      "load cases, then the cycles): the file is read as a stream of values, so this line is not "
      "one block (a decimal comma, or a value too many or too few?)",
      "job/j.blc: its 27 values are not a whole number of blocks of 5 (2 x 2 load cases + 1); "
      "the last 2 values are not used"]),
    ("a decimal comma in every column of the first job's .cmb",
     first_job(cmb=LUG_CMB.replace("1.5, 0.2", "1,5, 0,2").replace("0.8, -0.4", "0,8, -0,4")
               .replace("1.2, 0.3", "1,2, 0,3").replace("0.2, 0", "0,2, 0")),
     ["job/lug.cmb line 3 holds 4 values ('1,5, 0,2'), but a time point is 2 load-case factors: "
      "the file is read as a stream of values, so this line is not one time point (a decimal "
      "comma, or a value too many or too few?)"]),
    ("an extra column in the first job's .cmb (three factors for two load cases)",
     first_job(cmb=LUG_CMB.replace("\n", ", 1\n")),
     ["job/lug.cmb line 1 holds 3 values ('0, 0, 1'), but a time point is 2 load-case factors: "
      "the file is read as a stream of values, so this line is not one time point (a decimal "
      "comma, or a value too many or too few?)"]),
    ("the first job's material in Pa beside stresses, endurance limit and SmMAX in MPa",
     first_job(material="355e6, 210000e6, 510e6, 20"),
     ["job/lug.inp: the yield stress 355000000 and static strength 510000000 are about 10^7 "
      "times the endurance limit 40 and SmMAX 600, which should be stresses of one order: the "
      "material looks like Pa while the endurance limit and SmMAX look like MPa",
      "job/lug.inp: the largest stress the job reaches (after the factors) is about 337, about "
      "10^-6 times the static strength 510000000: the stresses look like MPa while the material "
      "looks like Pa"]),
    ("the first job's Young's modulus in GPa",
     first_job(material="355, 210, 510, 20"),
     ["job/lug.inp: Young's modulus 210 is 0.5915492957746479 times the yield stress 355 (for "
      "metals about 100 to 3,000 times): Young's modulus looks like GPa while the yield stress "
      "looks like MPa (or MPa against kPa)"]),
    ("a UTF-8 byte-order mark at the start of the .nds and korvanel.inp (no warning: the run "
     "reads them as without it)",
     dict(f2(nds=BOM + NODES), **{"korvanel.inp": BOM + "job\r\nj\r\n"}), []),
]

# A node with no load stops the run as before; standard error names the node.
UNLOADED = ("a node with no load", f2(nds=NODES.replace("20, 2, 90, -20, 10, 0, 15, 0",
                                                        "20, 2, 0, 0, 0, 0, 0, 0")
                                      .replace("20, 2, 30, 70, 0, -20, 0, 5",
                                               "20, 2, 0, 0, 0, 0, 0, 0")),
            ["at node ID 20 (node index 2 of 3): the stress path is constant within 0.0001 (at "
             "most one point is left after compaction): an unloaded node?"])

USAGE = [
    (["--threads", "abc"], "korvanel: --threads needs a whole number from 1 to 4096, got 'abc'"),
    (["--threads", "0"], "korvanel: --threads needs a whole number from 1 to 4096, got '0'"),
    (["--threads"], "korvanel: --threads needs a whole number from 1 to 4096, got nothing"),
    (["-v"], "korvanel: unknown option '-v'"),
    (["--detail-node"], "korvanel: --detail-node needs a node ID (a whole number) or 'worst', got "
     "nothing"),
    (["--detail-node", "best"], "korvanel: --detail-node needs a node ID (a whole number) or "
     "'worst', got 'best'"),
    (["--detail-node=1.5"], "korvanel: --detail-node needs a node ID (a whole number) or 'worst', "
     "got '1.5'"),
]


def write_files(root, files):
    files = dict(files)
    files.setdefault("korvanel.inp", "job\r\nj\r\n")
    for rel, text in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(text.encode("latin-1"))


def tree(root):
    out = {}
    for folder, _, names in os.walk(root):
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                out[os.path.relpath(os.path.join(folder, name), root)] = f.read()
    return out


def run(command, files):
    with tempfile.TemporaryDirectory(prefix="korvanel-warnings-") as work:
        write_files(work, files)
        proc = subprocess.run(command, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=300)
        return proc.returncode, CLOCK.sub(rb"\1hh:mm:ss", proc.stdout), proc.stderr, tree(work)


def check_row(binary, mistake, files, expected, warning=True):
    problems = []
    status, console, stderr, outputs = run([binary], files)
    ref_status, ref_console, _, ref_outputs = run([sys.executable, REFERENCE], files)
    if (status, console, outputs) != (ref_status, ref_console, ref_outputs):
        problems.append("results differ from the reference's")
    prefix = "korvanel: warning: " if warning else "korvanel: "
    shown = stderr.decode("latin-1").split("\r\n")
    for line in expected:
        if prefix + line not in shown:
            problems.append("standard error lacks %r; got %r" % (line, stderr[:600]))
    if not expected and stderr:
        problems.append("standard error: %r" % stderr[:300])
    if warning:
        status, console, _, outputs = run([binary, "--strict"], files)
        if expected:
            text = expected[0].encode("latin-1") + b"\r\n"
            if status != 1 or not console.endswith(text) or outputs.get("korvanel.adv") != text:
                problems.append("--strict: exit %d, console %r" % (status, console[-200:]))
        elif status != ref_status:
            problems.append("--strict: exit %d without a warning" % status)
    return ["%s: %s" % (mistake, p) for p in problems]


def check_usage(binary):
    problems = []
    for args, line in USAGE:
        proc = subprocess.run([binary, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        first = proc.stderr.split(b"\r\n")[0].decode()
        if proc.returncode != 2 or first != line or b"usage: korvanel" not in proc.stderr:
            problems.append("%s: exit %d, first line %r" % (" ".join(args), proc.returncode, first))
    return problems


def check_banner_on_terminal(binary):
    """The parameter file is a named pipe that the test holds open: the run waits for it
    after the banner and the "Name of input file" line, which a terminal must show by then."""
    problems = []
    with tempfile.TemporaryDirectory(prefix="korvanel-banner-") as work:
        write_files(work, {"job/j.sig": HISTORY})
        fifo = os.path.join(work, "job", "j.inp")
        os.mkfifo(fifo)
        # Both ends are held open before the run starts: the run then finds a writer and
        # waits for the text instead of reading an empty file, and the text written stays in
        # the pipe (held by the test's unused reading end) even if the run opens it only
        # after the writing end is closed.
        keeper = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
        writer = os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
        master, slave = pty.openpty()
        proc = subprocess.Popen([binary], cwd=work, stdin=subprocess.DEVNULL, stdout=slave,
                                stderr=subprocess.DEVNULL)
        os.close(slave)
        shown = b""
        timer = threading.Timer(20, proc.kill)
        timer.start()
        while b"Name of input file" not in shown and proc.poll() is None:
            try:
                shown += os.read(master, 4096)
            except OSError:
                break
        timer.cancel()
        if b"Runtime begin" not in shown or b"Name of input file" not in shown:
            problems.append("the banner did not show while the run waited: %r" % shown[:200])
        try:
            os.write(writer, parameters().encode())
        except BrokenPipeError:  # the run was stopped while it waited
            pass
        os.close(writer)
        rest = b""
        try:
            while True:
                chunk = os.read(master, 4096)
                if not chunk:
                    break
                rest += chunk
        except OSError:
            pass
        os.close(master)
        status = proc.wait(timeout=60)
        os.close(keeper)
        if status != 0 and not problems:
            problems.append("the run with a piped parameter file ended with %d: %r"
                            % (status, (shown + rest)[-600:]))
    return problems


def main():
    binary = os.path.abspath(sys.argv[1])
    problems = []
    for mistake, files, expected in ROWS:
        problems += check_row(binary, mistake, files, expected)
    problems += check_row(binary, *UNLOADED, warning=False)
    problems += check_usage(binary)
    problems += check_banner_on_terminal(binary)
    for p in problems:
        print("FAIL " + p)
    print("%d problems in %d rows" % (len(problems), len(ROWS) + 1 + len(USAGE) + 1))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
