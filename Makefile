# The two commands: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

CONFIGURE = cmake -G Ninja -DQUIL_WERROR=ON $(CMAKE_FLAGS)
SAN_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=0 \
          UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
          LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0

.PHONY: all deps build run screenshots test test-plain test-asan clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	$(CONFIGURE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/quadrun/quadrun
	$(BUILD)/linrun/linrun

# Pictures of both windows after a Run, drawn offscreen, for the README.
screenshots: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/quadrun/quadrun_screenshot docs/quadrun.png
	QT_QPA_PLATFORM=offscreen $(BUILD)/linrun/linrun_screenshot docs/linrun.png

test: deps test-plain test-asan

test-plain:
	$(CONFIGURE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan:
	$(CONFIGURE) -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUIL_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SAN_ENV) ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
