"""Composes update packages byte by byte for the end-to-end scenarios.

Written apart from the product's own package writer, so that the two
writers check each other's reading of the format.

Layout: a 32-byte header (magic "Brindlex data  " + 0x1A, entry count,
directory offset, directory flags, compressed directory size), the entries'
data from offset 32 on, then the directory of 48-byte records (name padded
to 32 bytes, offset, size, flags, compressed size), compressed. A
self-applying executable is the program file, the package and an 8-byte
trailer (package start, "BRDX"). All numbers are 32-bit little-endian;
texts are Windows-1251 bytes.
"""

import struct
import zlib

MAGIC = b"Brindlex data  \x1a"
HEADER_SIZE = 32
# The publisher's packages set the second bit beside the compression bit;
# readers must ignore it.
ENTRY_COMPRESSED = 0x10000 | 0x100000
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
    """One directory entry and its data, stored or compressed."""

    def __init__(self, name, content=b"", compress=True):
        self.name = text(name)
        if len(self.name) > 31:
            raise ValueError("entry name longer than 31 bytes: %r" % self.name)
        self.content = bytes(content)
        self.flags = ENTRY_COMPRESSED if compress else 0
        self.stored = deflate(self.content) if compress else self.content


def package(entries):
    """The bytes of a package file holding `entries` in directory order."""
    body = bytearray()
    records = bytearray()
    for entry in entries:
        records += struct.pack("<32sIIII", entry.name, HEADER_SIZE + len(body),
                               len(entry.content), entry.flags, len(entry.stored))
        body += entry.stored
    directory = deflate(bytes(records))
    header = struct.pack("<16sIIII", MAGIC, len(entries), HEADER_SIZE + len(body),
                         DIRECTORY_COMPRESSED, len(directory))
    return header + bytes(body) + directory


def self_applying(program, package_bytes):
    """A self-applying executable: program file, package, trailer."""
    return bytes(program) + bytes(package_bytes) + struct.pack("<I", len(program)) + b"BRDX"


# --- section payloads --------------------------------------------------------
# Each ends with the one zero byte more that the publisher's packages carry
# after every section; no reader depends on it.

def _texts(items):
    return b"".join(text(item) + b"\0" for item in items)


def registry_keys(key, level):
    """:RegistryKeys: key under HKLM, the three value names, the package's level."""
    return _texts([key, "ProgramPath", "ProgramName", "PatchLevel"]) + struct.pack("<i", level) \
        + b"\0"


def startup_msg(caption, question):
    """:StartupMsg: the confirmation box's caption and question."""
    return _texts([caption, question]) + b"\0"


def name_table(pairs):
    """:XlatNamesTable: (entry name, installed name) pairs."""
    return b"".join(_texts(pair) for pair in pairs) + b"\0\0"


def text_list(names):
    """:Folders and :FilesToRemove: names relative to the target folder."""
    return _texts(names) + b"\0\0"


WAIT = 1
RELATIVE = 2


def commands(records):
    """:CommandsToExecute: (flags, program, arguments) records."""
    body = b"".join(bytes([flags]) + _texts([program, arguments])
                    for flags, program, arguments in records)
    return body + b"\0\0\0"


REGISTRY_WRITE = 1
TYPE_NUMBER = 1
TYPE_TEXT = 2


def registry_table(records):
    """:RegistryTable: (root, key, type, value name, data) records to write."""
    body = b""
    for root, key, value_type, name, data in records:
        body += struct.pack("<II", REGISTRY_WRITE, root) + text(key) + b"\0"
        body += struct.pack("<I", value_type) + _texts([name, data])
    return body + struct.pack("<I", 0) + b"\0"
