#!/usr/bin/python3
"""End-to-end scenarios: whole updates through the real Win32 calls. Files,
nested folders and Cyrillic names, registry values under HKLM and HKCU,
removal, commands started as real processes, the recorded level and the
warning of a second run; and the window thread while a long command runs."""

import os
import shutil

import bench
import checks
import package_builder as pb
import registry
import user_texts
from checks import expect, expect_equal
from live_run import MAX_BLOCKED_SWITCH_RATE

ERROR_FILE = "brx_patch_apply_err.txt"
HELP = "справка\\прочти меня.txt"
OLD_FILES = {
    "readme.txt": b"old readme\r\n",
    "старое.txt": b"to be removed",
    "obsolete\\a.txt": b"a",
    "obsolete\\b.txt": b"b",
}


def _update_package(s):
    """Replaced, new, nested and renamed files, folders, a command that
    succeeds, removals, values under HKCU and HKLM, and patch level 3."""
    return s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(3)),
        pb.Entry(":StartupMsg", pb.startup_msg("Brindlex", "Установить?")),
        pb.Entry(":XlatNamesTable", pb.name_table([("Docs\\Readme.txt", HELP)])),
        pb.Entry(":Folders", pb.text_list(["журналы", "data", "data\\maps"])),
        pb.Entry(s.PROGRAM_FILE, b"new program " * 500),
        pb.Entry("readme.txt", b"new readme\r\n", compress=False),
        pb.Entry("новый файл.txt", "новый файл\r\n".encode("cp1251")),
        pb.Entry("a\\b\\c.txt", b"nested"),
        pb.Entry("docs\\readme.txt", b"renamed help"),
        pb.Entry("tools\\mark.exe", bench.test_program("exit_with").read_bytes()),
        pb.Entry(":CommandsToExecute", pb.commands(
            [(pb.WAIT | pb.RELATIVE, "tools\\mark.exe", "5 --note ran.txt")])),
        pb.Entry(":FilesToRemove", pb.text_list(
            ["старое.txt", "obsolete\\a.txt", "obsolete\\b.txt", "obsolete", "never-there.txt"])),
        pb.Entry(":RegistryTable", pb.registry_table([
            (pb.HKCU_ROOT, s.user_key, pb.TYPE_TEXT, "Greeting", "Привет"),
            (pb.HKLM_ROOT, s.key + "\\Settings", pb.TYPE_NUMBER, "Count", "0x1F"),
        ])),
    ])


def _expect_installed(s, report):
    checks.expect_success(report)
    note = b"DUMMY 5 --note ran.txt\r\n" + s.win_target.rstrip("\\").encode("cp1251") + b"\r\n"
    s.expect_target_tree({
        s.PROGRAM_FILE: b"new program " * 500,
        "readme.txt": b"new readme\r\n",
        "новый файл.txt": "новый файл\r\n".encode("cp1251"),
        "a": None,
        "a\\b": None,
        "a\\b\\c.txt": b"nested",
        "справка": None,
        HELP: b"renamed help",
        "tools": None,
        "tools\\mark.exe": bench.test_program("exit_with").read_bytes(),
        "ran.txt": note,
        "журналы": None,
        "data": None,
        "data\\maps": None,
    })
    expect_equal(s.registry.read([
        ("HKCU", s.user_key, "Greeting"),
        ("HKLM", s.key + "\\Settings", "Count"),
        ("HKLM", s.key, "PatchLevel"),
    ]), [
        (registry.REG_SZ, "Привет\0".encode("cp1251")),
        (registry.REG_DWORD, b"\x1f\x00\x00\x00"),
        (registry.REG_DWORD, b"\x03\x00\x00\x00"),
    ], "registry values (HKCU Greeting, HKLM Count, PatchLevel)")


# Tests that a full update installs everything, and that the same update
# run again brings the level warning. The first run asks the question,
# replaces the program file and the readme, installs a file under a Cyrillic
# name, a nested file whose folders are made on the way and a file under its
# translated name, makes the listed folders, runs a command from the target
# folder as "DUMMY <arguments>" whose non-zero exit code does not count,
# removes files before their folder, writes values under HKCU and HKLM,
# leaves no backup, and records the new level. The second run brings the
# warning after the question and, confirmed, installs it all again.
def scenario_full_update_and_second_run(s):
    for name, content in OLD_FILES.items():
        s.put_target_file(name, content)
    s.install_target(level=2)
    package = _update_package(s)
    first = s.run([package], answers=["OK"])
    checks.expect_box_captions(first, [b"Brindlex"])
    _expect_installed(s, first)
    second = s.run([package], answers=["OK", "OK"])
    checks.expect_box_captions(second, [b"Brindlex", user_texts.LEVEL_WARNING_CAPTION])
    _expect_installed(s, second)


