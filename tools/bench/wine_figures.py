"""The Wine figures of make bench; runs inside a Wine batch
(scripts/with-wine), started by scripts/bench.

Usage: wine_figures.py CONFIG.json RESULT.json

Three programs write the corpus into an empty target folder that holds only
the target program file, on the scratch volume given to Wine as a drive
letter: PATCH.EXE applying the package (the UI robot watching it and
clicking "OK", as a user would), the NSIS installer of the same files
(/S /D=...), and the bare floor program (build/win32/bench). The UI robot
starts each of them, so each figure is the robot's clock from its process
start to its end, or for PATCH.EXE to the moment its "OK" button shows,
which it does once the whole installation is done. The three run pinned
to one CPU with wineserver and the X server, and so do the floor and
PATCH.EXE with a one-file package (what a run costs apart from its files)
and win32_call_costs.exe (what the calls cost that PATCH.EXE makes for each
file and the floor does not). Then PATCH.EXE runs unpinned for the CPU
figure: its CPU time against its wall time.

With "stub_only" in the config only PATCH.EXE's pinned figures are taken:
the second stub's row beside the first's, in its own architecture's batch.
"""

import json
import os
import pathlib
import shutil
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "ui_robot"))

import user_texts  # noqa: E402  (tools/ui_robot)
import wine  # noqa: E402
from process_cpu import ProcessCpuWatch, cpu_seconds  # noqa: E402
from registry import Registry  # noqa: E402
from robot_report import RobotReport, robot_arguments  # noqa: E402
from timing import BenchFailure, Figure, Measurement, Sample, run_series  # noqa: E402
from tree_check import expect_same_tree  # noqa: E402
from wine_pinning import PinnedBatch, helper_pids, pinned_command  # noqa: E402

PROGRAM_FILE = "App.exe"
# The robot's bound for one run, and ours around it.
ROBOT_TIMEOUT_S = 600
POLL_S = 0.02


