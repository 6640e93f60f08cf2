"""The benchmark's inputs on the scratch volume: the corpus, the brxpack
manifest that packs it, and the NSIS installer of the same files.

The package and the zip are not made here: their builds are timed (see
native_figures.build_measurements), and the last timed build of each is
what the apply figures then read.
"""

import os
import pathlib
import shutil
import subprocess
import sys

from timing import BenchFailure

HERE = pathlib.Path(__file__).resolve().parent
# The registry key the package's target is found under (HKEY_LOCAL_MACHINE).
TARGET_KEY = "SOFTWARE\\BrindlexBench"
NSIS_TIMEOUT_S = 1800


class Inputs:
    """Where everything lives below `root` (a folder on the scratch volume)."""

    def __init__(self, root):
        self.root = pathlib.Path(root)
        self.corpus = self.root / "corpus"
        self.manifest = self.root / "bench.toml"
        self.package = self.root / "bench.brx"
        self.zip = self.root / "bench.zip"
        self.nsis_script = self.root / "bench.nsi"
        self.nsis_installer = self.root / "nsis_setup.exe"
        # One small file: what a run costs apart from its files.
        self.single = self.root / "single"
        self.single_manifest = self.single / "single.toml"
        self.single_package = self.single / "single.brx"

    def corpus_files(self):
        return [p for p in self.corpus.rglob("*") if p.is_file()]

    def corpus_bytes(self):
        return sum(p.stat().st_size for p in self.corpus_files())


def make_corpus(inputs, total_mb, seed, log):
    inputs.root.mkdir(parents=True, exist_ok=True)
    with open(log, "ab") as output:
        result = subprocess.run(
            [sys.executable, str(HERE / "make_corpus.py"), str(inputs.corpus),
             "--total-mb", str(total_mb), "--seed", str(seed)],
            stdout=output, stderr=subprocess.STDOUT, timeout=1800, check=False)
    if result.returncode != 0:
        raise BenchFailure("make_corpus.py failed (exit %d); see %s" % (result.returncode, log))


def write_manifest(manifest, payload, patch_level=1):
    """Every file of `payload` at its path (all fit an entry name), at
    brxpack's default level, and the one section an update needs: where its target is found. No
    question, so a run asks nothing; an NSIS installer run with /S asks
    nothing either."""
    manifest.write_text(
        "# Written by make bench: a folder of files as one update.\n"
        "[target]\nregistry_key = '%s'\npatch_level = %d\n\n"
        "[payload]\nfolder = \"%s\"\n" % (TARGET_KEY, patch_level,
                                          os.path.relpath(payload, manifest.parent)),
        encoding="utf-8")


def make_single_file_package(inputs, brxpack, log):
    """The first corpus file alone in a package of its own."""
    first = min(inputs.corpus_files())
    payload = inputs.single / "corpus"
    payload.mkdir(parents=True)
    shutil.copyfile(first, payload / first.name)
    write_manifest(inputs.single_manifest, payload)
    with open(log, "ab") as output:
        result = subprocess.run([str(brxpack), "build", str(inputs.single_manifest), "-o",
                                 str(inputs.single_package)], stdout=output,
                                stderr=subprocess.STDOUT, timeout=600, check=False)
    if result.returncode != 0:
        raise BenchFailure("brxpack build of the one-file package failed; see %s" % log)


def write_nsis_script(inputs):
    """A plain installer of the same files: zlib (NSIS's own level 9),
    files compressed one by one (not solid), silent, into the folder given
    by /D. Everything else is left at NSIS's defaults, its CRC check of the
    installer at start-up among them, as a publisher would ship it."""
    inputs.nsis_script.write_text(
        "; Written by make bench: the corpus as a silent NSIS installer.\n"
        "Unicode false\n"
        "Name \"Brindlex bench\"\n"
        "OutFile \"%s\"\n"
        "SetCompressor zlib\n"
        "SilentInstall silent\n"
        "RequestExecutionLevel user\n"
        "InstallDir \"C:\\brx-bench-default\"\n"
        "Section\n"
        "  SetOutPath \"$INSTDIR\"\n"
        "  File /r \"%s/*\"\n"
        "SectionEnd\n" % (inputs.nsis_installer, inputs.corpus), encoding="utf-8")


def make_nsis_installer(inputs, log):
    write_nsis_script(inputs)
    with open(log, "ab") as output:
        result = subprocess.run(["makensis", "-V2", "-NOCD", str(inputs.nsis_script)],
                                cwd=inputs.root, stdout=output, stderr=subprocess.STDOUT,
                                timeout=NSIS_TIMEOUT_S, check=False)
    if result.returncode != 0 or not inputs.nsis_installer.is_file():
        raise BenchFailure("makensis failed (exit %d); see %s" % (result.returncode, log))
