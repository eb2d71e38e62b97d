# Ingestor: build, test and demo entry points.
#   make build   configure and build (Release with debug info)
#   make test    install missing Debian packages (as root), build, run every suite
#                (starts its own PostgreSQL server for the database suites), then
#                the suites again under AddressSanitizer + UndefinedBehaviorSanitizer
#                (embedded database, no window) and a short run of every fuzz target
#   make demo    build and run the program on sample data
#   make package build the Debian package (build/$(PRESET)/ingestor_VERSION_ARCH.deb)
#   make bench   one table of every importer's speed and memory, then comparables
#                into a private PostgreSQL server beside psql's \copy
#   make fuzz    run every fuzz target for FUZZ_SECONDS (default 60) each; one table
#                of executions, executions a second, coverage and corpus size
#   make mutation  apply MUTANTS (default 40) seeded random faults (SEED, default 1)
#                to src/ one at a time and count those the suites catch
#   make screenshots  pictures of the windows under a virtual X server
#   make format  clang-format every source file

PRESET      ?= default
BUILD_DIR   := build/$(PRESET)
JOBS        ?= $(shell nproc)
# Debian packages the build and the tests need (the last line: executables
# with version resources and an independent reader of them, for the version
# reader's oracle test; about 8 MB installed).
PACKAGES    := cmake ninja-build g++ pkg-config libgtest-dev googletest clang-format \
               libsqlite3-dev unixodbc-dev libsqliteodbc odbc-postgresql postgresql \
               libbenchmark-dev qt6-base-dev xvfb xauth fonts-dejavu-core \
               clang libclang-rt-14-dev sqlite3 time \
               dpkg-dev scdoc desktop-file-utils man-db bash-completion \
               python3-pefile libmono-corlib4.5-dll libmono-system-numerics4.0-cil win32-loader

FUZZ_SECONDS ?= 60
MUTANTS      ?= 40
SEED         ?= 1

.PHONY: all build test test-suites test-sanitize fuzz-smoke demo bench fuzz mutation screenshots deps \
        format clean package

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing Debian packages:$$missing (run 'make deps' as root, or install them)"; exit 1; \
	  fi; \
	fi

$(BUILD_DIR)/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset $(PRESET)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Every suite runs against the embedded database and, through a private ODBC
# configuration, SQLite over ODBC and a throw-away PostgreSQL server.
# With the default preset the sanitizer suite and the fuzz smoke runs follow.
test: test-suites
ifeq ($(PRESET),default)
	$(MAKE) --no-print-directory test-sanitize
	$(MAKE) --no-print-directory fuzz-smoke
endif

test-suites: build
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	tests/db/with-databases.sh ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The sanitizer suite runs on the embedded database (the window and the server
# routes are covered by the normal suite), which keeps a CI run short.
test-sanitize:
	$(MAKE) --no-print-directory build PRESET=sanitize
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	ctest --test-dir build/sanitize --output-on-failure -j $(JOBS)

fuzz-smoke: deps
	fuzz/run.sh --build 3

fuzz: deps
	fuzz/run.sh --build $(FUZZ_SECONDS)

# Works on a private copy of the tree in build/mutation; the sources are never touched.
mutation: deps
	tests/db/with-databases.sh tools/mutation.py --mutants $(MUTANTS) --seed $(SEED) --jobs $(JOBS)

# The package's dependencies are read off the binaries by dpkg-shlibdeps.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

bench: build
	bench/run-all.sh $(BUILD_DIR)
	tests/db/with-databases.sh bench/server_import.sh $(BUILD_DIR)

screenshots: build
	tools/screenshots.sh $(BUILD_DIR)

demo: build
	@tools/demo.sh $(BUILD_DIR)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
