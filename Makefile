# The two set-up commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

SECONDS ?= 30

.PHONY: deps configure build run test test-threads test-sanitize fuzz bench deb clean

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/src/gui/quavertin

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The suite again with file work on one thread and on eight, whatever the
# machine's cores: the results must not depend on how many files are read at once.
test-threads: build
	cd $(BUILD_DIR) && for threads in 1 8; do \
	  echo "== QUAVERTIN_THREADS=$$threads"; \
	  QUAVERTIN_THREADS=$$threads QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) || exit 1; \
	done

# The whole suite under AddressSanitizer and UBSan, in build-sanitize.
test-sanitize: deps
	JOBS=$(JOBS) ./scripts/test-sanitize.sh

# The libFuzzer targets of fuzz/, built with clang in build-fuzz, each run for SECONDS.
fuzz: deps
	JOBS=$(JOBS) ./scripts/fuzz.sh $(SECONDS)

# The Debian packages, built by dpkg-buildpackage from a copy of the tree in
# DEB_DIR (outside it), checked with lintian and run from a scratch root.
DEB_DIR ?= ../quavertin-deb
deb: deps
	JOBS=$(JOBS) ./scripts/deb.sh $(DEB_DIR)

bench: build
	./bench/run-all.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) build-sanitize build-fuzz
