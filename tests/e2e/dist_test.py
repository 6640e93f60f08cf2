#!/usr/bin/python3
"""End-to-end scenarios: the release packages of build/dist/ (scripts/dist,
which ctest runs first) as a publisher gets them. The Debian package is
installed into this machine with dpkg and removed again; the Windows zip is
unpacked and its brxpack.exe runs under Wine. Each carries both stubs, the
x86 PATCH.EXE and the x64 one, and builds the installed example from an
empty folder without --stub for each."""

import gzip
import os
import pathlib
import re
import subprocess
import tempfile
import time
import zipfile

import bench
from checks import expect, expect_equal
from publisher import brxpack, native
from wine import SOURCE, BenchError, machine_runs_x86, windows_path

DIST = SOURCE / "build" / "dist"
PACKAGE = "brindlex-updater"
DPKG_LOCK_WAIT_S = 120


def _dist_file(pattern):
    """The one package file matching `pattern`, and the version in its name."""
    found = sorted(DIST.glob(pattern))
    if len(found) != 1:
        raise BenchError("expected one %s in %s, found %s: run scripts/dist"
                         % (pattern, DIST, [p.name for p in found]))
    return found[0], re.search(r"(\d+\.\d+\.\d+)", found[0].name).group(1)


def _expect_version(report, version, stub, stub64):
    """brxpack --version names this version and the x86 and x64 stubs at
    `stub` and `stub64`, both carrying it."""
    expect_equal(report.splitlines(), ["brxpack " + version,
                                       "stub x86: %s, version %s.0" % (stub, version),
                                       "stub x64: %s, version %s.0" % (stub64, version)],
                 "brxpack --version")


def _build_both(run, example, folder):
    """Builds the example into `folder` with each stub, found without
    --stub, and has verify name each stub's architecture and find it clean."""
    for arch, described in (("x86", "x86 (PE32, i386)"), ("x64", "x64 (PE32+, AMD64)")):
        exe = folder / ("update-%s.exe" % arch)
        run("build", example, "-o", folder / "update.brx", "--exe", exe, "--arch", arch)
        for built in (folder / "update.brx", exe):
            verify = run("verify", built)
            expect(verify.rstrip().endswith(": OK"), "%s does not verify:\n%s" % (built, verify))
        # brxpack.exe ends its lines with CR LF.
        expect(any(line.rstrip().endswith(": stub: " + described)
                   for line in verify.splitlines()), "verify of %s:\n%s" % (exe, verify))


def _dpkg(*args):
    """dpkg as root, waiting (bounded) while another package manager holds its lock."""
    sudo = [] if os.geteuid() == 0 else ["sudo", "-n"]
    deadline = time.monotonic() + DPKG_LOCK_WAIT_S
    while True:
        result = subprocess.run(sudo + ["dpkg"] + [str(a) for a in args], capture_output=True,
                                stdin=subprocess.DEVNULL, timeout=120)
        err = result.stderr.decode("utf-8", "replace")
        if result.returncode == 0:
            return
        if "lock" not in err or time.monotonic() > deadline:
            raise BenchError("dpkg %s failed (exit %d): %s" % (" ".join(map(str, args)),
                                                               result.returncode, err))
        time.sleep(1)


def _expect_debian_docs(deb, version):
    """The package holds what a Debian tool carries beside its program: the
    copyright in the machine-readable format, a gzipped changelog whose
    newest entry is this version, the gzipped man page and bash completion.
    Read from the archive itself, as a minimal system's dpkg may leave
    /usr/share/doc and /usr/share/man out when installing."""
    with tempfile.TemporaryDirectory() as unpacked:
        subprocess.run(["dpkg-deb", "-x", str(deb), unpacked], check=True, timeout=120)
        root = pathlib.Path(unpacked) / "usr" / "share"
        doc = root / "doc" / PACKAGE
        copyright_text = (doc / "copyright").read_text()
        expect(copyright_text.startswith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"),
            "copyright is not in the machine-readable format:\n" + copyright_text[:200])
        changelog = gzip.decompress((doc / "changelog.gz").read_bytes()).decode()
        expect(changelog.startswith("%s (%s)" % (PACKAGE, version)),
               "changelog.gz does not begin with %s: %s" % (version, changelog[:80]))
        man = gzip.decompress((root / "man" / "man1" / "brxpack.1.gz").read_bytes()).decode()
        expect(".SS simulate" in man and "\\-\\-patch\\-level" in man,
               "the man page lacks simulate --patch-level")
        completion = (root / "bash-completion" / "completions" / "brxpack").read_text()
        expect("complete -o filenames -F _brxpack brxpack" in completion,
               "bash completion: " + completion[:200])


