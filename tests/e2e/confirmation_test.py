#!/usr/bin/python3
"""End-to-end scenarios: the package's question and the patch-level
warning. Their texts and styles, and which installed and package levels
bring the warning (a signed comparison, equal counting as installed)."""

import bench
import checks
import package_builder as pb
import registry
import user_texts
from checks import expect, expect_bytes, expect_equal

CAPTION = "Обновление Brindlex 2.1"
QUESTION = "Установить обновление 2.1?\r\nЗакройте программу перед установкой."


# Tests the texts and styles of both boxes, shown in turn: the package's
# question (its caption and text byte for byte, OK and Cancel, information
# icon) and then the level warning (fixed text, caption "!", OK and Cancel,
# warning icon), each owned by the progress window while it still shows an
# empty status line and no button.
def scenario_question_and_warning_boxes(s):
    s.install_target(level=4)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(4)),
        pb.Entry(":StartupMsg", pb.startup_msg(CAPTION, QUESTION)),
    ])
    report = s.run(args=[package], answers=["OK", "OK"])
    checks.expect_boxes(report, [
        (CAPTION.encode("cp1251"), QUESTION.encode("cp1251"), "OK+Cancel", "information"),
        checks.level_warning_box(),
    ])
    for box in report.boxes:
        expect_bytes(box.status, b"", "status line while a box waits")
        expect(not box.button_visible, "the button shows while a box waits")
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)


# Tests a :StartupMsg that holds only its caption: the question is asked
# with an empty text, never with bytes from beyond the section.
def scenario_question_without_text(s):
    s.install_target(level=0)
    package = s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry(":StartupMsg", CAPTION.encode("cp1251") + b"\0", compress=False),
        pb.Entry("after.txt", b"ABCDEFGH" * 8, compress=False),
    ])
    report = s.run(args=[package], answers=["Cancel"], click=False)
    checks.expect_boxes(report, [(CAPTION.encode("cp1251"), b"", "OK+Cancel", "information")])
    checks.expect_closes_by_itself(report)


# Tests the level comparison, one run each: no value against 1 and -5
# against -1 ask nothing and record the package's level; an equal level,
# 2 against 1, and 0 against 0 bring the warning, where OK goes on and
# Cancel ends the run with the level unchanged; a text value counts as 0.
def scenario_level_comparison(s):
    def run(installed, package_level, answers, warned, recorded):
        def check():
            s.registry.delete_key("HKLM", s.key)
            s.install_target(level=installed)
            package = s.write_package([pb.Entry(":RegistryKeys", s.registry_keys(package_level))])
            report = s.run(args=[package], answers=answers, click=answers[-1:] != ["Cancel"])
            checks.expect_boxes(report, [checks.level_warning_box()] if warned else [])
            if answers[-1:] == ["Cancel"]:
                checks.expect_closes_by_itself(report)
            else:
                checks.expect_status(report, user_texts.INSTALLED)
                checks.expect_waits_for_click(report)
            expect_equal(s.level(), recorded, "patch level afterwards")
        return check

    text_three = (registry.REG_SZ, b"3\0")
    checks.check_each([
        ("no value vs 1", run(None, 1, [], False, 1)),
        ("-5 vs -1", run(-5, -1, [], False, -1)),
        ("text '3' vs 1", run(text_three, 1, [], False, 1)),
        ("1 vs 1, OK", run(1, 1, ["OK"], True, 1)),
        ("2 vs 1, Cancel", run(2, 1, ["Cancel"], True, 2)),
        ("2 vs 1, OK", run(2, 1, ["OK"], True, 1)),
        ("no value vs 0, OK", run(None, 0, ["OK"], True, 0)),
    ])


if __name__ == "__main__":
    bench.main(globals())
