"""A freshly made ext4 file system on a loop device, for the benchmark's
inputs and outputs.

The root file system of the bench machines has no journal, and creating
files there after a mass delete becomes slow and erratic; a new ext4 of its
own gives every run the same ground. Its inode tables and journal are
written out by mkfs, so no lazy initialisation runs in the background while
the figures are taken. Needs root (mount, losetup).
"""

import os
import pathlib
import shutil
import subprocess

# Bound for each of the system commands below; none should take seconds.
COMMAND_TIMEOUT_S = 120


class VolumeError(RuntimeError):
    pass


def _run(args):
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            timeout=COMMAND_TIMEOUT_S, check=False)
    if result.returncode != 0:
        raise VolumeError("%s failed (exit %d): %s" % (
            " ".join(args), result.returncode, result.stdout.decode("utf-8", "replace").strip()))
    return result.stdout.decode("utf-8", "replace").strip()


class ScratchVolume:
    """Use as a context manager: the file system is unmounted, its loop
    device detached and its image deleted on the way out, also after a
    failure. `mount_point` is where it is mounted. `reserved_percent` of the
    blocks are kept for root (mkfs's default is 5); a volume that must fill
    up under a program running as root keeps none. `inodes`, when given, is
    how many files it must hold (mkfs's default is one per 16 KB)."""

    def __init__(self, image, mount_point, size_bytes, reserved_percent=5, inodes=None):
        self.image = pathlib.Path(image)
        self.mount_point = pathlib.Path(mount_point)
        self.size_bytes = size_bytes
        self.reserved_percent = reserved_percent
        self.inodes = inodes
        self.device = None
        self.mounted = False

    def __enter__(self):
        if os.geteuid() != 0:
            raise VolumeError("making the scratch ext4 needs root (mount, losetup)")
        self.image.parent.mkdir(parents=True, exist_ok=True)
        # A mount left by an interrupted earlier run would hide the new one.
        if os.path.ismount(self.mount_point):
            _run(["umount", str(self.mount_point)])
        self.image.unlink(missing_ok=True)
        try:
            _run(["truncate", "-s", str(self.size_bytes), str(self.image)])
            _run(["mkfs.ext4", "-q", "-F", "-m", str(self.reserved_percent)] +
                 (["-N", str(self.inodes)] if self.inodes else []) +
                 ["-E", "lazy_itable_init=0,lazy_journal_init=0", str(self.image)])
            self.device = _run(["losetup", "--find", "--show", str(self.image)])
            self.mount_point.mkdir(parents=True, exist_ok=True)
            _run(["mount", "-t", "ext4", self.device, str(self.mount_point)])
            self.mounted = True
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        """Unmounts, detaches and deletes; every step is tried even when an
        earlier one failed, and the first failure is raised at the end."""
        problems = []
        if self.mounted:
            try:
                _run(["umount", str(self.mount_point)])
                self.mounted = False
            except (VolumeError, subprocess.TimeoutExpired) as error:
                # A process that outlived an interrupted run still holds a
                # file there: detach the mount now, the kernel frees it (and
                # the loop device) when the last file is closed.
                problems.append(str(error))
                try:
                    _run(["umount", "--lazy", str(self.mount_point)])
                    self.mounted = False
                    problems.append("unmounted lazily instead")
                except (VolumeError, subprocess.TimeoutExpired) as lazy_error:
                    problems.append(str(lazy_error))
        if self.device and not self.mounted:
            try:
                _run(["losetup", "-d", self.device])
            except (VolumeError, subprocess.TimeoutExpired) as error:
                # Already gone (autoclear) is fine; anything else is reported.
                if self.device in _run(["losetup", "--list", "--noheadings", "-O", "NAME"]):
                    problems.append(str(error))
            self.device = None
        if not self.mounted:
            self.image.unlink(missing_ok=True)
            if self.mount_point.is_dir() and not os.path.ismount(self.mount_point):
                shutil.rmtree(self.mount_point, ignore_errors=True)
        if problems:
            raise VolumeError("; ".join(problems))

    def usage(self):
        """(used bytes, size bytes) of the mounted file system."""
        stats = os.statvfs(self.mount_point)
        return ((stats.f_blocks - stats.f_bfree) * stats.f_frsize, stats.f_blocks * stats.f_frsize)
