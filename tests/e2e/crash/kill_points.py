"""Where a run is killed: a file of the update and an event of its
replacement. "status": the status line names that file or a later one (the
robot samples it every few milliseconds, so the kill lands somewhere in the
file's replacement, often while it is written); "moved": the file has just
gone to its backup name; "created": its successor has just been created.
Moved and created are seen through inotify (by ctypes) and killed on at
once: looking now and then would miss the few hundred microseconds between
a move and the creation. Should the event not come, the kill falls on the
next file's status, and the report says so.
"""

import ctypes
import os
import re
import select
import struct
import time

import user_texts
from wine import BenchError

STATUS, MOVED, CREATED = "status", "moved", "created"

# The longest wait in one look, so that a run ending early is noticed.
_LOOK_S = 0.002
# Files after the last status kill point.
_STATUS_MARGIN = 10
_IN_MOVED_TO = 0x00000080
_IN_CREATE = 0x00000100
_EVENT_HEADER = struct.Struct("iIII")  # wd, mask, cookie, length of the name that follows
_libc = ctypes.CDLL(None, use_errno=True)


class KillPoint:
    def __init__(self, kind, index):
        self.kind = kind
        self.index = index

    def describe(self, plan):
        return "%s %s (file %d)" % (self.kind, plan.files[self.index].name, self.index + 1)


class _FolderEvents:
    """Names created in or moved into one folder."""

    def __init__(self, folder):
        self.fd = _libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0 or _libc.inotify_add_watch(self.fd, os.fsencode(folder),
                                                  _IN_CREATE | _IN_MOVED_TO) < 0:
            raise OSError(ctypes.get_errno(), "inotify on %s" % folder)

    def names(self, seconds):
        """Names that appeared, waiting at most `seconds` for the first."""
        if not select.select([self.fd], [], [], seconds)[0]:
            return []
        data = os.read(self.fd, 65536)
        names, at = [], 0
        while at + _EVENT_HEADER.size <= len(data):
            length = _EVENT_HEADER.unpack_from(data, at)[3]
            at += _EVENT_HEADER.size + length
            names.append(os.fsdecode(data[at - length:at].rstrip(b"\0")))
        return names

    def close(self):
        os.close(self.fd)


class Trigger:
    """Waits for a kill point; made before the run starts, so that no file
    event is missed."""

    def __init__(self, point, plan, target):
        self.point = point
        self.plan = plan
        own = target / plan.files[point.index].name.replace("\\", "/")
        # Moved: to NAME.bak, or NAME.bak.N when a killed run left NAME.bak.
        self.pattern = re.compile(re.escape(own.name) + (r"\.bak(\.[0-9]+)?"
                                                         if point.kind == MOVED else ""))
        self.events = _FolderEvents(own.parent) if point.kind != STATUS else None
        self.fired_by = None
        self._updating = user_texts.updating_file(b"")[:-len("....")]
        self._seen = 0
        self._latest = -1

    def _status_reached(self, live, index):
        """Whether a status text so far named the file at `index` or a later one."""
        for text in live.statuses[self._seen:]:
            if text.startswith(self._updating) and text.endswith(b"...."):
                planned = self.plan.by_name.get(text[len(self._updating):-4].decode("cp1251")
                                                .lower())
                self._latest = max(self._latest, planned.index if planned else -1)
        self._seen = len(live.statuses)
        return self._latest >= index

    def wait(self, live):
        """Returns once the kill point is reached; fails loudly when the run
        ends first or the time runs out."""
        deadline = time.monotonic() + live.timeout
        try:
            while True:
                if self.events is None:
                    time.sleep(_LOOK_S / 4)
                elif any(self.pattern.fullmatch(name) for name in self.events.names(_LOOK_S)):
                    self.fired_by = "event"
                    return
                live.poll()
                if self._status_reached(live, self.point.index + (self.events is not None)):
                    self.fired_by = "the next file's status" if self.events else "status"
                    return
                if live.ended():
                    raise BenchError("the run ended before the kill point")
                if time.monotonic() > deadline:
                    raise BenchError("the kill point did not come within %d s" % live.timeout)
        finally:
            if self.events is not None:
                self.events.close()


def spread(count, plan):
    """`count` kill points over the file phase, the three kinds in turn,
    moved and created on files that stand before the update. The program
    file's come first, moved once more for every 20 kill points: a kill
    between its move and its successor's creation, the state a run again
    could once not recover from, lands in that short window only now and
    then."""
    program = plan.program.index
    points = [KillPoint(MOVED, program), KillPoint(CREATED, program)]
    points += [KillPoint(MOVED, program) for _ in range((count - 1) // 20)]
    rest = max(count - len(points), 0)
    replaced = [f.index for f in plan.files if f.replaced]
    for i in range(rest):
        index = round(i * (len(plan.files) - 1) / max(rest - 1, 1))
        kind = (STATUS, MOVED, CREATED)[i % 3]
        if kind == STATUS:
            # The robot samples the status line: some file after this one
            # must still be written long enough for it to be seen.
            index = min(index, len(plan.files) - _STATUS_MARGIN)
        else:
            index = next((r for r in replaced if r >= index), replaced[-1])
        points.append(KillPoint(kind, index))
    return points[:count]
