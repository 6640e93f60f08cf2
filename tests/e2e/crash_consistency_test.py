#!/usr/bin/python3
"""End-to-end scenarios: crash consistency, with a few kill points (make
crash-test runs the full count: tests/e2e/crash/crash_consistency.py
--full). PATCH.EXE is killed during the file phase of a 200-file update;
no file may be lost, and the same update run again must finish the job."""

import bench
from crash import crash_consistency as crash


# Tests that what a killed program wrote into a mapped view of a new file
# reaches the file, and that the rest of the file reads as zero.
def scenario_killed_view_reaches_file(s):
    crash.killed_view_reaches_file(s)


# Tests that the update run again finishes the job when a kill left the
# program file only under its backup name.
def scenario_program_waits_at_its_backup(s):
    crash.program_waits_at_its_backup(s)


# Tests a few kill points over the file phase (the program file's among
# them, and one in the run again after a kill): no file lost, and every
# update run again ends in the full new state with no backup left.
def scenario_killed_in_the_file_phase(s):
    crash.killed_in_the_file_phase(s, crash.REDUCED_KILL_POINTS)


if __name__ == "__main__":
    bench.main(globals())