class WineBench:
    def __init__(self, config):
        self.config = config
        self.work = pathlib.Path(config["work"])
        self.inputs = pathlib.Path(config["inputs"])
        self.corpus = self.inputs / "corpus"
        self.target = pathlib.Path(config["target"])
        self.prefix = os.environ["WINEPREFIX"]
        self.registry = Registry(self.work)
        self.cpu = config["cpu"]
        # Large trees take longer; the scale table gives its own bound.
        self.robot_timeout = config.get("robot_timeout_s", ROBOT_TIMEOUT_S)
        self.pinning = None
        self.drive = None
        self.runs = 0

    # --- the ground for each run, off the clock ---

    def fresh_target(self):
        if self.target.exists():
            shutil.rmtree(self.target)
        self.target.mkdir()
        shutil.copyfile(wine.program("target_app"), self.target / PROGRAM_FILE)
        os.sync()
        if self.pinning:
            self.pinning.refresh()

    def fresh_target_and_registry(self):
        key = self.config["target_key"]
        self.registry.delete_key("HKLM", key)
        self.registry.set_text("HKLM", key, "ProgramPath", self.drive.windows_path(self.target))
        self.registry.set_text("HKLM", key, "ProgramName", PROGRAM_FILE)
        self.registry.set_dword("HKLM", key, "PatchLevel", 0)
        self.registry.flush()
        self.fresh_target()

    # --- one run through the robot ---

    def robot_run(self, application, arguments, pinned, watch=None):
        """Starts `application` through the robot; gives its report. The
        robot and all it starts run on the bench CPU when `pinned`."""
        self.runs += 1
        stem = self.work / ("robot.%d" % self.runs)
        report_path = pathlib.Path(str(stem) + ".jsonl")
        command_line = " ".join(['"%s"' % application] + arguments).encode("cp1251")
        args = ["wine", str(wine.program("ui_robot"))] + robot_arguments(
            wine.windows_path(report_path), command_line, application,
            self.drive.windows_path(self.inputs), self.robot_timeout)
        if pinned:
            args = pinned_command(args, self.cpu)
        with open(str(stem) + ".out", "wb") as out, open(str(stem) + ".err", "wb") as err:
            # Never a pipe: Wine's background processes inherit descriptors.
            process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        deadline = time.monotonic() + self.robot_timeout + 60
        while process.poll() is None:
            if time.monotonic() > deadline:
                process.kill()
                process.wait()
                raise BenchFailure("the robot did not end within %d s" % (self.robot_timeout + 60))
            if watch:
                watch.sample()
            time.sleep(POLL_S)
        report = RobotReport(report_path.read_text().splitlines() if report_path.exists() else [])
        if process.returncode != 0 or report.exit is None:
            raise BenchFailure("the robot failed on %s (exit %d): %s\n    %s" % (
                application, process.returncode,
                pathlib.Path(str(stem) + ".err").read_text(errors="replace")[-400:],
                report.summary()))
        return report

    def _helpers_cpu(self):
        """CPU seconds so far of wineserver and the X server, by name."""
        return {name: cpu_seconds("/proc/%d/stat" % pid)
                for name, pid in helper_pids(self.prefix).items()}

    def _sample(self, application, arguments, pinned, until_ok=False):
        """One run through the robot. Wall time: from the robot's start of
        the program to its end, or with `until_ok` to the moment the "OK"
        button shows, which PATCH.EXE does once the installation is done
        (the robot notes it in its "cpu" event). CPU: the program's own,
        from /proc, and what wineserver and the X server spent meanwhile."""
        watch = ProcessCpuWatch(application.rsplit("\\", 1)[-1])
        before = self._helpers_cpu()
        report = self.robot_run(application, arguments, pinned, watch)
        after = self._helpers_cpu()
        if report.exit["code"] != 0:
            raise BenchFailure("%s exited with %d" % (application, report.exit["code"]))
        end = report.exit
        if until_ok:
            if report.cpu is None or report.final_status != user_texts.INSTALLED or report.boxes:
                raise BenchFailure("%s did not finish the installation by itself:\n    %s"
                                   % (application, report.summary()))
            end = report.cpu
        extra = {"window_thread_cpu": watch.window_thread_cpu}
        for name in ("wineserver", "X server"):
            if before.get(name) is not None and after.get(name) is not None:
                extra[name + " cpu"] = after[name] - before[name]
        return Sample((end["t"] - report.events[0]["t"]) / 1000.0, watch.process_cpu, extra)

    # --- the series ---

    def measurements(self, pinned):
        patch = self.drive.windows_path(self.config["patch_exe"])
        floor = self.drive.windows_path(self.config["floor_exe"])
        nsis = self.drive.windows_path(self.config["nsis_exe"])
        target = self.drive.windows_path(self.target)

        def check(what, corpus):
            return lambda: expect_same_tree(self.target, corpus, what, ignore=[PROGRAM_FILE])

        runs = []
        # The one-file package shows what a run costs apart from its files.
        for suffix, package, corpus in (("", self.config["package"], self.corpus),
                                        (", 1 file", self.config["single_package"],
                                         pathlib.Path(self.config["single_corpus"]))):
            package = '"%s"' % self.drive.windows_path(package)
            runs += [
                Measurement("Wine floor" + suffix,
                            lambda p=package: self._sample(floor, [p, '"%s"' % target], pinned),
                            self.fresh_target, check("the Wine floor" + suffix, corpus)),
                Measurement("PATCH.EXE" + suffix,
                            lambda p=package: self._sample(patch, [p], pinned, until_ok=True),
                            self.fresh_target_and_registry, check("PATCH.EXE" + suffix, corpus)),
            ]
        # NSIS takes /D= unquoted and last.
        runs.insert(2, Measurement(
            "NSIS /S", lambda: self._sample(nsis, ["/S", "/D=" + target], pinned),
            self.fresh_target, check("NSIS", self.corpus)))
        return runs

    def call_costs(self):
        """Microseconds per call of the calls PATCH.EXE makes for each file
        beyond the floor's, measured pinned like the series (see
        win32_call_costs.cpp)."""
        self.fresh_target()
        stem = self.work / "call_costs"
        args = pinned_command(["wine", self.config["call_costs_exe"],
                               self.drive.windows_path(self.target),
                               self.drive.windows_path(self.config["patch_exe"])], self.cpu)
        with open(str(stem) + ".out", "wb") as out, open(str(stem) + ".err", "wb") as err:
            code = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                  timeout=ROBOT_TIMEOUT_S, check=False).returncode
        lines = pathlib.Path(str(stem) + ".out").read_text(errors="replace").split("\n")
        costs = {word[0]: float(word[1]) for word in (line.split() for line in lines)
                 if len(word) == 2}
        if code != 0 or "status_text" not in costs:
            raise BenchFailure("call_costs failed (exit %d); see %s.err" % (code, stem))
        print("Wine: call costs (us): " + ", ".join("%s %.0f" % c for c in costs.items()),
              flush=True)
        return costs

    def run(self):
        wine.check_code_page(self.work)
        results = {}
        with wine.DriveLetter(self.config["mount_point"]) as self.drive:
            results["drive"] = self.drive.letter + ":"
            print("Wine: the volume is drive %s:; pinned to CPU %d" % (self.drive.letter, self.cpu),
                  flush=True)
            stub_only = self.config.get("stub_only", False)
            with PinnedBatch(self.prefix, self.cpu) as self.pinning:
                series = [m for m in self.measurements(pinned=True)
                          if not stub_only or m.name.startswith("PATCH.EXE")]
                pinned = run_series(series, self.config["runs"],
                                    progress=lambda line: print(line, flush=True))
                if not stub_only:
                    results["call_costs"] = self.call_costs()
            self.pinning = None
            if stub_only:
                results["pinned"] = {name: f.to_json() for name, f in pinned.items()}
                return results
            print("Wine: PATCH.EXE unpinned, for its CPU time against its wall time", flush=True)
            patch_only = [m for m in self.measurements(pinned=False) if m.name == "PATCH.EXE"]
            unpinned = run_series(patch_only, self.config["runs"],
                                  progress=lambda line: print(line, flush=True))
        results["pinned"] = {name: f.to_json() for name, f in pinned.items()}
        results["unpinned"] = {name: f.to_json() for name, f in unpinned.items()}
        return results


def batch_main(bench_class, what):
    """The entry point of a script run in a Wine batch (wine_batch.py): CONFIG
    in, RESULT out; a failure is printed and ends the batch with 1."""
    config = json.loads(pathlib.Path(sys.argv[1]).read_text())
    if not wine.in_wine_batch():
        sys.exit("%s runs inside scripts/with-wine" % pathlib.Path(sys.argv[0]).name)
    try:
        results = bench_class(config).run()
    except (BenchFailure, wine.BenchError) as error:
        print("%s failed: %s" % (what, error), flush=True)
        sys.exit(1)
    pathlib.Path(sys.argv[2]).write_text(json.dumps(results, indent=1))


def main():
    batch_main(WineBench, "Wine figures")


if __name__ == "__main__":
    main()
