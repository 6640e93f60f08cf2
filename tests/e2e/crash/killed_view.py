"""What Wine keeps of a killed program's mapped view. The file phase writes
every new file through a read-write view; whether a kill in the middle of
that leaves the written bytes in the file (Linux keeps the pages of a
shared file mapping when the process dies) or loses them (a private copy)
decides what a half-written file looks like after a crash. Either is safe
for the user's files, which wait under their backup names; this measures
which one Wine gives."""

import os
import signal
import subprocess
import time

from checks import BenchError
from live_run import linux_pid
from wine import (BUILD, FLAG_TIMEOUT_S, POLL_S, program, start_windows_program, wait_for_file,
                  windows_path)

SIZE = 8 * 1024 * 1024
WRITTEN = 5 * 1024 * 1024 + 123  # ends inside a page


def pattern(count):
    """map_and_hold's bytes: (i * 131 + i / 4096) mod 256. Page by page:
    within a page i * 131 repeats, shifted by the page's number."""
    base = bytes((j * 131) & 0xFF for j in range(4096))
    pages = [base.translate(bytes((k + page) & 0xFF for k in range(256)))
             for page in range(count // 4096 + 1)]
    return b"".join(pages)[:count]


def kill_while_mapped(work):
    """Runs map_and_hold, kills its process once it has written the view,
    and gives (file length, bytes that reached the file, bytes beyond)."""
    path = work / "killed_view.bin"
    ready = work / "killed_view.ready"
    for leftover in (path, ready):
        leftover.unlink(missing_ok=True)
    exe = program("map_and_hold", BUILD / "e2e")
    process = start_windows_program(exe, [windows_path(path), SIZE, WRITTEN, windows_path(ready)],
                                    work / "map_and_hold")
    wait_for_file(ready, "map_and_hold writing its view", process=process)
    deadline = time.monotonic() + FLAG_TIMEOUT_S
    pid = linux_pid(exe, windows_path(exe))
    while pid is None:
        if time.monotonic() > deadline:
            raise BenchError("map_and_hold's Linux process was not found")
        time.sleep(POLL_S)
        pid = linux_pid(exe, windows_path(exe))
    os.kill(pid, signal.SIGKILL)
    try:
        process.wait(timeout=FLAG_TIMEOUT_S)
    except subprocess.TimeoutExpired:
        process.kill()
        raise BenchError("map_and_hold did not end after its kill")
    data = path.read_bytes()
    expected = pattern(WRITTEN)
    head = data[:WRITTEN]
    reached = WRITTEN if head == expected else next(
        at for at in range(0, WRITTEN, 4096) if head[at:at + 4096] != expected[at:at + 4096])
    return len(data), reached, data[WRITTEN:]
