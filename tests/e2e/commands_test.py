#!/usr/bin/python3
"""End-to-end scenarios: external commands started by the installer. Exit
codes that do not count, the error file that does, a program that cannot
start, an error file left from before, and the window thread's CPU use while
the worker waits on a long command."""

import shutil

import bench
import checks
import package_builder as pb
import registry
import user_texts
from checks import expect, expect_equal

ERROR_FILE = "brx_patch_apply_err.txt"
# As calibrated by robot_test against a known blocked and a known polling loop.
MAX_BLOCKED_SWITCH_RATE = 500


def _tool(s, name):
    """A bench program copied next to the scenario, by its full Windows path."""
    folder = s.root / "tools"
    folder.mkdir(exist_ok=True)
    shutil.copyfile(bench.test_program(name), folder / (name + ".exe"))
    return "%s\\tools\\%s.exe" % (s.win_root, name)


def _package(s, records):
    """Commands, then a removal and a registry value, which must run whatever
    the commands did."""
    s.put_target_file("old.txt", b"old")
    return s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry(":CommandsToExecute", pb.commands(records)),
        pb.Entry(":FilesToRemove", pb.files_to_remove(["old.txt"])),
        pb.Entry(":RegistryTable", pb.registry_table(
            [(pb.REGISTRY_WRITE, pb.HKLM_ROOT, s.key, pb.TYPE_TEXT, "After", "ran")])),
    ])


def _note(s, name):
    """The note an exit_with run left in the target folder: (command line, folder)."""
    path = s.target / name
    expect(path.exists(), "%s was not written: that command did not run" % name)
    lines = path.read_bytes().split(b"\r\n")
    return lines[0], lines[1]


def _expect_failed_run(s, report):
    """One error box, no success text, level not recorded, later phases run."""
    checks.expect_boxes(report, [checks.commands_failed_box()])
    expect(report.final_status != user_texts.INSTALLED, "the success text was shown")
    checks.expect_waits_for_click(report)
    expect_equal(s.level(), 0, "patch level")
    expect(not (s.target / "old.txt").exists(), "file removal did not run after the commands")
    expect_equal(s.registry.read([("HKLM", s.key, "After")]), [(registry.REG_SZ, b"ran\0")],
                 "registry table value written after the commands")
    expect(not (s.target / ERROR_FILE).exists(), "the error file was left in the target folder")


# Tests commands that succeed whatever their exit code: each runs in the
# target folder with the command line "DUMMY <arguments>", one after the
# other, and the run ends with the success text and the new level.
def scenario_exit_codes_do_not_count(s):
    s.install_target(level=0)
    tool = _tool(s, "exit_with")
    report = s.run(args=[_package(s, [
        (pb.WAIT, tool, "7 --note one.txt"),
        (pb.WAIT, tool, "0 --note two.txt"),
    ])])
    checks.expect_boxes(report, [])
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    folder = s.win_target.rstrip("\\").encode("cp1251")
    expect_equal(_note(s, "one.txt"), (b"DUMMY 7 --note one.txt", folder), "first command's note")
    expect_equal(_note(s, "two.txt"), (b"DUMMY 0 --note two.txt", folder), "second command's note")
    expect_equal(s.level(), 1, "patch level")


# Tests a command that reports failure through the error file: the file is
# deleted, the next command does not run, one box is shown, and the run
# ends without success.
def scenario_error_file(s):
    s.install_target(level=0)
    report = s.run(args=[_package(s, [
        (pb.WAIT, _tool(s, "write_error_file"), ""),
        (pb.WAIT, _tool(s, "exit_with"), "0 --note after.txt"),
    ])])
    _expect_failed_run(s, report)
    expect(not (s.target / "after.txt").exists(), "the command after the failure ran")


# Tests a program that cannot be started, between two that can: the first
# runs, the third does not, and exactly one box is shown.
def scenario_missing_program(s):
    s.install_target(level=0)
    tool = _tool(s, "exit_with")
    report = s.run(args=[_package(s, [
        (pb.WAIT, tool, "0 --note one.txt"),
        (pb.WAIT, s.win_root + "\\tools\\missing.exe", ""),
        (pb.WAIT, tool, "0 --note three.txt"),
    ])])
    _note(s, "one.txt")
    expect(not (s.target / "three.txt").exists(), "the command after the missing one ran")
    _expect_failed_run(s, report)


# Tests an error file left in the target folder before the phase: it counts
# against the first command, which still runs; the second does not.
def scenario_error_file_left_before(s):
    s.install_target(level=0)
    s.put_target_file(ERROR_FILE, b"left from before")
    tool = _tool(s, "exit_with")
    report = s.run(args=[_package(s, [
        (pb.WAIT, tool, "0 --note one.txt"),
        (pb.WAIT, tool, "0 --note two.txt"),
    ])])
    _note(s, "one.txt")
    expect(not (s.target / "two.txt").exists(), "the second command ran")
    _expect_failed_run(s, report)


# Tests that the window thread stays idle while the worker waits three
# seconds on a command: its CPU time, as the robot measures it, stays under
# a tenth of the wall time, and, watched from Linux over the span of the
# command, it neither takes CPU nor wakes more than a blocked message loop
# does (a loop that polls without pause switches thousands of times a
# second; see robot_test).
def scenario_window_thread_idle_during_long_command(s):
    s.install_target(level=0)
    started, done = s.target / "started.txt", s.target / "done.txt"
    report = s.run(args=[_package(s, [(pb.WAIT, _tool(s, "exit_with"),
                                       "0 --note started.txt --sleep 3000 --done done.txt")])],
                   watch_marks=[started, done])
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    cpu = report.cpu
    expect(cpu is not None, "the robot took no CPU figure: " + report.summary())
    share = cpu["window_thread_ms"] / cpu["wall_ms"]
    watched = report.watch.between(started, done)
    expect(watched is not None, "the watch did not follow the window thread through the "
           "command (%d samples, pid %s)" % (len(report.watch.samples), report.watch.pid))
    span_share, switch_rate, seconds = watched
    print("    CPU of the window thread: %d ms over a %d ms run (%.1f %% of one core); "
          "during the %.1f s command: %.1f %%, %.0f context switches/s"
          % (cpu["window_thread_ms"], cpu["wall_ms"], 100 * share, seconds, 100 * span_share,
             switch_rate))
    expect(seconds > 2.5, "the command took %.1f s: it did not run its course" % seconds)
    expect(share < 0.10, "the window thread used %.0f %% of a core over the run" % (100 * share))
    expect(span_share < 0.05, "the window thread used %.0f %% of a core while the worker "
           "waited" % (100 * span_share))
    expect(switch_rate < MAX_BLOCKED_SWITCH_RATE,
           "the window thread switched %.0f times a second while the worker waited: its loop "
           "does not block" % switch_rate)


if __name__ == "__main__":
    bench.main(globals())
