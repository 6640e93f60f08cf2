#!/usr/bin/python3
"""End-to-end scenarios: the registry table written into Wine's real
registry. Number texts, roots, operations and value types, read back byte
for byte."""

import struct

import bench
import checks
import package_builder as pb
import registry
import user_texts
from checks import expect_equal

# (number text, value written). The last two rows are this project's
# choices where the format leaves hexadecimal text with trailing characters
# open: a hexadecimal number ends at its first non-digit.
NUMBER_TEXTS = [
    ("  0x1F", 31),
    ("0X1f", 31),
    ("-0x10", -16),
    ("017", 17),
    ("12abc", 12),
    ("-5", -5),
    ("", 0),
    ("0x", 0),
    ("+0x10", 0),
    ("16 ", 16),
    ("0x123456789", 0x23456789),
    ("\t\x01 42", 42),
    ("0x1F ", 31),
    ("0x7g", 7),
]


def _write(root, key, value_type, name, data, operation=pb.REGISTRY_WRITE):
    return (operation, root, key, value_type, name, data)


# Tests every number text of the table: each is written as a 4-byte
# REG_DWORD with the expected two's complement value.
def scenario_number_texts(s):
    numbers = s.key + "\\Numbers"
    s.install_target(level=0)
    report = s.run(args=[s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry(":RegistryTable", pb.registry_table([
            _write(pb.HKLM_ROOT, numbers, pb.TYPE_NUMBER, "n%d" % index, number_text)
            for index, (number_text, _) in enumerate(NUMBER_TEXTS)])),
    ])])
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    values = s.registry.read([("HKLM", numbers, "n%d" % index)
                              for index in range(len(NUMBER_TEXTS))])
    checks.check_each([
        ("number text %r" % number_text,
         lambda value=value, expected=expected: expect_equal(
             value, (registry.REG_DWORD, struct.pack("<i", expected)), "value written"))
        for (number_text, expected), value in zip(NUMBER_TEXTS, values)])


# Tests roots, operations and types: only root 1 is HKCU (0, 2 and 7 are
# HKLM); a record with operation 2 does nothing, not even create its key,
# and the records after it are still written; type 0 and an unknown type
# create an empty key; an empty text is stored as its terminating zero; a
# Cyrillic text is stored byte for byte; the patch level still goes under
# HKLM.
def scenario_roots_operations_types(s):
    s.install_target(level=0)
    k = s.key
    report = s.run(args=[s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(2)),
        pb.Entry(":RegistryTable", pb.registry_table([
            _write(0, k + "\\Root0", pb.TYPE_TEXT, "v", "zero"),
            _write(pb.HKCU_ROOT, s.user_key + "\\Root1", pb.TYPE_TEXT, "v", "one"),
            _write(pb.HKLM_ROOT, k + "\\Root2", pb.TYPE_TEXT, "v", "two"),
            _write(7, k + "\\Root7", pb.TYPE_TEXT, "v", "seven"),
            _write(pb.HKLM_ROOT, k + "\\Skipped", pb.TYPE_TEXT, "v", "no", operation=2),
            _write(pb.HKLM_ROOT, k + "\\KeyOnly", pb.TYPE_KEY_ONLY, "v", "ignored"),
            _write(pb.HKLM_ROOT, k + "\\OtherType", 5, "v", "ignored"),
            _write(pb.HKLM_ROOT, k + "\\Texts", pb.TYPE_TEXT, "empty", ""),
            _write(pb.HKLM_ROOT, k + "\\Texts", pb.TYPE_TEXT, "", "Значение по умолчанию"),
            _write(pb.HKCU_ROOT, s.user_key + "\\Deep\\Er\\Est", pb.TYPE_NUMBER, "n", "-1"),
        ])),
    ])])
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    reg = s.registry

    def text(root, key, name, expected):
        return lambda: expect_equal(reg.read([(root, key, name)]),
                                    [(registry.REG_SZ, expected.encode("cp1251") + b"\0")],
                                    "%s\\%s value %r" % (root, key, name))

    def absent(root, key):
        return lambda: expect_equal(reg.key(root, key), None, "%s\\%s exists" % (root, key))

    def empty(root, key):
        return lambda: expect_equal(reg.key(root, key), (0, 0), "values and subkeys of %s" % key)

    checks.check_each([
        ("root 0", text("HKLM", k + "\\Root0", "v", "zero")),
        ("root 1", text("HKCU", s.user_key + "\\Root1", "v", "one")),
        ("root 1 not under HKLM", absent("HKLM", "SOFTWARE\\BrindlexE2E\\%s\\%s\\Root1"
                                         % (s.theme, s.name))),
        ("root 2", text("HKLM", k + "\\Root2", "v", "two")),
        ("root 7", text("HKLM", k + "\\Root7", "v", "seven")),
        ("root 0 not under HKCU", absent("HKCU", s.user_key + "\\Root0")),
        ("operation 2", absent("HKLM", k + "\\Skipped")),
        ("type 0", empty("HKLM", k + "\\KeyOnly")),
        ("type 5", empty("HKLM", k + "\\OtherType")),
        ("empty text", text("HKLM", k + "\\Texts", "empty", "")),
        ("default value", text("HKLM", k + "\\Texts", "", "Значение по умолчанию")),
        ("nested new keys", lambda: expect_equal(
            reg.read([("HKCU", s.user_key + "\\Deep\\Er\\Est", "n")]),
            [(registry.REG_DWORD, b"\xff\xff\xff\xff")], "HKCU Deep\\Er\\Est value n")),
        ("patch level", lambda: expect_equal(s.level(), 2, "patch level under HKLM")),
    ])


if __name__ == "__main__":
    bench.main(globals())
