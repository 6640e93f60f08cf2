"""Keeping a Wine comparison on one CPU.

Unpinned, Wine figures swing by a quarter or more from run to run: the
program, wineserver (which serves every file, window and message call) and
the X server land on either core at the scheduler's whim. Pinned together
to one CPU they compete only with each other, and what differs between two
programs is their own work. The harness itself moves to the other CPU so
its sampling takes nothing from the pinned ones.
"""

import os
import subprocess

# Executables of a Wine batch: the server (Debian names it wineserver32 or
# wineserver64), every Windows process (the wine loader or its preloader)
# and the batch's X server.
WINE_BATCH_EXECUTABLES = {"wineserver", "wineserver32", "wineserver64", "wine", "wine-preloader",
                          "wine64", "wine64-preloader", "Xvfb"}


def _environment_has(pid, entry):
    try:
        with open("/proc/%d/environ" % pid, "rb") as environ:
            return entry in environ.read().split(b"\0")
    except OSError:
        return False


def batch_processes(prefix):
    """Pids of the running processes of the Wine batch on `prefix`: those
    whose environment names the prefix and whose executable is Wine's or
    the X server's (scripts/with-wine starts Xvfb with the same
    environment)."""
    entry = ("WINEPREFIX=" + str(prefix)).encode()
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit() or int(name) == os.getpid():
            continue
        pid = int(name)
        try:
            executable = os.path.basename(os.readlink("/proc/%d/exe" % pid))
        except OSError:
            continue
        if executable in WINE_BATCH_EXECUTABLES and _environment_has(pid, entry):
            found.append(pid)
    return found


def helper_pids(prefix):
    """{"wineserver": pid, "X server": pid} of the batch, those running."""
    names = {}
    for pid in batch_processes(prefix):
        try:
            executable = os.path.basename(os.readlink("/proc/%d/exe" % pid))
        except OSError:
            continue
        if executable.startswith("wineserver"):
            names["wineserver"] = pid
        elif executable == "Xvfb":
            names["X server"] = pid
    return names


def pin(pids, cpus):
    """Sets the CPUs of every thread of each process; a process that ended
    meanwhile is skipped."""
    cpu_list = ",".join(str(c) for c in sorted(cpus))
    for pid in pids:
        subprocess.run(["taskset", "--all-tasks", "--pid", "--cpu-list", cpu_list, str(pid)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30,
                       check=False)


def pinned_command(args, cpu):
    """`args` started on `cpu`; the processes it starts inherit the CPU."""
    return ["taskset", "--cpu-list", str(cpu)] + list(args)


class PinnedBatch:
    """While active: the batch's processes on `cpu`, the harness on the
    others. On the way out every one of them gets all CPUs back."""

    def __init__(self, prefix, cpu):
        self.prefix = prefix
        self.cpu = cpu
        self.all_cpus = sorted(os.sched_getaffinity(0))
        self.others = [c for c in self.all_cpus if c != cpu] or self.all_cpus

    def __enter__(self):
        self.refresh()
        os.sched_setaffinity(0, self.others)
        return self

    def refresh(self):
        """Pins the batch's processes again: a helper Wine started since
        (a service, a desktop process) is caught before the next run."""
        pin(batch_processes(self.prefix), [self.cpu])

    def __exit__(self, *exc):
        os.sched_setaffinity(0, self.all_cpus)
        pin(batch_processes(self.prefix), self.all_cpus)
        return False
