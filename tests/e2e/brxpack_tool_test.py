#!/usr/bin/python3
"""End-to-end scenarios for the authoring tool: brxpack.exe under Wine builds,
lists, verifies, extracts and round-trips a package; its executable is the
one PATCH.EXE's builder mode makes; long paths reach the target through the
name table."""

import struct

import bench
import checks
import user_texts
from brxpack_run import Brxpack, toml_literal, write_project
from checks import expect, expect_bytes, expect_equal

# Paths longer than an entry name's 31 bytes, with Cyrillic components.
LONG_NAME = "справка\\разделы для опытных пользователей\\настройка карт.txt"
PAYLOAD = {
    "readme.txt": b"Read me: the maps are new. " * 20,
    "data/maps/city.map": bytes(range(256)) * 64,
    "справка/разделы для опытных пользователей/настройка карт.txt":
        "Настройка карт.\r\n".encode("cp1251") * 10,
}


def _manifest(s, level=1):
    return "\n".join([
        "[target]",
        "registry_key = %s" % toml_literal(s.key),
        "patch_level = %d" % level,
        "[startup]",
        "caption = 'Brindlex Viewer'",
        'question = "Установить обновление?\\r\\nInstall the update?"',
        "[payload]",
        "folder = 'payload'",
        "[folders]",
        "create = ['logs']",
        "[[registry]]",
        "root = 'HKCU'",
        "key = %s" % toml_literal(s.user_key),
        "name = 'Version'",
        "type = 'string'",
        "data = 'два'",
        "",
    ])


def _project(s, level=1):
    return write_project(s.root / "project", _manifest(s, level),
                         {"payload/" + name: data for name, data in PAYLOAD.items()})


def _installed_tree(s):
    expected = s.initial_tree()
    expected.update({"readme.txt": PAYLOAD["readme.txt"], "data": None, "data\\maps": None,
                     "data\\maps\\city.map": PAYLOAD["data/maps/city.map"], "logs": None,
                     "справка": None, "справка\\разделы для опытных пользователей": None,
                     LONG_NAME: PAYLOAD["справка/разделы для опытных пользователей/"
                                        "настройка карт.txt"]})
    return expected


def _expect_installed(s, report):
    # The manifest's UTF-8 question reaches the user in Windows-1251.
    checks.expect_boxes(report, [("Brindlex Viewer".encode("cp1251"),
                                  "Установить обновление?\r\nInstall the update?".encode("cp1251"),
                                  "OK+Cancel", "information")])
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    s.expect_target_tree(_installed_tree(s))
    expect_equal(s.level(), 1, "patch level")


# Tests that one round trip of brxpack.exe under Wine holds: build, list
# (the long path shown as installed through the name table, the question in
# UTF-8), verify, extract (every file under its installed name, Cyrillic
# names included), manifest and a second build that gives the same package.
def scenario_round_trip(s):
    tool = Brxpack(s)
    manifest = _project(s)
    package = s.root / "update.brx"
    tool.run("build", manifest, "-o", package)
    listing = tool.run("list", package).out
    for expected in ["installed as " + LONG_NAME, "Установить обновление?\\r\\nInstall the update?",
                     "registry key    HKLM\\" + s.key]:
        expect(expected in listing, "list does not show %r:\n%s" % (expected, listing))
    verify = tool.run("verify", package)
    expect(verify.out.rstrip().endswith(": OK"), "verify: %r" % verify)

    tool.run("extract", package, "-C", s.root / "again" / "payload")
    for name, data in PAYLOAD.items():
        expect_bytes((s.root / "again" / "payload" / name).read_bytes(), data, "extracted " + name)
    tool.run("manifest", package, "-o", s.root / "again" / "brxpack.toml")
    tool.run("build", s.root / "again" / "brxpack.toml", "-o", s.root / "rebuilt.brx")
    expect((s.root / "rebuilt.brx").read_bytes() == package.read_bytes(),
           "the round trip changed the package")

    damaged = bytearray(package.read_bytes())
    damaged[40] ^= 0xFF
    (s.root / "damaged.brx").write_bytes(bytes(damaged))
    tool.run("verify", s.root / "damaged.brx", expect_code=1)


# Tests that brxpack.exe's executable is byte for byte what PATCH.EXE's own
# builder mode writes for the same package, and that it installs everything,
# the long path through the name table included.
def scenario_exe_is_what_makeexe_writes(s):
    tool = Brxpack(s)
    s.install_target(level=0)
    package = s.root / "update.brx"
    tool.run("build", _project(s), "-o", package)
    report = s.run(args=['"%s"' % (s.win_root + "\\update.brx"),
                         '"%s"' % (s.win_root + "\\makeexe.exe"), "MAKEEXE"], click=False)
    checks.expect_closes_by_itself(report)
    tool.run("exe", package, "-o", s.root / "brxpack.exe.out", "--stub", s.root / "PATCH.EXE")
    made = (s.root / "makeexe.exe").read_bytes()
    expect(len(made) > 0 and (s.root / "brxpack.exe.out").read_bytes() == made,
           "brxpack exe differs from PATCH.EXE MAKEEXE")
    expect_bytes(made[-8:], struct.pack("<I", len((s.root / "PATCH.EXE").read_bytes())) + b"BRDX",
                 "trailer")

    report = s.run(application=s.win_root + "\\makeexe.exe", answers=["OK"])
    _expect_installed(s, report)
    value = s.registry.read([("HKCU", s.user_key, "Version")])[0]
    expect_equal(value, (1, "два".encode("cp1251") + b"\0"), "HKCU value")


# Tests that build --exe makes the executable in one step and that the
# installer applies it: files with paths too long for an entry name land
# under their full paths.
def scenario_long_paths_applied(s):
    tool = Brxpack(s)
    s.install_target(level=0)
    tool.run("build", _project(s), "--exe", s.root / "update.exe", "--stub", s.root / "PATCH.EXE")
    expect(not (s.root / "project" / "brxpack.brx").exists(), "a package file was written")
    report = s.run(application=s.win_root + "\\update.exe", answers=["OK"])
    _expect_installed(s, report)


if __name__ == "__main__":
    bench.main(globals())
