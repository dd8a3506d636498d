# The project's commands. Each one installs what it needs first (scripts/install-deps).
BUILD       ?= build
BENCH_BUILD ?= build-bench
FUZZ_BUILD  ?= build-fuzz
DEMO_BUILD  ?= build-demo
JOBS        ?= 2
FUZZ_SECONDS ?= 600

.PHONY: all deps build test demo bench fuzz fuzz-build clean

all: build

deps:
	@scripts/install-deps

# Tests run on a build with AddressSanitizer and UndefinedBehaviorSanitizer.
build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Debug -DLUMENO_SANITIZE=ON
	cmake --build $(BUILD) -j$(JOBS)

test: build fuzz-build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 900
	cd $(FUZZ_BUILD) && ctest --output-on-failure -j$(JOBS) -L fuzz --timeout 300

demo: deps
	cmake -S . -B $(DEMO_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(DEMO_BUILD) -j$(JOBS) --target lumeno modellib psrendplug
	scripts/demo $(DEMO_BUILD) build/demo

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j$(JOBS)
	scripts/bench $(BENCH_BUILD)

fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DLUMENO_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j$(JOBS)

# Every fuzz target for FUZZ_SECONDS each.
fuzz: fuzz-build
	scripts/fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(DEMO_BUILD) build/demo
