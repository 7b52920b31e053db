# Two commands from a clean clone: `make run` and `make test`.
# Each installs what is missing, configures, builds, and then runs the program or the tests.

BUILD_DIR     ?= build
ASAN_DIR      ?= build-asan
TSAN_DIR      ?= build-tsan
BENCH_DIR     ?= build-bench
BUILD_TYPE    ?= RelWithDebInfo
JOBS          ?= $(shell nproc)
# CI sets CI=true: warnings become errors there.
WERROR        := $(if $(filter true,$(CI)),ON,OFF)
CMAKE_FLAGS   := -G Ninja -DQUARVEL_WERROR=$(WERROR)

.PHONY: all deps build run test package sanitize tsan bench clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Builds only the viewer, then opens its window.
run: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS) --target quarvel-view
	./$(BUILD_DIR)/src/app/quarvel-view

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The Debian package, written to $(BUILD_DIR)/quarvel-view_<version>_<arch>.deb: the
# programs built apart in $(BUILD_DIR)/deb-build with the distribution's hardening flags.
package: deps
	./scripts/package.sh $(BUILD_DIR)/deb-build $(BUILD_DIR)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B $(ASAN_DIR) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DQUARVEL_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS)

# The tests of the threaded code under ThreadSanitizer: the core's stages (their worker
# threads) and the bench (its worker beside the window's thread). Only those two test
# programs are built. The toolkit's libraries are not instrumented: tests/tsan-qt.supp
# names the queues through which the worker's reports reach the window.
tsan: deps
	cmake -S . -B $(TSAN_DIR) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DQUARVEL_TSAN=ON
	cmake --build $(TSAN_DIR) -j $(JOBS) --target tomo_tests bench_tests
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan-qt.supp" \
	  $(TSAN_DIR)/tests/tomo_tests --gtest_brief=1
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan-qt.supp" \
	  QT_QPA_PLATFORM=offscreen $(TSAN_DIR)/tests/bench_tests --gtest_brief=1

# Optimised build of the benchmark programs, then each of them in turn.
bench: deps
	cmake -S . -B $(BENCH_DIR) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_DIR) -j $(JOBS)
	@for b in $(BENCH_DIR)/bench/bench_*; do echo "== $$b"; $$b --benchmark_repetitions=5 --benchmark_report_aggregates_only=true --benchmark_min_time=0.2 | grep -E "^(BM_.*_median|Run on|CPU)"; done

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) $(BENCH_DIR)
