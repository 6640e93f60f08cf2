"""PATCH.EXE under the robot, watched while it runs.

A LiveRun starts the robot and returns, so that a scenario can act during
the run (take the package away, kill PATCH.EXE); Scenario.run is a LiveRun
waited to its end. The robot writes each event as it sees it, so its report
is read as it grows. Under Wine a Windows program is a Linux process whose
command line starts with the program's path: that is how it is found, for a
kill or to watch its window thread.
"""

import json
import os
import signal
import time

from robot_report import RobotReport, robot_arguments
from wine import POLL_S, BenchError, program, start_windows_program, windows_path

# The robot's bound for one run, and for waiting on one event of it.
ROBOT_TIMEOUT_S = 60
# A kill point is meant to land within a millisecond or two of its event.
LIVE_POLL_S = 0.0005
# Context switches a second of a window thread that blocks between messages
# while the robot polls the window; a loop that polls without pause makes
# thousands (robot_test checks the bound against both).
MAX_BLOCKED_SWITCH_RATE = 500


def linux_pid(*paths):
    """The Linux process whose command line starts with one of `paths`:
    Wine puts the Windows path there for a program started by another, and
    keeps the Linux path for `wine PATH`; None when none runs."""
    needles = {str(path).lower().encode("cp1251") for path in paths}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                first = cmdline.read().split(b"\0")[0]
        except OSError:
            continue
        if first.lower() in needles:
            return int(entry)
    return None


class WindowThreadWatch:
    """Samples a program's window thread (its process's main task) from
    /proc, and marks the samples at which given files appear. CPU time
    alone says little on a loaded machine, where a polling loop yields on
    every empty poll; its context switches give it away whatever the load:
    each poll is a round trip to wineserver."""

    def __init__(self, marks):
        self.marks = {str(path): None for path in marks}
        self.samples = []

    def sample(self, pid):
        if pid is None:
            return
        # Files are looked at first, so a mark's sample is never older than its file.
        appeared = [path for path, at in self.marks.items() if at is None and os.path.exists(path)]
        task = "/proc/%d/task/%d/" % (pid, pid)
        try:
            with open(task + "schedstat") as schedstat:
                cpu_ns = int(schedstat.read().split()[0])
            with open(task + "status") as status:
                switches = sum(int(line.split()[1]) for line in status
                               if line.startswith(("voluntary_ctxt_switches:",
                                                   "nonvoluntary_ctxt_switches:")))
        except (OSError, ValueError, IndexError):
            return  # the process has ended; the last sample stands
        self.samples.append((time.monotonic(), cpu_ns, switches))
        for path in appeared:
            self.marks[path] = self.samples[-1]

    def between(self, first, last):
        """(CPU share of one core, context switches per second, seconds)
        between the samples at which two marked files appeared."""
        a, b = self.marks.get(str(first)), self.marks.get(str(last))
        if a is None or b is None or b[0] <= a[0]:
            raise BenchError("the watch did not see the window thread between %s and %s "
                             "(%d samples)" % (first, last, len(self.samples)))
        seconds = b[0] - a[0]
        return (b[1] - a[1]) / 1e9 / seconds, (b[2] - a[2]) / seconds, seconds


class LiveRun:
    """One run of the scenario's PATCH.EXE, or of `application`, under the
    robot. `answers` go to the message boxes in turn; `flags` are the
    robot's (--close-box, --early-click, --no-click); with `watch_marks`
    (file paths) the window thread is watched (`watch`) until the run ends."""

    def __init__(self, scenario, args=(), application=None, answers=(), flags=(),
                 watch_marks=(), timeout=ROBOT_TIMEOUT_S):
        self.application = application or scenario.win_patch
        self.report_path = scenario.work / ("robot.%d.jsonl" % scenario.runs)
        self.stem = scenario.work / ("robot.%d" % scenario.runs)
        self.timeout = timeout
        self.watch = WindowThreadWatch(watch_marks) if watch_marks else None
        for mark in watch_marks:
            mark.unlink(missing_ok=True)
        command_line = " ".join(['"%s"' % self.application] + list(args)).encode("cp1251")
        arguments = robot_arguments(windows_path(self.report_path), command_line,
                                    self.application, scenario.win_root, timeout, answers, flags)
        self.robot = start_windows_program(program("ui_robot"), arguments, self.stem)
        self._lines = []
        self._partial = b""
        self._offset = 0
        self.statuses = []
        self._pid = None

    def poll(self):
        """Reads what the robot has reported since the last look."""
        try:
            with open(self.report_path, "rb") as report:
                report.seek(self._offset)
                data = report.read()
        except FileNotFoundError:
            return
        self._offset += len(data)
        *complete, self._partial = (self._partial + data).split(b"\n")
        for line in complete:
            self._lines.append(line.decode("ascii"))
            event = json.loads(self._lines[-1])
            if event["event"] == "status":
                self.statuses.append(bytes.fromhex(event["text"]))

    def ended(self):
        return self.robot.poll() is not None

    def wait_until(self, condition, what):
        """Waits until condition() is true, reading the report meanwhile;
        fails naming `what` when the run ends or the time runs out first."""
        deadline = time.monotonic() + self.timeout
        while True:
            ended = self.ended()
            self.poll()
            if condition():
                return
            if ended:
                raise BenchError("the run ended before %s: %s" % (what, self.report().summary()))
            if time.monotonic() > deadline:
                raise BenchError("%s did not happen within %d s" % (what, self.timeout))
            time.sleep(LIVE_POLL_S)

    def pid(self):
        """The Linux process of the program, found by its command line."""
        if self._pid is None:
            self.wait_until(lambda: self._find_pid() is not None, "the program's process to start")
        return self._pid

    def _find_pid(self):
        self._pid = self._pid or linux_pid(self.application)
        return self._pid

    def kill(self):
        """SIGKILL to the program, as a crash or a power cut ends it; gives
        whether it landed once the robot has seen the program end (its
        handles closed)."""
        try:
            os.kill(self.pid(), signal.SIGKILL)
            landed = True
        except ProcessLookupError:
            landed = False
        self.finish()
        return landed

    def finish(self):
        """Waits for the robot to end; gives the report."""
        deadline = time.monotonic() + self.timeout + 30
        while not self.ended():
            if time.monotonic() > deadline:
                self.robot.kill()
                self.robot.wait()
                raise BenchError("the robot did not end within %d s" % (self.timeout + 30))
            if self.watch:
                self.watch.sample(self._find_pid())
            time.sleep(POLL_S)
        report = self.report()
        report.watch = self.watch
        if self.robot.returncode != 0:
            err = open(str(self.stem) + ".err", "rb").read().decode("utf-8", "replace")
            raise BenchError("the robot failed (exit %d): %s\n    %s" % (
                self.robot.returncode, err.strip()[-500:], report.summary()))
        return report

    def report(self):
        self.poll()
        return RobotReport(self._lines)
