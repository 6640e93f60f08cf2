"""The publisher's tools in the end-to-end scenarios: brxpack.exe under Wine,
Linux tools (openssl, osslsigncode, dpkg), and signing with a throw-away
certificate."""

import pathlib
import shutil
import subprocess

from wine import ARCH, BUILD, BenchError, run_windows_program, windows_path


def with_stub(stub):
    """--stub for a stub of the build's architecture (PATCH.EXE, or one
    branded from it), with the --arch that brxpack checks it against."""
    return ("--stub", stub, "--arch", ARCH)


def brxpack(s, *args, exe=None):
    """Runs brxpack.exe (the build's unless `exe` is given; pathlib paths are
    passed as Windows names); gives its standard output; fails unless it
    succeeds."""
    arguments = [windows_path(a) if isinstance(a, pathlib.Path) else a for a in args]
    s.runs += 1
    code, out, err = run_windows_program(exe or BUILD / "brxpack.exe", arguments,
                                         s.work / ("brxpack.%d" % s.runs))
    out = out.decode("utf-8", "replace")
    if code != 0:
        raise BenchError("brxpack.exe %s: exit %d\n%s%s" % (
            " ".join(arguments), code, out, err.decode("utf-8", "replace")))
    return out


def native(s, *args, cwd=None, timeout=60):
    """Runs a Linux program; gives its standard output; fails with its output
    when it fails."""
    result = subprocess.run([str(a) for a in args], cwd=cwd or s.work, stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=timeout)
    out = result.stdout.decode("utf-8", "replace")
    if result.returncode != 0:
        raise BenchError("%s failed (exit %d):\n%s%s" % (
            " ".join(str(a) for a in args), result.returncode, out,
            result.stderr.decode("utf-8", "replace")))
    return out


def sign(s, unsigned, signed):
    """Signs `unsigned` as `signed` with osslsigncode and a certificate made
    here, and has osslsigncode verify the signature."""
    for tool in ("openssl", "osslsigncode"):
        if shutil.which(tool) is None:
            raise BenchError("%s is not installed (scripts/bootstrap installs it)" % tool)
    key, cert = s.work / "key.pem", s.work / "cert.pem"
    if not cert.exists():
        native(s, "openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
               "-subj", "/CN=Brindlex e2e throw-away", "-addext",
               "extendedKeyUsage=codeSigning", "-keyout", key, "-out", cert)
    native(s, "osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Brindlex update",
           "-in", unsigned, "-out", signed)
    native(s, "osslsigncode", "verify", "-CAfile", cert, "-in", signed)
