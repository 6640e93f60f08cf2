#!/usr/bin/env python3
"""make demo: installs Brindlex Notes 1.0 into the project's private Wine
prefix, authors the 2.0 update from examples/demo/update with brxpack, makes
update.exe with PATCH.EXE's builder mode, applies it under the UI robot and
shows what changed; then runs it a second time to show the level warning.

Runs inside the project's Wine batch (scripts/with-wine), which gives a
display: the user's when one is set, otherwise Xvfb. Screenshots of the
question, the finished progress window and the warning go to build/demo/.
Exits non-zero when any step did not do what it says.
"""
import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools" / "ui_robot"))

from registry import REG_DWORD, REG_SZ, Registry  # noqa: E402
from robot_report import RobotReport, robot_arguments  # noqa: E402
from wine import (BUILD, BenchError, check_code_page, drive_c, program,  # noqa: E402
                  run_windows_program, start_windows_program, windows_path)

BRXPACK = ROOT / "build" / "release" / "brxpack"
PATCH_EXE = BUILD / "PATCH.EXE"
OUT = ROOT / "build" / "demo"
EXAMPLE = ROOT / "examples" / "demo"

PROGRAM_KEY = r"SOFTWARE\Brindlex\Notes"
SETTINGS_KEY = r"Software\Brindlex\Notes\Settings"
TARGET_NAME = "Brindlex Notes"
ROBOT_TIMEOUT_S = 240
PAUSE_TIMEOUT_S = 120

SUCCESS_TEXT = "Обновление успешно установлено!\r\n".encode("cp1251")
WATCHED_VALUES = [
    ("HKLM", PROGRAM_KEY, "ProgramPath"),
    ("HKLM", PROGRAM_KEY, "ProgramName"),
    ("HKLM", PROGRAM_KEY, "PatchLevel"),
    ("HKLM", PROGRAM_KEY, "Version"),
    ("HKLM", PROGRAM_KEY, "Build"),
    ("HKCU", SETTINGS_KEY, "Theme"),
]


def say(text=""):
    print(text, flush=True)


def heading(text):
    say()
    say("== " + text)


def shown(data):
    """Windows-1251 bytes as readable text, line breaks made visible."""
    return data.decode("cp1251").replace("\r\n", "\\r\\n")


# --- the target program -------------------------------------------------------------

def target_folder():
    return drive_c() / "Program Files" / TARGET_NAME


def install_target(registry):
    folder = target_folder()
    if folder.exists():
        shutil.rmtree(folder)
    shutil.copytree(EXAMPLE / "releases" / "1.0", folder)
    shutil.copy(BUILD / "demo" / "notes.exe", folder / "notes.exe")
    registry.delete_key("HKLM", PROGRAM_KEY)
    registry.delete_key("HKCU", r"Software\Brindlex\Notes")
    # No trailing backslash: the installer adds it, as it does for real installs.
    registry.set_text("HKLM", PROGRAM_KEY, "ProgramPath", windows_path(folder))
    registry.set_text("HKLM", PROGRAM_KEY, "ProgramName", "notes.exe")
    registry.set_dword("HKLM", PROGRAM_KEY, "PatchLevel", 0)
    registry.flush()
    say("installed %s with notes.exe, %d data files; registry HKLM\\%s, PatchLevel 0"
        % (windows_path(folder), sum(1 for p in folder.rglob("*") if p.is_file()) - 1,
           PROGRAM_KEY))


def snapshot_files():
    folder = target_folder()
    files = {}
    for path in sorted(folder.rglob("*")):
        relative = str(path.relative_to(folder)).replace("/", "\\")
        if path.is_dir():
            files[relative + "\\"] = None
        else:
            data = path.read_bytes()
            files[relative] = (len(data), hashlib.sha256(data).hexdigest()[:12])
    return files


def describe_value(value):
    if value is None:
        return "(absent)"
    kind, data = value
    if kind == REG_DWORD and len(data) == 4:
        return "REG_DWORD %d" % int.from_bytes(data, "little", signed=True)
    if kind == REG_SZ:
        return 'REG_SZ "%s"' % data.rstrip(b"\0").decode("cp1251")
    return "type %d %s" % (kind, data.hex())


def snapshot_registry(registry):
    return dict(zip(WATCHED_VALUES, registry.read(WATCHED_VALUES)))


def print_changes(before_files, after_files, before_values, after_values):
    heading("Files in %s" % windows_path(target_folder()))
    for name in sorted(set(before_files) | set(after_files)):
        old, new = before_files.get(name, "-"), after_files.get(name, "-")
        if name not in before_files:
            change = "added"
        elif name not in after_files:
            change = "removed"
        elif old != new:
            change = "replaced"
        else:
            change = "unchanged"
        size = "" if name.endswith("\\") else "%8s bytes" % (new if new != "-" else old)[0]
        say("  %-9s %-42s %s" % (change, name, size))
    heading("Registry values")
    for (root, key, name) in WATCHED_VALUES:
        old = describe_value(before_values[(root, key, name)])
        new = describe_value(after_values[(root, key, name)])
        say("  %s\\%s\\%s" % (root, key, name))
        say("      %s" % (old if old == new else "%s  ->  %s" % (old, new)))


