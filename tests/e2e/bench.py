"""The end-to-end bench: PATCH.EXE under Wine, driven by the UI robot.

A scenario file (tests/e2e/*_test.py) defines functions named scenario_*,
each opened by a "Tests that ..." comment, and ends with
`bench.main(globals())`. Every scenario gets a fresh folder under the Wine
prefix's drive C (C:\\brx-e2e\\<theme>\\<scenario>\\) holding a copy of
PATCH.EXE, a target folder with the installed program, and its own registry
keys; it runs the robot and checks files, registry values and texts byte
for byte (checks.py).

Runs inside a Wine batch (scripts/with-wine, as ctest does); started on its
own, a scenario file re-runs itself through scripts/with-wine. Python 3
standard library only.
"""

import os
import pathlib
import shutil
import struct
import subprocess
import sys
import time
import traceback

# The robot and the Wine helpers live with the tools (demo and bench use them
# too); every scenario file imports this module first.
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools" / "ui_robot"))

import package_builder  # noqa: E402
from checks import BenchError  # noqa: E402
from registry import REG_DWORD, Registry  # noqa: E402
from robot_report import RobotReport  # noqa: E402
from thread_watch import WindowThreadWatch  # noqa: E402
from wine import (BUILD, FLAG_TIMEOUT_S, PATCH_EXE, SOURCE, check_code_page,  # noqa: E402
                  drive_c, in_wine_batch, program, run_windows_program, start_windows_program,
                  wait_for_file, windows_path)

# Bound of one robot run; the robot fails loudly when it runs out.
ROBOT_TIMEOUT_S = 30


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
        shutil.copyfile(program("target_app"), self.target / self.PROGRAM_FILE)
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

    def install_target(self, level=None, folder=None, program_file=None, with_folder=True,
                       with_program=True):
        """Registers the target: folder and program file values, and the patch
        level (None: no value; an int: REG_DWORD; a (type, bytes) pair: as is)."""
        folder = self.win_target.rstrip("\\") if folder is None else folder
        program_file = self.PROGRAM_FILE if program_file is None else program_file
        if with_folder:
            self.registry.set_text("HKLM", self.key, "ProgramPath", folder)
        if with_program:
            self.registry.set_text("HKLM", self.key, "ProgramName", program_file)
        if isinstance(level, int):
            self.registry.set_dword("HKLM", self.key, "PatchLevel", level)
        elif level is not None:
            self.registry.set_value("HKLM", self.key, "PatchLevel", level[0], level[1])

    def registry_keys(self, level):
        """A :RegistryKeys payload that points at this scenario's target."""
        return package_builder.registry_keys(self.key, level)

    def level(self):
        """The recorded patch level: an int for REG_DWORD, else (type, bytes) or None."""
        value = self.registry.read([("HKLM", self.key, "PatchLevel")])[0]
        if value and value[0] == REG_DWORD and len(value[1]) == 4:
            return struct.unpack("<i", value[1])[0]
        return value

    # --- files ---

    def write_package(self, entries, name="update.pkg", **layout):
        """Writes a package file of `entries` in the scenario folder; gives
        its Windows path in quotes, ready for a command line."""
        return '"%s"' % self.write_file(name, package_builder.package(entries, **layout))

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

    def initial_tree(self):
        return {self.PROGRAM_FILE: program("target_app").read_bytes()}

    def target_tree(self):
        """Everything in the target folder: relative name -> bytes, or None for a folder."""
        tree = {}
        for path in sorted(self.target.rglob("*")):
            name = str(path.relative_to(self.target)).replace("/", "\\")
            tree[name] = None if path.is_dir() else path.read_bytes()
        return tree

    def expect_target_tree(self, expected):
        """The target folder holds exactly `expected`: no file more (a .bak
        left behind among them), none less, every byte as expected."""
        actual = self.target_tree()
        if actual == expected:
            return

        def describe(value):
            return "a folder" if value is None else "%d bytes %s" % (len(value), value[:24].hex(" "))

        problems = []
        for name in sorted(set(actual) | set(expected)):
            if name not in actual:
                problems.append("missing: %s" % name)
            elif name not in expected:
                problems.append("unexpected: %s (%s)" % (name, describe(actual[name])))
            elif actual[name] != expected[name]:
                problems.append("differs: %s is %s, expected %s"
                                % (name, describe(actual[name]), describe(expected[name])))
        raise BenchError("target folder %s:\n    %s" % (self.win_target, "\n    ".join(problems)))

    # --- running PATCH.EXE ---

    def run(self, args=(), command_line=None, answers=(), close_box=False, early_click=False,
            click=True, application=None, watch_marks=None, timeout=ROBOT_TIMEOUT_S):
        """Runs PATCH.EXE (or `application`) through the robot; gives its report.

        The command line is the program's path in quotes followed by `args`,
        or exactly `command_line` when given (bytes or str). With
        `watch_marks` (file paths), the report's `watch` samples the program's
        window thread from Linux and marks when each file appeared."""
        self.registry.flush()
        application = application or self.win_patch
        if command_line is None:
            command_line = " ".join(['"%s"' % application] + list(args))
        if isinstance(command_line, str):
            command_line = command_line.encode("cp1251")
        self.runs += 1
        report_path = self.work / ("robot.%d.jsonl" % self.runs)
        robot_args = ["--report", windows_path(report_path), "--cmdline-hex", command_line.hex(),
                      "--app", application, "--cwd", self.win_root, "--timeout", str(timeout)]
        for answer in answers:
            robot_args += ["--answer", answer]
        if close_box:
            robot_args.append("--close-box")
        if early_click:
            robot_args.append("--early-click")
        if not click:
            robot_args.append("--no-click")
        watch = None
        if watch_marks:
            for mark in watch_marks:
                mark.unlink(missing_ok=True)
            watch = WindowThreadWatch(application, watch_marks)
        code, _, err = run_windows_program(program("ui_robot"), robot_args,
                                           self.work / ("robot.%d" % self.runs),
                                           timeout=timeout + 30,
                                           while_running=watch.sample if watch else None)
        lines = report_path.read_text().splitlines() if report_path.exists() else []
        report = RobotReport(lines)
        report.watch = watch
        if code != 0:
            raise BenchError("the robot failed (exit %d): %s\n    %s" % (
                code, err.decode("utf-8", "replace").strip()[-500:], report.summary()))
        return report

    def hold(self, relative):
        """Holds a target file open without sharing until the returned
        holder's release(); the holder is ready when this returns."""
        return FileHolder(self, relative)


