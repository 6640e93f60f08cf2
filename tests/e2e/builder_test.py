#!/usr/bin/python3
"""End-to-end scenarios: the publisher's side under Wine. brxpack.exe and
PATCH.EXE's builder mode on real files, a signed executable, a build that
fails, and the usage text."""

import json
import random
import shutil

import bench
import checks
import user_texts
from checks import expect, expect_equal
from publisher import brxpack as _brxpack
from publisher import native, sign, with_stub
from wine import SOURCE, windows_path

# Paths longer than an entry name's 31 bytes, with Cyrillic components; and
# a file that does not compress, which travels in stored blocks.
LONG_NAME = "справка\\разделы для опытных пользователей\\настройка карт.txt"
PAYLOAD = {
    "readme.txt": b"Read me: the maps are new. " * 20,
    "data\\maps\\city.map": bytes(range(256)) * 64,
    "data\\noise.bin": random.Random(12).randbytes(3000),
    LONG_NAME: "Настройка карт.\r\n".encode("cp1251") * 10,
}
QUESTION = "Установить обновление?\r\nInstall the update?"
LINUX_BRXPACK = SOURCE / "build" / "release" / "brxpack"


def _project(s, startup=True):
    """A manifest for this scenario's target and the payload files; gives
    the manifest's path."""
    folder = s.root / "project"
    for name, data in PAYLOAD.items():
        path = folder / "payload" / name.replace("\\", "/")
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    lines = ["[target]", "registry_key = '%s'" % s.key, "patch_level = 1",
             "[payload]", "folder = 'payload'"]
    if startup:
        lines += ["[startup]", "caption = 'Brindlex Viewer'",
                  'question = "%s"' % QUESTION.replace("\r\n", "\\r\\n")]
    manifest = folder / "brxpack.toml"
    manifest.write_text("\n".join(lines) + "\n", encoding="utf-8")
    return manifest


def _expect_installed(s, report, extra=None):
    checks.expect_success(report)
    tree = {"data": None, "data\\maps": None, "справка": None,
            "справка\\разделы для опытных пользователей": None}
    tree.update(PAYLOAD)
    tree.update(extra or {})
    s.expect_target_tree(tree)
    expect_equal(s.level(), 1, "patch level")


# Tests that brxpack.exe and PATCH.EXE's builder mode agree on one package:
# a round trip of brxpack.exe (build, extract, manifest, build again) gives
# the same package; PATCH.EXE pkg out MAKEEXE closes by itself without a text
# and writes byte for byte what brxpack.exe exe writes; and that executable,
# run without arguments, asks the manifest's UTF-8 question in Windows-1251
# and installs everything, the long Cyrillic paths through the name table.
def scenario_makeexe_matches_brxpack_exe(s):
    s.install_target(level=0)
    package = s.root / "update.brx"
    _brxpack(s, "build", _project(s), "-o", package)
    _brxpack(s, "extract", package, "-C", s.root / "again" / "payload")
    _brxpack(s, "manifest", package, "-o", s.root / "again" / "brxpack.toml")
    _brxpack(s, "build", s.root / "again" / "brxpack.toml", "-o", s.root / "rebuilt.brx")
    expect((s.root / "rebuilt.brx").read_bytes() == package.read_bytes(),
           "the round trip changed the package")

    made = s.root / "makeexe.exe"
    report = s.run(['"%s"' % windows_path(package), '"%s"' % windows_path(made), "MAKEEXE"],
                   flags=["--no-click"])
    checks.expect_closes_by_itself(report)
    _brxpack(s, "exe", package, "-o", s.root / "brxpack.exe.out", *with_stub(s.root / "PATCH.EXE"))
    expect_equal(made.stat().st_size, (s.root / "PATCH.EXE").stat().st_size
                 + package.stat().st_size + 8, "size of PATCH.EXE's executable")
    expect((s.root / "brxpack.exe.out").read_bytes() == made.read_bytes(),
           "brxpack exe differs from PATCH.EXE MAKEEXE")

    report = s.run(application=windows_path(made), answers=["OK"])
    checks.expect_boxes(report, [(b"Brindlex Viewer", QUESTION.encode("cp1251"), "OK+Cancel",
                                  "information")])
    _expect_installed(s, report)


