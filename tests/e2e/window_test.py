#!/usr/bin/python3
"""End-to-end scenarios: the progress window and its message boxes as the
robot finds them on the screen, and the two ways a run ends: waiting for
"OK", or closing at once."""

import bench
import checks
import package_builder as pb
import user_texts
from checks import expect, expect_bytes, expect_equal

CAPTION = "Обновление Brindlex 2.1"
QUESTION = "Установить обновление 2.1?\r\nЗакройте программу перед установкой."


def _expect_window(report):
    """The caption, the controls of the template with empty lines and the
    button hidden, and the top-left corner that centres the window on the screen (C's division by
    2, which truncates toward zero)."""
    window = report.window
    expect(window is not None, "the progress window was never seen: " + report.summary())
    expect_bytes(bytes.fromhex(window["caption"]), user_texts.CAPTION, "window caption")
    expect_equal(sorted(report.controls), [1, 1000, 1001, 0xFFFF], "control ids")
    expect_equal([bytes.fromhex(report.controls[line]["text"]) for line in (1000, 1001)],
                 [b"", b""], "the two lines at first sight")
    expect(not report.buttons[0][0], "the button shows at first sight")
    corner = []
    for near, far, screen in (("left", "right", "screen_width"),
                              ("top", "bottom", "screen_height")):
        free = window[screen] - (window[far] - window[near])
        corner.append(-((-free) // 2) if free < 0 else free // 2)
    expect_equal([window["left"], window["top"]], corner,
                 "top-left corner of the window on a %dx%d screen"
                 % (window["screen_width"], window["screen_height"]))


# Tests that the window and both boxes show as the user must see them, in
# one confirmed run. The window: its caption, controls and centred position.
# The package's question (caption and text byte for byte, OK and Cancel,
# information icon), then the level warning (fixed text, caption "!", OK
# and Cancel, warning icon), each owned by the window while its lines are
# empty and its button hidden. The caption's close box, tried at the start
# and once "OK" shows, and the button's command sent while the worker runs:
# neither ends the run. At the end the success text, "OK", and the window
# kept until it is clicked.
def scenario_window_and_boxes(s):
    s.install_target(level=4)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(4)),
        pb.Entry(":StartupMsg", pb.startup_msg(CAPTION, QUESTION)),
        pb.Entry("new.txt", b"new"),
    ])
    report = s.run([package], answers=["OK", "OK"], flags=["--close-box", "--early-click"])
    _expect_window(report)
    checks.expect_boxes(report, [
        (CAPTION.encode("cp1251"), QUESTION.encode("cp1251"), "OK+Cancel", "information"),
        (user_texts.LEVEL_WARNING_CAPTION, user_texts.LEVEL_WARNING, "OK+Cancel", "warning"),
    ])
    for box in report.boxes:
        expect_bytes(box.status + box.second_line, b"", "the window's lines while a box waits")
        expect(not box.button_visible, "the button shows while a box waits")
    expect_equal([(a["when"], a["handled"], a["window_stayed"]) for a in report.close_box],
                 [("start", 3, 1), ("finished", 3, 1)],
                 "close-box attempts: when, messages handled, whether the window stayed")
    expect(report.early_click and report.early_click["handled"],
           "the button's command was not delivered while the worker ran")
    expect(all(line == b"" for line in report.second_lines),
           "the second line was written: %r" % report.second_lines)
    checks.expect_success(report)
    s.expect_target_tree({"new.txt": b"new"})


# Tests that Cancel at the level warning ends the run at once: the window
# closes without a click and without a status text, and no folder, file or
# registry value is touched.
def scenario_cancel_closes_at_once(s):
    s.install_target(level=1)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry(":StartupMsg", pb.startup_msg(CAPTION, QUESTION)),
        pb.Entry(":Folders", pb.text_list(["logs"])),
        pb.Entry(":RegistryTable", pb.registry_table(
            [(pb.HKLM_ROOT, s.key, pb.TYPE_TEXT, "Touched", "yes")])),
        pb.Entry("new.txt", b"new"),
        pb.Entry(s.PROGRAM_FILE, b"replaced"),
    ])
    report = s.run([package], answers=["OK", "Cancel"], flags=["--no-click"])
    checks.expect_closes_by_itself(report)
    expect_equal([box.answer for box in report.boxes], ["OK", "Cancel"], "boxes answered")
    s.expect_target_tree({})
    expect_equal(s.registry.read([("HKLM", s.key, "Touched")]), [None], "registry table value")
    expect_equal(s.level(), 1, "patch level")


if __name__ == "__main__":
    bench.main(globals())
