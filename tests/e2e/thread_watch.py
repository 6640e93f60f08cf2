"""Watches a Windows program's window thread from Linux while it runs.

Under Wine a Windows thread is a Linux task, and a program's first thread
(the one that runs WinMain and owns the progress window) is the process's
main task, so /proc gives its CPU time and its context switches. The robot
reports CPU time too, but CPU time alone says little on a loaded machine:
a loop that polls without pause yields on every empty poll, so it shows
only a fraction of a core when others want the CPU. Its context switches
give it away whatever the load: each poll is a round trip to wineserver,
thousands a second, where a blocked loop wakes only for the messages it
gets.
"""

import os
import time


class Sample:
    def __init__(self, at, cpu_ns, switches):
        self.at = at
        self.cpu_ns = cpu_ns
        self.switches = switches


class WindowThreadWatch:
    """Samples the main task of the process whose command line holds
    `windows_path`, and marks the samples at which given files appear."""

    def __init__(self, windows_path, marks):
        self.needle = windows_path.lower().encode("cp1251")
        self.pid = None
        self.marks = {str(path): None for path in marks}
        self.samples = []

    def sample(self):
        if self.pid is None:
            self.pid = self._find()
            if self.pid is None:
                return
        # Files are looked at first, so a mark's sample is never older than
        # its file.
        appeared = [path for path, sample in self.marks.items()
                    if sample is None and os.path.exists(path)]
        task = "/proc/%d/task/%d/" % (self.pid, self.pid)
        try:
            with open(task + "schedstat") as schedstat:
                cpu_ns = int(schedstat.read().split()[0])
            with open(task + "status") as status:
                switches = sum(int(line.split()[1]) for line in status
                               if line.startswith(("voluntary_ctxt_switches:",
                                                   "nonvoluntary_ctxt_switches:")))
        except (OSError, ValueError, IndexError):
            return  # the process has ended; the last sample stands
        self.samples.append(Sample(time.monotonic(), cpu_ns, switches))
        for path in appeared:
            self.marks[path] = self.samples[-1]

    def between(self, first, last):
        """(CPU share of one core, context switches per second) between the
        samples at which two marked files appeared."""
        a, b = self.marks.get(str(first)), self.marks.get(str(last))
        if a is None or b is None or b.at <= a.at:
            return None
        seconds = b.at - a.at
        return (b.cpu_ns - a.cpu_ns) / 1e9 / seconds, (b.switches - a.switches) / seconds, seconds

    def _find(self):
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                    first = cmdline.read().split(b"\0")[0]
            except OSError:
                continue
            if first.lower() == self.needle:
                return int(entry)
        return None
