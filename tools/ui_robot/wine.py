"""Running Windows programs of the build under Wine, from inside a Wine batch
(scripts/with-wine): the end-to-end tests, make demo and make bench."""

import os
import pathlib
import subprocess
import time

SOURCE = pathlib.Path(os.environ.get("BRX_SOURCE") or pathlib.Path(__file__).resolve().parents[2])
# The Windows build under test: the one ctest names, else the one of the
# batch's architecture (scripts/wine-env), else the x86 build.
BUILD = pathlib.Path(os.environ.get("BRX_BUILD") or os.environ.get("BRX_WINDOWS_BUILD")
                     or SOURCE / "build" / "win32")
# Where the programs of tools/ui_robot are built.
TOOLS = BUILD / "tools"
PATCH_EXE = BUILD / "PATCH.EXE"
# The architecture of BUILD's programs, PATCH.EXE among them: x86 (win32) or x64 (win64).
ARCH = os.environ.get("BRX_WINDOWS_ARCH") or "x86"

# Bounds for any bench program, and for waiting on a helper's flag file.
PROGRAM_TIMEOUT_S = 60
FLAG_TIMEOUT_S = 30
POLL_S = 0.02


class BenchError(AssertionError):
    """A failed expectation or a step that could not be done."""


def windows_arches():
    """The architectures whose builds this machine runs, the first being the
    one a single run uses (scripts/windows-arch; BRX_X64_ONLY=1 gives x64
    alone)."""
    return subprocess.run([str(SOURCE / "scripts" / "windows-arch")], check=True,
                          stdout=subprocess.PIPE).stdout.decode().split()


def machine_runs_x86():
    """Whether 32-bit Windows programs run here at all."""
    return "x86" in windows_arches()


def in_wine_batch():
    return bool(os.environ.get("BRX_WINE_BATCH")) and bool(os.environ.get("WINEPREFIX"))


def drive_c():
    return pathlib.Path(os.environ["WINEPREFIX"]) / "drive_c"


def windows_path(path):
    """The Windows name of a Unix path: C: for the prefix's drive, else Z:."""
    path = pathlib.Path(path).resolve()
    try:
        relative = path.relative_to(drive_c().resolve())
    except ValueError:
        return "Z:" + str(path).replace("/", "\\")
    return "C:" if str(relative) == "." else "C:\\" + str(relative).replace("/", "\\")


def program(name, folder=TOOLS):
    """A Windows program of the build: by default one of tools/ui_robot."""
    path = folder / (name + ".exe")
    if not path.is_file():
        raise BenchError("%s is not built (expected %s)" % (name, path))
    return path


def start_windows_program(exe, args, log_stem):
    """Starts a Windows program; its output goes to LOG_STEM.out and .err.

    Never a pipe: Wine's background processes inherit descriptors, and a
    pipe would keep its reader waiting for them."""
    with open(str(log_stem) + ".out", "wb") as out, open(str(log_stem) + ".err", "wb") as err:
        return subprocess.Popen(["wine", str(exe)] + [str(a) for a in args],
                                stdin=subprocess.DEVNULL, stdout=out, stderr=err)


def run_windows_program(exe, args, log_stem, timeout=PROGRAM_TIMEOUT_S, while_running=None):
    """Runs a Windows program to its end; gives (exit code, stdout, stderr).
    `while_running`, if given, is called every few milliseconds meanwhile."""
    process = start_windows_program(exe, args, log_stem)
    deadline = time.monotonic() + timeout
    while process.poll() is None:
        if time.monotonic() > deadline:
            process.kill()
            process.wait()
            raise BenchError("%s did not end within %d s (args %r)" % (exe, timeout, args))
        if while_running:
            while_running()
        time.sleep(POLL_S)
    out = pathlib.Path(str(log_stem) + ".out").read_bytes()
    err = pathlib.Path(str(log_stem) + ".err").read_bytes()
    return process.returncode, out, err


def check_code_page(work):
    """Every user text is Windows-1251: refuse to run under any other code page."""
    code, out, err = run_windows_program(program("acp_probe"), [], work / "acp_probe")
    acp = out.decode("ascii", "replace").strip()
    if code != 0 or acp != "1251":
        raise BenchError(
            "Wine's ANSI code page is %r, not 1251 (exit %d, %s). Is LC_ALL=ru_RU.UTF-8 set "
            "and the ru_RU.UTF-8 locale generated (locale -a)?" % (acp, code, err[-300:]))


def wait_for_file(path, what, timeout=FLAG_TIMEOUT_S, process=None):
    """Waits until `path` exists; fails naming `what` when it does not come."""
    deadline = time.monotonic() + timeout
    while not pathlib.Path(path).exists():
        if process is not None and process.poll() is not None:
            raise BenchError("%s: the program ended (exit %s) before %s appeared"
                             % (what, process.returncode, path))
        if time.monotonic() > deadline:
            raise BenchError("%s: %s did not appear within %d s" % (what, path, timeout))
        time.sleep(POLL_S)


class DriveLetter:
    """A Linux folder (a mounted volume) as a drive letter of the prefix,
    the first free one of R to Y, for as long as the context lasts."""

    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        self.link = None
        self.letter = None

    def __enter__(self):
        devices = pathlib.Path(os.environ["WINEPREFIX"]) / "dosdevices"
        for letter in "rstuvwxy":
            link = devices / (letter + ":")
            if link.is_symlink() and pathlib.Path(os.readlink(link)) == self.folder:
                link.unlink()  # left by an interrupted run
            if not link.exists() and not link.is_symlink():
                link.symlink_to(self.folder)
                self.link, self.letter = link, letter.upper()
                return self
        raise BenchError("no free drive letter in %s" % devices)

    def __exit__(self, *exc):
        if self.link is not None:
            self.link.unlink(missing_ok=True)
        return False

    def windows_path(self, path):
        relative = pathlib.Path(path).relative_to(self.folder)
        return self.letter + ":\\" + str(relative).replace("/", "\\")
