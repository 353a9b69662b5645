# `make` builds the program, `make run` starts it, `make test` runs the test suite headless,
# `make package` writes the Debian package and `make package-test` checks it (as root),
# `make windows` builds the Windows zip and `make windows-test` tests it under Wine.
BUILD ?= build
WORK := $(BUILD)/work
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all setup configure run test bench package package-test windows windows-test clean

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

package: setup all
	cd $(BUILD) && cpack -G DEB

package-test: package
	sh scripts/test-package.sh $(BUILD)

# Windows: the program cross-built with mingw-w64 against Qt for Windows, which is built once into
# a cache outside the checkout (half an hour or more the first time), packed as a zip in dist/,
# and tested under Wine.
WIN_BUILD ?= build-windows

windows:
	@sh scripts/setup.sh scripts/packages.txt
	@sh scripts/setup.sh scripts/packages-windows.txt
	sh scripts/build-windows.sh $(WIN_BUILD) dist

windows-test: windows
	cd $(WIN_BUILD) && ctest --output-on-failure
	sh tests/smoke-windows.sh dist

clean:
	rm -rf $(BUILD) $(WIN_BUILD) dist
