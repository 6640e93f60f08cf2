#!/usr/bin/python3
"""End-to-end scenarios: how each kind of run ends. The status line at the
end, the boxes seen, whether the window waits for "OK" or closes by itself,
and that a run which ends early changes nothing."""

import bench
import checks
import package_builder as pb
import registry
import user_texts
from checks import expect, expect_equal


def _file(name, content):
    return pb.Entry(name, content)


def _expect_untouched(s, level=None):
    s.expect_target_tree(s.initial_tree())
    expect_equal(s.level(), level, "patch level in the registry")


# Tests that a builder call whose fourth argument is not exactly MAKEEXE
# shows the usage text, waits for "OK", and writes no output.
def scenario_wrong_builder_call(s):
    s.install_target(level=0)
    package = s.write_package([pb.Entry(":RegistryKeys", s.registry_keys(1))])

    def call(keyword, extra=()):
        def check():
            report = s.run(args=[package, "out.exe", keyword] + list(extra))
            checks.expect_status(report, user_texts.USAGE)
            checks.expect_waits_for_click(report)
            checks.expect_boxes(report, [])
            expect(not (s.root / "out.exe").exists(), "an output file was written")
        return check

    checks.check_each([
        ("keyword in lower case", call("makeexe")),
        ("another word", call("BUILD")),
        ("another word and a fifth argument", call("MAKE", ["MAKEEXE"])),
    ])
    _expect_untouched(s, level=0)


# Tests that a package file that does not exist shows the usage text and
# waits for "OK", with nothing installed.
def scenario_package_missing(s):
    s.install_target(level=0)
    report = s.run(args=['"%s\\missing.pkg"' % s.win_root])
    checks.expect_status(report, user_texts.USAGE)
    checks.expect_waits_for_click(report)
    checks.expect_boxes(report, [])
    _expect_untouched(s, level=0)


# Tests that every kind of invalid package is refused with the usage text
# and a waiting window, before anything is asked or changed: wrong magic,
# no entries, no directory offset, directory method 1, an empty file, the
# program's own file without a package, and a self-applying executable with
# a byte behind its trailer.
def scenario_package_invalid(s):
    s.install_target(level=0)
    entries = [pb.Entry(":RegistryKeys", s.registry_keys(1)),
               pb.Entry(":StartupMsg", pb.startup_msg("Caption", "Question")),
               _file("new.txt", b"new")]
    good = pb.package(entries)

    def refused(args, application=None):
        def check():
            report = s.run(args=args, application=application)
            checks.expect_status(report, user_texts.USAGE)
            checks.expect_waits_for_click(report)
            checks.expect_boxes(report, [])
        return check

    def package_file(name, data):
        return ['"%s"' % s.write_file(name, data)]

    patch = (s.root / "PATCH.EXE").read_bytes()
    broken_exe = s.write_file("broken.exe", pb.self_applying(patch, good) + b"\0")
    checks.check_each([
        ("magic ending in 0x0D", refused(package_file(
            "magic.pkg", pb.package(entries, magic=b"Brindlex data  \x0d")))),
        ("magic in other letter case", refused(package_file(
            "case.pkg", pb.package(entries, magic=b"brindlex data  \x1a")))),
        ("entry count 0", refused(package_file("count.pkg", pb.package(entries, entry_count=0)))),
        ("directory offset 0", refused(package_file(
            "offset.pkg", pb.package(entries, directory_offset=0)))),
        ("directory method 1", refused(package_file(
            "method.pkg", pb.package(entries, directory=pb.DIRECTORY_STORED, directory_flags=1)))),
        ("empty file", refused(package_file("empty.pkg", b""))),
        ("own file without a package", refused([])),
        ("byte behind the trailer", refused([], application=broken_exe)),
    ])
    _expect_untouched(s, level=0)


