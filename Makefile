# make run   - install dependencies, build the engine only, run the demo game
# make test  - install dependencies, build, run every test (plus the sanitizer build)
# make bench - build and run the benchmarks
# make fuzz  - build the libFuzzer targets with clang and run each briefly

JOBS ?= 2
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench

.PHONY: all deps build build-run run test test-asan bench fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# Only what the demo needs: the engine, and the Lua bridge library when this
# version has one (a target that does not exist is skipped, not an error).
# The tests and fuzz programs are left for `make test`.
build-run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target sorv
	@if cmake --build $(BUILD) --target help 2>/dev/null | grep -qw svlua; then \
	  cmake --build $(BUILD) -j$(JOBS) --target svlua; \
	fi
	@if cmake --build $(BUILD) --target help 2>/dev/null | grep -qw svdx; then \
	  cmake --build $(BUILD) -j$(JOBS) --target svdx; \
	fi

run: build-run
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  ./$(BUILD)/sorv examples/demo; \
	else \
	  mkdir -p out; \
	  ./$(BUILD)/sorv --headless --screenshot out/demo.png examples/demo; \
	  status=$$?; \
	  echo "no display: ran the demo headless; its last frame is in $$(pwd)/out/demo.png"; \
	  exit $$status; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	$(MAKE) test-asan

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSORV_SANITIZE=ON -DSORV_ONLY_UNIT_TESTS=ON > /dev/null
	cmake --build $(ASAN_BUILD) -j$(JOBS) --target sorv_unit_tests
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ./sorv_unit_tests --gtest_brief=1

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DSORV_BENCH=ON > /dev/null
	cmake --build $(BENCH_BUILD) -j$(JOBS)
	bash bench/run-all.sh $(BENCH_BUILD)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORV_FUZZ=ON > /dev/null
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	bash fuzz/run-all.sh $(FUZZ_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
