#!/usr/bin/python3
"""End-to-end scenarios: file removal. Names are taken as stored, files go
before their folder, and nothing that cannot be removed stops the run."""

import bench
import checks
import package_builder as pb
import user_texts
from checks import expect_equal


# Tests the removal list against a real file system: files listed before
# their folder go and then the folder; a folder listed before its file
# stays while the file goes; a name ending in a backslash removes an empty
# folder; a name that does not exist leaves no trace; names are not
# translated by the name table. Removal never fails the run.
def scenario_removal_order(s):
    for name in ["gone\\one.txt", "gone\\two.txt", "kept\\x.txt", "real.txt"]:
        s.put_target_file(name, name.encode("ascii"))
    (s.target / "trailing").mkdir()
    s.install_target(level=0)
    report = s.run(args=[s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry(":XlatNamesTable", pb.name_table([("alias.txt", "real.txt")])),
        pb.Entry(":FilesToRemove", pb.files_to_remove([
            "gone\\one.txt", "gone\\two.txt", "gone",
            "kept", "kept\\x.txt",
            "trailing\\",
            "never-there.txt",
            "alias.txt",
        ])),
    ])])
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    expected = s.initial_tree()
    expected.update({"kept": None, "real.txt": b"real.txt"})
    s.expect_target_tree(expected)
    expect_equal(s.level(), 1, "patch level")


# Tests that names which cannot be removed are passed over silently: a file
# held open without sharing and a read-only file stay, the names after them
# are still removed, and the run still succeeds.
def scenario_removal_failures_ignored(s):
    for name in ["held.txt", "readonly.txt", "after.txt"]:
        s.put_target_file(name, name.encode("ascii"))
    (s.target / "readonly.txt").chmod(0o444)  # Wine shows it as FILE_ATTRIBUTE_READONLY
    s.install_target(level=0)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry(":FilesToRemove", pb.files_to_remove(["held.txt", "readonly.txt", "after.txt"])),
    ])
    holder = s.hold("held.txt")
    try:
        report = s.run(args=[package])
    finally:
        holder.release()
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    expected = s.initial_tree()
    expected.update({"held.txt": b"held.txt", "readonly.txt": b"readonly.txt"})
    s.expect_target_tree(expected)
    expect_equal(s.level(), 1, "patch level")


if __name__ == "__main__":
    bench.main(globals())
