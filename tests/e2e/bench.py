"""The end-to-end bench: PATCH.EXE under Wine, driven by the UI robot.

A scenario file (tests/e2e/*_test.py) imports this module first (it puts
tools/ui_robot on the path), defines functions named scenario_*, each opened
by a "Tests that ..." comment, and ends with `bench.main(globals())`. Each
scenario gets a fresh folder C:\\brx-e2e\\<theme>\\<scenario>\\ with a copy of
PATCH.EXE and a target folder holding the installed program, and registry
keys of its own. Runs inside a Wine batch (scripts/with-wine, which checks
the code page); started on its own, a scenario file re-runs itself there.
"""

import os
import pathlib
import shutil
import struct
import sys
import time
import traceback

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools" / "ui_robot"))

import package_builder as pb  # noqa: E402
from live_run import LiveRun  # noqa: E402
from registry import REG_DWORD, Registry  # noqa: E402
from wine import (BUILD, PATCH_EXE, SOURCE, BenchError, drive_c, in_wine_batch,  # noqa: E402
                  program, windows_path)


def test_program(name):
    """A Windows program of tests/e2e/programs, as built."""
    return program(name, BUILD / "e2e")


class Scenario:
    """One scenario's world: its folders, its registry keys, its runs."""

    PROGRAM_FILE = "App.exe"

    def __init__(self, theme, name):
        self.theme = theme
        self.name = name
        self.root = drive_c() / "brx-e2e" / theme / name
        if self.root.exists():
            shutil.rmtree(self.root)
        self.target = self.root / "app"
        self.work = self.root / "bench"
        self.target.mkdir(parents=True)
        self.work.mkdir()
        self.win_root = windows_path(self.root)
        self.win_target = windows_path(self.target) + "\\"
        self.program_bytes = program("target_app").read_bytes()
        (self.target / self.PROGRAM_FILE).write_bytes(self.program_bytes)
        if PATCH_EXE.is_file():
            shutil.copyfile(PATCH_EXE, self.root / "PATCH.EXE")
        self.win_patch = self.win_root + "\\PATCH.EXE"
        self.key = "SOFTWARE\\BrindlexE2E\\%s\\%s" % (theme, name)
        self.user_key = "Software\\BrindlexE2E\\%s\\%s" % (theme, name)
        self.registry = Registry(self.work)
        self.registry.delete_key("HKLM", self.key)
        self.registry.delete_key("HKCU", self.user_key)
        self.runs = 0

    # --- the installed program, as target discovery finds it ---

    def install_target(self, level, folder=None):
        """Registers the target: its folder (this scenario's unless given),
        its program file, and the patch level."""
        self.registry.set_text("HKLM", self.key, "ProgramPath", folder or self.win_target[:-1])
        self.registry.set_text("HKLM", self.key, "ProgramName", self.PROGRAM_FILE)
        self.registry.set_dword("HKLM", self.key, "PatchLevel", level)

    def registry_keys(self, level):
        """A :RegistryKeys payload that points at this scenario's target."""
        return pb.registry_keys(self.key, level)

    def level(self):
        """The recorded patch level: an int for REG_DWORD, else (type, bytes) or None."""
        value = self.registry.read([("HKLM", self.key, "PatchLevel")])[0]
        if value and value[0] == REG_DWORD and len(value[1]) == 4:
            return struct.unpack("<i", value[1])[0]
        return value

    # --- files ---

    def write_package(self, entries, name="update.pkg"):
        """Writes a package of `entries` in the scenario folder; gives its
        Windows path in quotes, ready for a command line."""
        return '"%s"' % self.write_file(name, pb.package(entries))

    def write_file(self, relative, data):
        """Writes a file under the scenario folder; gives its Windows path."""
        path = self.root / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        return windows_path(path)

    def put_target_file(self, relative, data):
        """Places a file in the target folder; `relative` uses backslashes."""
        path = self.target / relative.replace("\\", "/")
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)

    def target_path(self, relative):
        """Full Windows path of a name in the target folder, as the installer forms it."""
        return (self.win_target + relative).encode("cp1251")

    def expect_target_tree(self, changes, folder=None):
        """The target folder (or `folder`) holds exactly the installed
        program with `changes` (name -> bytes, None for a folder) over it: no
        file more (a .bak left behind among them), none less, every byte as
        expected."""
        folder = folder or self.target
        expected = {self.PROGRAM_FILE: self.program_bytes}
        expected.update(changes)
        actual = {str(path.relative_to(folder)).replace("/", "\\"):
                  None if path.is_dir() else path.read_bytes()
                  for path in sorted(folder.rglob("*"))}
        if actual == expected:
            return

        def describe(value):
            if value is None:
                return "a folder"
            return "%d bytes %s" % (len(value), value[:24].hex(" "))

        problems = []
        for name in sorted(set(actual) | set(expected)):
            if name not in actual:
                problems.append("missing: %s" % name)
            elif name not in expected:
                problems.append("unexpected: %s (%s)" % (name, describe(actual[name])))
            elif actual[name] != expected[name]:
                problems.append("differs: %s is %s, expected %s"
                                % (name, describe(actual[name]), describe(expected[name])))
        raise BenchError("%s:\n    %s" % (folder, "\n    ".join(problems)))

    # --- running PATCH.EXE ---

    def start(self, args=(), **options):
        """Starts PATCH.EXE (or options' `application`) under the robot and
        returns at once: a LiveRun (see live_run.py for the options)."""
        self.registry.flush()
        self.runs += 1
        return LiveRun(self, args, **options)

    def run(self, args=(), **options):
        """Runs PATCH.EXE under the robot to its end; gives the report."""
        return self.start(args, **options).finish()


# --- the runner -------------------------------------------------------------------

def main(namespace, needs_patch=True):
    """Runs the scenario_* functions of a scenario file, in order; words on
    the command line pick scenarios whose names contain them (options, which
    start with --, are the file's own). Exit code 77 (skip) when PATCH.EXE is
    not built."""
    if not in_wine_batch():
        script = os.path.abspath(sys.argv[0])
        with_wine = str(SOURCE / "scripts" / "with-wine")
        os.execv(with_wine, [with_wine, "/usr/bin/python3", script] + sys.argv[1:])
    theme = os.path.basename(namespace["__file__"])[:-len("_test.py")]
    words = [word for word in sys.argv[1:] if not word.startswith("--")]
    chosen = [(name, function) for name, function in namespace.items()
              if name.startswith("scenario_") and callable(function)
              and (not words or any(word in name for word in words))]
    if needs_patch and not PATCH_EXE.is_file():
        print("e2e %s: %s is not built; nothing to run" % (theme, PATCH_EXE))
        sys.exit(77)
    started = time.monotonic()
    failed = []
    for name, function in chosen:
        began = time.monotonic()
        short = name[len("scenario_"):]
        try:
            function(Scenario(theme, short))
            print("PASS %s.%s (%.1f s)" % (theme, short, time.monotonic() - began), flush=True)
        except BenchError as error:
            failed.append(short)
            print("FAIL %s.%s (%.1f s)\n    %s" % (theme, short, time.monotonic() - began, error),
                  flush=True)
        except Exception:
            failed.append(short)
            print("FAIL %s.%s: bench error\n%s" % (theme, short, traceback.format_exc()),
                  flush=True)
    print("e2e %s: %d scenario(s), %d failed, %.1f s" % (
        theme, len(chosen), len(failed), time.monotonic() - started))
    if failed:
        print("failed: " + ", ".join(failed))
        sys.exit(1)
