# make demo  - install what is missing, build, and show the library talking to
#              the simulated controller
# make test  - install what is missing, build, and run the whole suite
# make fuzz  - run the fuzzers for FUZZ_SECONDS (default 600)
# make bench - build and run the benchmarks
.PHONY: all deps build test demo fuzz bench clean

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
	scripts/fuzz.sh $${FUZZ_SECONDS:-600}

bench: build
	scripts/bench.sh

clean:
	rm -rf build build-* 
