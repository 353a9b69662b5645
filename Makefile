# `make` builds the program, `make run` starts it, `make test` runs the test suite headless,
# `make package` writes the Debian package and `make package-test` checks it (as root).
BUILD ?= build
WORK := $(BUILD)/work
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all setup configure run test bench package package-test clean

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

clean:
	rm -rf $(BUILD)
