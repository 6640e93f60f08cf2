"""PATCH.EXE under the robot, watched while it runs.

Scenario.run waits for a run's end; a LiveRun starts the robot and returns,
so that a scenario can act during the run: wait for a status text or any
other event, do something to the files (delete the package, fill the disk)
or kill PATCH.EXE outright. The robot writes each event to its report as it
sees it, so the report is read as it grows. Under Wine a Windows program is
a Linux process whose command line is the program's Windows path; that is
how its process is found for the kill.
"""

import json
import os
import signal
import time

from checks import BenchError
from robot_report import RobotReport
from wine import POLL_S, program, start_windows_program, windows_path

# Bound of waiting for one event of a run.
EVENT_TIMEOUT_S = 60
# How often events are looked for: a kill point is meant to land within a
# millisecond or two of its event.
LIVE_POLL_S = 0.0005


def linux_pid(*paths):
    """The Linux process of a running Windows program, found by the first
    word of its command line: Wine sets it to the program's Windows path
    (started by another Windows program) or keeps the Linux path it was
    started with (started by `wine PATH`); None when no such process runs."""
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


class LiveRun:
    def __init__(self, scenario, args=(), answers=(), application=None,
                 timeout=EVENT_TIMEOUT_S):
        scenario.registry.flush()
        scenario.runs += 1
        self.scenario = scenario
        self.application = application or scenario.win_patch
        self.report_path = scenario.work / ("robot.%d.jsonl" % scenario.runs)
        self.stem = scenario.work / ("robot.%d" % scenario.runs)
        self.report_path.unlink(missing_ok=True)
        command_line = " ".join(['"%s"' % self.application] + list(args)).encode("cp1251")
        robot_args = ["--report", windows_path(self.report_path), "--cmdline-hex",
                      command_line.hex(), "--app", self.application, "--cwd", scenario.win_root,
                      "--timeout", str(timeout)]
        for answer in answers:
            robot_args += ["--answer", answer]
        self.timeout = timeout
        self.robot = start_windows_program(program("ui_robot"), robot_args, self.stem)
        self._lines = []
        self._partial = b""
        self._offset = 0
        self.statuses = []
        self._pid = None

    # --- what the robot has seen so far ---

    def poll(self):
        """Reads what the robot has reported since the last look."""
        try:
            with open(self.report_path, "rb") as report:
                report.seek(self._offset)
                data = report.read()
        except FileNotFoundError:
            return
        self._offset += len(data)
        data = self._partial + data
        *complete, self._partial = data.split(b"\n")
        for line in complete:
            line = line.decode("ascii")
            self._lines.append(line)
            event = json.loads(line)
            if event["event"] == "status":
                self.statuses.append(bytes.fromhex(event["text"]))

    def ended(self):
        return self.robot.poll() is not None

    def wait_until(self, condition, what, timeout=None):
        """Waits until condition() is true, reading the report meanwhile;
        fails naming `what` when the run ends or the time runs out first."""
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            self.poll()
            if condition():
                return
            if self.ended():
                self.poll()
                if condition():
                    return
                raise BenchError("the run ended before %s: %s" % (what, self.report().summary()))
            if time.monotonic() > deadline:
                raise BenchError("%s did not happen within %d s" % (what, timeout or self.timeout))
            time.sleep(LIVE_POLL_S)

    def wait_for_status(self, predicate, what):
        """Waits for a status text that satisfies predicate(text); gives it."""
        seen = []

        def found():
            while len(seen) < len(self.statuses):
                text = self.statuses[len(seen)]
                seen.append(text)
                if predicate(text):
                    return True
            return False

        self.wait_until(found, what)
        return seen[-1]

    # --- PATCH.EXE's Linux process ---

    def pid(self):
        """The Linux process of PATCH.EXE, found by its command line."""
        if self._pid is None:
            self.wait_until(lambda: self._find_pid() is not None, "PATCH.EXE's process to start")
        return self._pid

    def _find_pid(self):
        self._pid = linux_pid(self.application)
        return self._pid

    def kill(self):
        """SIGKILL to PATCH.EXE, as a crash or a power cut ends it. Gives
        whether it landed (False when the program had ended already) once
        the robot has seen the program end: by then the handles it held are
        closed."""
        try:
            os.kill(self.pid(), signal.SIGKILL)
            landed = True
        except ProcessLookupError:
            landed = False
        self.finish()
        return landed

    # --- the end ---

    def finish(self):
        """Waits for the robot to end; gives the report."""
        deadline = time.monotonic() + self.timeout + 30
        while not self.ended():
            if time.monotonic() > deadline:
                self.robot.kill()
                self.robot.wait()
                raise BenchError("the robot did not end within %d s" % (self.timeout + 30))
            time.sleep(POLL_S)
        report = self.report()
        if self.robot.returncode != 0:
            err = open(str(self.stem) + ".err", "rb").read().decode("utf-8", "replace")
            raise BenchError("the robot failed (exit %d): %s\n    %s" % (
                self.robot.returncode, err.strip()[-500:], report.summary()))
        return report

    def report(self):
        self.poll()
        return RobotReport(self._lines)
