# Entry points: `make demo` starts the program on its built-in demo, `make test` builds and runs
# every test (plain, then with AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows
# compile when the MinGW-w64 cross compiler is installed).
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all build demo test test-plain test-sanitize test-windows clean

all: build

build:
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS) >/dev/null
	cmake --build build -j $(JOBS)

# The demo runs in demo-run/, a copy of demo/ (lists and messages) that keeps its logs.
demo: build
	mkdir -p demo-run
	cp -n demo/*.txt demo/*.wav demo-run/
	cd demo-run && ../build/ringward --calls calls.txt

test: test-plain test-sanitize test-windows

test-plain: build
	cd build && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DRINGWARD_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

test-windows:
	@if command -v i686-w64-mingw32-g++-posix >/dev/null; then \
		cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null && \
		cmake --build build-windows -j $(JOBS); \
	else \
		echo "i686-w64-mingw32-g++-posix not installed: Windows compile skipped"; \
	fi

clean:
	rm -rf build build-sanitize build-windows
