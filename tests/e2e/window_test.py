#!/usr/bin/python3
"""End-to-end scenarios: the progress window itself. Its caption, controls
and centred position, its empty lines and hidden button while the worker
runs, and a close box and a button that cannot end a running update."""

import bench
import checks
import package_builder as pb
import user_texts
from checks import expect, expect_bytes, expect_equal

WS_POPUP = 0x80000000
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
DS_MODALFRAME = 0x80
BS_GROUPBOX = 0x7
SS_TYPEMASK = 0x1F
SS_LEFT = 0x0


def _truncated_half(value):
    # C division of a signed number by 2 truncates toward zero.
    return -((-value) // 2) if value < 0 else value // 2


def _question_package(s):
    return s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry(":StartupMsg", pb.startup_msg("Caption", "Question")),
    ])


# Tests the window as the user first sees it: caption, style, the four
# controls of its template, centred on the screen by the truncating formula,
# and, while the worker waits at the question, both lines empty and the
# button hidden.
def scenario_window_at_start(s):
    s.install_target(level=0)
    report = s.run(args=[_question_package(s)], answers=["OK"])
    window = report.window
    expect(window is not None, "the progress window was never seen: " + report.summary())
    expect_bytes(bytes.fromhex(window["caption"]), user_texts.CAPTION, "window caption")
    style = window["style"] & 0xFFFFFFFF
    for flag, name in [(WS_POPUP, "WS_POPUP"), (WS_CAPTION, "WS_CAPTION"),
                       (WS_SYSMENU, "WS_SYSMENU"), (DS_MODALFRAME, "DS_MODALFRAME")]:
        expect(style & flag == flag, "window style %#x lacks %s" % (style, name))
    width = window["right"] - window["left"]
    height = window["bottom"] - window["top"]
    expect_equal((window["left"], window["top"]),
                 (_truncated_half(window["screen_width"] - width),
                  _truncated_half(window["screen_height"] - height)),
                 "top-left corner of a %dx%d window on a %dx%d screen"
                 % (width, height, window["screen_width"], window["screen_height"]))
    controls = report.controls
    expect_equal(sorted(controls), [1, 1000, 1001, 0xFFFF], "control ids")
    expect_bytes(bytes.fromhex(controls[0xFFFF]["class"]), b"Button", "class of the frame")
    expect_equal(controls[0xFFFF]["style"] & 0xF, BS_GROUPBOX, "style of the frame")
    for line in (1000, 1001):
        expect_bytes(bytes.fromhex(controls[line]["class"]), b"Static", "class of %d" % line)
        expect_equal(controls[line]["style"] & SS_TYPEMASK, SS_LEFT, "style of %d" % line)
        expect_bytes(bytes.fromhex(controls[line]["text"]), b"", "text of %d at first sight" % line)
    box = report.boxes[0]
    expect_bytes(box.status, b"", "status line while the question waits")
    expect_bytes(box.second_line, b"", "second line while the question waits")
    expect(not box.button_visible, "the button shows while the question waits")
    # The button was never seen with its template text after the run ended.
    expect_equal(report.buttons[-1], (True, user_texts.BUTTON_OK), "button at the end")
    expect(all(line == b"" for line in report.second_lines),
           "the second line was written: %r" % report.second_lines)
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)


# Tests that the caption's close box leaves the window open and the run
# going, both while the worker runs and once "OK" shows, and that the
# button's command sent while the worker runs is ignored.
def scenario_close_box_and_early_click(s):
    s.install_target(level=0)
    report = s.run(args=[_question_package(s)], answers=["OK"], close_box=True, early_click=True)
    expect_equal([attempt["when"] for attempt in report.close_box], ["start", "finished"],
                 "close-box attempts made")
    for attempt in report.close_box:
        expect(attempt["handled"] == 3, "the window did not handle the close-box messages (%s)"
               % attempt["when"])
        expect(attempt["window_stayed"], "the window closed by its close box (%s)"
               % attempt["when"])
    expect(report.early_click and report.early_click["handled"],
           "the early click was not delivered")
    expect_equal(len(report.boxes), 1, "boxes seen (the question must still come)")
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    expect_equal(s.level(), 1, "patch level")


if __name__ == "__main__":
    bench.main(globals())
