#!/usr/bin/python3
"""End-to-end bench self-check: the UI robot against a dialog whose every
text, box and ending is known (programs/robot_check_dialog.cpp), so that a
robot fault is never taken for a PATCH.EXE fault."""

import bench
import checks
from checks import expect, expect_bytes, expect_equal
from live_run import MAX_BLOCKED_SWITCH_RATE
from wine import windows_path

MB_OKCANCEL_INFORMATION = 0x41
MB_OKCANCEL_WARNING = 0x31
MB_OK_EXCLAMATION = 0x30
MB_OK = 0x00


def _hex(value):
    return value.encode("cp1251").hex()


def _box(style, caption, text):
    return "box:%d:%s:%s" % (style, _hex(caption), _hex(text))


def _dialog():
    return windows_path(bench.test_program("robot_check_dialog"))


# Tests that the robot reads each box's caption, text (Cyrillic, CR LF),
# buttons and icon exactly, records the window's state while a box waits,
# answers each box as scripted, reports its close-box attempts at the start
# and once "OK" shows, and tells a window that waits for the click from one
# that closes by itself, where it never clicks.
def scenario_reads_boxes_and_endings(s):
    question = "Установить обновление?\r\nВторая строка"
    steps = [
        "status:" + _hex("Идёт работа"),
        _box(MB_OKCANCEL_INFORMATION, "Вопрос", question),
        _box(MB_OKCANCEL_WARNING, "!", "Предупреждение"),
        _box(MB_OK_EXCLAMATION, "!", "Ошибка"),
        _box(MB_OK, "Без значка", "Текст"),
        "end:wait",
    ]
    report = s.run(steps, application=_dialog(), answers=["OK", "Cancel", "OK", "OK"],
                   flags=["--close-box"])
    checks.expect_boxes(report, [
        ("Вопрос".encode("cp1251"), question.encode("cp1251"), "OK+Cancel", "information"),
        (b"!", "Предупреждение".encode("cp1251"), "OK+Cancel", "warning"),
        (b"!", "Ошибка".encode("cp1251"), "OK", "warning"),
        ("Без значка".encode("cp1251"), "Текст".encode("cp1251"), "OK", "none"),
    ])
    expect_bytes(report.boxes[0].status, "Идёт работа".encode("cp1251"),
                 "status line while the first box waits")
    expect(not report.boxes[0].button_visible, "the button shows while the first box waits")
    # The dialog lists the answers it got: IDOK 1, IDCANCEL 2.
    expect_bytes(report.second_lines[-1], b"1211", "answers the dialog received")
    expect_equal([(a["when"], a["handled"], a["window_stayed"]) for a in report.close_box],
                 [("start", 3, 1), ("finished", 3, 1)], "close-box attempts")
    checks.expect_waits_for_click(report, exit_code=3)  # the boxes answered OK
    expect_equal(report.exit["clicks"], 1, "clicks needed by a waiting window")
    checks.expect_closes_by_itself(s.run(["end:close"], application=_dialog(),
                                         flags=["--no-click"]))


# Tests that the two CPU measures see a window thread of known behaviour:
# the robot's CPU figure finds CPU time the thread really spent, and the
# Linux-side watch tells a polling message loop from a blocked one by its
# context switches, which, unlike its CPU share, do not shrink when the
# machine is loaded.
def scenario_cpu_measures(s):
    marks = [s.root / "waiting", s.root / "done"]

    def watched(first_steps):
        report = s.run(first_steps + ["mark:waiting", "sleep:1000", "mark:done", "end:wait"],
                       application=_dialog(), watch_marks=marks)
        checks.expect_waits_for_click(report)
        return report, report.watch.between(*marks)

    burned, (_, idle_rate, _) = watched(["burn:600"])
    _, (_, busy_rate, _) = watched(["loop:spin"])
    print("    context switches a second: blocked loop %.0f, polling loop %.0f"
          % (idle_rate, busy_rate))
    expect(burned.cpu["window_thread_ms"] >= 600,
           "the robot saw %d ms of CPU time on a window thread that spent 600 ms"
           % burned.cpu["window_thread_ms"])
    # The robot's own polling wakes the watched thread now and then, so a
    # blocked loop is not quite at zero; a polling loop is thousands on an
    # idle machine, fewer under load (each poll waits for wineserver), and
    # must stay above the bound that tells the two apart.
    expect(idle_rate < MAX_BLOCKED_SWITCH_RATE,
           "a blocked loop switched %.0f times a second" % idle_rate)
    expect(busy_rate > MAX_BLOCKED_SWITCH_RATE,
           "a polling loop switched only %.0f times a second" % busy_rate)


if __name__ == "__main__":
    bench.main(globals(), needs_patch=False)
