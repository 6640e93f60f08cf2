"""The table make bench prints: every figure with its spread and its
ratios, then the goals each ratio is held against."""

import compression_figures
import memory_figures


def _seconds(value):
    return "%7.3f" % value


def _ratio(value):
    return "%5.2fx" % value


def figure_row(label, figure, floor=None, comparisons=()):
    """One line: median, spread, ratio to the floor, then each
    (ratio, words) comparison, then the median CPU where known."""
    low, high = figure.spread
    cells = ["  %-34s" % label, _seconds(figure.median), " %6.3f-%-6.3f" % (low, high)]
    cells.append(_ratio(figure.median / floor) if floor else "      ")
    cells += ["  %s %.2f" % (words, ratio) for ratio, words in comparisons]
    cpu = figure.median_cpu
    if cpu is not None:
        helpers = ["%s %.3f" % (name.split()[0], figure.median_extra(name + " cpu"))
                   for name in ("wineserver", "X server")
                   if figure.median_extra(name + " cpu") is not None]
        cells.append("  (cpu %.3f%s)" % (cpu, "; " + ", ".join(helpers) if helpers else ""))
    return " ".join(cells)


class Sum:
    """Two figures taken side by side, counted as one (inflate + cp -r)."""

    def __init__(self, first, second):
        self.median = first.median + second.median
        self.spread = (first.spread[0] + second.spread[0], first.spread[1] + second.spread[1])
        cpus = [first.median_cpu, second.median_cpu]
        self.median_cpu = sum(cpus) if None not in cpus else None

    def median_extra(self, _key):
        return None


# The UI robot reads three texts of the progress window every 10 ms; each
# read is a message PATCH.EXE's window thread answers.
ROBOT_READS_PER_SECOND = 300


def extra_calls(facts, patch, floor, single_patch, single_floor):
    """What PATCH.EXE does that the floor does not: a run's fixed part (the
    one-file runs' difference) and, for each file, calls priced with their
    cost measured alone; against the measured difference."""
    cost = facts.get("call_costs")
    if not cost or not single_patch or not single_floor:
        return []
    files = facts["files"]
    rows = [
        ("a run apart from its files (1-file runs)", 1,
         (single_patch.median - single_floor.median) * 1e6),
        ("2 status texts per file", 2 * files, cost["status_text"]),
        ("1 look for a folder at the destination", files, cost["attributes_missing"]),
        ("1 move of an absent file", files, cost["move_missing"]),
        ("2 deletes of absent files", 2 * files, cost["delete_missing"]),
        ("folders asked for again", facts["folder_requests"] - facts["folders"],
         cost["existing_folder"]),
        ("robot reading the window (harness)", int(patch.median * ROBOT_READS_PER_SECOND),
         cost["message_round_trip"]),
    ]
    lines = ["  why PATCH.EXE is slower than the floor: calls the floor does not make, each "
             "priced alone (pinned)"]
    total = 0.0
    for label, count, microseconds in rows:
        seconds = count * microseconds / 1e6
        total += seconds
        lines.append("    %-42s %6d x %8.1f us = %6.3f s" % (label, count, microseconds, seconds))
    lines.append("    %-42s %35.3f s; measured difference %.3f s" % (
        "priced sum", total, patch.median - floor.median))
    return lines


def build_rows(build, facts):
    """brxpack's builds of each tree, each against zlib level 9 in bytes and
    time; then zip's of the corpus."""
    lines = []
    for tree in compression_figures.TREES:
        base = build.get(compression_figures.name(tree, compression_figures.BASELINE))
        if base is None:
            continue
        lines.append("  %s" % tree)
        for variant, _ in compression_figures.VARIANTS:
            figure = build[compression_figures.name(tree, variant)]
            size = figure.median_extra("bytes")
            label = variant.replace("default level",
                                    "default level (%s)" % facts.get("default_level", "?"))
            lines.append(figure_row("  " + label, figure, None,
                                    [(base.median / figure.median, "zlib9 time/this")])
                         + "  %s bytes, %.2f%% of zlib 9's" % (
                             format(int(size), ","), 100.0 * size / base.median_extra("bytes")))
    lines.append(figure_row("zip -9 -r (corpus)", build["zip -9 -r"]))
    large = build.get(memory_figures.NAME)
    if large is not None:
        lines.append(figure_row(memory_figures.label(facts["large_file_mb"]), large)
                     + "  peak RSS %.1f MB" % large.median_extra("peak_rss_mb"))
    return lines


