"""The end-to-end bench: PATCH.EXE under Wine, driven by the UI robot.

A scenario file (tests/e2e/*_test.py) defines functions named scenario_*,
each opened by a "Tests that ..." comment, and ends with
`bench.main(globals())`. Every scenario gets a fresh folder under the Wine
prefix's drive C (C:\\brx-e2e\\<theme>\\<scenario>\\) holding a copy of
PATCH.EXE, a target folder with the installed program, and its own registry
keys; it runs the robot and checks files, registry values and texts byte
for byte.

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

import user_texts

SOURCE = pathlib.Path(os.environ.get("BRX_SOURCE") or pathlib.Path(__file__).resolve().parents[2])
BUILD = pathlib.Path(os.environ.get("BRX_BUILD") or SOURCE / "build" / "win32")
PROGRAMS = BUILD / "e2e"
PATCH_EXE = BUILD / "PATCH.EXE"

REG_SZ = 1
REG_EXPAND_SZ = 2
REG_BINARY = 3
REG_DWORD = 4

# Bounds: a robot run, any other Windows program, waiting for a helper's flag.
ROBOT_TIMEOUT_S = 30
PROGRAM_TIMEOUT_S = 60
FLAG_TIMEOUT_S = 30


class BenchError(AssertionError):
    """A failed expectation or a bench step that could not be done."""


# --- texts for people ----------------------------------------------------------

def show(value):
    """Bytes as a reader can check them: Windows-1251 text and hex."""
    if value is None:
        return "(nothing)"
    return "%r [%s]" % (bytes(value).decode("cp1251", "replace"), bytes(value).hex(" "))


def expect(condition, message):
    if not condition:
        raise BenchError(message)


def expect_bytes(actual, expected, what):
    if actual != expected:
        raise BenchError("%s:\n    expected %s\n    actual   %s" % (what, show(expected), show(actual)))


def expect_equal(actual, expected, what):
    if actual != expected:
        raise BenchError("%s: expected %r, got %r" % (what, expected, actual))


# --- Wine ----------------------------------------------------------------------

def _in_wine_batch():
    return bool(os.environ.get("BRX_WINE_BATCH")) and bool(os.environ.get("WINEPREFIX"))


def drive_c():
    return pathlib.Path(os.environ["WINEPREFIX"]) / "drive_c"


def windows_path(path):
    """The Windows name of a Unix path: C:\\ for the prefix's drive, else Z:\\."""
    path = pathlib.Path(path).resolve()
    try:
        relative = path.relative_to(drive_c().resolve())
        return ("C:\\" + str(relative).replace("/", "\\")).rstrip("\\") if str(relative) != "." \
            else "C:"
    except ValueError:
        return "Z:" + str(path).replace("/", "\\")


def run_windows_program(program, args, log_stem, timeout=PROGRAM_TIMEOUT_S):
    """Runs a Windows program to its end; returns (exit code, stdout, stderr).

    Output goes through files: Wine's background processes inherit
    descriptors, and a pipe would keep its reader waiting for them."""
    out_path = pathlib.Path(str(log_stem) + ".out")
    err_path = pathlib.Path(str(log_stem) + ".err")
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        try:
            result = subprocess.run(["wine", str(program)] + [str(a) for a in args],
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                    timeout=timeout)
        except subprocess.TimeoutExpired:
            raise BenchError("%s did not end within %d s (args %r)" % (program, timeout, args))
    return result.returncode, out_path.read_bytes(), err_path.read_bytes()


def start_windows_program(program, args, log_stem):
    out = open(str(log_stem) + ".out", "wb")
    err = open(str(log_stem) + ".err", "wb")
    process = subprocess.Popen(["wine", str(program)] + [str(a) for a in args],
                               stdin=subprocess.DEVNULL, stdout=out, stderr=err)
    out.close()
    err.close()
    return process


def program(name):
    path = PROGRAMS / (name + ".exe")
    if not path.is_file():
        raise BenchError("bench program %s is not built (expected %s)" % (name, path))
    return path


