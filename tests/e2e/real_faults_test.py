#!/usr/bin/python3
"""End-to-end scenarios: real faults under Wine, each with the outcome the
installer owes. A file that fails shows its failure text, is rolled back
(its old version back under its own name, no backup left), keeps the new
patch level from being recorded, and the run goes on; nothing is lost,
nothing crashes, the exit code is 0. (A destination held open by another
program: files_test.py.)"""

import os

import bench
import checks
import package_builder as pb
import registry
import user_texts
from checks import expect, expect_equal
from live_run import LiveRun
from small_disk import SmallDisk
from wine import windows_path

MIB = 1024 * 1024


def _on_disk(disk, relative):
    return disk.mount_point / "app" / relative


def _install_on(s, disk, files):
    """The target on the small disk: the program and `files`."""
    folder = disk.mount_point / "app"
    folder.mkdir()
    (folder / s.PROGRAM_FILE).write_bytes(s.initial_tree()[s.PROGRAM_FILE])
    for name, data in files.items():
        (folder / name).write_bytes(data)
    s.install_target(level=0, folder="%s:\\app" % disk.letter)


def _tree(folder):
    return {str(p.relative_to(folder)): p.read_bytes() for p in sorted(folder.rglob("*"))
            if p.is_file()}


def _full_disk(s, leave_free):
    old = os.urandom(MIB)
    new = os.urandom(3 * MIB)
    with SmallDisk(s.work) as disk:
        _install_on(s, disk, {"big.bin": old})
        disk.fill(leave_free)
        package = s.write_package([
            pb.Entry(":RegistryKeys", s.registry_keys(1)),
            pb.Entry("first.txt", b"first"),
            pb.Entry("big.bin", new, compress=False),
        ])
        report = s.run(args=[package])
        path = ("%s:\\app\\big.bin" % disk.letter).encode("cp1251")
        checks.expect_status(report, user_texts.file_failed(path))
        checks.expect_waits_for_click(report)
        folder = disk.mount_point / "app"
        tree = _tree(folder)
        expect_equal(sorted(tree), ["App.exe", "big.bin", "first.txt"], "files on the full disk")
        expect(tree["big.bin"] == old, "big.bin does not hold its old content")
        expect_equal(tree["first.txt"], b"first", "first.txt")
        expect_equal(s.level(), 0, "patch level")
        # Space again: the same update run again finishes the job.
        for filler in disk.mount_point.glob("filler*"):
            filler.unlink()
        report = s.run(args=[package])
        checks.expect_status(report, user_texts.INSTALLED)
        checks.expect_waits_for_click(report)
        tree = _tree(folder)
        expect_equal(sorted(tree), ["App.exe", "big.bin", "first.txt"], "files after the rerun")
        expect(tree["big.bin"] == new, "big.bin does not hold its new content after the rerun")
        expect_equal(s.level(), 1, "patch level after the rerun")


# Tests a disk that fills up while a file is written: under Wine the new
# file's mapping makes it sparse, so the mapping is made and the disk runs
# out while the view is written. The fault is caught: the file fails, the
# half-written file goes and the old one is back, no backup is left, the
# level is not recorded, the program ends normally; with space again the
# update run again finishes.
def scenario_disk_fills_up_while_writing(s):
    _full_disk(s, leave_free=MIB + MIB // 2)


# Tests a disk with no free block at all: the mapping of the new file
# cannot be made. Same outcome: failure text, the old file back, no
# backup, level not recorded, and the update run again on a disk with space
# finishes.
def scenario_disk_already_full(s):
    _full_disk(s, leave_free=0)


# Tests a destination that is a folder holding the user's files: it is not
# moved aside (it would never come back); the file fails with its text, the
# folder and everything in it stay, no backup is left, the other files are
# installed and the level is not recorded. The update run again fails the
# same way, touching nothing.
def scenario_destination_is_a_folder(s):
    s.put_target_file("docs\\manual.txt", b"the user's manual")
    s.put_target_file("docs\\notes\\mine.txt", b"the user's notes")
    s.install_target(level=0)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry("first.txt", b"first"),
        pb.Entry("docs", b"a file where a folder stands"),
    ])
    expected = s.initial_tree()
    expected.update({"docs": None, "docs\\manual.txt": b"the user's manual",
                     "docs\\notes": None, "docs\\notes\\mine.txt": b"the user's notes",
                     "first.txt": b"first"})
    for run in range(2):
        report = s.run(args=[package])
        checks.expect_status(report, user_texts.file_failed(s.target_path("docs")))
        checks.expect_waits_for_click(report)
        s.expect_target_tree(expected)
        expect_equal(s.level(), 0, "patch level after run %d" % (run + 1))


