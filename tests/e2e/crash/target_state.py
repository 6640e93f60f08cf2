"""What a kill left in the target folder, file by file, and the promise
checked against it: no file that stood before is lost, and a file is
unwritten under its own name only while a complete version waits under its
backup name (or when it is new to the target: then nothing was there to
lose)."""

import collections

from checks import BenchError

PAGE = 4096

ABSENT = "absent"
OLD = "old"              # the content before the update
NEW = "new"              # the complete content the update brings
UNWRITTEN = "unwritten"  # created, maybe mapped to its length: new bytes, then zeros
FOREIGN = "foreign"      # anything else: a fault

COMPLETE = (OLD, NEW)


def classify(data, planned):
    if data is None:
        return ABSENT
    if planned.before is not None and data == planned.before:
        return OLD
    if data == planned.after:
        return NEW
    if len(data) == 0:
        return UNWRITTEN  # created, not yet mapped
    # Mapped to its length and written from the start: what was written
    # stands, the rest reads as zero.
    if len(data) == len(planned.after):
        written = _common_prefix(data, planned.after)
        if not data[written:].strip(b"\0"):
            return UNWRITTEN
    return FOREIGN


def _common_prefix(a, b):
    low, high = 0, min(len(a), len(b))
    while low < high:  # bisection: the longest prefix on which they agree
        middle = (low + high + 1) // 2
        if a[:middle] == b[:middle]:
            low = middle
        else:
            high = middle - 1
    return low


def _read(path):
    try:
        return path.read_bytes()
    except FileNotFoundError:
        return None


class KillState:
    """The state of every planned file after a kill, with the tallies the
    test reports."""

    def __init__(self, target, plan, user_files):
        self.problems = []
        self.tally = collections.Counter()
        self.lost = 0
        self.program_only_at_backup = False
        known = {name.lower() for name in user_files}
        for planned in plan.files:
            own_path = target / planned.name.replace("\\", "/")
            own = classify(_read(own_path), planned)
            backup = classify(_read(own_path.with_name(own_path.name + ".bak")), planned)
            known.add(planned.name.lower())
            known.add(planned.name.lower() + ".bak")
            self._judge(plan, planned, own, backup)
        for name, data in user_files.items():
            if _read(target / name.replace("\\", "/")) != data:
                self.problems.append("the user's %s was changed or lost" % name)
        for path in sorted(target.rglob("*")):
            name = str(path.relative_to(target)).replace("/", "\\").lower()
            if path.is_file() and name not in known:
                self.problems.append("unexpected file %s" % name)

    def _judge(self, plan, planned, own, backup):
        name = planned.name
        if own == FOREIGN or backup == FOREIGN:
            self.problems.append("%s holds bytes of no version (own %s, backup %s)"
                                 % (name, own, backup))
        if planned.replaced:
            if own not in COMPLETE and backup not in COMPLETE:
                self.lost += 1
                self.problems.append("%s is lost (own %s, backup %s)" % (name, own, backup))
            # A replaced file is unwritten only beside its backup, so no
            # later move can take an unwritten file to the backup name.
            if backup == UNWRITTEN:
                self.problems.append("%s: an unwritten file went to the backup" % name)
            if planned.name == plan.program_name and own == ABSENT:
                self.program_only_at_backup = True
        if own == UNWRITTEN and backup not in COMPLETE and planned.replaced:
            self.problems.append("%s is unwritten without a complete backup" % name)
        if own == UNWRITTEN:
            self.tally["unwritten beside a complete backup" if backup in COMPLETE
                       else "unwritten, new to the target"] += 1
        elif own == ABSENT and backup != ABSENT:
            self.tally["only at its backup"] += 1
        elif own != ABSENT and backup != ABSENT:
            self.tally["%s beside its backup" % own] += 1
        else:
            self.tally[own] += 1

    def check(self, what):
        if self.problems:
            raise BenchError("%s:\n    %s" % (what, "\n    ".join(self.problems)))

    def summary(self):
        parts = ["%d %s" % (count, label) for label, count in sorted(self.tally.items())]
        if self.program_only_at_backup:
            parts.append("the program only at its backup")
        return ", ".join(parts)
