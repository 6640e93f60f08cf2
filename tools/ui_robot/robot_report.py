"""The UI robot's command line, and its report (JSON lines, texts as hex of
their Windows-1251 bytes; see ui_robot.cpp) read into what its callers
check."""

import json


def robot_arguments(report, command_line, application, folder, timeout, answers=(),
                    flags=()):
    """The robot's arguments: run `application` with `command_line` (bytes,
    the whole line) in `folder`, reporting to `report` (Windows paths), and
    give up after `timeout` seconds. `answers` go to the message boxes in
    turn; `flags` are --close-box, --early-click, --no-click or
    --pause-dir DIR."""
    arguments = ["--report", report, "--cmdline-hex", command_line.hex(), "--app", application,
                 "--cwd", folder, "--timeout", str(timeout)]
    for answer in answers:
        arguments += ["--answer", answer]
    return arguments + list(flags)


def show(value):
    """Bytes as a reader can check them: Windows-1251 text and hex."""
    if value is None:
        return "(nothing)"
    return "%r [%s]" % (bytes(value).decode("cp1251", "replace"), bytes(value).hex(" "))


class Box:
    """A message box as the robot saw it before answering."""

    def __init__(self, event):
        self.caption = bytes.fromhex(event["caption"])
        self.text = bytes.fromhex(event["text"])
        self.buttons = event["buttons"]
        self.icon = event["icon_kind"]
        self.owned_by_progress = bool(event["owned_by_progress"])
        self.status = bytes.fromhex(event["status"])
        self.second_line = bytes.fromhex(event["line2"])
        self.button_visible = bool(event["button_visible"])
        self.answer = event["answer"]
        self.scripted = bool(event["scripted"])

    def __repr__(self):
        return "box(caption %s, text %s, buttons %s, icon %s, answered %s)" % (
            show(self.caption), show(self.text), self.buttons, self.icon, self.answer)


class RobotReport:
    def __init__(self, lines):
        self.events = [json.loads(line) for line in lines if line.strip()]
        self.statuses = [bytes.fromhex(e["text"]) for e in self._all("status")]
        self.second_lines = [bytes.fromhex(e["text"]) for e in self._all("line2")]
        self.buttons = [(bool(e["visible"]), bytes.fromhex(e["text"])) for e in self._all("button")]
        self.boxes = [Box(e) for e in self._all("box")]
        self.window = self._one("window")
        self.window_gone = self._one("window_gone")
        self.early_click = self._one("early_click")
        self.controls = {e["id"]: e for e in self._all("control")}
        self.close_box = self._all("close_box")
        self.cpu = self._one("cpu")
        self.exit = self._one("exit")
        self.timeout = self._one("timeout")

    def _all(self, name):
        return [e for e in self.events if e["event"] == name]

    def _one(self, name):
        found = self._all(name)
        return found[-1] if found else None

    @property
    def final_status(self):
        return self.statuses[-1] if self.statuses else b""

    def summary(self):
        lines = ["statuses seen: " + ", ".join(show(s) for s in self.statuses)]
        lines += ["%r" % box for box in self.boxes]
        lines.append("button states: %r" % self.buttons)
        lines.append("exit: %r" % self.exit)
        if self.timeout:
            lines.append("robot gave up waiting for %s" % self.timeout["waiting_for"])
        return "\n    ".join(lines)