def check_code_page(work):
    """Every user text is Windows-1251: refuse to run under any other code page."""
    code, out, err = run_windows_program(program("acp_probe"), [], work / "acp_probe")
    acp = out.decode("ascii", "replace").strip()
    if code != 0 or acp != "1251":
        raise BenchError(
            "Wine's ANSI code page is %r, not 1251 (exit %d, %s). Is LC_ALL=ru_RU.UTF-8 set "
            "and the ru_RU.UTF-8 locale generated (locale -a)?" % (acp, code, err[-300:]))


def wait_for_file(path, what, timeout=FLAG_TIMEOUT_S, process=None):
    """Waits until `path` exists; fails naming `what` when it does not come."""
    deadline = time.monotonic() + timeout
    while not pathlib.Path(path).exists():
        if process is not None and process.poll() is not None:
            raise BenchError("%s: the program ended (exit %s) before %s appeared"
                             % (what, process.returncode, path))
        if time.monotonic() > deadline:
            raise BenchError("%s: %s did not appear within %d s" % (what, path, timeout))
        time.sleep(0.02)


# --- registry ------------------------------------------------------------------

def _hex(value):
    data = value.encode("cp1251") if isinstance(value, str) else bytes(value)
    return data.hex() if data else "-"


class Registry:
    """Registry work through reg_tool, batched: one Wine run per batch."""

    def __init__(self, work):
        self.work = work
        self.pending = []
        self.runs = 0

    def delete_key(self, root, key):
        self.pending.append("delete %s %s" % (root, _hex(key)))

    def set_value(self, root, key, name, value_type, data):
        self.pending.append("set %s %s %s %d %s" % (root, _hex(key), _hex(name), value_type,
                                                     _hex(data)))

    def set_dword(self, root, key, name, number):
        self.set_value(root, key, name, REG_DWORD, struct.pack("<i", number))

    def set_text(self, root, key, name, value):
        data = value.encode("cp1251") if isinstance(value, str) else bytes(value)
        self.set_value(root, key, name, REG_SZ, data + b"\0")

    def flush(self):
        if self.pending:
            self._run(self.pending)
            self.pending = []

    def read(self, queries):
        """Values for (root, key, name) queries: (type, bytes), or None when absent."""
        self.flush()
        lines = self._run(["get %s %s %s" % (root, _hex(key), _hex(name))
                           for root, key, name in queries])
        values = []
        for line in lines:
            word = line.split()
            if word[0] == "value":
                values.append((int(word[1]), b"" if word[2] == "-" else bytes.fromhex(word[2])))
            else:
                values.append(None)
        return values

    def key(self, root, key):
        """(number of values, number of subkeys) of a key, or None when absent."""
        self.flush()
        word = self._run(["key %s %s" % (root, _hex(key))])[0].split()
        return (int(word[1]), int(word[2])) if word[0] == "key" else None

    def _run(self, commands):
        self.runs += 1
        stem = self.work / ("reg_tool.%d" % self.runs)
        script = pathlib.Path(str(stem) + ".script")
        result = pathlib.Path(str(stem) + ".result")
        script.write_text("\n".join(commands) + "\n")
        code, _, err = run_windows_program(program("reg_tool"), [script, result], stem)
        lines = result.read_text().splitlines() if result.exists() else []
        if code != 0 or len(lines) != len(commands):
            raise BenchError("reg_tool failed (exit %d): %s\n%s" % (
                code, list(zip(commands, lines)), err.decode("utf-8", "replace")[-500:]))
        return lines


# --- the robot's report --------------------------------------------------------

class Box:
    """A message box as the robot saw it before answering."""

    def __init__(self, event):
        self.caption = bytes.fromhex(event["caption"])
        self.text = bytes.fromhex(event["text"])
        self.buttons = event["buttons"]
        self.icon = event["icon_kind"]
        self.owned_by_progress = bool(event["owned_by_progress"])
        self.status = bytes.fromhex(event["status"])
        self.second_line = bytes.fromhex(event["line2"])
        self.button_visible = bool(event["button_visible"])
        self.answer = event["answer"]
        self.scripted = bool(event["scripted"])

    def __repr__(self):
        return "box(caption %s, text %s, buttons %s, icon %s, answered %s)" % (
            show(self.caption), show(self.text), self.buttons, self.icon, self.answer)


