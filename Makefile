# Wraps CMake. `make test` and `make run` set up everything on a fresh Debian machine.
BUILD      := build/release
SAN_BUILD  := build/san
BENCH_BUILD:= build/bench
JOBS       ?= 2
FUZZ_SECONDS ?= 300
CORPUS     := $(abspath ../shared/corpus)
SAMPLE     := examples/walk_curve.bvh

.PHONY: all deps build test test-release test-sanitize fuzz fuzz-short run bench format clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: test-release test-sanitize fuzz-short

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The headless layers again with AddressSanitizer and UndefinedBehaviorSanitizer (clang), and
# the reader's fuzz target; any finding fails the run.
$(SAN_BUILD)/CMakeCache.txt: | deps
	CXX=clang++ cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DBVHPATH_GUI=OFF \
	    -DBVHPATH_SANITIZE=ON -DBVHPATH_FUZZ=ON >/dev/null

test-sanitize: deps $(SAN_BUILD)/CMakeCache.txt
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS)

fuzz-short:
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=60

fuzz: deps $(SAN_BUILD)/CMakeCache.txt
	cmake --build $(SAN_BUILD) -j $(JOBS)
	@scripts/fuzz.sh $(SAN_BUILD)/fuzz $(FUZZ_SECONDS) $(CORPUS)

# A first start builds only the program, not every test.
run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target bvhpath
	@scripts/run.sh $(BUILD)/bvhpath $(SAMPLE)

$(BENCH_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DBVHPATH_BENCH=ON \
	    -DBVHPATH_TESTS=OFF >/dev/null

bench: deps $(BENCH_BUILD)/CMakeCache.txt
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@scripts/bench.sh $(BENCH_BUILD)/bench

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
