#!/usr/bin/python3
"""End-to-end scenarios: file replacement against a real file system. Files
that cannot be written, a file held open by another program, damaged and
empty entries, and how entry names become paths."""

import shutil

import bench
import checks
import package_builder as pb
import registry
import user_texts
from checks import expect_equal


# Tests a file whose destination cannot be created (a file stands where its
# folder should be): the files after it are still installed, the status line
# ends with the last file's own result, there is no success text, and the
# patch level is not recorded.
def scenario_destination_cannot_be_created(s):
    s.put_target_file("a", b"a file, not a folder")
    s.install_target(level=0)
    report = s.run(args=[s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry("first.txt", b"first"),
        pb.Entry("a\\b.txt", b"cannot be written"),
        pb.Entry("last.txt", b"last"),
    ])])
    checks.expect_status(report, user_texts.file_updated(s.target_path("last.txt")))
    checks.expect_waits_for_click(report)
    expected = s.initial_tree()
    expected.update({"a": b"a file, not a folder", "first.txt": b"first", "last.txt": b"last"})
    s.expect_target_tree(expected)
    expect_equal(s.level(), 0, "patch level")


# Tests a run with two failing files and a failing command: every file is
# still attempted, removal and the registry table still run, and the status
# line ends with the last file's failure text, not the success text.
def scenario_several_failures(s):
    s.put_target_file("a", b"file a")
    s.put_target_file("b", b"file b")
    s.put_target_file("old.txt", b"old")
    s.install_target(level=0)
    shutil.copyfile(bench.test_program("write_error_file"), s.root / "fail.exe")
    report = s.run(args=[s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry("a\\one.txt", b"one"),
        pb.Entry("good.txt", b"good"),
        pb.Entry("b\\two.txt", b"two"),
        pb.Entry(":CommandsToExecute", pb.commands([(pb.WAIT, s.win_root + "\\fail.exe", "")])),
        pb.Entry(":FilesToRemove", pb.files_to_remove(["old.txt"])),
        pb.Entry(":RegistryTable", pb.registry_table(
            [(pb.REGISTRY_WRITE, pb.HKLM_ROOT, s.key, pb.TYPE_TEXT, "After", "ran")])),
    ])])
    checks.expect_boxes(report, [checks.commands_failed_box()])
    checks.expect_status(report, user_texts.file_failed(s.target_path("b\\two.txt")))
    checks.expect_waits_for_click(report)
    expected = s.initial_tree()
    expected.update({"a": b"file a", "b": b"file b", "good.txt": b"good"})
    s.expect_target_tree(expected)
    expect_equal(s.registry.read([("HKLM", s.key, "After"), ("HKLM", s.key, "PatchLevel")]),
                 [(registry.REG_SZ, b"ran\0"), (registry.REG_DWORD, b"\0\0\0\0")],
                 "registry table value and patch level")


# Tests a file held open by another program without sharing: the old file
# stays with its content, no backup is left, the failure text names the
# full path, the other files are installed and the level is not recorded.
# Once the file is let go, the same update run again finishes the job.
def scenario_file_held_open(s):
    s.put_target_file("readme.txt", b"old readme")
    s.install_target(level=0)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry("new.txt", b"new"),
        pb.Entry("readme.txt", b"new readme"),
    ])
    holder = s.hold("readme.txt")
    try:
        report = s.run(args=[package])
    finally:
        holder.release()
    checks.expect_status(report, user_texts.file_failed(s.target_path("readme.txt")))
    checks.expect_waits_for_click(report)
    expected = s.initial_tree()
    expected.update({"readme.txt": b"old readme", "new.txt": b"new"})
    s.expect_target_tree(expected)
    expect_equal(s.level(), 0, "patch level")
    report = s.run(args=[package])
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    expected["readme.txt"] = b"new readme"
    s.expect_target_tree(expected)
    expect_equal(s.level(), 1, "patch level after the update ran again")


# Tests a compressed entry whose stream is cut short: it is a failed file,
# so the old file is put back, the failure text shows and the level is not
# recorded.
def scenario_damaged_entry(s):
    s.put_target_file("readme.txt", b"old readme")
    s.install_target(level=0)
    content = bytes(range(256)) * 64
    stream = pb.deflate(content)
    report = s.run(args=[s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry("readme.txt", content, stored=stream[:len(stream) // 2]),
    ])])
    checks.expect_status(report, user_texts.file_failed(s.target_path("readme.txt")))
    checks.expect_waits_for_click(report)
    expected = s.initial_tree()
    expected["readme.txt"] = b"old readme"
    s.expect_target_tree(expected)
    expect_equal(s.level(), 0, "patch level")


# Tests an entry of size 0: it installs an empty file over the old one and
# counts as written.
def scenario_empty_entry(s):
    s.put_target_file("empty.txt", b"not empty yet")
    s.install_target(level=0)
    report = s.run(args=[s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry("empty.txt", b"", compress=False),
    ])])
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    expected = s.initial_tree()
    expected["empty.txt"] = b""
    s.expect_target_tree(expected)
    expect_equal(s.level(), 1, "patch level")


# Tests how entry names become paths: one leading backslash is kept in the
# path and makes no folder, two entries of one path are both written with
# the later one winning, an unknown name starting with ":" is never
# installed, and stored and compressed entries give the same bytes.
def scenario_entry_names(s):
    s.install_target(level=0)
    report = s.run(args=[s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry("\\lead.txt", b"lead"),
        pb.Entry("twice.txt", b"first"),
        pb.Entry("twice.txt", b"second", compress=False),
        pb.Entry(":NotASection", b"never installed"),
        pb.Entry("stored.bin", bytes(range(256)), compress=False),
        pb.Entry("packed.bin", bytes(range(256))),
    ])])
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    expected = s.initial_tree()
    expected.update({"lead.txt": b"lead", "twice.txt": b"second",
                     "stored.bin": bytes(range(256)), "packed.bin": bytes(range(256))})
    s.expect_target_tree(expected)


if __name__ == "__main__":
    bench.main(globals())
