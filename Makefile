# The two commands of the README: `make run` and `make test`. Each first
# installs what it needs that is missing (tools/install-deps; as root or
# through sudo), then builds: `make run` only the program, its modules and
# their files, `make test` everything with the tests. BUILD and SANITIZE pick
# another build folder and sanitizer set (address or thread) for CI's extra
# runs. `make install` installs what is built (honouring PREFIX and DESTDIR)
# and changes nothing in the build folder's ownership when run through sudo;
# `make package` builds the .deb.
BUILD ?= build
PREFIX ?= /usr/local
SANITIZE ?=
JOBS ?= 2
CONFIGURE = cmake -S . -B $(BUILD) -G Ninja -DMERVO_SANITIZE=$(SANITIZE)

.PHONY: all program build run test fuzz install uninstall package clean

all: build

# A folder is configured once: without the tests when `make run` makes it
# (so that running needs no test library), with them from `make build` on,
# and again when asked for another sanitizer.
program:
	@tools/install-deps run
	@[ -f $(BUILD)/build.ninja ] || $(CONFIGURE) -DMERVO_TESTS=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target mervo_program

build:
	@tools/install-deps run test
	@grep -qsx 'MERVO_TESTS:BOOL=ON' $(BUILD)/CMakeCache.txt && [ -f $(BUILD)/build.ninja ] && \
	  grep -qsx 'MERVO_SANITIZE:STRING=$(SANITIZE)' $(BUILD)/CMakeCache.txt || $(CONFIGURE) -DMERVO_TESTS=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: program
	@tools/run-example $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure --timeout 300 -j $(JOBS)

# Both need what make run or make build built; neither builds nor configures.
install:
	@DESTDIR="$(DESTDIR)" tools/install-build install $(BUILD) $(PREFIX)

uninstall:
	@tools/install-build uninstall $(BUILD)

package: build
	@tools/install-deps package
	@cd $(BUILD) && cpack -G DEB

fuzz:
	@tools/install-deps run fuzz
	@cmake -S . -B $(BUILD)-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DMERVO_FUZZ=ON -DMERVO_TESTS=OFF >/dev/null
	@cmake --build $(BUILD)-fuzz -j $(JOBS) --target fuzz_vcard_reader fuzz_ical_reader
	@tools/run-fuzzers $(BUILD)-fuzz

clean:
	rm -rf build build-*
