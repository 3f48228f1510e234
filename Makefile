# Two commands do everything: `make run` and `make test`. Both install what
# is missing, configure and build first.

BUILD := build/release
ASAN_BUILD := build/asan
JOBS ?= $(shell nproc)

.PHONY: run test test-asan deps build build-asan clean

deps:
	@scripts/install-deps

build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

build-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

# Only the viewer: the tests and benchmarks are built by `make test`.
run: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS) --target ripplex
	@scripts/run-viewer $(BUILD)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	@ctest --preset asan -j $(JOBS)

clean:
	rm -rf build
