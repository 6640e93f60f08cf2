#!/usr/bin/python3
"""End-to-end scenarios: DLLs planted beside PATCH.EXE. The program runs
elevated from a downloads folder, where anyone's files may lie beside it;
a DLL of the name of one that the program or its system DLLs load by bare
name must not load from there. Wine stands in for Windows' search order when
every such name is overridden native first: its loader then looks in the
program's folder before System32, as Windows does for a DLL that is not a
KnownDLL.

Usage: dll_planting_test.py [SCENARIO-WORD...]
"""

import contextlib
import os
import re
import shutil

import bench
import checks
import user_texts
from checks import expect, expect_equal
from wine import run_windows_program

# KnownDLLs of Windows and the DLLs they bring: Windows loads these from
# System32 whatever the search, so they are never planted (and Wine's core
# cannot run with a stand-in for them).
KNOWN_DLLS = {
    "advapi32", "bcrypt", "bcryptprimitives", "cfgmgr32", "clbcatq", "combase", "comdlg32",
    "coml2", "difxapi", "gdi32", "gdi32full", "gdiplus", "imagehlp", "imm32", "kernel32",
    "kernelbase", "msctf", "msvcp_win", "msvcrt", "normaliz", "nsi", "ntdll", "ole32",
    "oleaut32", "psapi", "rpcrt4", "sechost", "setupapi", "shcore", "shell32", "shlwapi",
    "ucrtbase", "user32", "win32u", "wldap32", "wow64", "wow64cpu", "wow64win", "ws2_32",
}
_LOADED = re.compile(r'Loaded L"([^"]+)" at [0-9A-Fa-f]+: (\w+)')


@contextlib.contextmanager
def _environment(**values):
    """Sets environment variables for the Windows programs started meanwhile."""
    saved = {name: os.environ.get(name) for name in values}
    os.environ.update(values)
    try:
        yield
    finally:
        for name, value in saved.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value


def _marker():
    """The marker DLL, as built: a DLL that does nothing."""
    path = bench.BUILD / "e2e" / "marker.dll"
    expect(path.is_file(), "the marker DLL is not built (expected %s)" % path)
    return path


def _loaded(log):
    """(folder, DLL name) of every DLL in a +loaddll log, lower case."""
    found = set()
    for path, _ in _LOADED.findall(log.decode("utf-8", "replace")):
        path = path.replace("\\\\", "\\").lower()
        folder, _, name = path.rpartition("\\")
        found.add((folder, name))
    return found


def _planted_loads(log, folder, planted):
    """The planted DLLs that a +loaddll log shows loaded from `folder`."""
    return {name for where, name in _loaded(log) if where == folder.lower() and name in planted}


# Tests the means on which the next scenario rests, with a program that
# loads one DLL by bare name: planted beside it, the DLL loads when the
# search is left as it is, and does not once the program has restricted the
# search to System32 as its first statement, as PATCH.EXE does.
def scenario_restricted_search_skips_the_programs_folder(s):
    folder = s.root / "downloads"
    folder.mkdir()
    probe = folder / "probe.exe"
    shutil.copyfile(bench.test_program("dll_search_probe"), probe)
    shutil.copyfile(_marker(), folder / "brxplanted.dll")
    for mode, expected, meaning in [("default", 1, "loads from the program's folder"),
                                    ("restrict", 2, "is not found")]:
        code, _, err = run_windows_program(probe, [mode, "brxplanted.dll"], s.work / mode)
        expect_equal(code, expected, "a planted DLL with the search %s (it %s)" % (mode, meaning))


# Tests that no DLL planted beside PATCH.EXE loads into it beyond those
# Wine's own system DLLs load before any program code runs: a marker DLL
# for every name that PATCH.EXE and its system DLLs load (as +loaddll lists
# them), each overridden native first; a control program that restricts the
# search as its first statement, with PATCH.EXE's imports, shows which
# markers Wine forces in at start-up.
def scenario_nothing_planted_loads_into_patch(s):
    marker = _marker()
    with _environment(WINEDEBUG="+loaddll"):
        _run_to_usage(s)
    names = {name for _, name in _loaded(_robot_log(s)) if name.endswith(".dll")}
    planted = sorted(name for name in names if name[:-4] not in KNOWN_DLLS)
    expect(planted, "the load log named no DLL to plant: %s" % sorted(names))
    for name in planted:
        shutil.copyfile(marker, s.root / name)
    control = s.root / "control.exe"
    shutil.copyfile(bench.test_program("dll_search_probe"), control)
    overrides = ",".join(name[:-4] for name in planted) + "=n,b"
    folder = bench.windows_path(s.root)
    with _environment(WINEDEBUG="+loaddll",
                      WINEDLLOVERRIDES=os.environ.get("WINEDLLOVERRIDES", "") + ";" + overrides):
        code, _, control_log = run_windows_program(control, ["restrict"], s.work / "control")
        expect_equal(code, 0, "the control program's exit code")
        _run_to_usage(s)
    forced = _planted_loads(control_log, folder, planted)
    loaded = _planted_loads(_robot_log(s), folder, planted)
    print("    planted %d: %s; Wine forces %s; PATCH.EXE loaded %s"
          % (len(planted), " ".join(planted), sorted(forced) or "none", sorted(loaded) or "none"),
          flush=True)
    expect(loaded <= forced, "planted DLLs loaded into PATCH.EXE: %s" % sorted(loaded - forced))


def _run_to_usage(s):
    """Runs PATCH.EXE, which carries no package: the usage text, then OK."""
    report = s.run([])
    checks.expect_status(report, user_texts.USAGE)
    checks.expect_waits_for_click(report)


def _robot_log(s):
    """The standard error of the latest run: the robot's and PATCH.EXE's."""
    return (s.work / ("robot.%d.err" % s.runs)).read_bytes()


if __name__ == "__main__":
    bench.main(globals())
