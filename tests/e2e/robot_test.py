#!/usr/bin/python3
"""End-to-end bench self-check: the UI robot against a dialog whose every
text, box and ending is known (programs/robot_check_dialog.cpp), so that a
robot fault is never taken for a PATCH.EXE fault."""

import bench
from bench import expect, expect_bytes, expect_equal


def _hex(value):
    return value.encode("cp1251").hex()


def _check_dialog(s):
    return bench.windows_path(bench.program("robot_check_dialog"))


def _box(style, caption, text):
    return "box:%d:%s:%s" % (style, _hex(caption), _hex(text))


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
    bench.expect_boxes(report, [
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
    bench.expect_waits_for_click(report, exit_code=3)  # the boxes answered OK


# Tests that the robot tells a window that waits for the click from one that
# closes by itself, and that it never clicks when told not to.
def scenario_click_and_closing_alone(s):
    waited = s.run(args=["end:wait"], application=_check_dialog(s))
    bench.expect_waits_for_click(waited)
    expect_equal(waited.exit["clicks"], 1, "clicks needed by a waiting window")
    closed = s.run(args=["end:close"], application=_check_dialog(s), click=False)
    bench.expect_closes_by_itself(closed)


# Tests that the close-box attempt is delivered and its result reported,
# at the start and again when "OK" shows.
def scenario_close_box_attempt(s):
    report = s.run(args=["end:wait"], application=_check_dialog(s), close_box=True)
    expect_equal([c["when"] for c in report.close_box], ["start", "finished"], "close-box attempts")
    for attempt in report.close_box:
        expect_equal(attempt["handled"], 3, "close-box messages handled (%s)" % attempt["when"])
        expect(attempt["window_stayed"], "the window closed at the %s attempt" % attempt["when"])
    bench.expect_waits_for_click(report)


# Tests that the robot's CPU figure tells a busy window thread from an idle
# one, so that a small figure for PATCH.EXE means an idle thread, not a
# figure that reads zero.
def scenario_cpu_figure(s):
    def share(steps):
        report = s.run(args=steps, application=_check_dialog(s))
        bench.expect_waits_for_click(report)
        expect(report.cpu is not None, "no CPU figure: " + report.summary())
        return report.cpu["window_thread_ms"] / report.cpu["wall_ms"]

    idle = share(["sleep:2000", "end:wait"])
    busy = share(["loop:spin", "sleep:2000", "end:wait"])
    print("    CPU: idle loop %.1f %%, polling loop %.1f %% of one core" % (100 * idle, 100 * busy))
    expect(idle < 0.10, "an idle window thread measured %.0f %%" % (100 * idle))
    # Under Wine much of a polling loop's cost lands in wineserver, so the
    # thread itself shows a fraction of a core; it must still stand out.
    expect(busy > 3 * idle, "a polling window thread measured %.0f %%, an idle one %.0f %%"
           % (100 * busy, 100 * idle))


if __name__ == "__main__":
    bench.main(globals(), needs_patch=False)
