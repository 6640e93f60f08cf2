"""Expectations of the end-to-end scenarios, failing with messages that show
texts both as Windows-1251 and as hex."""

import user_texts
from robot_report import show
from wine import BenchError


def expect(condition, message):
    if not condition:
        raise BenchError(message)


def expect_bytes(actual, expected, what):
    if actual != expected:
        raise BenchError("%s:\n    expected %s\n    actual   %s" % (what, show(expected), show(actual)))


def expect_equal(actual, expected, what):
    if actual != expected:
        raise BenchError("%s: expected %r, got %r" % (what, expected, actual))


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


# --- how a run ends -------------------------------------------------------------

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


def expect_status(report, expected):
    expect_bytes(report.final_status, expected, "status line at the end")


def expect_no_status(report):
    expect(all(status == b"" for status in report.statuses),
           "a status text was shown: " + report.summary())


# --- message boxes ----------------------------------------------------------------

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
    # MB_ICONEXCLAMATION and MB_ICONWARNING are one style and one icon.
    return (user_texts.COMMANDS_FAILED_CAPTION, user_texts.COMMANDS_FAILED, "OK", "warning")
