"""The native figures: extracting the package and the zip, the floor they
are held against, and building the package and the zip.

Every command writes to the scratch volume; its previous output is removed
and the file system synced before each run, off the clock. The inputs were
just written there and are read once more before the series, so the page
cache is warm for all.
"""

import os
import shutil

from timing import Measurement, timed_process
from tree_check import expect_same_tree

# Bound of any one native run; a 256 MB build at level 12 takes well under it.
RUN_TIMEOUT_S = 900


def clear(path):
    """Removes a run's output and syncs, so its deletion and write-back
    are not charged to the next run."""
    if path.is_dir():
        shutil.rmtree(path)
    elif path.exists():
        path.unlink()
    os.sync()


def warm(paths):
    """Reads every file once, so each run finds them in the page cache."""
    for top in paths:
        files = [top] if top.is_file() else [p for p in top.rglob("*") if p.is_file()]
        for path in files:
            with open(path, "rb") as source:
                while source.read(1 << 20):
                    pass


class Native:
    def __init__(self, inputs, tools, scratch, logs):
        self.inputs = inputs
        self.tools = tools  # {"brxpack": path, "inflate_floor": path}
        self.out = scratch / "out"
        self.logs = logs

    def _output_measurement(self, name, args, make_folder=False, cwd=None):
        out = self.out

        def prepare():
            clear(out)
            if make_folder:
                out.mkdir()

        def run():
            return timed_process(args, RUN_TIMEOUT_S, cwd=cwd, log=self.logs / "native.log")

        def check():
            expect_same_tree(out, self.inputs.corpus, name)

        return Measurement(name, run, prepare, check)

    def apply_measurements(self):
        package, archive, out = str(self.inputs.package), str(self.inputs.zip), str(self.out)
        inflate_only = Measurement(
            "inflate floor",
            lambda: timed_process([str(self.tools["inflate_floor"]), package], RUN_TIMEOUT_S,
                                  log=self.logs / "native.log"),
            prepare=lambda: clear(self.out))
        return [
            inflate_only,
            self._output_measurement("cp -r", ["cp", "-r", str(self.inputs.corpus), out]),
            self._output_measurement("brxpack extract",
                                     [str(self.tools["brxpack"]), "extract", package, "-C", out]),
            # Its default is two threads; the others have one.
            self._output_measurement("brxpack extract --jobs 1",
                                     [str(self.tools["brxpack"]), "extract", package, "-C", out,
                                      "--jobs", "1"]),
            self._output_measurement("unzip", ["unzip", "-o", "-q", archive, "-d", out]),
            self._output_measurement("bsdtar", ["bsdtar", "-xf", archive, "-C", out],
                                     make_folder=True),
        ]

    def build_measurements(self):
        """The zip of the corpus at level 9 (brxpack's builds are in
        compression_figures); the last run leaves the file the apply figures
        read."""
        archive = self.inputs.zip
        log = self.logs / "native.log"
        return [
            # Relative names from inside the corpus, as the package has them.
            Measurement("zip -9 -r",
                        lambda: timed_process(["zip", "-9", "-r", "-q", str(archive), "."],
                                              RUN_TIMEOUT_S, cwd=self.inputs.corpus, log=log),
                        prepare=lambda: clear(archive)),
        ]