# Tests a read-only destination. Windows (and Wine) let a read-only file be
# moved, so it goes to its backup name and is replaced like any other; the
# backup then refuses its delete, whose result the installer does not look
# at. Nothing is lost: the new file stands, the old one waits read-only
# under the backup name; the run succeeds, and so does the update run
# again, leaving the same state.
def scenario_read_only_destination(s):
    s.put_target_file("readme.txt", b"old readme")
    (s.target / "readme.txt").chmod(0o444)  # Wine shows it as FILE_ATTRIBUTE_READONLY
    s.install_target(level=0)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry("readme.txt", b"new readme"),
        pb.Entry("last.txt", b"last"),
    ])
    expected = s.initial_tree()
    expected.update({"readme.txt": b"new readme", "readme.txt.bak": b"old readme",
                     "last.txt": b"last"})
    for run, answers in enumerate([(), ("OK",)]):  # the second run brings the level warning
        report = s.run(args=[package], answers=answers)
        checks.expect_status(report, user_texts.INSTALLED)
        checks.expect_waits_for_click(report)
        s.expect_target_tree(expected)
        expect_equal((s.target / "readme.txt.bak").stat().st_mode & 0o222, 0,
                     "write bits of the backup after run %d" % (run + 1))
        expect_equal(s.level(), 1, "patch level after run %d" % (run + 1))


# Tests registry keys that refuse writes (a DACL that denies setting values
# and making keys to everyone, which Wine enforces). The registry table
# passes over a value under such a key silently and writes the one after
# it; completion shows its success text but cannot record the level under
# the program's own key, and reports nothing, as the registry phases are
# described. Files are installed, the program ends normally.
def scenario_registry_key_refuses_writes(s):
    locked = s.key + "\\Locked"
    s.install_target(level=0)
    s.registry.deny_writes("HKLM", locked)
    s.registry.deny_writes("HKLM", s.key)
    try:
        report = s.run(args=[s.write_package([
            pb.Entry(":RegistryKeys", s.registry_keys(1)),
            pb.Entry("file.txt", b"installed"),
            pb.Entry(":RegistryTable", pb.registry_table([
                (pb.REGISTRY_WRITE, pb.HKLM_ROOT, locked, pb.TYPE_TEXT, "Refused", "no"),
                (pb.REGISTRY_WRITE, pb.HKCU_ROOT, s.user_key, pb.TYPE_TEXT, "After", "yes"),
            ])),
        ])])
        checks.expect_status(report, user_texts.INSTALLED)
        checks.expect_waits_for_click(report)
        expected = s.initial_tree()
        expected["file.txt"] = b"installed"
        s.expect_target_tree(expected)
        expect_equal(s.registry.read([("HKLM", locked, "Refused"),
                                      ("HKCU", s.user_key, "After"),
                                      ("HKLM", s.key, "PatchLevel")]),
                     [None, (registry.REG_SZ, b"yes\0"), (registry.REG_DWORD, b"\0\0\0\0")],
                     "refused value, the value after it, patch level")
    finally:
        s.registry.delete_key("HKLM", s.key)  # gives the refused writes back first
        s.registry.flush()


def _vanishing(s, take_away, self_applying=False):
    """Runs an update of large files and, once the third file is being
    installed, takes its package away from Linux; every file must still
    come whole from the mapped view. The package is a package file named
    on the command line, or the update's own executable."""
    contents = {"part%d.bin" % i: os.urandom(2 * MIB) for i in range(8)}
    entries = [pb.Entry(":RegistryKeys", s.registry_keys(1))]
    entries += [pb.Entry(name, data, compress=i % 2 == 0)
                for i, (name, data) in enumerate(contents.items())]
    s.install_target(level=0)
    if self_applying:
        package = s.root / "update.exe"
        package.write_bytes(pb.self_applying((s.root / "PATCH.EXE").read_bytes(),
                                             pb.package(entries)))
        live = LiveRun(s, application=windows_path(package))
    else:
        package = s.root / "update.pkg"
        live = LiveRun(s, args=[s.write_package(entries, name=package.name)])
    live.wait_for_status(lambda text: any(b"part%d.bin" % i in text for i in range(2, 8)),
                         "the third file's status")
    take_away(package)
    report = live.finish()
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    expected = s.initial_tree()
    expected.update(contents)
    s.expect_target_tree(expected)
    expect_equal(s.level(), 1, "patch level")
    expect(not package.exists(), "the package came back")


# Tests a package file deleted from Linux while the installer runs. Wine
# enforces no Windows sharing on Linux operations, and the view of a deleted
# file stays valid: the update goes on to its end with every file whole.
def scenario_package_deleted_while_running(s):
    _vanishing(s, lambda path: path.unlink())


# Tests a package file renamed away from its folder while the installer
# runs: the same, the view follows the file.
def scenario_package_renamed_while_running(s):
    _vanishing(s, lambda path: path.rename(path.with_name("moved.pkg")))


# Tests a self-applying update whose own executable is deleted while it
# runs: its package is read from its own file's view, which stays valid.
def scenario_self_applying_update_deleted_while_running(s):
    _vanishing(s, lambda path: path.unlink(), self_applying=True)


if __name__ == "__main__":
    bench.main(globals())
