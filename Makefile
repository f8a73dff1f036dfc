# Everything a developer or CI needs starts here; see README.md.
JOBS ?= $(shell nproc)
CMAKE_GEN = cmake -G Ninja -Wno-dev

PREFIX ?= /usr/local

.PHONY: all run screenshot install test bench bootstrap release clean format

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

build/test/build.ninja: | bootstrap
	$(CMAKE_GEN) -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DVARNELO_SANITIZE=ON

test: bootstrap build/test/build.ninja
	cmake --build build/test -j $(JOBS)
	ctest --test-dir build/test --output-on-failure -j $(JOBS)

bench: release
	build/release/bench/varnelo-bench $(BENCH_ARGS)

format:
	clang-format -i $$(git ls-files '*.h' '*.cc')

clean:
	rm -rf build
