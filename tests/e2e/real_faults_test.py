#!/usr/bin/python3
"""End-to-end scenarios: real faults under Wine, each with the outcome the
installer owes. A file that fails shows its failure text, is rolled back
(its old version back under its own name, no backup left), keeps the new
patch level from being recorded, and the run goes on; nothing is lost,
nothing crashes, the exit code is 0."""

import contextlib
import errno
import os
import shutil
import sys

import bench
import checks
import package_builder as pb
from checks import expect, expect_equal
from live_run import ROBOT_TIMEOUT_S
from wine import FLAG_TIMEOUT_S, DriveLetter, start_windows_program, wait_for_file, windows_path

sys.path.insert(0, str(bench.SOURCE / "tools" / "bench"))
from scratch_volume import ScratchVolume  # noqa: E402

MIB = 1024 * 1024


@contextlib.contextmanager
def _held(s, name):
    """A target file held open without sharing by another program while the
    context lasts; held when the context starts."""
    ready, release = s.work / "hold.ready", s.work / "hold.release"
    holder = start_windows_program(
        bench.test_program("hold_file"), [windows_path(s.target / name), windows_path(ready),
                                          windows_path(release), ROBOT_TIMEOUT_S + 30],
        s.work / "hold_file")
    wait_for_file(ready, "hold_file holding %s" % name, process=holder)
    try:
        yield
    finally:
        release.write_bytes(b"")
        holder.wait(timeout=FLAG_TIMEOUT_S)


# Tests that a file held open by another program without sharing fails
# alone: the old file stays with its content, no backup is left, the
# failure text names the full path, the other files are installed and the
# level is not recorded. Once the file is let go, the same update run again
# finishes the job.
def scenario_file_held_open(s):
    s.put_target_file("readme.txt", b"old readme")
    s.install_target(level=0)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry("new.txt", b"new"),
        pb.Entry("readme.txt", b"new readme"),
    ])
    with _held(s, "readme.txt"):
        report = s.run([package])
    checks.expect_file_failed(report, s.target_path("readme.txt"))
    s.expect_target_tree({"readme.txt": b"old readme", "new.txt": b"new"})
    expect_equal(s.level(), 0, "patch level")
    checks.expect_success(s.run([package]))
    s.expect_target_tree({"readme.txt": b"new readme", "new.txt": b"new"})
    expect_equal(s.level(), 1, "patch level after the update ran again")


def _fill(folder, leave_free):
    """Takes every block with a filler file, then gives `leave_free` bytes back."""
    filler = folder / "filler"
    with open(filler, "wb", buffering=0) as out:
        try:
            while out.write(b"\xf1" * 65536):
                pass
        except OSError as error:
            if error.errno != errno.ENOSPC:
                raise
    os.truncate(filler, filler.stat().st_size - leave_free)


