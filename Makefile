# Entry points. Each installs what is missing (scripts/bootstrap), configures
# and builds what it needs, and the test targets end with the line
# "N passed, N failed, N skipped". See scripts/run-tests.

.PHONY: test build bootstrap test-host test-win32 test-e2e test-fuzz clean

# Everything: host unit tests, Win32 unit tests and e2e scenarios under Wine,
# fuzz smoke runs.
test:
	@scripts/run-tests host win32 e2e fuzz

# Configure and build the host, win32 and fuzz presets.
build:
	@scripts/run-tests --no-tests host win32 fuzz

bootstrap:
	@scripts/bootstrap

test-host:
	@scripts/run-tests host

# Win32 unit tests and e2e scenarios, in one Wine batch.
test-win32:
	@scripts/run-tests win32 e2e

test-e2e:
	@scripts/run-tests e2e

test-fuzz:
	@scripts/run-tests fuzz

# Removes the build trees but keeps the Wine prefix, which is slow to create.
clean:
	rm -rf build/host build/win32 build/fuzz build/test-results
