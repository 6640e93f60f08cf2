#!/usr/bin/python3
"""The memory figure: `brxpack build` of one incompressible file as large
as the corpus (BENCH_MB, default 256), its time and its peak resident set
(ru_maxrss of the child, from wait4). brxpack writes a file above 16 MiB
piece by piece, so the peak should stay near its fixed size (a few tens of
MB) whatever the file's size; a build that held the file whole took about
three times the file.

scripts/bench takes the figure with the build figures. Alone, it compares
brxpack programs side by side (say, a build of main and of a branch), each
run in turn, on one file:

Usage: tools/bench/memory_figures.py [--mb N] [--runs N] [--work DIR] [BRXPACK...]
Defaults: BENCH_MB or 256, 3 runs, build/bench/memory, build/release/brxpack.
The work folder and the file in it are removed at the end.
"""

import argparse
import os
import pathlib
import random
import shutil
import sys

from timing import Measurement, run_series, timed_process

ROOT = pathlib.Path(__file__).resolve().parents[2]
MB = 1 << 20
# A build of 1 GB takes well under a minute on an idle machine.
RUN_TIMEOUT_S = 1800
MANIFEST = ("# Written by make bench: one incompressible file.\n"
            "[target]\nregistry_key = 'SOFTWARE\\\\BrindlexBench'\npatch_level = 1\n\n"
            "[payload]\nfolder = \"payload\"\n")


# The figure's name among the build figures.
NAME = "one incompressible file"
# The most brxpack should take for it, whatever its size: a few pieces in
# flight and the program itself.
PEAK_RSS_GOAL_MB = 64


def label(megabytes):
    return "%s of %d MB" % (NAME, megabytes)


def make_input(folder, megabytes, seed):
    """FOLDER/payload/large.bin of seeded random bytes and the manifest that
    packs it; gives the manifest's path."""
    payload = pathlib.Path(folder) / "payload"
    payload.mkdir(parents=True, exist_ok=True)
    generator = random.Random(seed)
    with open(payload / "large.bin", "wb") as out:
        for _ in range(megabytes):
            out.write(generator.randbytes(MB))
    manifest = pathlib.Path(folder) / "large.toml"
    manifest.write_text(MANIFEST, encoding="utf-8")
    return manifest


def measurement(brxpack, manifest, log, name=None):
    """One build of the file; its Sample carries the peak resident set in
    MB ("peak_rss_mb") and the package's bytes."""
    package = manifest.with_suffix(".brx")

    def prepare():
        if package.exists():
            package.unlink()
        os.sync()

    def run():
        sample = timed_process([str(brxpack), "build", str(manifest), "-o", str(package), "-q"],
                               RUN_TIMEOUT_S, log=log)
        sample.extra["bytes"] = package.stat().st_size
        return sample

    return Measurement(name or NAME, run, prepare)


def row(figure):
    """The figure's words for the table: time, peak resident set, bytes."""
    return "peak RSS %.1f MB, median %.2f s (cpu %.2f s)" % (
        figure.median_extra("peak_rss_mb"), figure.median, figure.median_cpu)


def goal(figure, megabytes):
    """(met, words) of the peak-memory goal."""
    peak = figure.median_extra("peak_rss_mb")
    return (peak <= PEAK_RSS_GOAL_MB,
            "brxpack build of %s in at most %d MB of memory, whatever its size: %.1f MB"
            % (label(megabytes), PEAK_RSS_GOAL_MB, peak))


def options():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--mb", type=int, default=int(os.environ.get("BENCH_MB", 256)))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--work", type=pathlib.Path, default=ROOT / "build" / "bench" / "memory")
    parser.add_argument("brxpack", nargs="*", type=pathlib.Path,
                        default=[ROOT / "build" / "release" / "brxpack"])
    chosen = parser.parse_args()
    if chosen.mb < 1 or chosen.runs < 1:
        parser.error("size and runs must be positive")
    return chosen


def main():
    chosen = options()
    shutil.rmtree(chosen.work, ignore_errors=True)
    chosen.work.mkdir(parents=True)
    try:
        manifest = make_input(chosen.work, chosen.mb, 20261207)
        log = chosen.work / "builds.log"
        programs = {"%d: %s" % (i + 1, p): p for i, p in enumerate(chosen.brxpack)}
        figures = run_series([measurement(p, manifest, log, name)
                              for name, p in programs.items()], chosen.runs,
                             progress=lambda text: print("memory: " + text, flush=True))
        print("%s, %d runs each:" % (label(chosen.mb), chosen.runs))
        for name, figure in figures.items():
            met, words = goal(figure, chosen.mb)
            print("  %-50s %s, %s bytes\n    [%s] %s" % (
                name, row(figure), format(int(figure.median_extra("bytes")), ","),
                "met " if met else "MISS", words))
    finally:
        shutil.rmtree(chosen.work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
