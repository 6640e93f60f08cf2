"""brxpack.exe under Wine for the end-to-end scenarios: runs the tool on
files of a scenario's folder and writes authoring projects there."""

import pathlib

from checks import BenchError
from wine import BUILD, run_windows_program, windows_path

BRXPACK_EXE = BUILD / "brxpack.exe"


class ToolRun:
    def __init__(self, code, out, err):
        self.code = code
        self.out = out
        self.err = err

    def __repr__(self):
        return "exit %d\n--- out\n%s--- err\n%s" % (self.code, self.out, self.err)


class Brxpack:
    """Runs brxpack.exe for one scenario; every run's output is kept in the
    scenario's bench folder."""

    def __init__(self, scenario):
        if not BRXPACK_EXE.is_file():
            raise BenchError("brxpack.exe is not built (expected %s)" % BRXPACK_EXE)
        self.scenario = scenario
        self.runs = 0

    def run(self, *args, expect_code=0):
        """Runs brxpack.exe with `args` (paths are given as pathlib paths and
        passed as Windows names); fails unless the exit code is
        `expect_code` (None: any)."""
        self.runs += 1
        arguments = [windows_path(a) if isinstance(a, pathlib.Path) else a for a in args]
        code, out, err = run_windows_program(
            BRXPACK_EXE, arguments, self.scenario.work / ("brxpack.%d" % self.runs))
        result = ToolRun(code, out.decode("utf-8", "replace"), err.decode("utf-8", "replace"))
        if expect_code is not None and code != expect_code:
            raise BenchError("brxpack.exe %s: expected exit %d, %r"
                             % (" ".join(arguments), expect_code, result))
        return result


def write_project(folder, manifest, files):
    """A manifest (text) and payload files ({relative path: bytes}) under
    `folder`; gives the manifest's path."""
    folder.mkdir(parents=True, exist_ok=True)
    for relative, data in files.items():
        path = folder / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    path = folder / "brxpack.toml"
    path.write_text(manifest, encoding="utf-8")
    return path


def toml_literal(text):
    """A TOML literal string; the scenario's texts hold no quote."""
    if "'" in text:
        raise ValueError("no TOML literal string can hold %r" % text)
    return "'%s'" % text