# Tests each cause of a target that is not found: no :RegistryKeys (even
# with files in the package), no key, no folder value, no program file
# value, no program file. Each ends with the not-found text and a waiting
# window, asks nothing and installs nothing.
def scenario_target_not_found(s):
    question = pb.Entry(":StartupMsg", pb.startup_msg("Caption", "Question"))
    new_file = _file("new.txt", b"new")
    full = s.write_package([pb.Entry(":RegistryKeys", s.registry_keys(1)), question, new_file],
                           name="full.pkg")

    def not_found(package, prepare):
        def check():
            s.registry.delete_key("HKLM", s.key)
            prepare()
            report = s.run(args=[package])
            checks.expect_status(report, user_texts.TARGET_NOT_FOUND)
            checks.expect_waits_for_click(report)
            checks.expect_boxes(report, [])
            expect(not (s.target / "new.txt").exists(), "new.txt was installed")
        return check

    def program_file_absent():
        s.install_target(program_file="Gone.exe")

    checks.check_each([
        ("no :RegistryKeys", not_found(
            s.write_package([question, new_file], name="nokeys.pkg"),
            lambda: s.install_target(level=0))),
        ("key missing", not_found(full, lambda: None)),
        ("folder value missing", not_found(full, lambda: s.install_target(with_folder=False))),
        ("program value missing", not_found(full, lambda: s.install_target(with_program=False))),
        ("program file absent", not_found(full, program_file_absent)),
    ])
    s.expect_target_tree(s.initial_tree())


# Tests that Cancel on the package's question, or closing that box, ends the
# run at once: the window closes without a click, the status line stays
# empty, and no folder, file or registry value is touched.
def scenario_refusal_at_question(s):
    s.install_target(level=0)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry(":StartupMsg", pb.startup_msg("Caption", "Question")),
        pb.Entry(":Folders", pb.folders(["logs"])),
        pb.Entry(":RegistryTable", pb.registry_table(
            [(pb.REGISTRY_WRITE, pb.HKLM_ROOT, s.key, pb.TYPE_TEXT, "Touched", "yes")])),
        _file("new.txt", b"new"),
        _file(s.PROGRAM_FILE, b"replaced"),
    ])

    def refused(answer):
        def check():
            report = s.run(args=[package], answers=[answer], click=False)
            checks.expect_closes_by_itself(report)
            expect_equal(len(report.boxes), 1, "boxes seen")
            expect(all(status == b"" for status in report.statuses),
                   "a status text was shown: " + report.summary())
        return check

    checks.check_each([("Cancel", refused("Cancel")), ("close box of the question", refused("Close"))])
    _expect_untouched(s, level=0)
    expect_equal(s.registry.read([("HKLM", s.key, "Touched")]), [None], "registry table value")


# Tests that OK on the question and Cancel on the level warning ends the run
# at once, with both boxes seen and nothing changed.
def scenario_refusal_at_warning(s):
    s.install_target(level=1)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry(":StartupMsg", pb.startup_msg("Caption", "Question")),
        _file("new.txt", b"new"),
    ])
    report = s.run(args=[package], answers=["OK", "Cancel"], click=False)
    checks.expect_closes_by_itself(report)
    expect_equal([box.answer for box in report.boxes], ["OK", "Cancel"], "boxes answered")
    expect(all(status == b"" for status in report.statuses),
           "a status text was shown: " + report.summary())
    _expect_untouched(s, level=1)


# Tests that a package whose only entry is :RegistryKeys, for a target below
# its level, asks nothing, changes no file, shows the success text, records
# the new level as REG_DWORD and waits for "OK".
def scenario_only_registry_keys(s):
    s.install_target(level=None)
    report = s.run(args=[s.write_package([pb.Entry(":RegistryKeys", s.registry_keys(7))])])
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    checks.expect_boxes(report, [])
    s.expect_target_tree(s.initial_tree())
    expect_equal(s.registry.read([("HKLM", s.key, "PatchLevel")]),
                 [(registry.REG_DWORD, b"\x07\x00\x00\x00")], "patch level value")


if __name__ == "__main__":
    bench.main(globals())