# Tests that a full disk fails the file it stops, on a small volume of its
# own, in three runs of one update. With no block free, the new file's
# mapping cannot be made. With a little space, the mapping is made (Wine
# makes the file sparse) and the disk runs out while the view is written;
# the fault is caught. Either way the file fails with its text, the
# half-written file goes and the old one is back, no backup is left, the
# level is not recorded and the program ends normally; and a MAKEEXE build
# onto the volume fails the same way, its window closing by itself with no
# output left. With space again, the update finishes.
def scenario_full_disk(s):
    old = os.urandom(MIB)
    new = os.urandom(3 * MIB)
    with ScratchVolume(s.work / "disk.img", s.work / "disk", 8 * MIB, reserved_percent=0) as disk, \
            DriveLetter(disk.mount_point) as drive:
        folder = disk.mount_point / "app"
        folder.mkdir()
        (folder / s.PROGRAM_FILE).write_bytes(s.program_bytes)
        (folder / "big.bin").write_bytes(old)
        s.install_target(level=0, folder=drive.windows_path(folder))
        package = s.write_package([
            pb.Entry(":RegistryKeys", s.registry_keys(1)),
            pb.Entry("first.txt", b"first"),
            pb.Entry("big.bin", new, compress=False),
        ])
        for leave_free in (0, MIB + MIB // 2):
            _fill(disk.mount_point, leave_free)
            report = s.run([package])
            checks.expect_file_failed(report, (drive.windows_path(folder) + "\\big.bin")
                                      .encode("cp1251"))
            s.expect_target_tree({"big.bin": old, "first.txt": b"first"}, folder)
            expect_equal(s.level(), 0, "patch level with %d bytes left free" % leave_free)
            built = disk.mount_point / "update.exe"
            checks.expect_closes_by_itself(s.run(
                [package, '"%s"' % drive.windows_path(built), "MAKEEXE"], flags=["--no-click"]))
            expect(not built.exists(), "the build left %s with %d bytes free" % (built, leave_free))
            (disk.mount_point / "filler").unlink()
        checks.expect_success(s.run([package]))
        s.expect_target_tree({"big.bin": new, "first.txt": b"first"}, folder)
        expect_equal(s.level(), 1, "patch level once there was space again")


# Tests that a read-only destination loses nothing. Windows (and Wine) let
# a read-only file be moved, so it goes to its backup name and is replaced
# like any other; the backup then refuses its delete, whose result the
# installer does not look at. The new file stands, the old one waits
# read-only under the backup name; the run succeeds, and so does the update
# run again, over that backup, leaving the same state.
def scenario_read_only_destination(s):
    s.put_target_file("readme.txt", b"old readme")
    (s.target / "readme.txt").chmod(0o444)  # Wine shows it as FILE_ATTRIBUTE_READONLY
    s.install_target(level=0)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry("readme.txt", b"new readme"),
        pb.Entry("last.txt", b"last"),
    ])
    for run, answers in enumerate([(), ("OK",)], 1):  # the second run brings the level warning
        checks.expect_success(s.run([package], answers=answers))
        s.expect_target_tree({"readme.txt": b"new readme", "readme.txt.bak": b"old readme",
                              "last.txt": b"last"})
        expect_equal((s.target / "readme.txt.bak").stat().st_mode & 0o222, 0,
                     "write bits of the backup after run %d" % run)
        expect_equal(s.level(), 1, "patch level after run %d" % run)


# Tests that a package taken away from Linux while the installer runs, once
# the third of six large files is being installed, still installs whole: a
# package file deleted, and a self-applying update's own executable renamed.
# Wine enforces no Windows sharing on Linux operations, and the view of the
# file stays valid.
def scenario_package_taken_away_while_running(s):
    contents = {"part%d.bin" % i: os.urandom(2 * MIB) for i in range(6)}
    entries = [pb.Entry(":RegistryKeys", s.registry_keys(1)),
               pb.Entry(":StartupMsg", pb.startup_msg("Brindlex", "Install?"))]
    entries += [pb.Entry(name, data, compress=i % 2 == 0)
                for i, (name, data) in enumerate(contents.items())]

    # The package goes while the question waits: the installer has opened
    # it and reads every file from it after the answer. The robot holds the
    # answer until told, so the moment does not depend on the machine's speed.
    def taken_away(path, options, take_away):
        def check():
            s.registry.delete_key("HKLM", s.key)
            s.install_target(level=0)
            for name in contents:
                (s.target / name).unlink(missing_ok=True)
            pauses = s.work / "pauses"
            shutil.rmtree(pauses, ignore_errors=True)
            pauses.mkdir()
            live = s.start(answers=("OK",), flags=("--pause-dir", windows_path(pauses)),
                           **options)
            wait_for_file(pauses / "box1.ready", "the question", process=live.robot)
            take_away(path)
            (pauses / "box1.done").write_bytes(b"")
            (pauses / "finished.done").write_bytes(b"")
            checks.expect_success(live.finish())
            s.expect_target_tree(contents)
            expect_equal(s.level(), 1, "patch level")
        return check

    package = s.root / "update.pkg"
    s.write_file(package.name, pb.package(entries))
    update = s.root / "update.exe"
    update.write_bytes(pb.self_applying((s.root / "PATCH.EXE").read_bytes(), pb.package(entries)))
    checks.check_each([
        ("package file deleted", taken_away(package, {"args": ['"%s"' % windows_path(package)]},
                                            lambda path: path.unlink())),
        ("own executable renamed", taken_away(update, {"application": windows_path(update)},
                                              lambda path: path.rename(path.with_name("moved")))),
    ])


if __name__ == "__main__":
    bench.main(globals())