class FileHolder:
    def __init__(self, scenario, relative):
        self.ready = scenario.work / "hold.ready"
        self.release_flag = scenario.work / "hold.release"
        self.process = start_windows_program(
            test_program("hold_file"),
            [windows_path(scenario.target / relative.replace("\\", "/")),
             windows_path(self.ready), windows_path(self.release_flag),
             str(ROBOT_TIMEOUT_S + 30)],
            scenario.work / "hold_file")
        wait_for_file(self.ready, "hold_file holding %s" % relative, process=self.process)

    def release(self):
        self.release_flag.write_bytes(b"")
        try:
            self.process.wait(timeout=FLAG_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise BenchError("hold_file did not let go within %d s" % FLAG_TIMEOUT_S)


# --- the runner -------------------------------------------------------------------

def _reexec_in_wine_batch():
    script = os.path.abspath(sys.argv[0])
    with_wine = str(SOURCE / "scripts" / "with-wine")
    os.execv(with_wine, [with_wine, "/usr/bin/python3", script] + sys.argv[1:])


def main(namespace, needs_patch=True):
    """Runs the scenario_* functions of a scenario file, in order; arguments
    on the command line pick scenarios whose names contain them. Exit code 77
    (skip) when PATCH.EXE is not built."""
    if not in_wine_batch():
        _reexec_in_wine_batch()
    theme = os.path.basename(namespace["__file__"])[:-len(".py")]
    theme = theme[:-len("_test")] if theme.endswith("_test") else theme
    chosen = [(name, function) for name, function in namespace.items()
              if name.startswith("scenario_") and callable(function)
              and (len(sys.argv) < 2 or any(word in name for word in sys.argv[1:]))]
    if needs_patch and not PATCH_EXE.is_file():
        print("e2e %s: %s is not built; nothing to run" % (theme, PATCH_EXE))
        sys.exit(77)
    work = drive_c() / "brx-e2e" / theme
    work.mkdir(parents=True, exist_ok=True)
    started = time.monotonic()
    try:
        check_code_page(work)
    except BenchError as error:
        print("e2e %s: %s" % (theme, error))
        sys.exit(1)
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
