# make demo  - install what is missing, build, and show the library talking to
#              the simulated controller
# make test  - install what is missing, build, and run the whole suite
# make fuzz  - a fuzzing campaign: rounds over all fuzzers, FUZZ_SLOT_SECONDS
#              (default 600) per fuzzer a round, until FUZZ_EXECS executions
#              (default 10^9) are done
# make seeds - rewrite the fuzzers' seed corpora in fuzz/seeds
# make bench - build and run the benchmarks
# make soak  - the longer fault matrix (SOAK_ROUNDS rounds per cell, default 25)
#              and the longer soak (SOAK_SECONDS, default 60)
# make docs  - the reference of tavrix.h and tavrix.hpp (Doxygen) in build/docs/html
# make dist-windows - dist/tavrix-VERSION-windows.zip: both DLLs, import
#              libraries for MinGW and MSVC, the headers and tvx.exe
.PHONY: all deps build test demo fuzz seeds bench soak clean dist-windows docs

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build -j $$(nproc)

test: deps
	scripts/run-tests.sh

demo: build
	scripts/demo.sh

fuzz: deps
	scripts/fuzz.sh --campaign $${FUZZ_EXECS:-1000000000}

seeds: build
	build/fuzz/tavrix_make_seeds fuzz/seeds

bench: build
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
