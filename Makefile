# The two commands of the README: `make demo` and `make test`.
BUILD ?= build
FUZZ_BUILD ?= build-fuzz
JOBS ?= 2
FUZZ_SECONDS ?= 20
DEMO_MACHINE := $(BUILD)/demo-machine
# A compiler cache, when the machine has one, makes rebuilds of other checkouts cheap.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

.PHONY: all deps configure build test demo package fuzz bench format clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(LAUNCHER)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest -j$(JOBS) --output-on-failure --timeout 600
	$(MAKE) --no-print-directory fuzz

demo: build
	@tools/demo.sh $(BUILD)

# The Debian package, $(BUILD)/velto_<version>_amd64.deb (CPack; the test suite checks it).
package: build
	cmake --build $(BUILD) --target package

# Short, bounded runs of every fuzz target (clang's libFuzzer).
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DVELTO_FUZZ=ON -DVELTO_TESTS=OFF -DVELTO_BENCH=OFF \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	tools/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	@tools/run-bench.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
