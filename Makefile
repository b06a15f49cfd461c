# make demo  - install what the build and the demo need, build tvx and the
#              simulator, and show the product against simulated controllers
# make sandbox - a shell in a private network with three simulated controllers
# make test  - install what the whole suite needs, build, and run all of it
# make check - the edit-and-test loop: Release build, unit and in-process suites
# make build - a RelWithDebInfo build of everything in build-dev/ (debugging)
# make release - the Release tree build/ with the suite's targets (bench, seeds)
# make deb   - Debian packages libtavrix1, libtavrix-dev, tavrix-tools (stripped)
#              and their -dbgsym packages with the debug information, in build-dev/deb
# make fuzz  - a fuzzing campaign: rounds over all fuzzers, FUZZ_SLOT_SECONDS
#              (default 600) per fuzzer a round, until FUZZ_EXECS executions
#              (default 10^9) are done
# make seeds - rewrite the fuzzers' seed corpora in fuzz/seeds
# make bench - build and run the benchmarks
# make soak  - the longer fault matrix (SOAK_ROUNDS rounds per cell, default 25)
#              and the longer soak (SOAK_SECONDS, default 60)
# make docs  - the reference of tavrix.h and tavrix.hpp (Doxygen) in build/docs/html
# make dist-windows - dist/tavrix-VERSION-windows.zip: both DLLs, import
#              libraries for MinGW and MSVC, the headers and tvx.exe, stripped;
#              their debug information in dist/tavrix-VERSION-windows-debug.zip
# Build folders: build/ (Release: demo, sandbox, check, test, bench, seeds)
# and build-dev/ (RelWithDebInfo: build, deb). Each keeps its own
# configuration, so switching between commands rebuilds nothing.
.PHONY: all deps deps-demo build release test check demo sandbox deb fuzz seeds bench soak clean dist-windows docs

all: build

deps:
	@scripts/install-deps.sh test

deps-demo:
	@scripts/install-deps.sh demo

build: deps
	cmake -S . -B build-dev -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build-dev -j $$(nproc)

# The Release tree with the suite's targets.
release: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTVX_BUILD_TESTS=ON -DTVX_BUILD_BENCH=ON >/dev/null
	cmake --build build -j $$(nproc)

test: deps
	scripts/run-tests.sh

check: deps
	scripts/run-tests.sh --check

# Only what the demo runs: tvx and the simulator, in the Release tree.
demo: deps-demo
	@scripts/demo-build.sh
	scripts/demo.sh

deb: build
	rm -rf build-dev/deb
	cpack --config build-dev/CPackConfig.cmake >/dev/null
	@ls -1 build-dev/deb/*.deb build-dev/deb/*.ddeb

sandbox: deps-demo
	@scripts/demo-build.sh
	scripts/sandbox.sh

fuzz: deps
	scripts/fuzz.sh --campaign $${FUZZ_EXECS:-1000000000}

seeds: release
	build/fuzz/tavrix_make_seeds fuzz/seeds

bench: release
	scripts/bench.sh

soak: deps
	scripts/soak.sh $${SOAK_ROUNDS:-25}

docs: deps
	mkdir -p build/docs
	TVX_DOCS_DIR=build/docs doxygen docs/Doxyfile
	@echo "build/docs/html/index.html"

dist-windows: deps
	scripts/dist-windows.sh

clean:
	rm -rf build build-* dist
