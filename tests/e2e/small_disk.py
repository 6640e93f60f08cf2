"""A small disk for the scenarios of a full disk: an ext4 file system of a
few megabytes in a file, loop-mounted (which needs root) and given to Wine
as a drive letter by a symbolic link in the prefix's dosdevices folder.
The mount and the link go when the scenario ends, whatever happened."""

import errno
import os
import pathlib
import subprocess

from checks import BenchError

# Letters the prefix does not use; the first free one is taken.
_LETTERS = "rstuvwxy"


def _run(command):
    result = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=60)
    if result.returncode != 0:
        raise BenchError("%s failed (exit %d): %s" % (
            " ".join(command), result.returncode, result.stdout.decode("utf-8", "replace")[-500:]))


class SmallDisk:
    def __init__(self, work, megabytes=8):
        self.image = work / "small_disk.img"
        self.mount_point = work / "small_disk"
        self.link = None
        if os.geteuid() != 0:
            raise BenchError("a full disk needs a loop-mounted file system, and mounting needs "
                             "root; this bench runs as uid %d" % os.geteuid())
        self._unmount()
        self.mount_point.mkdir(exist_ok=True)
        self.image.unlink(missing_ok=True)
        with open(self.image, "wb") as image:
            image.truncate(megabytes * 1024 * 1024)
        # No blocks kept for root: the installer runs as root under Wine here.
        _run(["mkfs.ext4", "-q", "-F", "-m", "0", str(self.image)])
        _run(["mount", "-o", "loop", str(self.image), str(self.mount_point)])
        try:
            self.letter = self._link()
        except BaseException:
            self._unmount()
            raise

    def _link(self):
        devices = pathlib.Path(os.environ["WINEPREFIX"]) / "dosdevices"
        for letter in _LETTERS:
            link = devices / (letter + ":")
            if link.is_symlink() and os.readlink(link) == str(self.mount_point):
                link.unlink()  # left by an earlier run of this scenario
            if not link.is_symlink() and not link.exists():
                link.symlink_to(self.mount_point)
                self.link = link
                return letter.upper()
        raise BenchError("no free drive letter among %s in %s" % (_LETTERS, devices))

    def free_bytes(self):
        stat = os.statvfs(self.mount_point)
        return stat.f_bavail * stat.f_frsize

    def fill(self, leave_free):
        """Takes all the space but about `leave_free` bytes with a filler
        file; with 0, every last block."""
        try:
            with open(self.mount_point / "filler", "wb") as out:
                out.write(b"\xf1" * max(self.free_bytes() - leave_free, 0))
                while leave_free == 0:
                    out.write(b"\xf1" * 4096)
                    out.flush()
        except OSError as error:
            if error.errno != errno.ENOSPC or leave_free != 0:
                raise

    def close(self):
        if self.link is not None and self.link.is_symlink():
            self.link.unlink()
        self._unmount()
        self.image.unlink(missing_ok=True)

    def _unmount(self):
        if os.path.ismount(self.mount_point):
            # Lazily, should a Wine process still hold a file there.
            subprocess.run(["umount", "-l", str(self.mount_point)], timeout=60,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
