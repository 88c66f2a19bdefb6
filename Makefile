# The two commands: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 300
CMP_BUILD ?= build-cmp
REF_BUILD ?= build-ref
BENCH_BUILD ?= build-bench
DOCS_BUILD ?= build-docs
CROSS_BUILD ?= build-cross
CROSS_TARGETS ?= i686-linux-gnu aarch64-linux-gnu
# How 32-bit x86 programs run: the target's loader where the kernel can, else qemu-i386; loader
# or qemu takes one way.
I686_RUNNER ?=
WIN_BUILD ?= build-windows
WEB_BUILD ?= build-web
JOBS ?= $(shell nproc)
# Debian's interpreter, which has pybind11 and NumPy (a python3 first on PATH may have neither).
PYTHON ?= /usr/bin/python3
CMAKE_FLAGS ?=
# A test that hangs fails after a quarter of an hour instead of holding up the run.
CTEST = ctest --output-on-failure --timeout 900 -j $(JOBS)

CONFIGURE = cmake -G Ninja -DQUIL_WERROR=ON $(CMAKE_FLAGS)
SAN_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=0 \
          UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
          LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0

.PHONY: all deps build run screenshots test test-plain test-asan test-tsan fuzz compare-reports \
        reference cross-check bench package docs clean windows windows-check web web-check icon

all: build

deps:
	@scripts/install-deps.sh