# Tests that the publisher's road to a signed update works: brxpack.exe
# builds the executable, osslsigncode signs it with a throw-away certificate
# made here and checks the signature, brxpack.exe verify finds it, and the
# installer, which reads its package in front of the certificate table,
# applies it.
def scenario_signed_executable_applies(s):
    s.install_target(level=0)
    unsigned, signed = s.root / "unsigned.exe", s.root / "update.exe"
    _brxpack(s, "build", _project(s, startup=False), "--exe", unsigned,
             *with_stub(s.root / "PATCH.EXE"))
    sign(s, unsigned, signed)
    # brxpack.exe has no libcrypto: it must say so rather than pass the digest.
    verify = _brxpack(s, "verify", signed)
    expect("signature: present" in verify and "its digest is not checked" in verify
           and verify.rstrip().endswith(": OK"), verify)
    _expect_installed(s, s.run(application=windows_path(signed)))


# Tests that brxpack.exe writes byte for byte what the Linux brxpack (the
# release build, made by scripts/dist first) writes from the same manifest,
# at the default level, at level 1 and at --best (12), a file written piece
# by piece among them; and that the level-12 package installs everything.
def scenario_linux_and_windows_builds_agree(s):
    s.install_target(level=0)
    manifest = _project(s, startup=False)
    # Large enough for many deflate blocks and matches across the window.
    rng = random.Random(15)
    words = ["карта", "map", "north", "sheet", "region", "река", "road", "1:50000"]
    atlas = " ".join(rng.choice(words) + str(rng.randrange(999)) for _ in range(90000))
    atlas_bytes = atlas.encode("utf-8")
    # Past the 16 MiB above which build writes a file in pieces of about
    # 1 MiB, each compressed on its own: text, noise and text again, so
    # compressed pieces, stored ones and a compressed last one.
    tiles = atlas_bytes + rng.randbytes(31 << 19) + atlas_bytes
    extra = {"atlas.txt": atlas_bytes, "data\\tiles.bin": tiles}
    for name, data in extra.items():
        (manifest.parent / "payload" / name.replace("\\", "/")).write_bytes(data)
    for name, level in (("default", []), ("fast", ["--level", "1"]), ("best", ["--best"])):
        package, linux = s.root / (name + ".brx"), s.root / (name + ".linux.brx")
        _brxpack(s, "build", manifest, "-o", package, *level)
        native(s, LINUX_BRXPACK, "build", manifest, "-o", linux, *level)
        expect(package.read_bytes() == linux.read_bytes(),
               "brxpack.exe and brxpack differ at %s" % " ".join(level or ["the default"]))
    _expect_installed(s, s.run(['"%s"' % windows_path(s.root / "best.brx")]), extra)


def _clear_target(s):
    """The target folder as installed: the program file and nothing else."""
    for path in s.target.iterdir():
        if path.name != s.PROGRAM_FILE:
            shutil.rmtree(path) if path.is_dir() else path.unlink()


# Tests that the installer checks every byte brxpack.exe writes: with one
# byte flipped in any entry (sections, files that do not shrink, the package
# digest itself alike) or in the directory, it refuses the whole package
# before the question and before changing anything: the usage text, no
# file, no new level.
def scenario_flipped_byte_in_every_entry(s):
    package = s.root / "update.brx"
    _brxpack(s, "build", _project(s, startup=False), "-o", package)
    listing = json.loads(_brxpack(s, "list", "--json", package))
    original = package.read_bytes()
    places = [(entry, entry["offset"] + entry["storedSize"] // 2) for entry in listing["entries"]]
    places.append((None, (listing["directory"]["offset"] + len(original)) // 2))
    expect(any(entry["name"] == ":PackageDigest" for entry, _ in places[:-1]),
           "brxpack.exe wrote no package digest")
    for entry, at in places:
        damaged = bytearray(original)
        damaged[at] ^= 0xFF
        path = s.root / "damaged.brx"
        path.write_bytes(bytes(damaged))
        _clear_target(s)
        s.install_target(level=0)
        report = s.run(['"%s"' % windows_path(path)])
        what = entry["name"] if entry else "the directory"
        checks.check_each([(what, lambda: checks.expect_status(report, user_texts.USAGE)),
                           (what, lambda: s.expect_target_tree({})),
                           (what, lambda: checks.expect_waits_for_click(report)),
                           (what, lambda: expect_equal(s.level(), 0, "patch level"))])


# Tests the usage text, once: a package file that does not exist shows it
# and the window waits for "OK". (A build that fails on a real file system
# is the real-faults scenario's: its disk fills up.)
def scenario_usage_text(s):
    report = s.run(['"%s\\missing.pkg"' % s.win_root])
    checks.expect_status(report, user_texts.USAGE)
    checks.expect_waits_for_click(report)


if __name__ == "__main__":
    bench.main(globals())
