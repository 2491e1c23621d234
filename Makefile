# The two set-up commands of the README: `make run` and `make test`.
JOBS   ?= $(shell nproc)
CMAKE  := cmake -G Ninja -Wno-dev
CTEST  := ctest --output-on-failure --timeout 600

.PHONY: all bootstrap build run test test-plain asan tsan faults clean

all: build

bootstrap:
	@scripts/bootstrap

build: bootstrap
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j$(JOBS)

run: build
	scripts/demo

# Every test, then the same tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the serial tests under ThreadSanitizer.
test: test-plain asan tsan

test-plain: build
	cd build && $(CTEST)

asan: bootstrap
	$(CMAKE) -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DUPDATE_SANITIZE=address,undefined
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 $(CTEST)

tsan: bootstrap
	$(CMAKE) -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DUPDATE_SANITIZE=thread
	cmake --build build-tsan -j$(JOBS) --target test_serial
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/serial/tsan.supp" \
	  $(CTEST) -R '^serial\.'

# Every case of the fault matrix (make test runs a subset); the table of
# outcomes goes to build/fault-matrix.md.
faults: build
	rm -f build/fault-matrix.md
	cd build && UPDATE_FAULTS_FULL=1 UPDATE_FAULTS_TABLE=$(CURDIR)/build/fault-matrix.md \
	  $(CTEST) -R '^faults\.'
	@cat build/fault-matrix.md

clean:
	rm -rf build build-asan build-tsan
