"""A bench script run in a Wine batch of its own (scripts/with-wine waits
while another batch holds the prefix), with a JSON config in and a JSON
result out. Interrupted, the batch is asked to end first, so it can stop
its server and give the scratch volume back."""

import json
import os
import pathlib
import signal
import subprocess
import sys

from timing import BenchFailure

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "ui_robot"))
from wine import windows_arches  # noqa: E402,F401  (scripts/bench takes it from here)

ROOT = pathlib.Path(__file__).resolve().parents[2]
PRESETS = {"x86": "win32", "x64": "win64"}


def windows_build(arch):
    return ROOT / "build" / PRESETS[arch]


def run_in_wine_batch(script, config, work, timeout_s, arch=None):
    """Runs tools/bench/`script` CONFIG RESULT in a batch; gives the result.
    `arch` (x86 or x64) picks the build and prefix; by default the first
    architecture the machine runs (scripts/wine-env)."""
    config_path = work / (pathlib.Path(script).stem + "-config.json")
    result_path = work / (pathlib.Path(script).stem + "-results.json")
    config_path.write_text(json.dumps(config, indent=1))
    result_path.unlink(missing_ok=True)
    batch = subprocess.Popen(
        [str(ROOT / "scripts" / "with-wine"), "/usr/bin/python3",
         str(ROOT / "tools" / "bench" / script), str(config_path), str(result_path)],
        cwd=ROOT, stdin=subprocess.DEVNULL, start_new_session=True,
        env=dict(os.environ, **({"BRX_WINDOWS_ARCH": arch} if arch else {})))
    try:
        code = batch.wait(timeout=timeout_s)
    except BaseException:
        end_process_group(batch)
        raise
    if code != 0 or not result_path.exists():
        raise BenchFailure("%s failed (exit %d); logs in %s and %s" % (
            script, code, work, ROOT / "build" / "wine-logs"))
    return json.loads(result_path.read_text())


def end_process_group(process):
    """SIGTERM to the group we started, then SIGKILL if it lingers."""
    for number, wait_s in ((signal.SIGTERM, 60), (signal.SIGKILL, 10)):
        try:
            os.killpg(process.pid, number)
            process.wait(timeout=wait_s)
            return
        except ProcessLookupError:
            return
        except subprocess.TimeoutExpired:
            continue
