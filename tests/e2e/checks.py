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
    """The run ended with exit code `exit_code`, "OK" shown, and the window
    kept until it was clicked."""
    ended = report.exit or {}
    expect(ended.get("code") == exit_code and ended["clicks"] > 0
           and report.buttons[-1:] == [(True, user_texts.BUTTON_OK)]
           and (report.window_gone is None or report.window_gone["clicks"] > 0),
           "expected exit code %d and the window kept until an OK click:\n    %s"
           % (exit_code, report.summary()))


def expect_closes_by_itself(report):
    """The run ended with exit code 0, without a click or a status text."""
    ended = report.exit or {}
    expect(ended.get("code") == 0 and ended["closed_without_click"]
           and all(status == b"" for status in report.statuses),
           "expected exit code 0, no status text, and the window closing without a click:"
           "\n    %s" % report.summary())


def expect_status(report, expected):
    expect_bytes(report.final_status, expected, "status line at the end")


def expect_success(report):
    """The success text, and the window waiting for "OK"."""
    expect_status(report, user_texts.INSTALLED)
    expect_waits_for_click(report)


def expect_file_failed(report, path):
    """The failure text of the file at `path` (its full Windows path) last,
    and the window waiting for "OK"."""
    expect_status(report, user_texts.file_failed(path))
    expect_waits_for_click(report)


def expect_box_captions(report, captions):
    expect_equal([box.caption for box in report.boxes], captions,
                 "captions of the message boxes shown")


def expect_boxes(report, expected):
    """Message boxes in order, each as (caption, text, buttons, icon) and
    owned by the progress window."""
    expect_equal(len(report.boxes), len(expected), "message boxes seen: " + report.summary())
    for number, (box, (caption, text, buttons, icon)) in enumerate(zip(report.boxes, expected), 1):
        expect_bytes(box.caption, caption, "caption of box %d" % number)
        expect_bytes(box.text, text, "text of box %d" % number)
        expect_equal((box.buttons, box.icon), (buttons, icon),
                     "buttons and icon of box %d" % number)
        expect(box.owned_by_progress, "box %d is not owned by the progress window" % number)