class RobotReport:
    def __init__(self, lines):
        import json
        self.events = [json.loads(line) for line in lines if line.strip()]
        self.statuses = [bytes.fromhex(e["text"]) for e in self._all("status")]
        self.second_lines = [bytes.fromhex(e["text"]) for e in self._all("line2")]
        self.buttons = [(bool(e["visible"]), bytes.fromhex(e["text"])) for e in self._all("button")]
        self.boxes = [Box(e) for e in self._all("box")]
        self.window = self._one("window")
        self.window_gone = self._one("window_gone")
        self.early_click = self._one("early_click")
        self.controls = {e["id"]: e for e in self._all("control")}
        self.close_box = self._all("close_box")
        self.cpu = self._one("cpu")
        self.exit = self._one("exit")
        self.timeout = self._one("timeout")

    def _all(self, name):
        return [e for e in self.events if e["event"] == name]

    def _one(self, name):
        found = self._all(name)
        return found[-1] if found else None

    @property
    def final_status(self):
        return self.statuses[-1] if self.statuses else b""

    def summary(self):
        lines = ["statuses seen: " + ", ".join(show(s) for s in self.statuses)]
        lines += ["%r" % box for box in self.boxes]
        lines.append("button states: %r" % self.buttons)
        lines.append("exit: %r" % self.exit)
        return "\n    ".join(lines)


