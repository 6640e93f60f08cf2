"""CPU time of a Windows program under Wine, read from Linux.

Under Wine every Windows process is a Linux process and every thread a
task, so /proc gives what Wine itself does not report for another process:
the whole process's user + system time (threads that have ended included)
and its first thread's, the one that runs WinMain and owns the window.
"""

import os

TICKS_PER_SECOND = os.sysconf("SC_CLK_TCK")


def cpu_seconds(stat_path):
    """utime + stime of a /proc .../stat file, or None when it is gone."""
    try:
        with open(stat_path) as stat:
            text = stat.read()
    except OSError:
        return None
    # The command name may hold blanks; the fields after it are fixed.
    fields = text[text.rindex(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / TICKS_PER_SECOND


def find_windows_process(file_name):
    """Pid of the running Windows program whose command line starts with a
    path ending in `file_name` (case ignored, either separator)."""
    wanted = file_name.lower()
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % name, "rb") as cmdline:
                first = cmdline.read().split(b"\0")[0].decode("utf-8", "replace")
        except OSError:
            continue
        if first.replace("\\", "/").rsplit("/", 1)[-1].lower() == wanted:
            return int(name)
    return None


class ProcessCpuWatch:
    """Follows one program while it runs: call sample() every few
    milliseconds; after its end the last sample stands."""

    def __init__(self, file_name):
        self.file_name = file_name
        self.pid = None
        self.process_cpu = None
        self.window_thread_cpu = None

    def sample(self):
        if self.pid is None:
            self.pid = find_windows_process(self.file_name)
            if self.pid is None:
                return
        process = cpu_seconds("/proc/%d/stat" % self.pid)
        thread = cpu_seconds("/proc/%d/task/%d/stat" % (self.pid, self.pid))
        if process is not None and thread is not None:
            self.process_cpu, self.window_thread_cpu = process, thread
