"""One trial of the crash test: the installed program as it stands before
the update, the update killed at a kill point (and, in some trials, the run
again killed too), the promise checked after every kill, and the same
update run again to its end, which must leave the full new state."""

import shutil

import checks
import user_texts
from checks import BenchError
from crash import kill_points, target_state
from crash.update_plan import USER_FILES
from live_run import LiveRun


class Outcome:
    def __init__(self):
        self.kills = []           # (kill point text, what fired it, state summary)
        self.files_lost = 0
        self.program_only_at_backup = 0
        self.rerun_completed = False


def install_before(s, plan):
    """The target as the update finds it: every replaced file in its old
    version, the user's files, no backup; patch level 0."""
    if s.target.exists():
        shutil.rmtree(s.target)
    s.target.mkdir(parents=True)
    for planned in plan.files:
        if planned.replaced:
            s.put_target_file(planned.name, planned.before)
    for name, data in USER_FILES.items():
        s.put_target_file(name, data)
    s.install_target(level=0)


def expected_after(plan):
    tree = {}
    for planned in plan.files:
        tree[planned.name] = planned.after
        parts = planned.name.split("\\")
        for depth in range(1, len(parts)):
            tree["\\".join(parts[:depth])] = None
    for name, data in USER_FILES.items():
        tree[name] = data
        parts = name.split("\\")
        for depth in range(1, len(parts)):
            tree["\\".join(parts[:depth])] = None
    return tree


def run_killed(s, plan, package, point, outcome, what):
    """Runs the update, kills it at `point` and checks what it left."""
    status_index = kill_points.StatusIndex(plan, s.win_target.encode("cp1251"))
    trigger = kill_points.Trigger(point, plan, s.target, status_index)
    live = LiveRun(s, args=[package])
    live.pid()  # found before the kill point, so the kill follows it at once
    try:
        trigger.wait(live, live.timeout)
    except BenchError as error:
        live.finish()
        raise BenchError("%s: %s (%s)" % (what, error, point.describe(plan)))
    if not live.kill():
        raise BenchError("%s: PATCH.EXE ended before the kill at %s"
                         % (what, point.describe(plan)))
    kill_state = target_state.KillState(s.target, plan, USER_FILES)
    outcome.files_lost += kill_state.lost
    outcome.program_only_at_backup += kill_state.program_only_at_backup
    summary = kill_state.summary()
    if user_texts.INSTALLED in live.statuses:
        summary += " (the kill came after the file phase)"
    outcome.kills.append((point.describe(plan), trigger.fired_by, summary))
    kill_state.check("%s, after the kill at %s" % (what, point.describe(plan)))


def run_trial(s, plan, package, points, outcome):
    """Kills the update at each of `points` in turn (the first on the
    update's first run, the others on its runs again), then runs it once
    more to its end. Fills `outcome` as it goes, so a failed trial still
    counts what it did."""
    install_before(s, plan)
    for number, point in enumerate(points):
        run_killed(s, plan, package, point, outcome, "run %d" % (number + 1))
    # A kill that came after completion leaves the level recorded, and the
    # run again brings the warning.
    report = s.run(args=[package], answers=["OK"], timeout=120)
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    s.expect_target_tree(expected_after(plan))
    checks.expect_equal(s.level(), 1, "patch level after the update ran again")
    outcome.rerun_completed = True
