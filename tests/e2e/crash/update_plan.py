"""The update the crash test kills: 200 files in directory order, most of
them replacing a file of the installed program, some new, many nested, the
program file itself among them, sizes from a few kilobytes to a few
megabytes so that writing a file takes measurable time. Contents are made
from a fixed seed, so every run of the test kills the same update."""

import random

import package_builder as pb

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
    def __init__(self, index, name, before, after, stored):
        self.index = index
        self.name = name          # installed name, backslashes
        self.before = before      # bytes, or None for a file new to the target
        self.after = after        # bytes the update brings
        self.stored = stored      # stored in the package rather than compressed

    @property
    def replaced(self):
        return self.before is not None


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
    """The 200 files, the user's own files and the package that brings them."""

    def __init__(self, program_name, program_before):
        rng = random.Random(SEED)
        self.program_name = program_name
        self.files = []
        for index in range(FILE_COUNT):
            if index == PROGRAM_INDEX:
                # The new program is large, so that a kill can find it half
                # written with its old version waiting under the backup name.
                name = program_name
                before = program_before
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
            self.files.append(PlannedFile(index, name, before, after, stored=index % 3 == 0))
        self.by_name = {f.name.lower(): f for f in self.files}

    def package_bytes(self, registry_keys):
        entries = [pb.Entry(":RegistryKeys", registry_keys)]
        entries += [pb.Entry(f.name, f.after, compress=not f.stored) for f in self.files]
        return pb.package(entries)

    def total_bytes(self):
        return sum(len(f.after) for f in self.files)
