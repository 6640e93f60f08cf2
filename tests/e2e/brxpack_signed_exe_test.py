#!/usr/bin/python3
"""End-to-end scenarios for signed self-applying executables: signed with
osslsigncode and a throw-away certificate made here, checked by
osslsigncode, reported by brxpack.exe, and applied by the installer, which
finds its package before the certificate table."""

import shutil
import subprocess

import bench
import checks
import user_texts
from brxpack_run import Brxpack, toml_literal, write_project
from checks import BenchError, expect, expect_equal

TOOL_TIMEOUT_S = 60
PAYLOAD = {"payload/notes.txt": b"signed update notes\r\n" * 30}


def _native(work, *args):
    """Runs a Linux tool; fails with its output when it fails."""
    result = subprocess.run(list(args), cwd=work, stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=TOOL_TIMEOUT_S)
    if result.returncode != 0:
        raise BenchError("%s failed (exit %d):\n%s%s" % (
            " ".join(str(a) for a in args), result.returncode,
            result.stdout.decode("utf-8", "replace"), result.stderr.decode("utf-8", "replace")))
    return result.stdout.decode("utf-8", "replace")


def _certificate(s):
    """A throw-away self-signed code-signing certificate and its key."""
    for tool in ("openssl", "osslsigncode"):
        if shutil.which(tool) is None:
            raise BenchError("%s is not installed (scripts/bootstrap installs it)" % tool)
    key, cert = s.work / "key.pem", s.work / "cert.pem"
    _native(s.work, "openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
            "-subj", "/CN=Brindlex e2e throw-away", "-addext", "extendedKeyUsage=codeSigning",
            "-keyout", str(key), "-out", str(cert))
    return key, cert


def _sign(s, key, cert, unsigned, signed):
    _native(s.work, "osslsigncode", "sign", "-certs", str(cert), "-key", str(key),
            "-n", "Brindlex update", "-in", str(unsigned), "-out", str(signed))
    _native(s.work, "osslsigncode", "verify", "-CAfile", str(cert), "-in", str(signed))


def _project(s):
    manifest = "\n".join(["[target]", "registry_key = %s" % toml_literal(s.key),
                          "patch_level = 1", "[payload]", "folder = 'payload'", ""])
    return write_project(s.root / "project", manifest, PAYLOAD)


def _expect_installed(s, report):
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    expected = s.initial_tree()
    expected["notes.txt"] = PAYLOAD["payload/notes.txt"]
    s.expect_target_tree(expected)
    expect_equal(s.level(), 1, "patch level")


# Tests that the publisher's road works: build the executable, sign it,
# check the signature with osslsigncode, see it reported by list and verify,
# and run it: the installer reads the package in front of the certificate
# table.
def scenario_signed_executable_applies(s):
    tool = Brxpack(s)
    key, cert = _certificate(s)
    s.install_target(level=0)
    tool.run("build", _project(s), "--exe", s.root / "unsigned.exe", "--stub",
             s.root / "PATCH.EXE")
    _sign(s, key, cert, s.root / "unsigned.exe", s.root / "update.exe")
    expect(len((s.root / "update.exe").read_bytes()) > len((s.root / "unsigned.exe").read_bytes()),
           "signing added nothing")

    listing = tool.run("list", s.root / "update.exe").out
    expect("Signature:  present: Authenticode certificate table" in listing, listing)
    verify = tool.run("verify", s.root / "update.exe")
    expect("signature: present" in verify.out and verify.out.rstrip().endswith(": OK"),
           repr(verify))

    report = s.run(application=s.win_root + "\\update.exe")
    _expect_installed(s, report)


# Tests that a signed stub loses its signature in brxpack.exe (which says
# so), and that the executable it makes is unsigned, can be signed, and
# applies.
def scenario_signed_stub_loses_its_signature(s):
    tool = Brxpack(s)
    key, cert = _certificate(s)
    s.install_target(level=0)
    _sign(s, key, cert, s.root / "PATCH.EXE", s.root / "SIGNED_PATCH.EXE")
    package = s.root / "update.brx"
    tool.run("build", _project(s), "-o", package)
    made = tool.run("exe", package, "-o", s.root / "unsigned.exe", "--stub",
                    s.root / "SIGNED_PATCH.EXE")
    expect("carries an Authenticode signature; removed it" in made.err, repr(made))
    listing = tool.run("list", s.root / "unsigned.exe").out
    expect("Signature:  none" in listing, listing)
    tool.run("verify", s.root / "unsigned.exe")

    _sign(s, key, cert, s.root / "unsigned.exe", s.root / "update.exe")
    report = s.run(application=s.win_root + "\\update.exe")
    _expect_installed(s, report)


if __name__ == "__main__":
    bench.main(globals())
