# The two commands of the README: `make run` and `make test`. Both install
# what is missing first, then build. BUILD and SANITIZE pick another build
# folder and sanitizer set (address or thread) for CI's extra runs. `make
# install` installs what is built (honouring PREFIX and DESTDIR) and changes
# nothing in the build folder's ownership when run through sudo; `make
# package` builds the .deb.
BUILD ?= build
PREFIX ?= /usr/local
SANITIZE ?=
JOBS ?= 2

.PHONY: all deps configure build run test fuzz install uninstall package clean

all: build

deps:
	@tools/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DMERVO_SANITIZE=$(SANITIZE) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@tools/run-example $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure --timeout 300 -j $(JOBS)

# Both need what make build built; neither builds nor configures.
install:
	@DESTDIR="$(DESTDIR)" tools/install-build install $(BUILD) $(PREFIX)

uninstall:
	@DESTDIR="$(DESTDIR)" tools/install-build uninstall $(BUILD)

package: build
	@cd $(BUILD) && cpack -G DEB

fuzz: deps
	@cmake -S . -B $(BUILD)-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DMERVO_FUZZ=ON -DMERVO_TESTS=OFF >/dev/null
	@cmake --build $(BUILD)-fuzz -j $(JOBS) --target fuzz_vcard_reader fuzz_ical_reader
	@tools/run-fuzzers $(BUILD)-fuzz

clean:
	rm -rf build build-*
