# The two commands: `make run` and `make test`. Both set up what is missing.
MAKEFLAGS += --no-print-directory
BUILD   ?= build
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
export COVELIN_WINEPREFIX ?= $(CURDIR)/$(BUILD)/wineprefix

CMAKE_FLAGS = -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
              -DCMAKE_BUILD_TYPE=Release

.PHONY: all setup build test run dist clean bench soak lint

all: build

setup:
	@scripts/bootstrap.sh

$(BUILD)/CMakeCache.txt: | setup
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: setup $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j $(JOBS)

# Tests run one executable at a time on a private X display: several of them
# drive the one keyboard that Wine shares between its processes.
test: build
	@scripts/with-display.sh --private \
	  ctest --test-dir $(BUILD) --output-on-failure --timeout 600

# clang-tidy and cppcheck over src/ (checks in .clang-tidy and
# .cppcheck-suppressions); needs only a configured build directory.
lint: $(BUILD)/CMakeCache.txt
	@scripts/bootstrap.sh lint
	@scripts/lint.sh $(BUILD)

run: build
	@scripts/run.sh $(BUILD)/Covelin.exe

# Prints the figures and keeps the same text in $(BUILD)/bench.txt.
bench: build
	@bash -o pipefail -c 'scripts/with-display.sh --private scripts/wine-run.sh $(BUILD)/bench/covelin_bench.exe \
	  | tee $(BUILD)/bench.txt'

# A few minutes: a thousand hides and restores while the choices change, then
# what the process holds beyond what it held after the first fifty (not part
# of `make test`).
soak: build
	@scripts/with-display.sh --private scripts/wine-run.sh $(BUILD)/bench/covelin_soak.exe

dist: build
	@scripts/dist.sh $(BUILD)

clean:
	rm -rf $(BUILD) dist
