# The two commands: `make run` and `make test`. Both install what is missing first.
BUILD := build
NATIVE := $(BUILD)/native
WINDOWS := $(BUILD)/windows
JOBS := 2
MAKEFLAGS += --no-print-directory

.PHONY: all setup native windows windows-configure corvane-exe run test bench dist release-check \
	install-run fuzz clean

all: native windows

setup:
	@bash scripts/setup.sh

native: setup
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

windows-configure: setup
	@cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null

windows: windows-configure
	@cmake --build $(WINDOWS) -j $(JOBS)

# One CTest run over both trees, so it ends with one summary.
test: native windows
	@printf 'subdirs("native")\nsubdirs("windows")\n' > $(BUILD)/CTestTestfile.cmake
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

corvane-exe: windows-configure
	@cmake --build $(WINDOWS) -j $(JOBS) --target corvane

run: corvane-exe
	@bash scripts/run.sh $(WINDOWS)/bin/corvane.exe

bench: native windows-configure
	@cmake --build $(WINDOWS) -j $(JOBS) --target corvane empty_dialog \
	    empty_dialog_common_controls corvane_template startup_timer corvane_bench
	@bash bench/run.sh $(NATIVE) $(WINDOWS)

dist: corvane-exe
	@bash scripts/dist.sh $(WINDOWS)

# The last commit's release packed twice in two other folders must give the same bytes.
release-check:
	@bash scripts/release-check.sh

# The Debian package installed, started by a player and purged on a fresh Debian (root).
install-run: dist
	@bash scripts/install-run.sh

# A longer fuzzing session of the core than the minute `make test` gives it.
FUZZ_SECONDS ?= 600

fuzz: setup
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS) --target core_session_fuzzer
	@cmake -DFUZZER=$(NATIVE)/bin/core_session_fuzzer -DCORPUS=tests/fuzz/corpus \
	    -DWORK=$(NATIVE)/fuzz-long -DSECONDS=$(FUZZ_SECONDS) -P tests/fuzz/run_fuzzer.cmake

clean:
	rm -rf $(BUILD)
