"""Finds a job and its files from what the user names: a working directory, its korvanel.inp,
a job directory or the job's parameter file."""
import os
from types import SimpleNamespace

from .value_reading import ValueReader

CONTROL_FILE = "korvanel.inp"
ADVISORY_FILE = "korvanel.adv"
RESULT_EXTENSIONS = (".sum", ".ndd", ".ans", ".cyc", ".cif", ".sep")


class JobNotFound(Exception):
    """What was named is not a job: the message says why."""


def _decode(raw):
    return raw.decode("utf-8", errors="replace")


def read_control_file(path):
    """The job directory and job name of a korvanel.inp, as the program reads them."""
    with open(path, "rb") as f:
        reader = ValueReader(f.read())
    return _decode(reader.string()), _decode(reader.string())


def locate(named):
    """A job record: working directory (None when unknown), job directory, job name."""
    named = named or "."
    if os.path.isdir(named):
        control = os.path.join(named, CONTROL_FILE)
        if os.path.isfile(control):
            return _from_control_file(control)
        inps = sorted(n for n in os.listdir(named) if n.endswith(".inp"))
        if len(inps) == 1:
            return _job(None, named, inps[0][:-4])
        if not inps:
            advisory = os.path.join(named, ADVISORY_FILE)
            said = ""
            if os.path.isfile(advisory):
                with open(advisory, "rb") as f:
                    lines = [line for line in _decode(f.read()).splitlines() if line.strip()]
                said = "; its %s says: %s" % (ADVISORY_FILE, " / ".join(lines))
            raise JobNotFound("%s holds neither %s nor a job parameter file (.inp)%s"
                              % (named, CONTROL_FILE, said))
        raise JobNotFound("%s holds several job parameter files (%s): name one of them"
                          % (named, ", ".join(inps)))
    if os.path.isfile(named):
        if os.path.basename(named) == CONTROL_FILE:
            return _from_control_file(named)
        if named.endswith(".inp"):
            return _job(None, os.path.dirname(named) or ".", os.path.basename(named)[:-4])
        raise JobNotFound("%s is neither %s nor a job parameter file (.inp)"
                          % (named, CONTROL_FILE))
    raise JobNotFound("%s does not exist" % named)


def _from_control_file(control):
    working = os.path.dirname(control) or "."
    try:
        directory, name = read_control_file(control)
    except OSError as e:
        raise JobNotFound("Cannot read %s: %s" % (control, e.strerror))
    # The program forms every job file as directory + "/" + name + extension, relative to the
    # working directory; nothing is normalised.
    base = directory + "/" + name
    return _job(working, os.path.join(working, base), None, shown=base)


def _job(working, directory_or_base, name, shown=None):
    if name is not None:
        base = os.path.join(directory_or_base, name)
        shown = base
    else:
        base = directory_or_base
    job = SimpleNamespace(working=working, base=base, shown=shown,
                          name=os.path.basename(base) or "korvanel",
                          directory=os.path.dirname(base) or ".")
    job.advisory = os.path.join(working, ADVISORY_FILE) if working is not None else None
    return job


def job_file(job, extension):
    return job.base + extension


def file_state(path):
    """(size in bytes, modification time in ns) of a readable regular file, else None."""
    try:
        st = os.stat(path)
    except OSError:
        return None
    if not os.path.isfile(path) or not os.access(path, os.R_OK):
        return None
    return st.st_size, st.st_mtime_ns


def read_advisory(job):
    """The message lines of korvanel.adv and its modification time, or (None, None)."""
    if job.advisory is None:
        return None, None
    state = file_state(job.advisory)
    if state is None:
        return None, None
    with open(job.advisory, "rb") as f:
        text = _decode(f.read())
    lines = [line for line in text.replace("\r\n", "\n").replace("\r", "\n").split("\n")]
    while lines and not lines[-1].strip():
        lines.pop()
    return lines, state[1]
