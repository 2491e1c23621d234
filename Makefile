# The two set-up commands of the README: `make run` and `make test`.
JOBS   ?= $(shell nproc)
CMAKE  := cmake -G Ninja -Wno-dev
CTEST  := ctest --output-on-failure --timeout 600

.PHONY: all bootstrap bootstrap-run configure build build-demo run test test-plain asan tsan faults fuzz-build fuzz fuzz-smoke clean package package-test docs

all: build

bootstrap:
	@scripts/bootstrap test

bootstrap-run:
	@scripts/bootstrap run

# Line tables only (-g1): backtraces keep file and line, and the build
# takes a fifth less time than with full debug information.
configure:
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"

# Everything: the tool, its tools, every test and benchmark.
build: bootstrap configure
	cmake --build build -j$(JOBS)

# Only what the demo runs: the tool, the simulator, firmware-gen and the
# stand-in loader program (target `demo_tools`).
build-demo: bootstrap-run configure
	cmake --build build -j$(JOBS) --target demo_tools

run: build-demo
	scripts/demo

# The README's screenshots (docs/images), made under Xvfb against the
# simulator.
docs: build-demo
	scripts/screenshots docs/images

# Every test, built with AddressSanitizer and UndefinedBehaviorSanitizer
# (the end-to-end tests run that build of the tool too), one test per
# processor at a time, then the serial tests under ThreadSanitizer, then
# each fuzz target for 10 s. The plain
# build is the one `make run` uses; `make test-plain` runs every test on it.
test: asan tsan fuzz-smoke

# Sanitizer builds: no optimisation, line tables only (reports keep file
# and line).
SANITIZE_BUILD := -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1

test-plain: build
	cd build && $(CTEST) -j$(JOBS)

asan: bootstrap
	$(CMAKE) -S . -B build-asan $(SANITIZE_BUILD) -DUPDATE_SANITIZE=address,undefined
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 $(CTEST) -j$(JOBS)

tsan: bootstrap
	$(CMAKE) -S . -B build-tsan $(SANITIZE_BUILD) -DUPDATE_SANITIZE=thread
	cmake --build build-tsan -j$(JOBS) --target test_serial
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/serial/tsan.supp" \
	  $(CTEST) -R '^serial\.'

# libFuzzer targets (tests/fuzz), built with clang, ASan and UBSan.
fuzz-build: bootstrap
	$(CMAKE) -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DUPDATE_FUZZ=ON
	cmake --build build-fuzz -j$(JOBS) --target fuzz_targets

# 60 s per target; any finding fails.
fuzz: fuzz-build
	scripts/fuzz 60

fuzz-smoke: fuzz-build
	scripts/fuzz 10

# The Debian package (build-package/update_<version>_<arch>.deb), built
# with Debian's hardening flags (dpkg-buildflags: fortify, stack protector,
# relro, bindnow) and checked by lintian: errors fail the target, warnings
# are shown. The desktop entry is validated where desktop-file-validate is
# installed.
HARDENING := DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
package: bootstrap
	$(CMAKE) -S . -B build-package -DCMAKE_BUILD_TYPE=None -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
	  -DCMAKE_CXX_FLAGS="$$($(HARDENING) CPPFLAGS) $$($(HARDENING) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(HARDENING) LDFLAGS)"
	cmake --build build-package -j$(JOBS) --target package_files
	@if command -v desktop-file-validate > /dev/null; then \
	  desktop-file-validate packaging/desktop/update.desktop; fi
	cd build-package && cpack -G DEB
	@if command -v lintian > /dev/null; then \
	  lintian --fail-on error --info build-package/update_*.deb; \
	else echo "lintian is not installed: the package is not checked"; fi

# The package unpacked into a scratch root and run from there.
package-test: package build-demo
	scripts/package-test
# Every case of the fault matrix (make test runs a subset); the table of
# outcomes goes to build/fault-matrix.md.
faults: build
	rm -f build/fault-matrix.md
	cd build && UPDATE_FAULTS_FULL=1 UPDATE_FAULTS_TABLE=$(CURDIR)/build/fault-matrix.md \
	  $(CTEST) -R '^faults\.'
	@cat build/fault-matrix.md

clean:
	rm -rf build build-asan build-tsan build-fuzz build-package
