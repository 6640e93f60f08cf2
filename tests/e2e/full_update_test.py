#!/usr/bin/python3
"""End-to-end scenarios: a whole update from start to end, and the same
update run a second time."""

import bench
import checks
import package_builder as pb
import registry
import user_texts
from checks import expect_equal

OLD_FILES = {
    "readme.txt": b"old readme\r\n",
    "old.txt": b"to be removed",
    "obsolete\\a.txt": b"a",
    "obsolete\\b.txt": b"b",
}


def _prepare(s):
    for name, content in OLD_FILES.items():
        s.put_target_file(name, content)
    s.install_target(level=2)


def _update_package(s):
    """Replaced, new, nested and renamed files, folders, a command that
    succeeds, removals, values under HKCU and HKLM, and patch level 3."""
    return s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(3)),
        pb.Entry(":StartupMsg", pb.startup_msg("Brindlex", "Установить?")),
        pb.Entry(":XlatNamesTable", pb.name_table([("Docs\\Readme.txt", "help\\readme.txt")])),
        pb.Entry(":Folders", pb.folders(["logs", "data", "data\\maps"])),
        pb.Entry(s.PROGRAM_FILE, b"new program " * 500),
        pb.Entry("readme.txt", b"new readme\r\n", compress=False),
        pb.Entry("new.txt", "новый файл\r\n".encode("cp1251")),
        pb.Entry("a\\b\\c.txt", b"nested"),
        pb.Entry("docs\\readme.txt", b"renamed help"),
        pb.Entry("tools\\mark.exe", bench.test_program("exit_with").read_bytes()),
        pb.Entry(":CommandsToExecute", pb.commands(
            [(pb.WAIT | pb.RELATIVE, "tools\\mark.exe", "5 --note ran.txt")])),
        pb.Entry(":FilesToRemove", pb.files_to_remove(
            ["old.txt", "obsolete\\a.txt", "obsolete\\b.txt", "obsolete", "never-there.txt"])),
        pb.Entry(":RegistryTable", pb.registry_table([
            (pb.REGISTRY_WRITE, pb.HKCU_ROOT, s.user_key, pb.TYPE_TEXT, "Greeting", "Привет"),
            (pb.REGISTRY_WRITE, pb.HKLM_ROOT, s.key + "\\Settings", pb.TYPE_NUMBER, "Count",
             "0x1F"),
        ])),
    ])


def _expected_tree(s):
    note = b"DUMMY 5 --note ran.txt\r\n" + s.win_target.rstrip("\\").encode("cp1251") + b"\r\n"
    return {
        s.PROGRAM_FILE: b"new program " * 500,
        "readme.txt": b"new readme\r\n",
        "new.txt": "новый файл\r\n".encode("cp1251"),
        "a": None,
        "a\\b": None,
        "a\\b\\c.txt": b"nested",
        "help": None,
        "help\\readme.txt": b"renamed help",
        "tools": None,
        "tools\\mark.exe": bench.test_program("exit_with").read_bytes(),
        "ran.txt": note,
        "logs": None,
        "data": None,
        "data\\maps": None,
    }


def _expect_installed(s, report):
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    s.expect_target_tree(_expected_tree(s))
    expect_equal(s.registry.read([
        ("HKCU", s.user_key, "Greeting"),
        ("HKLM", s.key + "\\Settings", "Count"),
        ("HKLM", s.key, "PatchLevel"),
    ]), [
        (registry.REG_SZ, "Привет\0".encode("cp1251")),
        (registry.REG_DWORD, b"\x1f\x00\x00\x00"),
        (registry.REG_DWORD, b"\x03\x00\x00\x00"),
    ], "registry values (HKCU Greeting, HKLM Count, PatchLevel)")


# Tests a full update: the old program file and readme replaced, a new
# file, a nested file whose folders are made on the way, a file installed
# under its translated name, listed folders, a command run from the target
# folder as "DUMMY <arguments>" that ends with a non-zero code and still
# succeeds, files removed before their folder, values under HKCU and HKLM,
# no .bak left, the success text and the new patch level.
def scenario_full_update(s):
    _prepare(s)
    report = s.run(args=[_update_package(s)], answers=["OK"])
    expect_equal(len(report.boxes), 1, "boxes seen (the question only)")
    _expect_installed(s, report)


# Tests that running the same package again brings the level warning, and
# that confirming it installs everything again.
def scenario_second_run_warns(s):
    _prepare(s)
    package = _update_package(s)
    first = s.run(args=[package], answers=["OK"])
    _expect_installed(s, first)
    second = s.run(args=[package], answers=["OK", "OK"])
    expect_equal(len(second.boxes), 2, "boxes seen on the second run")
    checks.expect_boxes(second, [(b"Brindlex", "Установить?".encode("cp1251"), "OK+Cancel",
                                 "information"), checks.level_warning_box()])
    _expect_installed(s, second)


if __name__ == "__main__":
    bench.main(globals())