# --- scenarios -------------------------------------------------------------------

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

    # The installed program as discovery finds it.
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
        import package_builder
        return package_builder.registry_keys(self.key, level)

    def level(self):
        """The recorded patch level: an int for REG_DWORD, else (type, bytes) or None."""
        value = self.registry.read([("HKLM", self.key, "PatchLevel")])[0]
        if value and value[0] == REG_DWORD and len(value[1]) == 4:
            return struct.unpack("<i", value[1])[0]
        return value

    def write_package(self, entries, name="update.pkg", **layout):
        """Writes a package file of `entries` in the scenario folder; gives
        its Windows path in quotes, ready for a command line."""
        import package_builder
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

    def target_tree(self):
        """Everything in the target folder: relative name -> bytes, or None for a folder."""
        tree = {}
        for path in sorted(self.target.rglob("*")):
            name = str(path.relative_to(self.target)).replace("/", "\\")
            tree[name] = None if path.is_dir() else path.read_bytes()
        return tree

    def expect_target_tree(self, expected):
        actual = self.target_tree()
        if actual == expected:
            return
        problems = []
        for name in sorted(set(actual) | set(expected)):
            if name not in actual:
                problems.append("missing: %s" % name)
            elif name not in expected:
                problems.append("unexpected: %s%s" % (name, " (folder)" if actual[name] is None
                                                      else " (%d bytes)" % len(actual[name])))
            elif actual[name] != expected[name]:
                def describe(value):
                    if value is None:
                        return "a folder"
                    return "%d bytes %s" % (len(value), value[:24].hex(" "))
                problems.append("differs: %s is %s, expected %s"
                                % (name, describe(actual[name]), describe(expected[name])))
        raise BenchError("target folder %s:\n    %s" % (self.win_target, "\n    ".join(problems)))

    def initial_tree(self):
        return {self.PROGRAM_FILE: program("target_app").read_bytes()}

    # Running PATCH.EXE.
    def run(self, args=(), command_line=None, answers=(), close_box=False, early_click=False,
            click=True, application=None, timeout=ROBOT_TIMEOUT_S):
        """Runs PATCH.EXE (or `application`) through the robot; gives its report.

        The command line is the program's path in quotes followed by `args`,
        or exactly `command_line` when given (bytes or str)."""
        self.registry.flush()
        application = application or self.win_patch
        if command_line is None:
            command_line = " ".join(['"%s"' % application] + list(args))
        if isinstance(command_line, str):
            command_line = command_line.encode("cp1251")
        self.runs += 1
        report_path = self.work / ("robot.%d.jsonl" % self.runs)
        robot_args = ["--report", windows_path(report_path), "--cmdline-hex", command_line.hex(),
                      "--app", application, "--cwd", self.win_root,
                      "--timeout", str(timeout)]
        for answer in answers:
            robot_args += ["--answer", answer]
        if close_box:
            robot_args.append("--close-box")
        if early_click:
            robot_args.append("--early-click")
        if not click:
            robot_args.append("--no-click")
        code, _, err = run_windows_program(program("ui_robot"), robot_args,
                                           self.work / ("robot.%d" % self.runs),
                                           timeout=timeout + 30)
        lines = report_path.read_text().splitlines() if report_path.exists() else []
        report = RobotReport(lines)
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
            program("hold_file"),
            [windows_path(scenario.target / relative), windows_path(self.ready),
             windows_path(self.release_flag), str(ROBOT_TIMEOUT_S + 30)],
            scenario.work / "hold_file")
        wait_for_file(self.ready, "hold_file holding %s" % relative, process=self.process)

    def release(self):
        self.release_flag.write_bytes(b"")
        try:
            self.process.wait(timeout=FLAG_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise BenchError("hold_file did not let go within %d s" % FLAG_TIMEOUT_S)


# --- expectations on a run --------------------------------------------------------

def expect_waits_for_click(report, exit_code=0):
    """The run ended with "OK" shown and the window kept until the click."""
    expect(report.exit is not None, "the program did not end: " + report.summary())
    expect_equal(report.exit["code"], exit_code, "exit code")
    expect(report.exit["ok_seen"], "the OK button never showed: " + report.summary())
    expect(report.buttons and report.buttons[-1] == (True, user_texts.BUTTON_OK),
           "the button at the end: " + report.summary())
    expect(not report.exit["closed_without_click"],
           "the window closed without the OK click: " + report.summary())
    expect(report.window_gone is None or report.window_gone["clicks"] > 0,
           "the window went away before the OK click: " + report.summary())


def expect_closes_by_itself(report):
    """The run ended without the user's click."""
    expect(report.exit is not None, "the program did not end: " + report.summary())
    expect_equal(report.exit["code"], 0, "exit code")
    expect(report.exit["closed_without_click"],
           "the window waited for a click instead of closing: " + report.summary())


def check_each(cases):
    """Runs related checks, (label, function) pairs, and reports every one
    that failed, not only the first."""
    failures = []
    for label, check in cases:
        try:
            check()
        except BenchError as error:
            failures.append("%s: %s" % (label, error))
    if failures:
        raise BenchError("\n    ".join(failures))


def expect_status(report, expected):
    expect_bytes(report.final_status, expected, "status line at the end")


def expect_boxes(report, expected):
    """Message boxes in order, each as (caption, text, buttons, icon)."""
    seen = [(b.caption, b.text, b.buttons, b.icon) for b in report.boxes]
    if len(seen) != len(expected):
        raise BenchError("expected %d message box(es), saw %d:\n    %s"
                         % (len(expected), len(seen), report.summary()))
    for index, (box, want) in enumerate(zip(report.boxes, expected)):
        expect_bytes(box.caption, want[0], "caption of box %d" % (index + 1))
        expect_bytes(box.text, want[1], "text of box %d" % (index + 1))
        expect_equal(box.buttons, want[2], "buttons of box %d" % (index + 1))
        expect_equal(box.icon, want[3], "icon of box %d" % (index + 1))
        expect(box.owned_by_progress, "box %d is not owned by the progress window" % (index + 1))


def level_warning_box():
    return (user_texts.LEVEL_WARNING_CAPTION, user_texts.LEVEL_WARNING, "OK+Cancel", "warning")


def commands_failed_box():
    return (user_texts.COMMANDS_FAILED_CAPTION, user_texts.COMMANDS_FAILED, "OK", "warning")


# --- the runner -------------------------------------------------------------------

def _reexec_in_wine_batch():
    script = pathlib.Path(sys.argv[0]).resolve()
    with_wine = SOURCE / "scripts" / "with-wine"
    os.execv(str(with_wine), [str(with_wine), "/usr/bin/python3", str(script)] + sys.argv[1:])


def main(namespace, needs_patch=True):
    """Runs the scenario_* functions of a scenario file, in order; arguments
    on the command line pick scenarios whose names contain them."""
    if not _in_wine_batch():
        _reexec_in_wine_batch()
    theme = pathlib.Path(namespace["__file__"]).stem
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