def print_run(report):
    heading("What the user saw")
    for box in report.boxes:
        say('  message box "%s": "%s" [%s, icon %s] answered %s'
            % (shown(box.caption), shown(box.text), box.buttons, box.icon, box.answer))
    for status in report.statuses:
        if status:
            say('  status line: "%s"' % shown(status))
    exit_event = report.exit or {}
    say("  exit code %s, %s" % (exit_event.get("code"),
                                "closed by the OK button" if exit_event.get("clicks")
                                else "window closed by itself"))


# --- running the update with screenshots --------------------------------------------

def screenshot(ready_file, png):
    """Crops the screen to the rectangle the robot wrote into `ready_file`."""
    left, top, right, bottom = (int(v) for v in ready_file.read_text().split())
    geometry = "%dx%d+%d+%d" % (right - left, bottom - top, max(left, 0), max(top, 0))
    with open(OUT / "import.log", "ab") as log:
        result = subprocess.run(["import", "-window", "root", "-crop", geometry, str(png)],
                                stdin=subprocess.DEVNULL, stdout=log, stderr=log, timeout=60)
    if result.returncode != 0 or not png.is_file():
        raise BenchError("the screenshot %s could not be taken (see %s)"
                         % (png, OUT / "import.log"))
    say("  screenshot %s" % png.relative_to(ROOT))


def run_update(exe, answers, shots, name):
    """Runs `exe` under the robot; at each pause named in `shots` takes a
    screenshot, then lets the robot go on. Gives the robot's report."""
    pauses = OUT / ("pauses-" + name)
    shutil.rmtree(pauses, ignore_errors=True)
    pauses.mkdir(parents=True)
    report_path = OUT / ("robot-%s.jsonl" % name)
    report_path.unlink(missing_ok=True)
    command_line = ('"%s"' % windows_path(exe)).encode("cp1251")
    args = robot_arguments(windows_path(report_path), command_line, windows_path(exe),
                           windows_path(OUT), ROBOT_TIMEOUT_S, answers,
                           ["--pause-dir", windows_path(pauses)])
    robot = start_windows_program(program("ui_robot"), args, OUT / ("robot-" + name))
    deadline = time.monotonic() + ROBOT_TIMEOUT_S + 30
    handled = set()
    while robot.poll() is None:
        for ready in sorted(pauses.glob("*.ready")):
            moment = ready.stem
            if moment in handled:
                continue
            handled.add(moment)
            if moment in shots:
                screenshot(ready, OUT / shots[moment])
            (pauses / (moment + ".done")).write_bytes(b"")
        if time.monotonic() > deadline:
            robot.kill()
            raise BenchError("the robot did not finish within %d s" % (ROBOT_TIMEOUT_S + 30))
        time.sleep(0.02)
    report = RobotReport(report_path.read_text().splitlines() if report_path.exists() else [])
    if robot.returncode != 0:
        raise BenchError("the robot failed (exit %d):\n    %s" % (robot.returncode, report.summary()))
    missing = [shots[m] for m in shots if m not in handled]
    if missing:
        raise BenchError("the run never reached the moment(s) for %s:\n    %s"
                         % (", ".join(missing), report.summary()))
    return report


# --- checks ---------------------------------------------------------------------------

class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, condition, what):
        say("  [%s] %s" % ("ok" if condition else "FAILED", what))
        if not condition:
            self.failures.append(what)


def check_first_run(checks, report, files, values):
    folder = target_folder()
    checks.expect(report.exit and report.exit["code"] == 0, "PATCH.EXE ended with exit code 0")
    checks.expect(len(report.boxes) == 1 and report.boxes[0].caption == b"Brindlex Notes",
                  "the package's question was asked once")
    checks.expect(report.final_status == SUCCESS_TEXT, "the success text is in the status line")
    checks.expect(b"version=2.0" in (folder / "notes.ini").read_bytes(),
                  "notes.ini was replaced by the 2.0 settings")
    checks.expect((folder / "data/templates/letters/thanks.txt").is_file(),
                  "the new nested file data\\templates\\letters\\thanks.txt is there")
    checks.expect((folder / "docs" / "Прочти меня.txt").is_file(),
                  "readme.txt was installed under its translated name docs\\Прочти меня.txt")
    checks.expect((folder / "backups").is_dir(), "the new folder backups was created")
    log = folder / "postinstall.log"
    checks.expect(log.is_file() and b"DUMMY --after-update 2.0" in log.read_bytes(),
                  "the shipped helper tools\\postinstall.exe ran in the program folder")
    checks.expect(not (folder / "notes.cache").exists() and not (folder / "help").exists(),
                  "notes.cache and the help folder with its file were removed")
    checks.expect(not any(name.endswith(".bak") for name in files), "no .bak file is left")
    checks.expect(describe_value(values[("HKLM", PROGRAM_KEY, "PatchLevel")]) == "REG_DWORD 1",
                  "PatchLevel is now 1 (REG_DWORD)")
    checks.expect(describe_value(values[("HKLM", PROGRAM_KEY, "Version")]) == 'REG_SZ "2.0"'
                  and describe_value(values[("HKLM", PROGRAM_KEY, "Build")]) == "REG_DWORD 42",
                  "HKLM values Version and Build were written")
    checks.expect(describe_value(values[("HKCU", SETTINGS_KEY, "Theme")]) == 'REG_SZ "dark"',
                  "the HKCU value Theme was written")


