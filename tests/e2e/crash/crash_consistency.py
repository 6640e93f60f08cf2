#!/usr/bin/python3
"""The crash-consistency test: PATCH.EXE killed (SIGKILL of its Linux
process) at kill points spread over the file phase of a 200-file update,
the promise checked after every kill, and the same update run again to its
end. make test runs a few kill points (tests/e2e/crash_consistency_test.py);
this file with --full runs the full count (make crash-test).

Usage: crash_consistency.py [--full] [SCENARIO-WORD...]
"""

import functools
import os
import pathlib
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))

import bench  # noqa: E402
import checks  # noqa: E402
import user_texts  # noqa: E402
from checks import BenchError, expect, expect_equal  # noqa: E402
from crash import kill_points, killed_view, trials  # noqa: E402
from crash.update_plan import UpdatePlan  # noqa: E402
from wine import SOURCE, in_wine_batch, program  # noqa: E402

REDUCED_KILL_POINTS = 6
FULL_KILL_POINTS = 60
# Every so many kill points, one lands in the run again after the kill
# before it: a crash during the recovery.
SECOND_KILL_EVERY = 5


@functools.lru_cache(maxsize=None)
def _plan_and_package(program_file, registry_keys):
    plan = UpdatePlan(program_file, program("target_app").read_bytes())
    return plan, plan.package_bytes(registry_keys)


def update(s):
    """The 200-file update for this scenario's target: the plan, and the
    package written in the scenario folder (its path in quotes)."""
    plan, package = _plan_and_package(s.PROGRAM_FILE, s.registry_keys(1))
    return plan, '"%s"' % s.write_file("update.pkg", package)


def killed_view_reaches_file(s):
    length, reached, beyond = killed_view.kill_while_mapped(s.work)
    print("    killed mapped view: a file of %d bytes; %d of the %d bytes written reached it; "
          "the %d bytes beyond read %s" % (length, reached, killed_view.WRITTEN, len(beyond),
                                           "zero" if not beyond.strip(b"\0") else "not zero"),
          flush=True)
    expect_equal(length, killed_view.SIZE, "length of the killed program's mapped file")
    expect_equal(reached, killed_view.WRITTEN, "bytes of the view that reached the file")
    expect(not beyond.strip(b"\0"), "the bytes beyond those written are not zero")


def program_waits_at_its_backup(s):
    plan, package = update(s)
    trials.install_before(s, plan)
    program_file = s.target / s.PROGRAM_FILE
    program_file.rename(program_file.with_name(s.PROGRAM_FILE + ".bak"))
    report = s.run(args=[package], timeout=120)
    checks.expect_status(report, user_texts.INSTALLED)
    checks.expect_waits_for_click(report)
    s.expect_target_tree(trials.expected_after(plan))
    expect_equal(s.level(), 1, "patch level")


def schedule(count, plan):
    """Trials for `count` kill points: most kill the update once; every
    SECOND_KILL_EVERY-th kill point goes to the run again of the trial
    before it."""
    planned = []
    for number, point in enumerate(kill_points.spread(count, plan)):
        if number % SECOND_KILL_EVERY == SECOND_KILL_EVERY - 1 and planned:
            planned[-1].append(point)
        else:
            planned.append([point])
    return planned


def killed_in_the_file_phase(s, count):
    started = time.monotonic()
    plan, package = update(s)
    print("    update: %d files, %.1f MB, the program file %s as file %d"
          % (len(plan.files), plan.total_bytes() / 1e6, plan.program_name,
             next(f.index for f in plan.files if f.name == plan.program_name) + 1), flush=True)
    kills = lost = program_only = completed = 0
    failures = []
    planned = schedule(count, plan)
    for number, points in enumerate(planned):
        outcome = trials.Outcome()
        try:
            trials.run_trial(s, plan, package, points, outcome)
        except BenchError as error:
            failures.append("trial %d: %s" % (number + 1, error))
        for text, fired_by, state in outcome.kills:
            kills += 1
            print("    kill %d (trial %d): %s, reached by %s: %s"
                  % (kills, number + 1, text, fired_by, state), flush=True)
        lost += outcome.files_lost
        program_only += outcome.program_only_at_backup
        completed += outcome.rerun_completed
        if failures and failures[-1].startswith("trial %d:" % (number + 1)):
            print("    trial %d FAILED: %s" % (number + 1, failures[-1]), flush=True)
    print("crash consistency: %d kill points in %d trials, %d files lost, %d of %d reruns "
          "completed; the program file only at its backup after %d kills; %.0f s"
          % (kills, len(planned), lost, completed, len(planned), program_only,
             time.monotonic() - started), flush=True)
    if failures:
        raise BenchError("\n    ".join(failures))
    expect(kills >= count, "only %d of %d kill points landed" % (kills, count))


# The count scenario_killed_in_the_file_phase runs: the full one with --full.
KILL_POINTS = REDUCED_KILL_POINTS


# Tests that what a killed program wrote into a mapped view of a new file
# reaches the file, and that the rest of the file reads as zero: what a
# half-written file looks like after a kill in the file phase.
def scenario_killed_view_reaches_file(s):
    killed_view_reaches_file(s)


# Tests the state a kill leaves between moving the program file aside and
# writing its successor (the program only under its backup name): the same
# update run again still finds the program and finishes the job.
def scenario_program_waits_at_its_backup(s):
    program_waits_at_its_backup(s)


# Tests kill points spread over the file phase of the 200-file update: after
# every kill no file is lost and none is unwritten without a complete
# backup, and the update run again ends in the full new state, no backup
# left.
def scenario_killed_in_the_file_phase(s):
    killed_in_the_file_phase(s, KILL_POINTS)


if __name__ == "__main__":
    if not in_wine_batch():
        with_wine = str(SOURCE / "scripts" / "with-wine")
        os.execv(with_wine, [with_wine, "/usr/bin/python3", os.path.abspath(__file__)]
                 + sys.argv[1:])
    if "--full" in sys.argv[1:]:
        KILL_POINTS = FULL_KILL_POINTS
    sys.argv = [word for word in sys.argv if word != "--full"]
    bench.main(globals())
