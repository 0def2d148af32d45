# Short wrapper around CMake. Build folders live under build/.
JOBS ?= $(shell nproc)
CMAKE_COMMON = -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: deps run build install deb test tsan core-only bench fuzz format screenshots e2e clean

deps:
	scripts/install-deps

build/release/CMakeCache.txt:
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DDROMEL_TESTS=OFF -DDROMEL_BENCH=ON $(CMAKE_COMMON)

build: deps build/release/CMakeCache.txt
	cmake --build build/release -j $(JOBS)

# Opens the window: the saved tabs, or the home folder on a fresh machine
# (DIR=... opens one tab on another folder).
run: build
	./build/release/src/app/dromel $(if $(DIR),--directory "$(DIR)")

# The program, its desktop entry and icon under PREFIX (default /usr/local).
PREFIX ?= /usr/local
install: build
	cmake --install build/release --prefix "$(PREFIX)"
	-command -v update-desktop-database >/dev/null && update-desktop-database -q "$(PREFIX)/share/applications"
	-command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q -t "$(PREFIX)/share/icons/hicolor"

# Retakes the README's screenshots under Xvfb from a generated fixture folder.
screenshots: build
	scripts/screenshots.sh

# A Debian package of the Release program in the top folder: dromel_<version>_amd64.deb.
deb: deps build/release/CMakeCache.txt
	cmake --build build/release -j $(JOBS)
	cd build/release && cpack -G DEB
	cp build/release/dromel_*_amd64.deb .

build/test/CMakeCache.txt:
	cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DDROMEL_SANITIZE=address,undefined $(CMAKE_COMMON)

# Every test, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test: deps build/test/CMakeCache.txt
	cmake --build build/test -j $(JOBS)
	cd build/test && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure --no-tests=error -j $(JOBS)

build/tsan/CMakeCache.txt:
	cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DDROMEL_SANITIZE=thread $(CMAKE_COMMON)

# The concurrent parts under ThreadSanitizer.
tsan: deps build/tsan/CMakeCache.txt
	cmake --build build/tsan -j $(JOBS)
	cd build/tsan && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan.supp" ctest --output-on-failure --no-tests=error -j $(JOBS) -R '^(runtime|directory|browser|engine)\.' -E 'OperationCrash'

# src/core alone, without Qt, proves the layer stays platform-neutral.
core-only:
	cmake -S . -B build/core-only -DDROMEL_CORE_ONLY=ON $(CMAKE_COMMON)
	cmake --build build/core-only -j $(JOBS)
	cd build/core-only && ctest --output-on-failure --no-tests=error -j $(JOBS)

# A user's session and a crash during a copy, driven under Xvfb with xdotool
# against the Release program; each run is bounded to a minute.
e2e: deps build/release/CMakeCache.txt
	cmake --build build/release -j $(JOBS) --target dromel
	@set -e; for t in tests/e2e/*.sh; do \
		[ "$$t" = tests/e2e/lib.sh ] && continue; \
		echo "== $$t"; start=$$(date +%s); \
		DROMEL_BIN=$(CURDIR)/build/release/src/app/dromel timeout -k 5 60 $$t; \
		echo "   $$(( $$(date +%s) - start )) s"; \
	done

bench: build
	@for b in build/release/bench/bench_*; do echo "== $$b"; $$b; done

build/fuzz/CMakeCache.txt:
	cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DDROMEL_CORE_ONLY=ON -DDROMEL_TESTS=OFF -DDROMEL_FUZZ=ON -DDROMEL_SANITIZE=address,undefined $(CMAKE_COMMON)

# Each fuzz target for FUZZ_SECONDS (30 by default).
FUZZ_SECONDS ?= 30
fuzz: deps build/fuzz/CMakeCache.txt
	cmake --build build/fuzz -j $(JOBS)
	@set -e; for f in build/fuzz/fuzz/fuzz_*; do \
		[ -x "$$f" ] || continue; \
		name=$$(basename $$f); mkdir -p build/fuzz/corpus/$$name; \
		echo "== $$name"; \
		log=build/fuzz/$$name.log; \
		seeds=fuzz/corpus/$$name; [ -d $$seeds ] || seeds=; \
		$$f -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 build/fuzz/corpus/$$name $$seeds \
			> $$log 2>&1 || { tail -n 40 $$log; exit 1; }; \
		tail -n 3 $$log; \
	done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
