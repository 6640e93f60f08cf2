#!/usr/bin/python3
"""make bench, from releases to a proven update: brxpack diff of two
release folders and brxpack simulate --expect of the update it makes, at
1,000 and 10,000 files of 100 KB (0.1 and 1 GB a release) side by side, so
that a growth linear in the files shows as a factor of about 10; then one
update from 3 old releases of 10,000 files each, proven on each, whose cost
per file and old release should stay that of one old release. Beside them,
what diff read from disk against what the releases hold (each file at most
once a release: 1.0 at most), taken with the page cache dropped (root
only).

Usage: tools/bench/diff_simulate_figures.py [BRXPACK] [WORK]
Defaults: build/release/brxpack, build/bench/diff-simulate. scripts/bench
runs it after its own table; the table is kept in WORK/results.txt.
"""

import os
import pathlib
import random
import resource
import shutil
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
FILE_BYTES = 100 * 1024
COUNTS = (1000, 10000)
SEVERAL = (10000, 3)  # files, old releases
RUNS = 3
TIMEOUT_S = 3600
BASE = "[target]\nregistry_key = 'SOFTWARE\\Bench\\App'\npatch_level = 1\n"


def make_releases(root, count, seed, olds=1):
    """OLD: `count` random files three folders deep, and the program; NEW:
    the same with every 10th file changed in its last byte (so a compare
    reads it whole), every 20th gone, 5% new and a new empty folder. With
    several old releases, OLD is the last (old3 of 3); each earlier one has
    every 10th file of its own changed, every 20th of its own missing, and
    a folder of 1% more files that the later releases lack."""
    shuffle = random.Random(seed)
    names = ["old"] if olds == 1 else ["old%d" % (i + 1) for i in range(olds)]
    releases = [root / name for name in names]
    new = root / "new"
    for release in releases + [new]:
        (release / "app.exe").parent.mkdir(parents=True)
        (release / "app.exe").write_bytes(b"MZ")
    for number in range(count):
        relative = pathlib.Path("d%02d" % (number % 50), "s%02d" % (number // 50 % 20),
                                "f%05d.bin" % number)
        data = bytearray(shuffle.randbytes(FILE_BYTES))
        for release in releases + [new]:
            (release / relative).parent.mkdir(parents=True, exist_ok=True)
        for age, release in enumerate(releases):
            earlier = len(releases) - 1 - age  # 0 for the last old release
            if earlier and number % 20 == 11 + earlier:
                continue
            older = bytearray(data)
            if earlier and number % 10 == (5 + earlier) % 10:
                older[-1] ^= 0xFF
            (release / relative).write_bytes(older)
        if number % 20 == 7:
            continue
        if number % 10 == 3:
            data[-1] ^= 0xFF
        (new / relative).write_bytes(data)
    for age, release in enumerate(releases[:-1]):
        for number in range(count // 100):
            legacy = release / ("legacy%d" % age) / ("l%05d.bin" % number)
            legacy.parent.mkdir(parents=True, exist_ok=True)
            legacy.write_bytes(shuffle.randbytes(FILE_BYTES))
    for number in range(count // 20):
        (new / "added" / ("n%05d.bin" % number)).parent.mkdir(parents=True, exist_ok=True)
        (new / "added" / ("n%05d.bin" % number)).write_bytes(shuffle.randbytes(FILE_BYTES))
    (new / "empty" / "folder").mkdir(parents=True)
    (root / "base.toml").write_text(BASE)
    return names


def run(args, cwd, log):
    """Seconds the command took; fails with its log when it fails."""
    with open(log, "ab") as out:
        began = time.monotonic()
        result = subprocess.run([str(a) for a in args], cwd=cwd, stdout=out,
                                stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                timeout=TIMEOUT_S, check=False)
    if result.returncode != 0:
        raise SystemExit("%s failed (exit %d); see %s" % (args[1], result.returncode, log))
    return time.monotonic() - began


def disk_read_ratio(brxpack, root, log, olds):
    """Bytes diff read from disk over the bytes all releases hold, with a
    cold page cache; None without root."""
    if os.geteuid() != 0:
        return None
    os.sync()
    pathlib.Path("/proc/sys/vm/drop_caches").write_text("3\n")
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_inblock
    run([brxpack, "diff", *olds, "new", "--base", "base.toml", "-o", "update.toml"], root, log)
    read = (resource.getrusage(resource.RUSAGE_CHILDREN).ru_inblock - before) * 512
    held = sum(p.stat().st_size for release in olds + ["new"]
               for p in (root / release).rglob("*") if p.is_file())
    return read / held


def figures(brxpack, work, count, olds=1):
    root = work / ("%d-from-%d" % (count, olds) if olds > 1 else str(count))
    shutil.rmtree(root, ignore_errors=True)
    names = make_releases(root, count, 20261207 + count + olds, olds)
    log = root / "commands.log"
    diff = [run([brxpack, "diff", *names, "new", "--base", "base.toml", "-o", "update.toml"],
                root, log) for _ in range(RUNS)]
    run([brxpack, "build", "update.toml", "-o", "update.brx", "--level", "1"], root, log)
    installed = [word for name in names for word in ("--installed", name)]
    simulate = [run([brxpack, "simulate", "update.brx", *installed, "--expect", "new"],
                    root, log) for _ in range(RUNS)]
    return {"files": count, "olds": olds, "gb": count * FILE_BYTES / 1e9,
            "diff": statistics.median(diff), "simulate": statistics.median(simulate),
            "read": disk_read_ratio(brxpack, root, log, names),
            "package_mb": (root / "update.brx").stat().st_size / 1e6}


def table(rows, several=None):
    lines = ["From releases to a proven update (median of %d runs; changed 10%%, removed "
             "5%%, new 5%%; per file and old release)" % RUNS,
             "  %-10s %-9s %-8s %-9s %-10s %-9s %s" % (
                 "files", "release", "diff", "per file", "simulate", "per file",
                 "diff read / releases")]
    for row in rows + ([several] if several else []):
        read = "n/a (not root)" if row["read"] is None else "%.2f" % row["read"]
        label = "{:,}".format(row["files"]) + (" x%d" % row["olds"] if row["olds"] > 1 else "")
        pairs = row["files"] * row["olds"]
        lines.append("  %-10s %-9s %-8s %-9s %-10s %-9s %s" % (
            label, "%.1f GB" % row["gb"], "%.2f s" % row["diff"],
            "%.0f us" % (row["diff"] / pairs * 1e6), "%.2f s" % row["simulate"],
            "%.0f us" % (row["simulate"] / pairs * 1e6), read))
    small, large = rows[0], rows[-1]
    lines.append("  %d times the files: diff x%.1f, simulate --expect x%.1f (package of %.0f MB "
                 "at level 1)" % (large["files"] // small["files"], large["diff"] / small["diff"],
                                  large["simulate"] / small["simulate"], large["package_mb"]))
    if several:
        # simulate installs the whole update on each release: its work grows
        # with the releases times the package, which holds what any needs.
        lines.append("  %d old releases of %s files: diff x%.1f against one; simulate --expect "
                     "x%.1f for %d installations of a package %.1f times as large (%.0f MB)" % (
                         several["olds"], "{:,}".format(several["files"]),
                         several["diff"] / large["diff"], several["simulate"] / large["simulate"],
                         several["olds"], several["package_mb"] / large["package_mb"],
                         several["package_mb"]))
    return lines


def report(brxpack, work):
    """Measures, prints the table and keeps it in WORK/results.txt."""
    work.mkdir(parents=True, exist_ok=True)
    rows = [figures(brxpack, work, count) for count in COUNTS]
    several = figures(brxpack, work, *SEVERAL)
    lines = table(rows, several)
    (work / "results.txt").write_text("\n".join(lines) + "\n")
    print("\n".join(lines), flush=True)
    for count in COUNTS:
        shutil.rmtree(work / str(count), ignore_errors=True)
    shutil.rmtree(work / ("%d-from-%d" % SEVERAL), ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(report(pathlib.Path(sys.argv[1]) if len(sys.argv) > 1
                    else ROOT / "build" / "release" / "brxpack",
                    pathlib.Path(sys.argv[2]) if len(sys.argv) > 2
                    else ROOT / "build" / "bench" / "diff-simulate"))
