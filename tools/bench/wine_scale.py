"""The Wine figures of one row of the scale table; runs inside a Wine batch
(scripts/with-wine), started by scale_figures.py.

Usage: wine_scale.py CONFIG.json RESULT.json

PATCH.EXE applies each package of the row (one per naming) into a target
folder that holds only the target program, found through its registry
values (reset before each run), on the scratch volume given to Wine as a
drive letter. Timed as the main series times it: the UI robot's clock from
the program's start to the moment its "OK" button shows (the run is then
complete, its success text checked), pinned to one CPU with wineserver and
the X server. The warm-up run's target is compared with the tree.
"""

import json
import pathlib
import sys

from wine_figures import PROGRAM_FILE, WineBench  # puts tools/ui_robot on the path
import wine  # noqa: E402
from timing import BenchFailure, Measurement, run_series  # noqa: E402
from tree_check import expect_same_tree  # noqa: E402
from wine_pinning import PinnedBatch  # noqa: E402


class ScaleRow(WineBench):
    def measurements(self, pinned=True):
        patch = self.drive.windows_path(self.config["patch_exe"])
        floor = self.drive.windows_path(self.config["floor_exe"])
        target = '"%s"' % self.drive.windows_path(self.target)

        def check(tree, what):
            return lambda: expect_same_tree(self.target, tree, what, ignore=[PROGRAM_FILE])

        runs = []
        for naming, package in self.config["packages"].items():
            tree = pathlib.Path(self.config["trees"][naming])
            package = '"%s"' % self.drive.windows_path(package)
            runs.append(Measurement(
                "apply " + naming,
                lambda p=package: self._sample(patch, [p], pinned, until_ok=True),
                self.fresh_target_and_registry, check(tree, "PATCH.EXE, %s names" % naming)))
            if naming == "plain":  # the floor writes entry names; only these are paths
                runs.append(Measurement(
                    "floor plain", lambda p=package: self._sample(floor, [p, target], pinned),
                    self.fresh_target, check(tree, "the Wine floor")))
        return runs

    def run(self):
        wine.check_code_page(self.work)
        with wine.DriveLetter(self.config["mount_point"]) as self.drive:
            with PinnedBatch(self.prefix, self.cpu) as self.pinning:
                series = run_series(self.measurements(), self.config["runs"],
                                    progress=lambda line: print(line, flush=True))
        return {name: figure.to_json() for name, figure in series.items()}


def main():
    config = json.loads(pathlib.Path(sys.argv[1]).read_text())
    if not wine.in_wine_batch():
        sys.exit("wine_scale.py runs inside scripts/with-wine")
    try:
        results = ScaleRow(config).run()
    except (BenchFailure, wine.BenchError) as error:
        print("Wine scale figures failed: %s" % error, flush=True)
        sys.exit(1)
    pathlib.Path(sys.argv[2]).write_text(json.dumps(results, indent=1))


if __name__ == "__main__":
    main()
