"""The update the crash test kills, and what a kill left of it.

200 files in directory order, most of them replacing a file of the
installed program, some new, many nested, the program file itself among
them, sizes from a few kilobytes to a few megabytes so that writing a file
takes measurable time. Contents come from a fixed seed, so every run of the
test kills the same update.

The promise checked after a kill: no file that stood before is lost, and a
file is unwritten under its own name only while a complete version waits
under a backup name (or when it is new to the target: then nothing was
there to lose). A backup name is NAME.bak, or NAME.bak.N when that is
taken: a run again after a kill keeps the backups the killed run made (it
cannot tell them from a user's own files), so its own go to the next free
name.
"""

import collections
import random
import re

import package_builder as pb
from wine import BenchError

FILE_COUNT = 200
PROGRAM_INDEX = 99  # the program file, in the middle of the file phase
SEED = 0xB81D
KIB = 1024
MIB = 1024 * KIB

# Files of the user that the update does not touch; they must survive
# every kill untouched.
USER_FILES = {
    "user\\settings.ini": b"[view]\r\nzoom=140\r\n",
    "user\\notes\\todo.txt": b"back up the maps\r\n",
    "maps.db": bytes(range(256)) * 64,
}

_FOLDERS = ["", "bin", "lib\\core", "lib\\net", "data\\maps\\north", "data\\maps\\south",
            "res\\icons\\16", "res\\icons\\32", "help"]
_NEW_FOLDERS = ["plugins\\ext", "plugins\\ext\\filters", "data\\tiles\\z1\\x4"]
# Half-byte text: zlib has real work to do and still halves it.
_HALF_BYTES = bytes(b"0123456789abcdef"[b & 15] for b in range(256))


class PlannedFile:
    def __init__(self, index, name, before, after):
        self.index = index
        self.name = name          # installed name, backslashes
        self.before = before      # bytes, or None for a file new to the target
        self.after = after        # bytes the update brings
        self.replaced = before is not None


def _size(index, rng):
    # The last file too is large, so the robot sees the status line name it.
    if index % 40 == 20 or index == FILE_COUNT - 1:
        return 4 * MIB + rng.randrange(MIB)
    if index % 10 == 5:
        return MIB + rng.randrange(MIB)
    return 8 * KIB + rng.randrange(56 * KIB)


def _content(rng, size):
    return rng.randbytes(size).translate(_HALF_BYTES)


