#!/usr/bin/python3
"""End-to-end scenarios: crash consistency. PATCH.EXE is killed (SIGKILL of
its Linux process) at kill points spread over the file phase of a 200-file
update; after every kill no file may be lost, and the same update run again
must finish the job. make test runs a few kill points; make crash-test runs
the full count (--full).

Usage: crash_consistency_test.py [--full] [SCENARIO-WORD...]
"""

import shutil
import sys

import bench
import checks
import package_builder as pb
import user_texts
from checks import expect, expect_equal
from crash import kill_points
from crash.update_plan import KillState, UpdatePlan, leftover_backups
from wine import FLAG_TIMEOUT_S, BenchError, start_windows_program, wait_for_file, windows_path

REDUCED_KILL_POINTS = 4
FULL_KILL_POINTS = 60
KILL_POINTS = FULL_KILL_POINTS if "--full" in sys.argv else REDUCED_KILL_POINTS
# Every so many kill points, one lands in the run again after the kill
# before it: a crash during the recovery.
SECOND_KILL_EVERY = 4
VIEW_SIZE = 8 * 1024 * 1024
VIEW_WRITTEN = 5 * 1024 * 1024 + 123  # ends inside a page


def _view_pattern(count):
    """map_and_hold's bytes: (i * 131 + i / 4096) mod 256. Page by page:
    within a page i * 131 repeats, shifted by the page's number."""
    base = bytes((j * 131) & 0xFF for j in range(4096))
    return b"".join(base.translate(bytes((k + page) & 0xFF for k in range(256)))
                    for page in range(count // 4096 + 1))[:count]


# Tests that what a killed program wrote into a mapped view of a new file
# reaches the file, and that the rest reads as zero (Linux keeps the pages of
# a shared file mapping when the process dies): what a file half written by
# a killed installer looks like.
def scenario_killed_view_reaches_file(s):
    path, ready = s.work / "killed_view.bin", s.work / "killed_view.ready"
    process = start_windows_program(bench.test_program("map_and_hold"),
                                    [windows_path(path), VIEW_SIZE, VIEW_WRITTEN,
                                     windows_path(ready)], s.work / "map_and_hold")
    wait_for_file(ready, "map_and_hold writing its view", process=process)
    process.kill()  # SIGKILL; `wine PATH` runs the program in the process it started
    process.wait(timeout=FLAG_TIMEOUT_S)
    data = path.read_bytes()
    expect_equal(len(data), VIEW_SIZE, "length of the killed program's mapped file")
    expect(data[:VIEW_WRITTEN] == _view_pattern(VIEW_WRITTEN),
           "the bytes the killed program wrote into its view did not all reach the file")
    expect(not data[VIEW_WRITTEN:].strip(b"\0"), "the bytes beyond those written are not zero")


# Tests that the update run again finishes the job from the state a kill
# leaves between moving the program file aside and writing its successor:
# the program only under its backup name, which stays (the run again cannot
# tell it from a user's own file of that name).
def scenario_program_waits_at_its_backup(s):
    s.install_target(level=0)
    (s.target / s.PROGRAM_FILE).rename(s.target / (s.PROGRAM_FILE + ".bak"))
    checks.expect_success(s.run([s.write_package([
        pb.Entry(":RegistryKeys", s.registry_keys(1)),
        pb.Entry("data.bin", b"data"),
        pb.Entry(s.PROGRAM_FILE, b"the new program"),
    ])]))
    s.expect_target_tree({s.PROGRAM_FILE: b"the new program", "data.bin": b"data",
                          s.PROGRAM_FILE + ".bak": s.program_bytes})
    expect_equal(s.level(), 1, "patch level")


def _install_before(s, plan):
    """The target as the update finds it: every replaced file in its old
    version, the user's files, no backup; patch level 0."""
    shutil.rmtree(s.target)
    for name, data in plan.tree("before").items():
        if data is not None:
            s.put_target_file(name, data)
    s.install_target(level=0)


class KillTooLate(BenchError):
    """The program ended between its kill point and the kill: on a loaded
    machine the last points of a run can be passed before the kill lands.
    Nothing was tested; the trial is tried again."""


# Tries of a trial whose kill comes too late each time before it fails.
KILL_TRIES = 3


def _run_killed(s, plan, package, point, what, outcome):
    """Runs the update, kills it at `point` and checks what it left."""
    trigger = kill_points.Trigger(point, plan, s.target)
    live = s.start([package])
    live.pid()  # found before the kill point, so the kill follows it at once
    try:
        trigger.wait(live)
    except BenchError as error:
        live.finish()
        raise BenchError("%s: %s (%s)" % (what, error, point.describe(plan)))
    if not live.kill():
        raise KillTooLate("%s: PATCH.EXE ended before the kill at %s"
                          % (what, point.describe(plan)))
    state = KillState(s.target, plan)
    outcome["lost"] += state.lost
    outcome["program only at its backup"] += state.program_only_at_backup
    summary = state.summary()
    if user_texts.INSTALLED in live.statuses:
        summary += " (the kill came after the file phase)"
    outcome["kills"] += 1
    print("    kill %d, %s: %s, reached by %s: %s" % (outcome["kills"], what,
                                                       point.describe(plan), trigger.fired_by,
                                                       summary), flush=True)
    state.check("%s, after the kill at %s" % (what, point.describe(plan)))


def _trial(s, plan, package, number, trial, outcome):
    """The update killed at each of `trial`'s points in turn, then run again
    to its end."""
    _install_before(s, plan)
    for run, point in enumerate(trial, 1):
        _run_killed(s, plan, package, point, "trial %d run %d" % (number, run), outcome)
    # A kill after completion leaves the level recorded: the run again warns.
    checks.expect_success(s.run([package], answers=["OK"], timeout=120))
    left = leftover_backups(s.target, plan)
    outcome["backups left"] += len(left)
    s.expect_target_tree({**plan.tree("after"), **left})
    expect_equal(s.level(), 1, "patch level after the update ran again")
    outcome["reruns completed"] += 1


# Tests that no kill in the file phase of the 200-file update loses a file:
# kill points spread over it, the program file's among them, some in the
# update run again after a kill; after every kill no file is lost and none
# is unwritten without a complete backup, and the update run again ends in
# the full new state, with no backup left but those the killed runs made.
def scenario_killed_in_the_file_phase(s):
    plan = UpdatePlan(s.PROGRAM_FILE, s.program_bytes)
    package = '"%s"' % s.write_file("update.pkg", plan.package_bytes(s.registry_keys(1)))
    points = kill_points.spread(KILL_POINTS, plan)
    # Every SECOND_KILL_EVERY-th kill point goes to the run again of the trial before it.
    trials = []
    for number, point in enumerate(points, 1):
        if number % SECOND_KILL_EVERY == 0 and trials:
            trials[-1].append(point)
        else:
            trials.append([point])
    outcome = {"kills": 0, "lost": 0, "program only at its backup": 0, "reruns completed": 0,
               "backups left": 0}
    failures = []
    for number, trial in enumerate(trials, 1):
        for attempt in range(1, KILL_TRIES + 1):
            try:
                _trial(s, plan, package, number, trial, outcome)
                break
            except KillTooLate as error:
                if attempt < KILL_TRIES:
                    print("    trial %d: %s; tried again" % (number, error), flush=True)
                    continue
                failures.append("trial %d: %s (%d tries)" % (number, error, KILL_TRIES))
            except BenchError as error:
                failures.append("trial %d: %s" % (number, error))
                print("    trial %d FAILED: %s" % (number, error), flush=True)
                break
    print("    crash consistency: %d trials; %s" % (
        len(trials), ", ".join("%s %d" % item for item in outcome.items())), flush=True)
    if failures:
        raise BenchError("\n    ".join(failures))
    expect(outcome["kills"] >= KILL_POINTS, "only %d of %d kill points landed"
           % (outcome["kills"], KILL_POINTS))


if __name__ == "__main__":
    bench.main(globals())
