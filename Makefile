# Thin wrapper around CMake. `make demo` and `make test` are all a new machine needs.
BUILD     ?= build
PACKAGE   ?= build-package
PREFIX    ?= /usr/local
ASAN      ?= build-asan
BENCHDIR  ?= build-bench
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE     ?= cmake
# Installs the Debian packages a target needs and the machine lacks (as root,
# or through sudo without a password); otherwise names the command and stops.
DEPS      ?= sh scripts/install-deps

.PHONY: all build program asan test test-release test-asan demo install package bench fuzz clean

all: build

build:
	@$(DEPS) build test
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	$(CMAKE) --build $(BUILD) -j $(JOBS)

# The program and its manual page only: no tests, fuzz replays or benchmarks.
program:
	@$(DEPS) build
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	$(CMAKE) --build $(BUILD) -j $(JOBS) --target ringave manpage

asan:
	@$(DEPS) build test
	$(CMAKE) -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DRINGAVE_SANITIZE=ON
	$(CMAKE) --build $(ASAN) -j $(JOBS)

# Every test, in the release build and again under AddressSanitizer and
# UndefinedBehaviorSanitizer; any sanitizer report fails the run.
test: test-release test-asan

test-release: build
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS)

test-asan: asan
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure --no-tests=error -j $(JOBS)

demo: program
	@sh examples/demo.sh $(BUILD)

# The program, its manual page, README and licence under $(PREFIX) (and
# $(DESTDIR), as usual for staged installs).
install: program
	$(CMAKE) --install $(BUILD) --prefix $(PREFIX)

# A Debian package: $(PACKAGE)/ringave_<version>_<arch>.deb, for
# `apt install ./ringave_<version>_<arch>.deb`.
package:
	@$(DEPS) build package
	$(CMAKE) -S . -B $(PACKAGE) -DCMAKE_BUILD_TYPE=Release -DRINGAVE_TESTS=OFF
	$(CMAKE) --build $(PACKAGE) -j $(JOBS) --target ringave manpage
	cd $(PACKAGE) && cpack -G DEB
	@ls $(PACKAGE)/*.deb

bench:
	@$(DEPS) build bench
	$(CMAKE) -S . -B $(BENCHDIR) -DCMAKE_BUILD_TYPE=Release -DRINGAVE_BENCH=ON -DRINGAVE_TESTS=OFF
	$(CMAKE) --build $(BENCHDIR) -j $(JOBS)
	@sh bench/run.sh $(BENCHDIR)

# libFuzzer harnesses, built with clang and the sanitizers.
fuzz:
	$(CMAKE) -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DRINGAVE_FUZZ=ON -DRINGAVE_TESTS=OFF
	$(CMAKE) --build build-fuzz -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN) $(BENCHDIR) $(PACKAGE) build-fuzz