def _known():
    """Whether dpkg knows the package in any state: installed, or left
    half-way by a failed install."""
    result = subprocess.run(["dpkg-query", "-W", "-f=${db:Status-Status}", PACKAGE],
                            capture_output=True, stdin=subprocess.DEVNULL)
    return result.returncode == 0 and result.stdout.decode() not in ("", "not-installed")


# Tests that the Debian package installs brxpack with both installers and
# the docs (copyright, changelog, man page and bash completion among them): from an empty folder the installed brxpack names its version and
# the installed x86 and x64 PATCH.EXE with the same version, builds the
# installed example into an executable with each without --stub, and
# verifies them.
# dpkg removes it all again, also when a step fails; a package already
# installed is left alone and the scenario fails instead.
def scenario_debian_package(s):
    deb, version = _dist_file("%s_*_amd64.deb" % PACKAGE)
    if _known():
        raise BenchError("%s is installed on this machine; the scenario would replace it. "
                         "Remove it first: dpkg -r %s" % (PACKAGE, PACKAGE))
    _expect_debian_docs(deb, version)
    empty = s.root / "empty"
    empty.mkdir()
    example = "/usr/share/doc/%s/examples/basic/brxpack.toml" % PACKAGE
    try:
        _dpkg("-i", deb)
        _expect_version(native(s, "brxpack", "--version", cwd=empty), version,
                        "/usr/share/%s/PATCH.EXE" % PACKAGE,
                        "/usr/share/%s/x64/PATCH.EXE" % PACKAGE)
        _build_both(lambda *args: native(s, "brxpack", *args, cwd=empty), example, empty)
    finally:
        if _known():
            _dpkg("--purge", PACKAGE)
    expect(not _known() and not os.path.exists("/usr/bin/brxpack")
           and not os.path.exists("/usr/share/%s" % PACKAGE), "dpkg -r left the package behind")


# Tests that the Windows zip holds brxpack.exe with PATCH.EXE beside it,
# the x64 one in x64/ and the copyright: unpacked, brxpack.exe names its version and both
# stubs with the same version, builds the example into an empty folder with
# each without --stub, and verifies the results. Where no 32-bit program
# runs, the zip's x86 brxpack.exe is only checked for what it is.
def scenario_windows_zip(s):
    archive, version = _dist_file("%s-*-win32.zip" % PACKAGE)
    with zipfile.ZipFile(archive) as unpacked:
        unpacked.extractall(s.root / "tool")
    folder = s.root / "tool" / archive.stem
    expect((folder / "copyright.txt").read_text().startswith("Format: "),
           "the zip lacks copyright.txt")
    tool = folder / "brxpack.exe"
    if not machine_runs_x86():
        for program, arch, kind in ((tool, "x86", "console"), (folder / "PATCH.EXE", "x86", "gui"),
                                    (folder / "x64" / "PATCH.EXE", "x64", "gui")):
            checked = subprocess.run([str(SOURCE / "scripts" / "check-pe"), str(program), arch,
                                      kind], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            expect(checked.returncode == 0, "the zip's %s: %s" % (
                program.name, checked.stdout.decode(errors="replace")[-300:]))
        print("    this machine runs no 32-bit program: the zip's x86 brxpack.exe was "
              "checked, not run")
        return
    _expect_version(brxpack(s, "--version", exe=tool), version,
                    windows_path(folder / "PATCH.EXE"), windows_path(folder / "x64" / "PATCH.EXE"))
    empty = s.root / "empty"
    empty.mkdir()
    _build_both(lambda *args: brxpack(s, *args, exe=tool),
                folder / "examples" / "basic" / "brxpack.toml", empty)


if __name__ == "__main__":
    bench.main(globals())