def default_level_goals(build):
    """The default level's packages at most 1 % larger than zlib 9's, on
    every tree measured."""
    lines = []
    for tree in compression_figures.TREES:
        base = build.get(compression_figures.name(tree, compression_figures.BASELINE))
        default = build.get(compression_figures.name(tree, compression_figures.VARIANTS[0][0]))
        if base is None or default is None:
            continue
        share = default.median_extra("bytes") / base.median_extra("bytes")
        lines.append(goal_line(share <= 1.01, "default level within 1%% of zlib 9 on the %s: "
                                              "%.2f%%" % (tree, 100.0 * share)))
    return lines


def memory_goals(build, facts):
    """brxpack build's peak memory on one large file, bounded whatever its
    size (results saved before the figure have none)."""
    large = build.get(memory_figures.NAME)
    if large is None:
        return []
    return [goal_line(*memory_figures.goal(large, facts["large_file_mb"]))]


# The stubs' size goals, in bytes.
STUB_BUDGETS = {"x86": 81920, "x64": 98304}


def goal_line(ok, text):
    return "  [%s] %s" % ("met " if ok else "MISS", text)


def table(facts, native, build, wine_pinned, wine_unpinned, size_lines):
    """`facts`: the conditions; the rest: {name: Figure} and text lines."""
    floor = Sum(native["inflate floor"], native["cp -r"])
    extract, unzip, bsdtar = native["brxpack extract"], native["unzip"], native["bsdtar"]
    wine_floor, patch, nsis = (wine_pinned["Wine floor"], wine_pinned["PATCH.EXE"],
                               wine_pinned["NSIS /S"])
    # Results saved before the x64 stub name one x86 stub.
    stubs = facts.get("stubs", ["x86"])
    stub_bytes = facts.get("stub_bytes") or {"x86": facts["patch_bytes"]}
    other_stubs = [(name, figure) for name, figure in sorted(wine_pinned.items())
                   if name.startswith("PATCH.EXE (")]
    lines = [
        "Brindlex Updater benchmark",
        "  corpus: %(files)d files, %(corpus_mb).1f MB (seed %(seed)d, %(compressible)s)" % facts,
        "  package %(package_mb).1f MB (brxpack's default level), zip %(zip_mb).1f MB and "
        "NSIS installer %(nsis_mb).1f MB (zlib level 9)" % facts,
        "  on a fresh loop-mounted ext4 (%(volume)s), page cache warm, outputs removed and "
        "synced off the clock" % facts,
        "  each figure: median of %(runs)d runs, taken in rounds after one warm-up run; "
        "min-max beside it" % facts,
        "  load (uptime): before %(load_before)s; after %(load_after)s" % facts,
        "  stubs: %s (the Wine series and every PATCH.EXE figure without a stub named)%s" % (
            stubs[0], "; %s beside it in the apply rows" % ", ".join(stubs[1:])
            if stubs[1:] else ""),
        "",
        "%-36s %7s %14s %6s" % ("apply, native (seconds)", "median", "min-max", "/floor"),
        figure_row("floor: inflate + cp -r", floor, floor.median),
        figure_row("  inflate into memory (zlib)", native["inflate floor"]),
        figure_row("  cp -r of the uncompressed tree", native["cp -r"]),
        figure_row("brxpack extract", extract, floor.median,
                   [(unzip.median / extract.median, "unzip/this"),
                    (bsdtar.median / extract.median, "bsdtar/this")]),
        figure_row("  the same, one thread (--jobs 1)", native["brxpack extract --jobs 1"],
                   floor.median, [(unzip.median / native["brxpack extract --jobs 1"].median,
                                   "unzip/this"),
                                  (bsdtar.median / native["brxpack extract --jobs 1"].median,
                                   "bsdtar/this")]),
        figure_row("unzip -o -q", unzip, floor.median),
        figure_row("bsdtar -xf (the zip)", bsdtar, floor.median),
        "",
        "%-36s %7s %14s %6s" % ("apply, Wine, pinned to CPU %d" % facts["cpu"], "median",
                                "min-max", "/floor"),
        figure_row("floor: bare mapped-view inflate", wine_floor, wine_floor.median),
        figure_row("PATCH.EXE package (robot clicks OK)", patch, wine_floor.median,
                   [(nsis.median / patch.median, "NSIS/this")]),
        figure_row("NSIS installer /S", nsis, wine_floor.median),
    ] + [figure_row(name + " package", figure, wine_floor.median)
         for name, figure in other_stubs if not name.endswith(", 1 file")] + [
        "",
    ]
    single_patch, single_floor = (wine_pinned.get("PATCH.EXE, 1 file"),
                                  wine_pinned.get("Wine floor, 1 file"))
    if single_patch and single_floor:
        lines += [figure_row("floor, 1-file package", single_floor),
                  figure_row("PATCH.EXE, 1-file package", single_patch)]
        lines += [figure_row(name.replace(", 1 file", ", 1-file package"), figure)
                  for name, figure in other_stubs if name.endswith(", 1 file")] + [""]
    lines += extra_calls(facts, patch, wine_floor, single_patch, single_floor)
    lines += [
        "",
        "%-36s %7s %14s" % ("build (seconds)", "median", "min-max"),
    ]
    lines += build_rows(build, facts)
    lines += [
        "",
        "CPU of PATCH.EXE during the apply (process CPU from /proc, to the OK button)",
    ]
    for label, figures in (("unpinned", wine_unpinned), ("pinned", wine_pinned)):
        run = figures["PATCH.EXE"]
        lines.append("  %-9s wall %.3f s, process CPU %.3f s = %.2f cores; window thread "
                     "%.3f s; meanwhile wineserver %.3f s, X server %.3f s" % (
                         label, run.median, run.median_cpu, run.median_cpu / run.median,
                         run.median_extra("window_thread_cpu"),
                         run.median_extra("wineserver cpu") or 0.0,
                         run.median_extra("X server cpu") or 0.0))
    lines.append("")
    lines += ["size"] + size_lines
    lines += ["", "goals" + ("" if facts["corpus_mb"] >= 250 else
                             " (set for the full 256 MB corpus; a smaller one weighs the "
                             "per-file costs more)")]
    unpinned = wine_unpinned["PATCH.EXE"]
    lines += [
        goal_line(unzip.median / extract.median >= 2.0,
              "brxpack extract at least 2x faster than unzip: %.2fx" % (
                  unzip.median / extract.median)),
        goal_line(extract.median <= bsdtar.median * 1.05,
              "brxpack extract level with bsdtar -xf (within 5%%): %.2fx bsdtar's time" % (
                  extract.median / bsdtar.median)),
        goal_line(nsis.median / patch.median >= 1.4,
              "Wine apply at least 1.4x faster than NSIS: %.2fx" % (nsis.median / patch.median)),
        goal_line(patch.median <= wine_floor.median * 1.1,
              "Wine apply within 1.1x of the bare Wine floor: %.2fx" % (
                  patch.median / wine_floor.median)),
        goal_line(unpinned.median_cpu / unpinned.median <= 1.1,
              "the window thread adds no core: %.2f cores unpinned" % (
                  unpinned.median_cpu / unpinned.median)),
    ] + default_level_goals(build) + memory_goals(build, facts) + [goal_line(size < budget, "PATCH.EXE (%s stub) under %d KB: %s bytes" % (
        arch, budget // 1024, format(size, ",")))
        for arch, size in stub_bytes.items()
        for budget in [STUB_BUDGETS.get(arch, 81920)]]
    return lines
