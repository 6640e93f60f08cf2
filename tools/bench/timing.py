"""Timed runs: each figure is the median of several runs, taken in rounds
(every command once per round), so that a change of machine load during
the series touches all of them alike and the ratios stay fair.

What a run must not count (removing the previous output, syncing, any
set-up) happens in its `prepare`, outside the clock.
"""

import os
import statistics
import subprocess
import threading
import time


class BenchFailure(RuntimeError):
    pass


class Sample:
    """One run: wall seconds, and CPU seconds where known."""

    def __init__(self, wall, cpu=None, extra=None):
        self.wall = wall
        self.cpu = cpu
        self.extra = extra or {}


class Figure:
    """The samples of one command and their summary."""

    def __init__(self, name):
        self.name = name
        self.samples = []

    @property
    def median(self):
        return statistics.median(s.wall for s in self.samples)

    @property
    def spread(self):
        walls = [s.wall for s in self.samples]
        return min(walls), max(walls)

    @property
    def median_cpu(self):
        known = [s.cpu for s in self.samples if s.cpu is not None]
        return statistics.median(known) if known else None

    def median_extra(self, key):
        known = [s.extra[key] for s in self.samples if s.extra.get(key) is not None]
        return statistics.median(known) if known else None

    def to_json(self):
        return {"name": self.name, "samples": [
            {"wall": s.wall, "cpu": s.cpu, "extra": s.extra} for s in self.samples]}

    @classmethod
    def from_json(cls, data):
        figure = cls(data["name"])
        figure.samples = [Sample(s["wall"], s["cpu"], s["extra"]) for s in data["samples"]]
        return figure


class Measurement:
    """A command to time. `run` does one timed run and gives a Sample;
    `prepare` readies the ground before each run, off the clock; `check`,
    if given, looks at the result of the first (warm-up) run."""

    def __init__(self, name, run, prepare=None, check=None):
        self.name = name
        self.run = run
        self.prepare = prepare or (lambda: None)
        self.check = check


def timed_process(args, timeout, cwd=None, log=None):
    """Runs a native command to its end; gives its Sample (wall, the user +
    system CPU of it and its children and its peak resident set, from
    wait4). A timer ends a command that overruns `timeout`; the wait itself
    blocks, so the harness takes no CPU from the command."""
    output = open(log, "ab") if log else subprocess.DEVNULL
    try:
        started = time.monotonic()
        process = subprocess.Popen(args, cwd=cwd, stdin=subprocess.DEVNULL, stdout=output,
                                   stderr=subprocess.STDOUT)
        overrun = threading.Timer(timeout, process.kill)
        overrun.start()
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.monotonic() - started
        overrun.cancel()
    finally:
        if log:
            output.close()
    process.returncode = os.waitstatus_to_exitcode(status)
    shown = " ".join(str(a) for a in args)
    if wall >= timeout:
        raise BenchFailure("%s did not end within %d s" % (shown, timeout))
    if process.returncode != 0:
        raise BenchFailure("%s failed (exit %d)%s" % (
            shown, process.returncode, "; see " + str(log) if log else ""))
    # ru_maxrss: the largest resident set of the command or of any of its
    # children, in KB.
    return Sample(wall, usage.ru_utime + usage.ru_stime, {"peak_rss_mb": usage.ru_maxrss / 1024})


def run_series(measurements, runs, progress=print):
    """One untimed warm-up run of each measurement (its check then looks at
    the result), then `runs` timed rounds. Gives {name: Figure}."""
    figures = {m.name: Figure(m.name) for m in measurements}
    for m in measurements:
        m.prepare()
        m.run()
        if m.check:
            m.check()
    for round_number in range(1, runs + 1):
        for m in measurements:
            m.prepare()
            figures[m.name].samples.append(m.run())
        progress("  round %d/%d: %s" % (round_number, runs, ", ".join(
            "%s %.2f s" % (m.name, figures[m.name].samples[-1].wall) for m in measurements)))
    return figures