def check_second_run(checks, report, files_before, files_after, values_before, values_after):
    warning = "Обнаружено текущее или более позднее обновление!\r\nПродолжить установку?\r\n"
    boxes = report.boxes
    checks.expect(len(boxes) == 2 and boxes[1].text == warning.encode("cp1251")
                  and boxes[1].caption == b"!", "the second run warned that level 1 is installed")
    checks.expect(report.exit and report.exit["code"] == 0 and report.exit["clicks"] == 0,
                  "Cancel at the warning closed the window at once, exit code 0")
    checks.expect(files_before == files_after and values_before == values_after,
                  "nothing changed on disk or in the registry")


# --- the steps ------------------------------------------------------------------------

def author_update():
    source = OUT / "update-src"
    shutil.rmtree(source, ignore_errors=True)
    shutil.copytree(EXAMPLE / "update", source)
    tools = source / "payload" / "tools"
    tools.mkdir(parents=True, exist_ok=True)
    shutil.copy(BUILD / "demo" / "postinstall.exe", tools / "postinstall.exe")
    package = OUT / "update.brx"
    for args in (["build", str(source / "brxpack.toml"), "-o", str(package)],
                 ["list", str(package)], ["verify", str(package)]):
        say("$ brxpack %s" % " ".join(pathlib.Path(a).name if "/" in a else a for a in args))
        result = subprocess.run([str(BRXPACK)] + args, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            say("  " + line)
        if result.returncode != 0:
            raise BenchError("brxpack %s failed with exit code %d" % (args[0], result.returncode))
    return package


def make_executable(package):
    exe = OUT / "update.exe"
    exe.unlink(missing_ok=True)
    args = [windows_path(package), windows_path(exe), "MAKEEXE"]
    say("$ PATCH.EXE %s" % " ".join(args))
    code, _, _ = run_windows_program(PATCH_EXE, args, OUT / "makeexe")
    expected = PATCH_EXE.stat().st_size + package.stat().st_size + 8
    if code != 0 or not exe.is_file() or exe.stat().st_size != expected:
        raise BenchError("PATCH.EXE MAKEEXE did not write %s of %d bytes (exit %d)"
                         % (exe, expected, code))
    say("  wrote %s: %d bytes = PATCH.EXE %d + package %d + trailer 8"
        % (exe.relative_to(ROOT), expected, PATCH_EXE.stat().st_size, package.stat().st_size))
    return exe


def main():
    started = time.monotonic()
    OUT.mkdir(parents=True, exist_ok=True)
    for stale in ("progress.png", "question.png", "warning.png"):
        (OUT / stale).unlink(missing_ok=True)
    check_code_page(OUT)
    registry = Registry(OUT)
    checks = Checks()

    heading("Installing the sample program (Wine prefix %s, code page 1251)"
            % os.environ["WINEPREFIX"])
    install_target(registry)

    heading("Authoring the update with brxpack")
    package = author_update()
    heading("Making the self-applying update.exe")
    exe = make_executable(package)

    heading("Running update.exe (display %s)" % os.environ.get("DISPLAY", "?"))
    files_before, values_before = snapshot_files(), snapshot_registry(registry)
    report = run_update(exe, ["OK"], {"box1": "question.png", "finished": "progress.png"}, "first")
    files_after, values_after = snapshot_files(), snapshot_registry(registry)
    print_run(report)
    print_changes(files_before, files_after, values_before, values_after)
    heading("Checks of the first run")
    check_first_run(checks, report, files_after, values_after)

    heading("Running update.exe a second time (OK to the question, Cancel to the warning)")
    second = run_update(exe, ["OK", "Cancel"], {"box2": "warning.png"}, "second")
    print_run(second)
    heading("Checks of the second run")
    check_second_run(checks, second, files_after, snapshot_files(), values_after,
                     snapshot_registry(registry))

    heading("Summary")
    elapsed = time.monotonic() - started
    if checks.failures:
        say("demo FAILED in %.0f s: %d check(s) failed:" % (elapsed, len(checks.failures)))
        for failure in checks.failures:
            say("  - " + failure)
        return 1
    say("demo passed in %.0f s: every check held. Screenshots: build/demo/question.png, "
        "build/demo/progress.png, build/demo/warning.png" % elapsed)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except BenchError as error:
        print("demo FAILED: %s" % error, file=sys.stderr, flush=True)
        sys.exit(1)
