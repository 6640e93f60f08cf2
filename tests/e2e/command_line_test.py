#!/usr/bin/python3
"""End-to-end scenarios: the command line's run modes. Building a
self-applying executable with MAKEEXE, running it without arguments, a
builder call that fails, and package names as the command line gives them."""

import struct

import bench
import checks
import package_builder as pb
import user_texts
from checks import expect, expect_bytes, expect_equal


def _small_update(s, level=1):
    return pb.package([
        pb.Entry(":RegistryKeys", s.registry_keys(level)),
        pb.Entry("new.txt", "новый файл".encode("cp1251")),
    ])


def _expect_small_update_installed(s, report, level=1):
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    expected = s.initial_tree()
    expected["new.txt"] = "новый файл".encode("cp1251")
    s.expect_target_tree(expected)
    expect_equal(s.level(), level, "patch level")


# Tests builder mode and the executable it makes: PATCH.EXE pkg out.exe
# MAKEEXE (a fifth argument ignored, an existing output replaced) closes by
# itself with an empty status line and writes the program, the package and
# the trailer; that executable, run with no argument, applies its package.
def scenario_make_and_run_self_applying(s):
    s.install_target(level=0)
    package = _small_update(s)
    package_path = s.write_file("update.pkg", package)
    output = s.write_file("update.exe", b"an older file to be replaced")
    report = s.run(args=['"%s"' % package_path, '"%s"' % output, "MAKEEXE", "ignored"], click=False)
    checks.expect_closes_by_itself(report)
    expect(all(status == b"" for status in report.statuses), "a status text was shown: "
           + report.summary())
    checks.expect_boxes(report, [])
    patch = (s.root / "PATCH.EXE").read_bytes()
    built = (s.root / "update.exe").read_bytes()
    expect_equal(len(built), len(patch) + len(package) + 8, "size of the built executable")
    expect(built[:len(patch)] == patch, "the built executable does not start with PATCH.EXE")
    expect(built[len(patch):-8] == package, "the package is not copied behind the program")
    expect_bytes(built[-8:], struct.pack("<I", len(patch)) + b"BRDX", "trailer")
    s.expect_target_tree(s.initial_tree())

    applied = s.run(application=output)
    _expect_small_update_installed(s, applied)


# Tests a builder call whose package file is missing: the window closes by
# itself without a message and no output is written.
def scenario_builder_failure(s):
    report = s.run(args=['"%s\\missing.pkg"' % s.win_root, '"%s\\out.exe"' % s.win_root,
                         "MAKEEXE"], click=False)
    checks.expect_closes_by_itself(report)
    expect(all(status == b"" for status in report.statuses), "a status text was shown: "
           + report.summary())
    expect(not (s.root / "out.exe").exists(), "an output file was written")


# Tests package names as the command line gives them: a quoted name with a
# blank, a relative name found from the current folder, and a third
# argument that is ignored.
def scenario_package_names(s):
    def apply(args, level):
        def check():
            s.registry.delete_key("HKLM", s.key)
            s.install_target(level=level - 1)
            (s.target / "new.txt").unlink(missing_ok=True)
            report = s.run(args=args)
            _expect_small_update_installed(s, report, level=level)
        return check

    spaced = s.write_file("my update.pkg", _small_update(s, level=2))
    s.write_file("relative.pkg", _small_update(s, level=3))
    s.write_file("third.pkg", _small_update(s, level=4))
    checks.check_each([
        ("quoted name with a blank", apply(['"%s"' % spaced], 2)),
        ("relative name", apply(["relative.pkg"], 3)),
        ("third argument ignored", apply(["third.pkg", "whatever"], 4)),
    ])


if __name__ == "__main__":
    bench.main(globals())
