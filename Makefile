# Velmora: the two everyday commands.
#   make run   builds the release program and designs the built-in default filter
#   make test  installs what is missing, builds with sanitizers and runs the test suite, then
#              runs every vector build in Release against the references (dispatch-test)
#   make gui   builds the desktop program and starts it (make gui FILE=design.fl3 opens a design)
#   make package builds the Debian package (build/package/velmora_*.deb) and checks it in a scratch root
#   make fuzz  builds the fuzz targets of the file readers and the request files with clang and runs each
JOBS ?= $(shell nproc)
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 60

.PHONY: deps run test dispatch-test bench build-release clean fuzz fuzz-build gui screenshots package format format-check

deps:
	bash scripts/install-deps.sh

build-release: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF
	cmake --build build/release -j $(JOBS)

# The default design end to end, with its files in ./out/.
run: build-release
	mkdir -p out
	VELMORA_DATA_DIR=$(CURDIR)/data ./build/release/apps/cli/velmora design \
	  --standard-r 1 --save out/default.fl3 --ascii out/default.dat --spice out/default.cir --plots out/plots

test: deps
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_WERROR=ON \
	  -DVELMORA_FUZZ_SMOKE=ON -DVELMORA_FUZZ_DIR=$(CURDIR)/$(FUZZ_DIR)
	cmake --build build/test -j $(JOBS)
	@if command -v clang++ >/dev/null 2>&1; then $(MAKE) --no-print-directory fuzz-build; \
	  else echo "clang++ not found: the fuzz tests are skipped"; fi
	cd build/test && ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory dispatch-test

# Every vector build the processor supports, forced in turn, against the extended
# references, in an optimised build (the Debug build does not vectorise).
dispatch-test: deps
	cmake -S . -B build/dispatch -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_WERROR=ON -DVELMORA_DISPATCH_TESTS=ON
	cmake --build build/dispatch -j $(JOBS) --target velmora_numeric_tests velmora_analysis_tests velmora_stages_tests
	cd build/dispatch && ctest --output-on-failure -j $(JOBS) -L dispatch

gui: build-release
	VELMORA_DATA_DIR=$(CURDIR)/data ./build/release/apps/gui/velmora-gui $(FILE)

# The Debian package, unpacked into a scratch folder and checked there (scripts/check-package.sh).
package:
	bash scripts/install-deps.sh --package
	JOBS=$(JOBS) bash scripts/check-package.sh build/package

# A PNG of each window of the desktop program in docs/images/, made under Xvfb.
screenshots:
	bash scripts/screenshots.sh

# The fuzz targets: clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
fuzz-build:
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF
	cmake --build $(FUZZ_DIR) --target velmora_fuzzers -j $(JOBS)

fuzz: deps fuzz-build
	bash fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

bench: deps
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	for b in build/bench/bench/*_bench; do VELMORA_DATA_DIR=$(CURDIR)/data $$b; done
	if [ -x build/bench/bench/gui_windows_qbench ]; then VELMORA_DATA_DIR=$(CURDIR)/data build/bench/bench/gui_windows_qbench; fi

clean:
	rm -rf build out

# The house style (.clang-format) over every C++ source of the repository.
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h')
format:
	clang-format -i $(FORMAT_FILES)

# Fails, naming the files, when a source differs from the house style.
format-check:
	clang-format --dry-run --Werror $(FORMAT_FILES)
