"""Names appearing in a folder, as Linux reports them (inotify, through
ctypes: the bench uses the standard library only). The crash test kills
PATCH.EXE the moment a file is moved aside or created: looking for the file
now and then would come too late for the few hundred microseconds between
the move of a file to its backup name and the creation of its successor."""

import ctypes
import os
import select
import struct

IN_CREATE = 0x00000100
IN_MOVED_TO = 0x00000080
_HEADER = struct.Struct("iIII")  # wd, mask, cookie, len; then the name

_libc = ctypes.CDLL(None, use_errno=True)


class FolderEvents:
    """Names created in or moved into one folder, from the moment it is made."""

    def __init__(self, folder):
        self.fd = _libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        if _libc.inotify_add_watch(self.fd, os.fsencode(folder), IN_CREATE | IN_MOVED_TO) < 0:
            error = ctypes.get_errno()
            os.close(self.fd)
            raise OSError(error, "inotify_add_watch %s" % folder)

    def wait(self, seconds):
        """Names that appeared, waiting at most `seconds` for the first."""
        readable, _, _ = select.select([self.fd], [], [], seconds)
        if not readable:
            return []
        try:
            data = os.read(self.fd, 65536)
        except BlockingIOError:
            return []
        names = []
        at = 0
        while at + _HEADER.size <= len(data):
            _, _, _, length = _HEADER.unpack_from(data, at)
            at += _HEADER.size
            names.append(os.fsdecode(data[at:at + length].rstrip(b"\0")))
            at += length
        return names

    def close(self):
        os.close(self.fd)
