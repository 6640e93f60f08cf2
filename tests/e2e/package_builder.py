"""Composes update packages byte by byte for the end-to-end scenarios.

Written apart from the product's own package writer, so that a scenario can
craft any package, a damaged or hostile one included, and so that the two
writers check each other's reading of the format.

Layout: a 32-byte header (magic "Brindlex data  " + 0x1A, entry count,
directory offset, directory flags, compressed directory size), the entries'
data from offset 32 on, then the directory of 48-byte records (name padded
to 32 bytes, offset, size, flags, compressed size). A self-applying
executable is the program file, the package and an 8-byte trailer (package
start, "BRDX"). All numbers are 32-bit little-endian; texts are
Windows-1251 bytes.
"""

import struct
import zlib

MAGIC = b"Brindlex data  \x1a"
TRAILER_MAGIC = b"BRDX"
HEADER_SIZE = 32
RECORD_SIZE = 48
NAME_FIELD_SIZE = 32
ENTRY_COMPRESSED = 0x10000
# The publisher's packages set this bit beside the compression bit; readers
# must ignore it.
ENTRY_PUBLISHER_BIT = 0x100000

DIRECTORY_STORED = 0
DIRECTORY_COMPRESSED = 2

HKCU_ROOT = 1
HKLM_ROOT = 2


def text(value):
    """Bytes of a text: str in Windows-1251, bytes unchanged."""
    return value.encode("cp1251") if isinstance(value, str) else bytes(value)


def deflate(data):
    # Level 9 gives the stream header 78 DA, as in the publisher's packages.
    return zlib.compress(data, 9)


class Entry:
    """One directory entry and its stored data.

    The fields a reader trusts can be overridden to make hostile entries:
    `stored` replaces the bytes laid into the package, `size`,
    `compressed_size` and `offset` replace the directory's numbers.
    """

    def __init__(self, name, content=b"", compress=True, flags=None, stored=None, size=None,
                 compressed_size=None, offset=None):
        self.name = text(name)
        self.content = bytes(content)
        self.compress = compress
        if flags is None:
            flags = ENTRY_COMPRESSED | ENTRY_PUBLISHER_BIT if compress else 0
        self.flags = flags
        if stored is None:
            stored = deflate(self.content) if compress else self.content
        self.stored = stored
        self.size = len(self.content) if size is None else size
        self.compressed_size = len(self.stored) if compressed_size is None else compressed_size
        self.offset = offset

    def record(self, offset):
        if len(self.name) > NAME_FIELD_SIZE - 1:
            raise ValueError("entry name longer than 31 bytes: %r" % self.name)
        return struct.pack("<32sIIII", self.name.ljust(NAME_FIELD_SIZE, b"\0"), offset,
                           self.size, self.flags, self.compressed_size)


def package(entries, directory=DIRECTORY_COMPRESSED, magic=MAGIC, entry_count=None,
            directory_offset=None, directory_flags=None):
    """The bytes of a package file holding `entries` in directory order."""
    body = bytearray()
    records = bytearray()
    for entry in entries:
        offset = HEADER_SIZE + len(body)
        body += entry.stored
        records += entry.record(offset if entry.offset is None else entry.offset)
    directory_at = HEADER_SIZE + len(body)
    if directory == DIRECTORY_COMPRESSED:
        directory_bytes = deflate(bytes(records))
    else:
        directory_bytes = bytes(records)
    header = struct.pack(
        "<16sIIII", magic,
        len(entries) if entry_count is None else entry_count,
        directory_at if directory_offset is None else directory_offset,
        directory if directory_flags is None else directory_flags,
        len(directory_bytes))
    return header + bytes(body) + directory_bytes


def self_applying(program, package_bytes):
    """A self-applying executable: program file, package, trailer."""
    return bytes(program) + bytes(package_bytes) + struct.pack("<I", len(program)) + TRAILER_MAGIC


# --- section payloads --------------------------------------------------------
# Each ends with the one zero byte more that the publisher's packages carry
# after every section; no reader depends on it.

def _texts(items):
    return b"".join(text(item) + b"\0" for item in items)


def registry_keys(key, level, folder_value="ProgramPath", program_value="ProgramName",
                  level_value="PatchLevel"):
    """:RegistryKeys: key under HKLM, the three value names, the package's level."""
    return _texts([key, folder_value, program_value, level_value]) + struct.pack("<i", level) + b"\0"


def startup_msg(caption, question):
    """:StartupMsg: the confirmation box's caption and question."""
    return _texts([caption, question]) + b"\0"


def name_table(pairs):
    """:XlatNamesTable: (entry name, installed name) pairs."""
    return b"".join(_texts(pair) for pair in pairs) + b"\0\0"


def folders(names):
    """:Folders: folders to create, relative to the target folder."""
    return _texts(names) + b"\0\0"


def files_to_remove(names):
    """:FilesToRemove: files and folders to delete, relative to the target folder."""
    return _texts(names) + b"\0\0"


WAIT = 1
RELATIVE = 2


def commands(records):
    """:CommandsToExecute: (flags, program, arguments) records."""
    body = b"".join(bytes([flags]) + _texts([program, arguments])
                    for flags, program, arguments in records)
    return body + b"\0\0\0"


REGISTRY_WRITE = 1
TYPE_KEY_ONLY = 0
TYPE_NUMBER = 1
TYPE_TEXT = 2


def registry_table(records):
    """:RegistryTable: (operation, root, key, type, value name, data) records."""
    body = b""
    for operation, root, key, value_type, name, data in records:
        body += struct.pack("<II", operation, root) + text(key) + b"\0"
        body += struct.pack("<I", value_type) + _texts([name, data])
    return body + struct.pack("<I", 0) + b"\0"
