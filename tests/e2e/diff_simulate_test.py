#!/usr/bin/python3
"""End-to-end scenarios: the publisher's road from release folders to a
proven update.exe, and proof that the simulation tells the truth. The demo's
releases (examples/demo/releases), and three releases of which the first
two are installed, go through the release preset's brxpack on Linux: diff,
build --exe, simulate; then the same update.exe runs under Wine on each
installed release and must give exactly what simulate promised."""

import shutil
import subprocess

import bench
import checks
import registry
import user_texts
from checks import expect, expect_equal
from publisher import brxpack, with_stub
from real_faults_test import _held
from wine import SOURCE, BenchError, windows_path

BRXPACK = SOURCE / "build" / "release" / "brxpack"
RELEASES = SOURCE / "examples" / "demo" / "releases"


def _linux_brxpack(s, *args, code=0):
    """Runs the Linux brxpack; gives its output; fails unless it exits with `code`."""
    if not BRXPACK.is_file():
        raise BenchError("%s is not built (scripts/dist builds it)" % BRXPACK)
    result = subprocess.run([str(BRXPACK)] + [str(a) for a in args], cwd=s.work,
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    out = result.stdout.decode("utf-8") + result.stderr.decode("utf-8")
    print("$ brxpack " + " ".join(str(a) for a in args) + "\n" + out, flush=True)
    expect_equal(result.returncode, code, "exit code of brxpack %s" % args[0])
    return out


def _tree(folder):
    """Every file and folder below `folder`: relative path (backslashes) ->
    bytes, or None for a folder."""
    return {str(path.relative_to(folder)).replace("/", "\\"):
            None if path.is_dir() else path.read_bytes()
            for path in sorted(folder.rglob("*"))}


def _update(s):
    """The demo's releases with the scenario's program in both, a new empty
    folder and a command's program in 2.0, a base for the scenario's
    registry key with that command; diff, build --exe. Gives update.exe."""
    for release in ("1.0", "2.0"):
        shutil.copytree(RELEASES / release, s.work / release)
        (s.work / release / s.PROGRAM_FILE).write_bytes(s.program_bytes)
    (s.work / "2.0" / "backups").mkdir()  # git keeps no empty folder
    (s.work / "2.0" / "tools").mkdir()
    shutil.copyfile(bench.test_program("exit_with"), s.work / "2.0" / "tools" / "check.exe")
    base = (RELEASES / "base.toml").read_text(encoding="utf-8")
    base = base.replace("SOFTWARE\\Brindlex\\Notes", s.key)
    base = base.replace("Software\\Brindlex\\Notes\\Settings", s.user_key)
    base += "\n[[command]]\nprogram = 'tools\\check.exe'\narguments = '0'\n"
    (s.work / "base.toml").write_text(base, encoding="utf-8")
    stats = _linux_brxpack(s, "diff", "1.0", "2.0", "--base", "base.toml", "-o", "update.toml",
                           "--stats")
    for line in ("2 changed, 3 new, 2 removed files; 1 folder to create, 1 to remove",
                 "unchanged 2 files", "package   "):
        expect(line in stats, "diff reports %r" % line)
    _linux_brxpack(s, "build", "update.toml", "--exe", "update.exe",
                   *with_stub(s.root / "PATCH.EXE"))
    return s.work / "update.exe"


def _install_1_0(s):
    shutil.rmtree(s.target)
    shutil.copytree(s.work / "1.0", s.target)
    s.install_target(level=0)


# Tests that diff, build --exe and simulate --expect give a proven
# update.exe on Linux (and simulate in brxpack.exe agrees under Wine), and
# that the same update.exe applied by PATCH.EXE under Wine to 1.0 leaves
# exactly 2.0: every file and folder, every byte, the case of License.txt,
# the new empty folder, nothing of help\ or notes.cache, no .bak; level 1.
def scenario_proven_update_gives_the_new_release(s):
    update = _update(s)
    simulated = _linux_brxpack(s, "simulate", update, "--installed", "1.0", "--expect", "2.0")
    for line in ("command   C:\\Program Files\\", "(the new patch level)",
                 "result    installed", "expect    the result equals 2.0"):
        expect(line in simulated, "simulate reports %r" % line)
    brxpack(s, "simulate", update, "--installed", s.work / "1.0", "--expect", s.work / "2.0")

    _install_1_0(s)
    checks.expect_success(s.run(application=windows_path(update), answers=["OK"]))
    expect_equal(_tree(s.target), _tree(s.work / "2.0"), "the installed tree against 2.0")
    expect_equal(s.level(), 1, "patch level")


# Tests that the two disagree with 2.0 when made to, and both say so: under
# Wine a notes.ini held open by another program fails that file (its old
# version stays, no success text, level 0); in the simulation a command that
# reports failure gives the error box, no success text and exit code 1.
def scenario_both_report_a_failure(s):
    update = _update(s)
    _install_1_0(s)
    with _held(s, "notes.ini"):
        report = s.run(application=windows_path(update), answers=["OK"])
    # The robot samples the status line: the last file's text, never the success text.
    expect(report.final_status != user_texts.INSTALLED, "no success text: " + report.summary())
    expect_equal((s.target / "notes.ini").read_bytes(), (s.work / "1.0" / "notes.ini").read_bytes(),
                 "notes.ini after the failed run")
    expect_equal(s.level(), 0, "patch level")

    simulated = _linux_brxpack(s, "simulate", update, "--installed", "1.0", "--expect", "2.0",
                               "--commands", "fail", code=1)
    for line in ("reports failure (--commands fail)", 'message   "!": "Ошибка при исполнении',
                 "result    not installed"):
        expect(line in simulated, "simulate reports %r" % line)


# Three releases: 1.0 and 1.1 are installed, 2.0 is the one the update
# brings. notes.ini changes between 1.0 and 1.1 only; help.txt is gone from
# 1.1 and back in 2.0; the readme's name differs in case in each; plugins\
# comes in 1.1 (with an empty folder inside) and goes in 2.0.
THREE_RELEASES = {
    "1.0": {"notes.ini": b"version=1\r\n", "help.txt": b"help\r\n", "Readme.TXT": b"read me\r\n",
            "same.dat": b"the same in every release"},
    "1.1": {"notes.ini": b"version=2\r\n", "README.txt": b"read me\r\n",
            "plugins\\spell.dll": b"spell", "plugins\\cache": None,
            "same.dat": b"the same in every release"},
    "2.0": {"notes.ini": b"version=2\r\n", "help.txt": b"help\r\n", "readme.txt": b"read me\r\n",
            "same.dat": b"the same in every release"},
}
INSTALLED_LEVELS = {"1.0": 0, "1.1": 1}


def _update_from_three(s):
    """The three releases with the scenario's program in each, the demo's
    base for the scenario's keys at level 2; diff of both old releases with
    --stats, build --exe. Gives update.exe."""
    for release, files in THREE_RELEASES.items():
        folder = s.work / release
        folder.mkdir()
        (folder / s.PROGRAM_FILE).write_bytes(s.program_bytes)
        for name, data in files.items():
            path = folder / name.replace("\\", "/")
            if data is None:
                path.mkdir(parents=True)
            else:
                path.parent.mkdir(parents=True, exist_ok=True)
                path.write_bytes(data)
    base = (RELEASES / "base.toml").read_text(encoding="utf-8")
    base = base.replace("SOFTWARE\\Brindlex\\Notes", s.key)
    base = base.replace("Software\\Brindlex\\Notes\\Settings", s.user_key)
    base = base.replace("patch_level = 1", "patch_level = 2")
    (s.work / "base.toml").write_text(base, encoding="utf-8")
    stats = _linux_brxpack(s, "diff", "1.0", "1.1", "2.0", "--base", "base.toml", "-o",
                           "update.toml", "--stats")
    for text in ("3 changed, 0 new, 1 removed file; 0 folders to create, 2 to remove",
                 "from 1.0\n  unchanged 3 files", "  changed   2 files",
                 "from 1.1\n  unchanged 3 files", "  new       1 file",
                 "  removed   1 file, 5 bytes, and 2 folders left empty",
                 "for an update from 1.1 alone", "package   "):
        expect(text in stats, "diff reports %r" % text)
    _linux_brxpack(s, "build", "update.toml", "--exe", "update.exe",
                   *with_stub(s.root / "PATCH.EXE"))
    return s.work / "update.exe"


# Tests that one update.exe made from three releases is proven by simulate
# on both installed releases (and brxpack.exe agrees under Wine), and that
# PATCH.EXE under Wine applies it to 1.0 at level 0 and to 1.1 at level 1
# and leaves exactly 2.0 each time: every file and folder, every byte, the
# readme under 2.0's spelling, no plugins\, no .bak; the registry values of
# the update and level 2.
def scenario_one_update_gives_the_new_release_from_each_old_one(s):
    update = _update_from_three(s)
    levels = [word for level in INSTALLED_LEVELS.values() for word in ("--patch-level", level)]
    installed = [word for release in INSTALLED_LEVELS for word in ("--installed", release)]
    simulated = _linux_brxpack(s, "simulate", update, *installed, "--expect", "2.0", *levels)
    for release, level in INSTALLED_LEVELS.items():
        line = "release   %s: installed, patch level %d -> 2; the result equals 2.0\n" % (
            release, level)
        expect(line in simulated, "simulate reports %r" % line)
    brxpack(s, "simulate", update, "--installed", s.work / "1.0", "--installed", s.work / "1.1",
            "--expect", s.work / "2.0", *levels)

    for release, level in INSTALLED_LEVELS.items():
        s.registry.delete_key("HKLM", s.key)
        s.registry.delete_key("HKCU", s.user_key)
        shutil.rmtree(s.target)
        shutil.copytree(s.work / release, s.target)
        s.install_target(level=level)
        checks.expect_success(s.run(application=windows_path(update), answers=["OK"]))
        expect_equal(_tree(s.target), _tree(s.work / "2.0"),
                     "the tree installed from %s against 2.0" % release)
        expect_equal(s.registry.read([("HKLM", s.key, "Version"), ("HKCU", s.user_key, "Theme"),
                                      ("HKLM", s.key, "PatchLevel")]),
                     [(registry.REG_SZ, b"2.0\0"), (registry.REG_SZ, b"dark\0"),
                      (registry.REG_DWORD, b"\x02\x00\x00\x00")],
                     "registry values after the update from %s" % release)


if __name__ == "__main__":
    bench.main(globals())
