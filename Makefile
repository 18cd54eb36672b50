# Entry points: `make demo` starts the program on its built-in demo, `make test` builds and runs
# every test (plain, then with AddressSanitizer and UndefinedBehaviorSanitizer, then a release
# build of the whole tree, then the Windows compile when the MinGW-w64 cross compiler is
# installed), `make dist` makes the Windows packages, `make bench` builds the benchmarks in
# release mode and runs them all.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all build demo test test-plain test-sanitize test-release test-windows dist bench clean

all: build

build:
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS) >/dev/null
	cmake --build build -j $(JOBS)

# The demo runs in demo-run/, a copy of demo/ (lists and messages) that keeps its logs.
demo: build
	mkdir -p demo-run
	cp -n demo/*.txt demo/*.wav demo-run/
	cd demo-run && ../build/ringward --calls calls.txt

test: test-plain test-sanitize test-release test-windows

test-plain: build
	cd build && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DRINGWARD_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# The whole tree (program, tests, benchmarks) built for release, warnings still errors, and its
# suite run once.
test-release:
	bash scripts/setup.sh bench
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DRINGWARD_BENCH=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build build-release -j $(JOBS)
	cd build-release && ctest --output-on-failure -j $(JOBS)

test-windows:
	@if command -v i686-w64-mingw32-g++-win32 >/dev/null; then \
		cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null && \
		cmake --build build-windows -j $(JOBS); \
	else \
		echo "i686-w64-mingw32-g++-win32 not installed: Windows compile skipped"; \
	fi

# The Windows packages, made from a clean build of the release program in build-dist/: the zip
# and the installer, with the version of the program's version resource, land in dist/.
dist:
	bash scripts/setup.sh dist
	rm -rf build-dist dist
	cmake -S . -B build-dist -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build-dist -j $(JOBS) --target dist
	mkdir -p dist
	cp build-dist/dist/*.zip build-dist/dist/*-setup.exe dist/
	@ls -l dist

# The real Windows program under Wine: installs Wine and its tools when missing, builds
# ringward.exe and the test tapi32.dll in build-wine-ARCH/ and drives the program on an X server
# of its own (tests/wine/run.py), then plays one set of calls through it and through the Linux
# program and compares what both did (tests/wine/differential.py); screenshots and logs stay in
# build-wine-ARCH/results/.
.PHONY: test-wine
test-wine:
	bash scripts/setup.sh wine
	python3 tests/wine/run.py
	python3 tests/wine/differential.py

# The scripted end-to-end runs of the program under valgrind memcheck: no memory error, no
# definite or indirect leak, exit code 0, and the reports each script expects.
.PHONY: memcheck fuzz
memcheck: build
	bash scripts/setup.sh checks
	bash tests/memcheck/run.sh build/ringward

# The libFuzzer targets, built with clang in build-fuzz/, each run for FUZZ_SECONDS on a scratch
# copy of its seed corpus (fuzz/corpus/); prints the executions of each.
FUZZ_SECONDS ?= 60
fuzz:
	bash scripts/setup.sh checks
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
		-DCMAKE_CXX_COMPILER=clang++ -DRINGWARD_FUZZ=ON -DRINGWARD_TESTS=OFF >/dev/null
	cmake --build build-fuzz -j $(JOBS) --target ringward_fuzzers
	bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

# Every figure of bench/README.md, then each beside its budget; installs Google Benchmark first
# when it is missing. BENCH_FLAGS go to Google Benchmark (e.g. BENCH_FLAGS=--benchmark_filter=Screen).
bench:
	bash scripts/setup.sh bench
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DRINGWARD_BENCH=ON -DRINGWARD_TESTS=OFF \
		$(CMAKE_FLAGS) >/dev/null
	cmake --build build-bench -j $(JOBS)
	cd build-bench && ./bench/ringward_bench $(BENCH_FLAGS)

clean:
	rm -rf build build-sanitize build-release build-windows build-bench build-wine-i686 \
		build-wine-x86_64 build-dist dist
