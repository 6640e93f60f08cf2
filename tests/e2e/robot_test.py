#!/usr/bin/python3
"""End-to-end bench self-check: the UI robot against a dialog whose every
text, box and ending is known (programs/robot_check_dialog.cpp), so that a
robot fault is never taken for a PATCH.EXE fault."""

import bench
import checks
import wine
from checks import expect, expect_bytes, expect_equal


def _hex(value):
    return value.encode("cp1251").hex()


def _check_dialog(s):
    return wine.windows_path(bench.test_program("robot_check_dialog"))


def _box(style, caption, text):
    return "box:%d:%s:%s" % (style, _hex(caption), _hex(text))


# Context switches a second of a window thread that blocks between messages,
# as the watch sees it with the robot polling; the same bound holds
# PATCH.EXE's window thread in commands_test.
MAX_BLOCKED_SWITCH_RATE = 500

MB_OKCANCEL_INFORMATION = 0x41
MB_OKCANCEL_WARNING = 0x31
MB_OK_EXCLAMATION = 0x30
MB_OK = 0x00


# Tests that the robot reads each box's caption, text (Cyrillic, CR LF),
# buttons and icon exactly, records the progress window's state while the
# box waits, and answers each box as scripted.
def scenario_reads_and_answers_boxes(s):
    question = "Установить обновление?\r\nВторая строка"
    steps = [
        "status:" + _hex("Идёт работа"),
        _box(MB_OKCANCEL_INFORMATION, "Вопрос", question),
        _box(MB_OKCANCEL_WARNING, "!", "Предупреждение"),
        _box(MB_OK_EXCLAMATION, "!", "Ошибка"),
        _box(MB_OK, "Без значка", "Текст"),
        "end:wait",
    ]
    report = s.run(args=steps, application=_check_dialog(s), answers=["OK", "Cancel", "OK", "OK"])
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
    checks.expect_waits_for_click(report, exit_code=3)  # the boxes answered OK


# Tests that the robot tells a window that waits for the click from one that
# closes by itself, and that it never clicks when told not to.
def scenario_click_and_closing_alone(s):
    waited = s.run(args=["end:wait"], application=_check_dialog(s))
    checks.expect_waits_for_click(waited)
    expect_equal(waited.exit["clicks"], 1, "clicks needed by a waiting window")
    closed = s.run(args=["end:close"], application=_check_dialog(s), click=False)
    checks.expect_closes_by_itself(closed)


# Tests that the close-box attempt is delivered and its result reported,
# at the start and again when "OK" shows.
def scenario_close_box_attempt(s):
    report = s.run(args=["end:wait"], application=_check_dialog(s), close_box=True)
    expect_equal([c["when"] for c in report.close_box], ["start", "finished"], "close-box attempts")
    for attempt in report.close_box:
        expect_equal(attempt["handled"], 3, "close-box messages handled (%s)" % attempt["when"])
        expect(attempt["window_stayed"], "the window closed at the %s attempt" % attempt["when"])
    checks.expect_waits_for_click(report)


# Tests the two CPU measures against a window thread of known behaviour:
# the robot's CPU figure finds CPU time the thread really spent, and the
# Linux-side watch tells a polling message loop from a blocked one by its
# context switches, which, unlike its CPU share, do not shrink when the
# machine is loaded.
def scenario_cpu_measures(s):
    burned = s.run(args=["burn:600", "end:wait"], application=_check_dialog(s))
    checks.expect_waits_for_click(burned)
    expect(burned.cpu["window_thread_ms"] >= 600,
           "the robot saw %d ms of CPU time on a window thread that spent 600 ms"
           % burned.cpu["window_thread_ms"])

    def watched(loop):
        marks = [s.root / "waiting", s.root / "done"]
        report = s.run(args=loop + ["mark:waiting", "sleep:1500", "mark:done", "end:wait"],
                       application=_check_dialog(s), watch_marks=marks)
        checks.expect_waits_for_click(report)
        measured = report.watch.between(*marks)
        expect(measured is not None, "the watch did not see the window thread: %d samples"
               % len(report.watch.samples))
        return measured

    idle_share, idle_rate, _ = watched([])
    busy_share, busy_rate, _ = watched(["loop:spin"])
    print("    blocked loop: %.1f %% of a core, %.0f switches/s; polling loop: %.1f %%, %.0f/s"
          % (100 * idle_share, idle_rate, 100 * busy_share, busy_rate))
    # The robot's own polling wakes the watched thread now and then, so a
    # blocked loop is not quite at zero; a polling loop is thousands.
    expect(idle_rate < MAX_BLOCKED_SWITCH_RATE,
           "a blocked loop switched %.0f times a second" % idle_rate)
    expect(busy_rate > 2 * MAX_BLOCKED_SWITCH_RATE,
           "a polling loop switched only %.0f times a second" % busy_rate)


if __name__ == "__main__":
    bench.main(globals(), needs_patch=False)
