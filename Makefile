# Front door: `make run`, `make test`, `make bench`.
BUILD_DIR   ?= build
# The same tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
SAN_DIR     ?= build-asan
BENCH_DIR   ?= build-release
# Core and the command line built once more with clang, its warnings as errors.
CLANG_DIR   ?= build-clang
FUZZ_DIR    ?= build-fuzz
# Seconds each fuzz target runs for in `make fuzz-run`.
FUZZ_SECONDS ?= 600
FUZZ_TARGETS := text csv xml bookmarks
GENERATOR   ?= Ninja
JOBS        ?= 2
# Tests run at once by ctest.
TEST_JOBS   ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-plain sanitize test-sanitize clang-build package bench fuzz fuzz-run \
        format check-format clean

all: build

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Quillbox keeps its files under the folder it is started from.
run: build
	./$(BUILD_DIR)/src/quillbox

# The clang build of core and the command line first (a minute, and it fails fast), then the plain
# build's tests, then the sanitizer build's.
test: clang-build test-plain test-sanitize

# A second compiler catches what one lets through.
clang-build: deps
	CXX=clang++ CC=clang cmake -S . -B $(CLANG_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DQUILLBOX_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(CLANG_DIR) -j $(JOBS) --target quillbox_core quillbox-cli

test-plain: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(TEST_JOBS)

sanitize: deps
	cmake -S . -B $(SAN_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DQUILLBOX_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SAN_DIR) -j $(JOBS)

# The sanitizers' options are set on each test by CMake (tests/CMakeLists.txt).
test-sanitize: sanitize
	cd $(SAN_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(TEST_JOBS)

# A Debian package of both programs, its dependencies found by dpkg-shlibdeps.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

bench: deps
	cmake -S . -B $(BENCH_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DQUILLBOX_TESTS=OFF -DQUILLBOX_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)
	./$(BENCH_DIR)/bench/quillbox_bench

# The import readers under libFuzzer with ASan and UBSan (clang); not part of `make test`.
fuzz:
	./scripts/install-deps fuzz
	CXX=clang++ cmake -S fuzz -B $(FUZZ_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_DIR) -j $(JOBS)

# Runs every target for FUZZ_SECONDS, its corpus seeded from tests/data; findings land in
# $(FUZZ_DIR)/findings.
fuzz-run: fuzz
	mkdir -p $(FUZZ_DIR)/findings
	for t in $(FUZZ_TARGETS); do \
	    mkdir -p $(FUZZ_DIR)/corpus/$$t && cp tests/data/* $(FUZZ_DIR)/corpus/$$t/ && \
	    ./$(FUZZ_DIR)/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 -rss_limit_mb=4096 \
	        -artifact_prefix=$(FUZZ_DIR)/findings/$$t- -print_final_stats=1 $(FUZZ_DIR)/corpus/$$t || exit 1; \
	done

format:
	find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

check-format:
	./scripts/check-format

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(BENCH_DIR) $(FUZZ_DIR) $(CLANG_DIR)
