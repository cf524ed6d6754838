# Front door: `make run`, `make test`, `make bench`.
BUILD_DIR   ?= build
BENCH_DIR   ?= build-release
GENERATOR   ?= Ninja
JOBS        ?= 2
CMAKE_FLAGS ?=

ifdef CI
CMAKE_FLAGS += -DQUILLBOX_WERROR=ON
endif

.PHONY: all deps configure build run test bench format clean

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

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DQUILLBOX_TESTS=OFF -DQUILLBOX_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)
	./$(BENCH_DIR)/bench/quillbox_bench

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR)
