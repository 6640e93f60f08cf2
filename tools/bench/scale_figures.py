"""The scale table of make bench: trees of 1,000, 10,000 and 100,000 small
files (scale_trees.py), each under plain names and under long ones that all
go through the name table, and per row PATCH.EXE applying the package under
Wine (wine_scale.py) and brxpack build, verify and extract, with the cost
per file. The bare Wine floor writes the plain package beside them: what
Wine itself costs per file as the trees grow.

Each row gets its trees on the scratch volume, takes its figures in rounds
(timing.run_series: a warm-up run, checked, then `runs` timed rounds) and
deletes its trees again.
"""

import pathlib
import shutil

import bench_inputs
import scale_trees
from native_figures import clear, warm
from report_table import goal_line
from timing import Figure, Measurement, run_series, timed_process
from tree_check import expect_same_tree
from wine_batch import run_in_wine_batch

SIZES = {"full": (1000, 10000, 100000), "quick": (1000, 10000)}
SEED = 20261207
COMMANDS = ("apply", "build", "verify", "extract")
# Bounds of one run: a native command, and the robot's per-file allowance.
NATIVE_TIMEOUT_S = 3600
ROBOT_SECONDS_PER_FILE = 0.05
GROWTH_GOAL = 1.2
NAME_TABLE_GOAL = 1.1


def volume_size(largest):
    """Bytes for a row's two trees, their packages and one written copy
    (each small file takes a 4 KB block), with ext4's own share on top."""
    return 12 * 4096 * largest + 512 * 1024 * 1024


def inode_count(largest):
    return 4 * largest + 65536


class Row:
    """One size: where its inputs live on the volume, and its figures."""

    def __init__(self, volume, files):
        self.files = files
        self.root = volume / ("scale-%d" % files)
        self.out = volume / "scale-out"

    def tree(self, naming):
        return self.root / naming / "tree"

    def manifest(self, naming):
        return self.root / naming / "scale.toml"

    def package(self, naming):
        return self.root / naming / "scale.brx"

    def make(self, progress):
        for naming in scale_trees.NAMINGS:
            made = scale_trees.make_tree(self.tree(naming), self.files, naming, SEED)
            bench_inputs.write_manifest(self.manifest(naming), self.tree(naming))
            progress("  %s names: %d files, %.1f MB" % (naming, self.files, made / 1048576.0))
        warm([self.root])

    def native_measurements(self, brxpack, log):
        def timed(*args):
            return lambda: timed_process([str(brxpack)] + [str(a) for a in args],
                                         NATIVE_TIMEOUT_S, log=log)

        runs = []
        for naming in scale_trees.NAMINGS:
            package, tree = self.package(naming), self.tree(naming)
            runs += [
                Measurement("build " + naming, timed("build", self.manifest(naming), "-o", package),
                            prepare=lambda p=package: clear(p)),
                Measurement("verify " + naming, timed("verify", package)),
                Measurement("extract " + naming, timed("extract", package, "-C", self.out),
                            prepare=lambda: clear(self.out),
                            check=lambda t=tree, n=naming: expect_same_tree(
                                self.out, t, "brxpack extract, " + n)),
            ]
        return runs

    def wine_config(self, config):
        return dict(config, inputs=str(self.root), target=str(self.out),
                    robot_timeout_s=int(60 + ROBOT_SECONDS_PER_FILE * self.files),
                    packages={n: str(self.package(n)) for n in scale_trees.NAMINGS},
                    trees={n: str(self.tree(n)) for n in scale_trees.NAMINGS})

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)
        clear(self.out)


def measure(sizes, runs, volume, tools, wine_config, work, logs, progress):
    """Every row in turn; gives [{"files": n, "figures": {name: Figure json}}].
    `tools`: brxpack; `wine_config`: what wine_scale.py needs besides the
    row (work, mount_point, cpu, target_key, patch_exe, floor_exe)."""
    rows = []
    for files in sizes:
        row = Row(pathlib.Path(volume), files)
        progress("scale: %d files" % files)
        row.make(progress)
        figures = run_series(row.native_measurements(tools["brxpack"], logs / "scale.log"),
                             runs, progress=progress)
        clear(row.out)
        config = row.wine_config(dict(wine_config, runs=runs))
        wine = run_in_wine_batch("wine_scale.py", config, work,
                                 timeout_s=(runs + 1) * 4 * config["robot_timeout_s"])
        figures.update({n: Figure.from_json(f) for n, f in wine.items()})
        rows.append({"files": files, "figures": {n: f.to_json() for n, f in figures.items()}})
        row.remove()
    return rows


def _per_file_us(figure, files):
    return figure.median / files * 1e6


def table(rows, runs, stub):
    """The lines of the scale table and its goals, from measure's rows;
    `stub` names the PATCH.EXE that applied them (x86 or x64)."""
    lines = [
        "Scale: small files (100-2,000 bytes, text-like) in folders of at most 100, two "
        "deep; plain names",
        "  fit an entry name, long ones all go through the name table. Each figure: median "
        "of %d run%s" % (runs, "" if runs == 1 else "s"),
        "  after a warm-up, in seconds and microseconds per file; apply is PATCH.EXE (%s "
        "stub) under Wine, pinned;" % stub,
        "  the Wine floor writes the plain package with nothing else (Wine's own cost per "
        "file).",
        "",
        "  %8s %-6s" % ("files", "names") + "".join("%20s" % c for c in COMMANDS) +
        "%20s" % "Wine floor",
    ]
    for row in rows:
        figures = {n: Figure.from_json(f) for n, f in row["figures"].items()}
        for naming in scale_trees.NAMINGS:
            cells = []
            for command in COMMANDS + ("floor",):
                figure = figures.get(command + " " + naming)
                cells.append("%20s" % ("%.3f (%.0f)" % (
                    figure.median, _per_file_us(figure, row["files"])) if figure else ""))
            lines.append("  %8s %-6s" % (format(row["files"], ","), naming) + "".join(cells))
    return lines + [""] + goals(rows)


def goals(rows):
    """Per file at the largest size against the smallest, and long names
    against plain ones at every size."""
    first, last = rows[0], rows[-1]
    lines = ["scale goals (per file at %s files at most %.1fx that at %s; long names at most "
             "%.1fx plain)" % (format(last["files"], ","), GROWTH_GOAL,
                               format(first["files"], ","), NAME_TABLE_GOAL)]
    for command in COMMANDS + ("floor",):
        for naming in scale_trees.NAMINGS:
            name = command + " " + naming
            if name not in first["figures"]:
                continue
            growth = (_per_file_us(Figure.from_json(last["figures"][name]), last["files"]) /
                      _per_file_us(Figure.from_json(first["figures"][name]), first["files"]))
            lines.append(goal_line(growth <= GROWTH_GOAL, "%-15s per file grows %.2fx" % (
                name, growth)))
        if command + " long" not in first["figures"]:
            continue
        ratios = [Figure.from_json(row["figures"][command + " long"]).median /
                  Figure.from_json(row["figures"][command + " plain"]).median for row in rows]
        lines.append(goal_line(max(ratios) <= NAME_TABLE_GOAL, "%-15s long / plain: %s" % (
            command, ", ".join("%.2fx" % r for r in ratios))))
    return lines
