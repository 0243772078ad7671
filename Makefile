# Top-level commands: `make` builds, `make run` starts the shell on the simulated bus,
# `make test` builds and runs every test. On a Debian machine (as root) the missing packages
# are installed first; where make itself is missing, ./tools/velkor-dev installs it too.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local
DESTDIR ?=
FUZZ_SECONDS ?= 60
# The fuzz targets: every tests/fuzz/NAME_fuzz.cpp builds NAME_fuzz.
FUZZERS := $(basename $(notdir $(wildcard tests/fuzz/*_fuzz.cpp)))

.PHONY: all deps build run test asan fuzz install uninstall clean format

all: build

deps:
	@./tools/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/velkor --sim

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVELKOR_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_FUZZ=ON >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $(FUZZERS)
	@./tests/fuzz/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

DOCDIR ?= $(PREFIX)/share/doc/velkor
# What install puts under DOCDIR, as paths in the source tree; uninstall removes the same.
DOCS = README.md LICENSE
EXAMPLES = $(wildcard examples/*.pnp examples/*.hex)
BOOT_EXAMPLES = $(wildcard examples/boot/*)

install: build
	install -d $(DESTDIR)$(PREFIX)/bin $(DESTDIR)$(PREFIX)/share/man/man1
	install -m 755 $(BUILD)/velkor $(DESTDIR)$(PREFIX)/bin/velkor
	install -m 644 docs/velkor.1 $(DESTDIR)$(PREFIX)/share/man/man1/velkor.1
	install -d $(DESTDIR)$(DOCDIR)/examples/boot
	install -m 644 $(DOCS) $(DESTDIR)$(DOCDIR)/
	install -m 644 $(EXAMPLES) $(DESTDIR)$(DOCDIR)/examples/
	install -m 644 $(BOOT_EXAMPLES) $(DESTDIR)$(DOCDIR)/examples/boot/

# Removes the files install put there, then the documentation's own folders when nothing else
# is left in them; the bin and man1 folders stay.
uninstall:
	rm -f $(DESTDIR)$(PREFIX)/bin/velkor $(DESTDIR)$(PREFIX)/share/man/man1/velkor.1
	rm -f $(addprefix $(DESTDIR)$(DOCDIR)/,$(DOCS) $(EXAMPLES) $(BOOT_EXAMPLES))
	for d in $(DESTDIR)$(DOCDIR)/examples/boot $(DESTDIR)$(DOCDIR)/examples $(DESTDIR)$(DOCDIR); do \
	  if [ -d "$$d" ]; then rmdir "$$d" 2>/dev/null || echo "kept $$d: it holds other files"; fi; \
	done

clean:
	rm -rf $(BUILD) build-asan build-fuzz

# Lays the sources and tests out as .clang-format says (needs clang-format).
format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
