# `make` builds the program, `make run` starts it, `make test` runs the test suite headless,
# `make package` writes the Debian package and `make package-test` checks it (as root),
# `make windows` builds the Windows zip and setup and `make windows-test` tests them under Wine,
# `make sanitize` runs the suite under AddressSanitizer and UBSan, `make fuzz` the fuzz targets.
BUILD ?= build
WORK := $(BUILD)/work
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all setup configure run test bench sanitize fuzz package package-test windows windows-test clean

# The program only, so the first start is quick; test and bench build what they run.
all: configure
	cmake --build $(BUILD) -j2 --target brindlehof

setup:
	@sh scripts/setup.sh

configure:
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

# The editor runs in a working folder seeded from examples/ (the Windows script stays out), so
# what is saved there stays out of the source tree. Files the user already changed are kept.
run: setup all
	@mkdir -p $(WORK)
	@find examples -maxdepth 1 -type f -exec cp -pn {} $(WORK)/ \;
	cd $(WORK) && ../brindlehof

test: setup all
	cmake --build $(BUILD) -j2
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest -j2 --output-on-failure

bench: setup all
	cmake --build $(BUILD) -j2 --target benchmarks
	sh bench/run.sh $(BUILD)

# The whole suite built with AddressSanitizer and UBSan in its own folder; any report fails it,
# leaks included. The random user takes ACTIONS steps here.
ASAN_BUILD ?= build-asan
ACTIONS ?= 20000
SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp
sanitize: setup
	@test -f $(ASAN_BUILD)/CMakeCache.txt || cmake -S . -B $(ASAN_BUILD) -G Ninja -DBRINDLEHOF_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j2
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) BRINDLEHOF_ACTIONS=$(ACTIONS) QT_QPA_PLATFORM=offscreen \
		ctest -j2 --output-on-failure

# Each libFuzzer target for FUZZ_SECONDS, from the seeds in fuzz/; what it learns stays in the
# build folder, and a failing input is left there too.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20
FUZZ_TARGETS := regfile sourcefile
fuzz: setup
	@test -f $(FUZZ_BUILD)/CMakeCache.txt || CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja \
		-DBRINDLEHOF_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD) -j2 $(FUZZ_TARGETS:%=--target fuzz_%)
	set -e; for target in $(FUZZ_TARGETS); do \
		mkdir -p $(FUZZ_BUILD)/corpus/$$target; \
		$(SANITIZER_ENV) $(FUZZ_BUILD)/fuzz/fuzz_$$target -max_total_time=$(FUZZ_SECONDS) \
			-timeout=10 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/$$target- \
			$(FUZZ_BUILD)/corpus/$$target fuzz/seeds/$$target; \
	done

package: setup all
	cd $(BUILD) && cpack -G DEB

package-test: package
	sh scripts/test-package.sh $(BUILD)

# Windows: the program cross-built with mingw-w64 against Qt for Windows, which is built once into
# a cache outside the checkout (a quarter of an hour the first time) as pasmo.exe is, packed as a
# zip and a setup in dist/, and tested under Wine.
WIN_BUILD ?= build-windows

windows:
	@sh scripts/setup.sh scripts/packages.txt
	@sh scripts/setup.sh scripts/packages-windows.txt
	sh scripts/build-windows.sh $(WIN_BUILD) dist

windows-test: windows
	cd $(WIN_BUILD) && ctest --output-on-failure
	sh tests/smoke-windows.sh dist

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WIN_BUILD) dist
