# Everything a developer or CI needs starts here; see README.md.
JOBS ?= $(shell nproc)
CMAKE_GEN = cmake -G Ninja -Wno-dev

PREFIX ?= /usr/local

.PHONY: all run screenshot install package test torture bench bootstrap release clean format \
  bootstrap-windows windows test-windows

all: release

bootstrap:
	@tools/bootstrap

build/release/build.ninja: | bootstrap
	$(CMAKE_GEN) -S . -B build/release -DCMAKE_BUILD_TYPE=Release

release: bootstrap build/release/build.ninja
	cmake --build build/release -j $(JOBS)

run: release
	build/release/window/varnelo

# A picture of the window on a virtual screen, for a look without a desktop.
screenshot: release
	tools/screenshot build/release/window/varnelo build/screenshot.png

# The program, its icon, help page and menu entry under PREFIX (DESTDIR
# stages them for a package).
install: release
	DESTDIR="$(DESTDIR)" cmake --install build/release --prefix "$(PREFIX)"

# The Debian package build/varnelo_VERSION_amd64.deb, from the same rules
# as install but under /usr.
package: release
	cpack --config build/release/CPackConfig.cmake -B build/release/cpack \
	  -D CPACK_OUTPUT_FILE_PREFIX="$(CURDIR)/build"

build/test/build.ninja: | bootstrap
	$(CMAKE_GEN) -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DVARNELO_SANITIZE=ON

test: bootstrap build/test/build.ninja
	cmake --build build/test -j $(JOBS)
	ctest --test-dir build/test --output-on-failure -j $(JOBS)

# The long part of the crash, fault and bad-input suite, after fuzzing the
# name functions for FUZZ_SECONDS; its figures come last.
FUZZ_SECONDS ?= 60

build/fuzz/build.ninja: | bootstrap
	$(CMAKE_GEN) -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DVARNELO_FUZZ=ON

torture: bootstrap build/test/build.ninja build/fuzz/build.ninja
	cmake --build build/fuzz -j $(JOBS) --target varnelo-fuzz
	mkdir -p build/fuzz/corpus
	cd build/fuzz && tests/fuzz/varnelo-fuzz -max_total_time=$(FUZZ_SECONDS) corpus >fuzz.log 2>&1 \
	  || { tail -n 40 fuzz.log; echo "fuzz: failed, see build/fuzz/fuzz.log"; exit 1; }
	@sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/fuzz: \1 inputs in \2 s, no failure/p' build/fuzz/fuzz.log
	cmake --build build/test -j $(JOBS)
	VARNELO_TORTURE=long build/test/tests/varnelo_torture --gtest_brief=1

# The Windows program, cross-built with mingw-w64 into build/windows
# (varnelo.exe, varnelo-drive.exe, varnelo-windows.zip), and its tests run
# under Wine in a prefix of their own there, the window's on a virtual screen.
bootstrap-windows:
	@tools/bootstrap windows

build/windows/build.ninja: | bootstrap-windows
	$(CMAKE_GEN) -S . -B build/windows -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake

windows: bootstrap-windows build/windows/build.ninja
	cmake --build build/windows -j $(JOBS) --target varnelo-drive
	cmake --build build/windows -j $(JOBS)

# Wine garbles Chinese names in the C locale. A server kept up for the run
# spares every test the seconds of starting one, and its services are
# started with it: started by the first test, they would hold that test's
# output open, and ctest would wait for them.
WINE_ENV = LANG=C.UTF-8 WINEPREFIX=$(CURDIR)/build/windows/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

test-windows: windows
	@[ -f build/windows/wine/system.reg ] || { echo "wine: making a prefix in build/windows/wine"; \
	  $(WINE_ENV) wineboot -i >/dev/null 2>&1; $(WINE_ENV) wineserver -w; }
	-$(WINE_ENV) wineserver -p  # fails only where one runs already
	$(WINE_ENV) wine wineboot </dev/null >/dev/null 2>&1
	$(WINE_ENV) ctest --test-dir build/windows --output-on-failure -j $(JOBS) && \
	  $(WINE_ENV) tests/windows/window_test.sh build/windows build/windows/screenshot.png; \
	  status=$$?; $(WINE_ENV) wineserver -k; exit $$status

bench: release
	build/release/bench/varnelo-bench $(BENCH_ARGS)

format:
	clang-format -i $$(git ls-files '*.h' '*.cc')

clean:
	rm -rf build
