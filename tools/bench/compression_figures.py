"""The compression figures: package bytes and build time of brxpack at its
default level, at --best (12), and with zlib's deflate at level 9 (the
compressor brxpack used before libdeflate; its hidden --zlib option is kept
for this comparison only), on the corpus, on a tree of many small files and
on a real JavaScript tree (js-tree/: six npm packages and what they pull in,
about 100 MB in 6,300 files, installed with `npm ci` from the lock file
beside it and never run).

The default-level build of the corpus writes the package the apply figures
read.
"""

import os
import pathlib
import shutil
import subprocess
import sys

import bench_inputs
from native_figures import RUN_TIMEOUT_S, clear
from timing import BenchFailure, Measurement, timed_process

# The tree of many small files: seeded like the corpus, sizes from 1 KB, a
# few KB on average.
SMALL_FILES = 4000
SMALL_TOTAL_MB = 24

# (label, brxpack build options); the last is the baseline the others are
# held against.
VARIANTS = [
    ("default level", []),
    ("--best (level 12)", ["--best"]),
    ("zlib level 9 (before)", ["--zlib", "--level", "9"]),
]
BASELINE = VARIANTS[-1][0]
TREES = ("corpus", "small files", "JavaScript tree")
JS_TREE = pathlib.Path(__file__).resolve().parent / "js-tree"


def name(tree, variant):
    return "%s: %s" % (tree, variant)


def make_small_tree(inputs, seed, log):
    """The small-files tree and its manifest, beside the corpus; gives the
    manifest's path."""
    folder = inputs.root / "small-files"
    with open(log, "ab") as output:
        result = subprocess.run(
            [sys.executable, str(bench_inputs.HERE / "make_corpus.py"), str(folder / "payload"),
             "--files", str(SMALL_FILES), "--total-mb", str(SMALL_TOTAL_MB),
             "--seed", str(seed + 1)],
            stdout=output, stderr=subprocess.STDOUT, timeout=600, check=False)
    if result.returncode != 0:
        raise BenchFailure("make_corpus.py of the small-files tree failed; see %s" % log)
    manifest = folder / "small.toml"
    bench_inputs.write_manifest(manifest, folder / "payload")
    return manifest


def make_js_tree(inputs, log):
    """The JavaScript tree and its manifest, beside the corpus; gives the
    manifest's path, or None (with the reason in `log`) where npm or its
    registry cannot be reached: the other trees are measured all the same."""
    folder = inputs.root / "js-tree"
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for name in ("package.json", "package-lock.json"):
        shutil.copyfile(JS_TREE / name, folder / name)
    with open(log, "ab") as output:
        try:
            result = subprocess.run(["npm", "ci", "--ignore-scripts", "--no-audit", "--no-fund"],
                                    cwd=folder, stdout=output, stderr=subprocess.STDOUT,
                                    timeout=900, check=False)
        except (OSError, subprocess.TimeoutExpired) as error:
            output.write(("npm ci failed: %s\n" % error).encode())
            return None
    if result.returncode != 0:
        return None
    # npm's command links; a payload takes regular files only.
    for path in sorted((folder / "node_modules").rglob("*"), reverse=True):
        if path.is_symlink():
            path.unlink()
    manifest = folder / "js.toml"
    bench_inputs.write_manifest(manifest, folder / "node_modules")
    return manifest


def _build(brxpack, manifest, output, options, log):
    def prepare():
        clear(output)

    def run():
        sample = timed_process([str(brxpack), "build", str(manifest), "-o", str(output), "-q"]
                               + options, RUN_TIMEOUT_S, log=log)
        sample.extra["bytes"] = os.path.getsize(output)
        return sample

    return prepare, run


def measurements(brxpack, inputs, small_manifest, js_manifest, logs):
    """Every tree at every variant (the JavaScript tree where it could be
    installed); the corpus at the default level writes inputs.package."""
    log = logs / "native.log"
    trees = {"corpus": (inputs.manifest, inputs.package),
             "small files": (small_manifest, small_manifest.with_suffix(".brx"))}
    if js_manifest is not None:
        trees["JavaScript tree"] = (js_manifest, js_manifest.with_suffix(".brx"))
    found = []
    for tree, (manifest, package) in trees.items():
        for number, (variant, options) in enumerate(VARIANTS):
            output = package if number == 0 else package.with_name(
                "%s-%d%s" % (package.stem, number, package.suffix))
            prepare, run = _build(brxpack, manifest, output, options, log)
            found.append(Measurement(name(tree, variant), run, prepare))
    return found


def default_level(brxpack):
    """The level brxpack builds at without --level, as its help says."""
    help_text = subprocess.run([str(brxpack), "build", "--help"], capture_output=True,
                               timeout=60, check=False).stdout.decode()
    marker = "(default: the manifest's, or "
    at = help_text.find(marker)
    return help_text[at + len(marker):].split(")")[0] if at >= 0 else "?"
