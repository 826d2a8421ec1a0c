#!/usr/bin/env python3
"""Installs a build into a temporary prefix and checks what a user finds there.

<prefix>/bin/korvanel, the user guide with the first-job files and the example jobs under
<prefix>/share/doc/korvanel/; --help names the installed guide; an installed example, copied
to a directory of its own, runs to its normal end.

Usage: install_layout.py <cmake> <build-dir>
"""
import os
import shutil
import subprocess
import sys
import tempfile

EXPECTED = [
    "bin/korvanel",
    "share/doc/korvanel/README.md",
    "share/doc/korvanel/first-job.md",
    "share/doc/korvanel/first-job/template.inp",
    "share/doc/korvanel/first-job/lug.nds",
    "share/doc/korvanel/first-job/lug.cmb",
    "share/doc/korvanel/parameters.md",
    "share/doc/korvanel/examples/node-stresses/korvanel.inp",
    "share/doc/korvanel/examples/node-stresses/job/shaft.inp",
    "share/doc/korvanel/examples/node-stresses/job/shaft.nds",
    "share/doc/korvanel/examples/node-stresses/job/shaft.cmb",
    "share/doc/korvanel/examples/single-history/job/bracket.sig",
]


def main():
    cmake, build = sys.argv[1:3]
    problems = []
    with tempfile.TemporaryDirectory(prefix="korvanel-install-") as top:
        prefix = os.path.realpath(os.path.join(top, "prefix"))
        subprocess.run([cmake, "--install", build, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        problems += ["not installed: " + rel for rel in EXPECTED
                     if not os.path.isfile(os.path.join(prefix, rel))]
        program = os.path.join(prefix, "bin", "korvanel")
        if not problems:
            guide = "User guide: %s/share/doc/korvanel/README.md\r\n" % prefix
            help_text = subprocess.run([program, "--help"], stdout=subprocess.PIPE, check=True).stdout
            if guide.encode() not in help_text:
                problems.append("--help does not name the installed guide: %r" % help_text)
            work = os.path.join(top, "node-stresses")
            shutil.copytree(os.path.join(prefix, "share/doc/korvanel/examples/node-stresses"), work)
            run = subprocess.run([program, "--threads", "1"], cwd=work, stdout=subprocess.PIPE)
            if run.returncode != 0 or b"\r\nEnd of KORVANEL\r\n" not in run.stdout:
                problems.append("the installed example did not end normally (exit status %d)"
                                % run.returncode)
    for p in problems:
        print(p)
    print("install layout: %s" % ("FAILED" if problems else "ok"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
