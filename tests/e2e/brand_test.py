#!/usr/bin/python3
"""End-to-end scenario: a publisher's brand on the installer. brxpack.exe
brands PATCH.EXE from a manifest's [brand] table, Windows reads the brand
back, and the branded installer still builds the same executable every
way, signs cleanly and applies its update."""

import struct

import bench
import checks
from checks import expect, expect_equal
from publisher import brxpack, sign, with_stub
from wine import run_windows_program, windows_path

COLOUR = (0x20, 0x60, 0xC0)
BRAND = {"company": "ООО «Пример»", "product": "Пример Viewer", "version": "3.1.4",
         "description": "Обновление Пример Viewer 3.1", "copyright": "© 2025 ООО «Пример»"}


def _icon(size=32):
    """A .ico file of one size x size image of 32-bit colour in COLOUR."""
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytes((COLOUR[2], COLOUR[1], COLOUR[0], 255)) * (size * size)
    image = header + pixels + bytes(4 * size)  # the mask: 4 bytes a row, all clear
    return (struct.pack("<HHH", 0, 1, 1)
            + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22) + image)


def _project(s):
    """A branded manifest for this scenario's target; gives its path."""
    folder = s.root / "project"
    (folder / "payload").mkdir(parents=True)
    (folder / "payload" / "new.txt").write_bytes(b"new")
    (folder / "brand.ico").write_bytes(_icon())
    lines = ["[target]", "registry_key = '%s'" % s.key, "patch_level = 1",
             "[payload]", "folder = 'payload'", "[brand]", "icon = 'brand.ico'"]
    lines += ['%s = "%s"' % item for item in BRAND.items()]
    manifest = folder / "brxpack.toml"
    manifest.write_text("\n".join(lines) + "\n", encoding="utf-8")
    return manifest


# Tests that a brand reaches Windows and leaves the installer whole.
# brxpack.exe brand writes the branded installer, and build --exe, exe
# --stub with it and its own MAKEEXE make one and the same update.exe.
# Windows reads back the publisher's version information and icon (through
# GetFileVersionInfoA, VerQueryValueA and LoadIconA of group 102) with
# dialog 101 still there. Signed with osslsigncode and verified, the
# update applies.
def scenario_branded_installer(s):
    s.install_target(level=0)
    manifest = _project(s)
    branded, package, update = s.root / "branded.exe", s.root / "update.brx", s.root / "update.exe"
    brxpack(s, "brand", manifest, "-o", branded, *with_stub(s.root / "PATCH.EXE"))
    brxpack(s, "build", manifest, "-o", package, "--exe", update, *with_stub(s.root / "PATCH.EXE"))
    brxpack(s, "exe", package, "-o", s.root / "exe.exe", *with_stub(branded))
    made = s.root / "made.exe"
    report = s.run(['"%s"' % windows_path(package), '"%s"' % windows_path(made), "MAKEEXE"],
                   application=windows_path(branded), flags=["--no-click"])
    checks.expect_closes_by_itself(report)
    expect((s.root / "exe.exe").read_bytes() == update.read_bytes() == made.read_bytes(),
           "build --exe, exe --stub and MAKEEXE of the branded installer differ")

    code, out, err = run_windows_program(bench.test_program("read_brand"),
                                         [windows_path(update)], s.work / "read_brand")
    expect(code == 0, "read_brand: exit %d\n%s" % (code, err.decode("cp1251", "replace")))
    expect_equal(dict(line.split("=", 1) for line in out.decode("cp1251").splitlines()), {
        "file_version": "3.1.4.0", "translation": "041904b0",
        "CompanyName": BRAND["company"], "ProductName": BRAND["product"],
        "FileVersion": BRAND["version"], "ProductVersion": BRAND["version"],
        "FileDescription": BRAND["description"], "LegalCopyright": BRAND["copyright"],
        "dialog": "yes", "icon_centre": "%02x%02x%02x" % COLOUR}, "the brand as Windows reads it")

    signed = s.root / "signed.exe"
    sign(s, update, signed)
    report = s.run(application=windows_path(signed))
    checks.expect_success(report)
    s.expect_target_tree({"new.txt": b"new"})


if __name__ == "__main__":
    bench.main(globals())