# Tests that commands failing as only a real process can fail the run, one
# run each: a program that writes the error file into its current folder,
# and a program that cannot be started. The command after it does not run,
# the error box is shown (OK, exclamation icon), no error file is left, and
# the window waits for "OK" without the success text.
def scenario_commands_that_fail(s):
    (s.root / "tools").mkdir()
    for name in ("exit_with", "write_error_file"):
        shutil.copyfile(bench.test_program(name), s.root / "tools" / (name + ".exe"))
    s.install_target(level=0)

    def fails(program):
        def check():
            report = s.run([s.write_package([
                pb.Entry(":RegistryKeys", s.registry_keys(1)),
                pb.Entry(":CommandsToExecute", pb.commands([
                    (pb.WAIT, s.win_root + "\\tools\\" + program, ""),
                    (pb.WAIT, s.win_root + "\\tools\\exit_with.exe", "0 --note after.txt"),
                ])),
            ])])
            checks.expect_boxes(report, [(user_texts.COMMANDS_FAILED_CAPTION,
                                          user_texts.COMMANDS_FAILED, "OK", "warning")])
            expect(report.final_status != user_texts.INSTALLED, "the success text was shown")
            checks.expect_waits_for_click(report)
            s.expect_target_tree({})
        return check

    checks.check_each([("error file", fails("write_error_file.exe")),
                       ("missing program", fails("missing.exe"))])


# Tests that the window thread stays idle while the worker waits two seconds
# on a command: its CPU time, as the robot measures it, stays under a tenth
# of the run's wall time, and, watched from Linux over the span of the
# command, it neither takes CPU nor wakes more than a blocked message loop.
def scenario_window_thread_idle_during_long_command(s):
    s.install_target(level=0)
    started, done = s.target / "started.txt", s.target / "done.txt"
    shutil.copyfile(bench.test_program("exit_with"), s.root / "exit_with.exe")
    report = s.run([s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry(":CommandsToExecute", pb.commands([(
            pb.WAIT, s.win_root + "\\exit_with.exe",
            "0 --note started.txt --sleep 2000 --done done.txt")])),
    ])], watch_marks=[started, done])
    checks.expect_success(report)
    share = report.cpu["window_thread_ms"] / report.cpu["wall_ms"]
    span_share, switch_rate, seconds = report.watch.between(started, done)
    print("    window thread: %.1f %% of a core over the run; during the %.1f s command "
          "%.1f %%, %.0f context switches/s"
          % (100 * share, seconds, 100 * span_share, switch_rate))
    expect(seconds > 1.5, "the command took %.1f s: it did not run its course" % seconds)
    expect(share < 0.10, "the window thread used %.0f %% of a core over the run" % (100 * share))
    expect(span_share < 0.05, "the window thread used %.0f %% of a core while the worker "
           "waited" % (100 * span_share))
    expect(switch_rate < MAX_BLOCKED_SWITCH_RATE,
           "the window thread switched %.0f times a second while the worker waited: its loop "
           "does not block" % switch_rate)


# Tests that the x64 stub reads and writes the 64-bit registry view, as the
# 64-bit programs it serves do: a program recorded only under WOW6432Node,
# where a 32-bit program's values land, is not found; recorded under
# HKLM\SOFTWARE itself, it is found and its new level is written there.
# (The x86 build runs in a 32-bit prefix, which has one view.)
def scenario_x64_stub_uses_the_64_bit_registry_view(s):
    if os.environ.get("BRX_WINDOWS_ARCH") != "x64":
        print("    the x86 build's prefix has one registry view: nothing to tell apart")
        return
    wow_key = s.key.replace("SOFTWARE\\", "SOFTWARE\\WOW6432Node\\", 1)
    s.registry.delete_key("HKLM", wow_key)
    s.registry.set_text("HKLM", wow_key, "ProgramPath", s.win_target[:-1])
    s.registry.set_text("HKLM", wow_key, "ProgramName", s.PROGRAM_FILE)
    package = s.write_package([pb.Entry(":RegistryKeys", s.registry_keys(4)),
                               pb.Entry("x64.txt", b"64-bit view")])
    report = s.run([package])
    expect_equal(report.final_status, user_texts.TARGET_NOT_FOUND,
                 "the status with the program recorded under WOW6432Node only")
    s.expect_target_tree({})
    s.install_target(level=0)
    checks.expect_success(s.run([package], answers=["OK"]))
    s.expect_target_tree({"x64.txt": b"64-bit view"})
    expect_equal(s.level(), 4, "the level in the 64-bit view")
    expect_equal(s.registry.read([("HKLM", wow_key, "PatchLevel")]), [None],
                 "a level under WOW6432Node")
    s.registry.delete_key("HKLM", wow_key)
    s.registry.flush()


if __name__ == "__main__":
    bench.main(globals())
