# Velmora: the two everyday commands.
#   make run   builds the release program and designs the built-in default filter
#   make test  installs what is missing, builds with sanitizers and runs the test suite
JOBS ?= $(shell nproc)

.PHONY: deps run test bench build-release clean

deps:
	bash scripts/install-deps.sh

build-release: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF
	cmake --build build/release -j $(JOBS)

run: build-release
	VELMORA_DATA_DIR=$(CURDIR)/data ./build/release/apps/cli/velmora design

test: deps
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_WERROR=ON
	cmake --build build/test -j $(JOBS)
	cd build/test && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	for b in build/bench/bench/*_bench; do VELMORA_DATA_DIR=$(CURDIR)/data $$b; done

clean:
	rm -rf build out