build: deps
	$(CONFIGURE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/quadrun/quadrun
	$(BUILD)/linrun/linrun

# Pictures of both windows after a Run, drawn offscreen, for the README; quadrun's native
# Windows window, under Wine and Xvfb; and both pages in headless Chromium.
screenshots: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/quadrun/quadrun_screenshot docs/quadrun.png
	QT_QPA_PLATFORM=offscreen $(BUILD)/linrun/linrun_screenshot docs/linrun.png
	@scripts/install-deps.sh windows
	$(WIN_CONFIGURE)
	cmake --build $(WIN_BUILD) -j $(JOBS) --target quadrun quil_wineprefix
	scripts/windows-screenshot.sh $(WIN_BUILD) quadrun docs/quadrun-windows.png
	@scripts/install-deps.sh web
	$(WEB_CONFIGURE)
	cmake --build $(WEB_BUILD) -j $(JOBS) --target quil_site platform_program
	$(PYTHON) tests/toolkit/test_web_pages.py --site $(WEB_BUILD)/site \
	    --test-page $(WEB_BUILD)/tests/platform_program.html --node "$$(command -v node)" \
	    --screenshots docs ProgramPages.test_run_shows_the_batch_report_and_a_second_run_the_same

test: deps test-plain test-asan test-tsan

test-plain:
	$(CONFIGURE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && $(CTEST)

test-asan:
	$(CONFIGURE) -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUIL_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SAN_ENV) $(CTEST)

# The library's threads under ThreadSanitizer: the library's own tests, without the programs.
test-tsan:
	$(CONFIGURE) -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIL_SANITIZE_THREAD=ON \
	    -DQUIL_BUILD_PROGRAMS=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 $(CTEST)

# Fuzzes both layers and the printers for FUZZ_SECONDS (libFuzzer under clang, with the
# sanitizers). fuzz/corpus holds the seeds; what the fuzzer finds gathers in $(FUZZ_BUILD)/corpus.
fuzz:
	@scripts/install-deps.sh fuzz
	cmake -G Ninja $(CMAKE_FLAGS) -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIL_SANITIZE=ON -DQUIL_BUILD_FUZZ=ON \
	    -DQUIL_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target quil_fuzz
	mkdir -p $(FUZZ_BUILD)/corpus
	$(SAN_ENV) $(FUZZ_BUILD)/fuzz/quil_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=30 \
	    -print_final_stats=1 $(FUZZ_BUILD)/corpus fuzz/corpus

# quadrun's and linrun's reports must be byte-identical from g++ and clang++ at -O0, -O2 and
# -O3 -march=native.
compare-reports:
	@scripts/install-deps.sh fuzz
	CMP_BUILD=$(CMP_BUILD) JOBS=$(JOBS) scripts/compare-reports.sh

# quadrun and linrun of the build machine, with the batch renderer alone: the reports that the
# other targets' programs must write byte for byte.
reference: deps
	$(CONFIGURE) -S . -B $(REF_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIL_BUILD_TESTS=OFF \
	    -DQUIL_BUILD_EXAMPLES=OFF -DQUIL_BUILD_PYTHON=OFF -DQUIL_INSTALL=OFF \
	    -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DCMAKE_DISABLE_FIND_PACKAGE_Curses=ON
	cmake --build $(REF_BUILD) -j $(JOBS) --target quadrun linrun

# For each of CROSS_TARGETS (toolchain files in cmake/toolchains/): the library, both programs and
# the library's tests built with the target's compiler, the tests run under its emulator, and
# quadrun's and linrun's batch reports compared byte for byte with the native build's.
cross-check: reference
	@scripts/install-deps.sh $(CROSS_TARGETS)
	BUILD=$(REF_BUILD) CROSS_BUILD=$(CROSS_BUILD) JOBS=$(JOBS) QUIL_I686_RUNNER=$(I686_RUNNER) \
	    scripts/cross-check.sh $(CROSS_TARGETS)

# Times the cubic routines on one thread and on every core beside Eigen and OpenBLAS (installed
# for this only, and given as many threads), prints the figures and writes them to
# docs/PERFORMANCE.md; then the Python module beside numpy.linalg, into
# docs/PERFORMANCE-python.md.
bench:
	@scripts/install-deps.sh bench
	$(CONFIGURE) -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIL_BUILD_BENCH=ON \
	    -DQUIL_BUILD_PROGRAMS=OFF -DQUIL_BUILD_TESTS=OFF -DQUIL_BUILD_PYTHON=ON \
	    -DPython_EXECUTABLE=$(PYTHON)
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target quil_bench
	mkdir -p docs
	$(BENCH_BUILD)/bench/quil_bench --quil_out=docs/PERFORMANCE.md
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target quil_python
	PYTHONPATH=$(BENCH_BUILD)/python $(PYTHON) python/bench/bench.py --out docs/PERFORMANCE-python.md

# 64-bit Windows, cross-built with MinGW-w64: `make windows` writes the zip a Windows user
# downloads (quadrun.exe, linrun.exe and a readme) to dist/; `make windows-check` runs the
# library's and the window's tests under Wine (the window's under Xvfb) and compares both
# programs' batch reports with the Linux build's.
WIN_CONFIGURE = $(CONFIGURE) -S . -B $(WIN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
                -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake

windows:
	@scripts/install-deps.sh windows
	$(WIN_CONFIGURE)
	cmake --build $(WIN_BUILD) -j $(JOBS) --target windows_zip

windows-check: reference
	@scripts/install-deps.sh windows
	$(WIN_CONFIGURE)
	cmake --build $(WIN_BUILD) -j $(JOBS)
	cd $(WIN_BUILD) && $(CTEST)
	scripts/windows-reports.sh $(WIN_BUILD) $(REF_BUILD)

# WebAssembly, built with Debian's Emscripten (cmake/toolchains/wasm32-emscripten.cmake): `make
# web` writes the site to dist/web, quadrun.html and linrun.html with their .js and .wasm and an
# index.html; `make web-check` builds it with the library's tests, runs them under Node.js and
# the pages in headless Chromium, and compares both programs' batch reports under Node.js with
# the native build's.
WEB_CONFIGURE = $(CONFIGURE) -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release \
                -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/wasm32-emscripten.cmake \
                -DQUIL_BUILD_EXAMPLES=OFF -DQUIL_INSTALL=OFF -DQUIL_WEB_TEST_PYTHON=$(PYTHON)

web:
	@scripts/install-deps.sh web
	$(WEB_CONFIGURE)
	cmake --build $(WEB_BUILD) -j $(JOBS) --target web_site

web-check: reference
	@scripts/install-deps.sh web
	$(WEB_CONFIGURE)
	cmake --build $(WEB_BUILD) -j $(JOBS) --target all web_site
	cd $(WEB_BUILD) && $(CTEST)
	scripts/web-reports.sh $(WEB_BUILD) $(REF_BUILD)

# platform/windows/quil.ico, the Windows programs' icon, written anew from the window's icon.
icon: build
	$(BUILD)/platform/quil_write_icon platform/windows/quil.ico

# The Debian packages of the build, libquil-dev and quil-programs, written into $(BUILD).
package: build
	cmake --build $(BUILD) --target package

# The HTML reference of the public headers, from their own comments, in $(DOCS_BUILD)/docs/html.
# Any Doxygen warning fails it.
docs:
	@scripts/install-deps.sh docs
	cmake -G Ninja $(CMAKE_FLAGS) -S . -B $(DOCS_BUILD) -DQUIL_BUILD_DOCS=ON \
	    -DQUIL_BUILD_PROGRAMS=OFF -DQUIL_BUILD_TESTS=OFF -DQUIL_BUILD_EXAMPLES=OFF -DQUIL_INSTALL=OFF
	cmake --build $(DOCS_BUILD) --target quil_docs

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(CMP_BUILD) $(REF_BUILD) $(BENCH_BUILD) \
	    $(CROSS_BUILD) $(DOCS_BUILD) $(WIN_BUILD) $(WEB_BUILD) dist
