# Entry points. Each installs what is missing (scripts/bootstrap), configures
# and builds what it needs, and the test targets end with the line
# "N passed, N failed, N skipped". See scripts/run-tests.

.PHONY: test build bootstrap test-host test-win32 test-e2e test-fuzz demo dist bench fuzz crash-test clean

# Everything: host unit tests, Windows unit tests and e2e scenarios under Wine
# on every architecture the machine runs (scripts/windows-arch; BRX_X64_ONLY=1
# forces the x64 build alone), fuzz smoke runs.
test:
	@scripts/run-tests host win32 e2e fuzz

# Configure and build the host, win32, win64 and fuzz presets.
build:
	@scripts/run-tests --no-tests host win32 fuzz

bootstrap:
	@scripts/bootstrap

test-host:
	@scripts/run-tests host

# Windows unit tests and e2e scenarios, one Wine batch per architecture.
test-win32:
	@scripts/run-tests win32 e2e

test-e2e:
	@scripts/run-tests e2e

test-fuzz:
	@scripts/run-tests fuzz

# The main job on a fresh machine: builds everything, installs a sample
# program into a private Wine prefix, authors an update for it with brxpack
# and applies it, showing what changed (see scripts/demo.py), with the stub
# of the first architecture the machine runs.
demo:
	@scripts/bootstrap
	@scripts/run-tests --no-tests win32
	@cmake --preset release >/dev/null && cmake --build --preset release --target brxpack
	@scripts/with-wine /usr/bin/python3 scripts/demo.py

# The release packages in build/dist/: the Debian package (brxpack with
# PATCH.EXE beside it, docs, the example) and the Windows zip (brxpack.exe,
# PATCH.EXE, the same docs). See scripts/dist.
dist:
	@scripts/bootstrap
	@scripts/dist

# Apply and build figures against unzip, bsdtar, zip and NSIS (not part of
# make test; takes several minutes). See scripts/bench.
bench:
	@scripts/bootstrap
	@scripts/bench

# Long fuzzing: each fuzzer for FUZZ_MINUTES (default 20), then line
# coverage of the package and payload code. Not part of make test.
fuzz:
	@scripts/bootstrap
	@scripts/fuzz

# The crash-consistency test at its full count of kill points (make test
# runs a few of them).
crash-test:
	@scripts/bootstrap
	@scripts/run-tests --no-tests win32
	@scripts/with-wine /usr/bin/python3 tests/e2e/crash_consistency_test.py --full

# Removes the build trees but keeps the Wine prefix, which is slow to create.
clean:
	rm -rf build/host build/win32 build/fuzz build/release build/dist build/test-results
