"""Where a run is killed. Each kill point names a file of the update and an
event of its replacement:

  status   the status line names that file or a later one (the robot
           samples the line every few milliseconds, so the kill lands
           somewhere in that file's replacement, often while it is written);
  moved    the file has just been moved to its backup name;
  created  its successor has just been created under its own name.

Moved and created are seen through inotify and killed on at once; should
the event not come (the run got past the file before the watch was set),
the kill falls on the next file's status and the report says so.
"""

import time

import user_texts
from checks import BenchError
from crash.file_events import FolderEvents

STATUS = "status"
MOVED = "moved"
CREATED = "created"

# The longest wait in one look, so that a run ending early is noticed.
_LOOK_S = 0.002
# Files after the last status kill point.
_STATUS_MARGIN = 10


class KillPoint:
    def __init__(self, kind, index):
        self.kind = kind
        self.index = index

    def describe(self, plan):
        return "%s %s (file %d)" % (self.kind, plan.files[self.index].name, self.index + 1)


class StatusIndex:
    """The file a status text speaks of, as its index in the update; None
    for any other text."""

    def __init__(self, plan, target_prefix):
        self.plan = plan
        self.prefix = target_prefix.lower()
        self.updating = user_texts.updating_file(b"").rstrip(b".")

    def __call__(self, text):
        if text.startswith(self.updating) and text.endswith(b"...."):
            name = text[len(self.updating):-4]
        elif b"(" in text and text.endswith(b")\r\n"):
            path = text[text.index(b"(") + 1:-3]
            if not path.lower().startswith(self.prefix):
                return None
            name = path[len(self.prefix):]
        else:
            return None
        planned = self.plan.by_name.get(name.decode("cp1251").lower())
        return planned.index if planned else None


class Trigger:
    """Waits for a kill point during a live run. Made before the run starts,
    so that no file event is missed."""

    def __init__(self, point, plan, target, status_index):
        self.point = point
        self.status_index = status_index
        planned = plan.files[point.index]
        own = target / planned.name.replace("\\", "/")
        self.name = own.name + ".bak" if point.kind == MOVED else own.name
        self.events = FolderEvents(own.parent) if point.kind != STATUS else None
        self.fired_by = None
        self._seen = 0
        self._latest = -1

    def _status_reached(self, live, index):
        for text in live.statuses[self._seen:]:
            found = self.status_index(text)
            if found is not None:
                self._latest = max(self._latest, found)
        self._seen = len(live.statuses)
        return self._latest >= index

    def wait(self, live, timeout):
        """Returns once the kill point is reached; fails loudly when the run
        ends first or the time runs out."""
        deadline = time.monotonic() + timeout
        try:
            while True:
                if self.events is not None:
                    if self.name in self.events.wait(_LOOK_S):
                        self.fired_by = "event"
                        return
                else:
                    time.sleep(_LOOK_S / 4)
                live.poll()
                if self.events is None and self._status_reached(live, self.point.index):
                    self.fired_by = "status"
                    return
                if self.events is not None and self._status_reached(live, self.point.index + 1):
                    self.fired_by = "the next file's status"
                    return
                if live.ended():
                    raise BenchError("the run ended before the kill point")
                if time.monotonic() > deadline:
                    raise BenchError("the kill point did not come within %d s" % timeout)
        finally:
            if self.events is not None:
                self.events.close()


def spread(count, plan):
    """`count` kill points spread over the file phase, the three kinds in
    turn. The program file's come first: a kill between its move to the
    backup name and the creation of its successor is the one a run again
    could once not recover from, and the kill lands in that window of a
    few hundred microseconds only now and then, so the program is moved
    once more for every 20 kill points. Moved and created go to files that
    stand before the update."""
    program = next(f.index for f in plan.files if f.name == plan.program_name)
    again = (count - 1) // 20
    points = [KillPoint(MOVED, program), KillPoint(CREATED, program)]
    kinds = [STATUS, MOVED, CREATED]
    rest = max(count - len(points) - again, 0)
    for i in range(rest):
        index = round(i * (len(plan.files) - 1) / max(rest - 1, 1))
        kind = kinds[i % len(kinds)]
        if kind == STATUS:
            # The robot samples the status line: some file after this one
            # must still be written long enough for it to be seen.
            index = min(index, len(plan.files) - _STATUS_MARGIN)
        else:
            index = next((f.index for f in plan.files[index:] if f.replaced),
                         next(f.index for f in reversed(plan.files) if f.replaced))
        points.append(KillPoint(kind, index))
    for number in range(again):
        # At 21, 41, ...: a first kill of its trial (see the schedule).
        points.insert(20 * (number + 1) + 1, KillPoint(MOVED, program))
    return points[:count]