class UpdatePlan:
    """The 200 files, and the package that brings them."""

    def __init__(self, program_name, program_before):
        rng = random.Random(SEED)
        self.program_name = program_name
        self.files = []
        for index in range(FILE_COUNT):
            if index == PROGRAM_INDEX:
                # The new program is large, so that a kill can find it half
                # written with its old version waiting under the backup name.
                name, before = program_name, program_before
                after = program_before + _content(rng, 4 * MIB)
            elif index % 7 == 3:
                folder = _NEW_FOLDERS[index % len(_NEW_FOLDERS)] if index % 2 else \
                    _FOLDERS[index % len(_FOLDERS)]
                name = (folder + "\\" if folder else "") + "new%03d.dat" % index
                before = None
                after = _content(rng, _size(index, rng))
            else:
                folder = _FOLDERS[index % len(_FOLDERS)]
                name = (folder + "\\" if folder else "") + "file%03d.bin" % index
                before = _content(rng, max(KIB, _size(index, rng) // 2))
                after = _content(rng, _size(index, rng))
            self.files.append(PlannedFile(index, name, before, after))
        self.by_name = {f.name.lower(): f for f in self.files}
        self.program = self.files[PROGRAM_INDEX]

    def package_bytes(self, registry_keys):
        entries = [pb.Entry(":RegistryKeys", registry_keys)]
        entries += [pb.Entry(f.name, f.after, compress=f.index % 3 != 0) for f in self.files]
        return pb.package(entries)

    def tree(self, version):
        """The target folder before ("before") or after ("after") the
        update: name -> bytes, None for a folder; the user's files in both."""
        files = {f.name: getattr(f, version) for f in self.files if getattr(f, version)}
        files.update(USER_FILES)
        tree = {}
        for name, data in files.items():
            parts = name.split("\\")
            tree.update({"\\".join(parts[:depth]): None for depth in range(1, len(parts))})
            tree[name] = data
        return tree


ABSENT, OLD, NEW, UNWRITTEN, FOREIGN = "absent", "old", "new", "unwritten", "foreign"


def _classify(path, planned):
    try:
        data = path.read_bytes()
    except FileNotFoundError:
        return ABSENT
    if data == planned.before:
        return OLD
    if data == planned.after:
        return NEW
    # Created, and maybe mapped to its length and written from the start:
    # what was written stands, the rest reads as zero.
    if not data or (len(data) == len(planned.after)
                    and planned.after.startswith(data.rstrip(b"\0"))):
        return UNWRITTEN
    return FOREIGN


def backups(own_path):
    """The files under a backup name of own_path: NAME.bak and NAME.bak.N."""
    pattern = re.compile(re.escape(own_path.name.lower()) + r"\.bak(\.[0-9]+)?")
    if not own_path.parent.is_dir():
        return []
    return sorted(path for path in own_path.parent.iterdir()
                  if path.is_file() and pattern.fullmatch(path.name.lower()))


def leftover_backups(target, plan):
    """After a run again that finished: the backups killed runs left,
    name -> bytes. Each holds the file as it was before the update, or (after
    two kills in a row) the half-written file the first one left."""
    left = {}
    for planned in plan.files:
        own_path = target / planned.name.replace("\\", "/")
        for path in backups(own_path):
            state = _classify(path, planned)
            if state not in (OLD, UNWRITTEN):
                raise BenchError("%s was left holding %s bytes" % (path.name, state))
            left[str(path.relative_to(target)).replace("/", "\\")] = path.read_bytes()
    return left


class KillState:
    """The state of every planned file after a kill (its own name and its
    backup name), judged against the promise."""

    def __init__(self, target, plan):
        self.problems = []
        self.tally = collections.Counter()
        self.lost = 0
        self.program_only_at_backup = False
        known = {name.lower() for name in USER_FILES}
        for planned in plan.files:
            own_path = target / planned.name.replace("\\", "/")
            own = _classify(own_path, planned)
            found = backups(own_path)
            kept = [_classify(path, planned) for path in found]
            backup = "+".join(kept) or ABSENT
            known.add(planned.name.lower())
            known.update(str(path.relative_to(target)).replace("/", "\\").lower()
                         for path in found)
            self.tally["%s/%s" % (own, backup)] += 1
            if FOREIGN == own or FOREIGN in kept:
                self.problems.append("%s holds bytes of no version (own %s, backup %s)"
                                     % (planned.name, own, backup))
            if planned.replaced and own not in (OLD, NEW) and OLD not in kept:
                self.lost += 1
                self.problems.append("%s is lost (own %s, backup %s)" % (planned.name, own, backup))
            if planned is plan.program and own == ABSENT:
                self.program_only_at_backup = True
        for name, data in USER_FILES.items():
            path = target / name.replace("\\", "/")
            if not path.is_file() or path.read_bytes() != data:
                self.problems.append("the user's %s was changed or lost" % name)
        for path in sorted(target.rglob("*")):
            name = str(path.relative_to(target)).replace("/", "\\").lower()
            if path.is_file() and name not in known:
                self.problems.append("unexpected file %s" % name)

    def summary(self):
        """Files by state, own name/backup name."""
        parts = ["%d %s" % (count, pair) for pair, count in sorted(self.tally.items())]
        if self.program_only_at_backup:
            parts.append("the program only at its backup")
        return ", ".join(parts)

    def check(self, what):
        if self.problems:
            raise BenchError("%s:\n    %s" % (what, "\n    ".join(self.problems)))
