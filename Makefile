# Tolvane: install what the build needs, build, run, test, package.
#   make run      install what the program needs, build it alone, start the alarm clock
#   make test     install everything the tests need, build everything, run every test
#   make package  build tolvane_<version>_amd64.deb from a Release build
#   make windows  cross-build tolvane.exe for 64-bit Windows, its zip and its installer
#   make test-fresh  make run and make test once more in a bare Debian 12 root
# Everything is built out of tree under build/ (build-asan/ for the sanitizer run,
# build-release/ for the package, build-win/ for Windows).

SHELL := /bin/bash
BUILD ?= build
ASAN_BUILD ?= build-asan
RELEASE_BUILD ?= build-release
WIN_BUILD ?= build-win
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# What building and running the program needs (the test libraries too: the build
# tree is shared with the tests, and configuring it looks for them).
RUN_PACKAGES := build-essential cmake ninja-build pkg-config python3 \
  qt6-base-dev libgl-dev libxcb1-dev \
  libsdl2-dev libsndfile1-dev libfluidsynth-dev libcdio-dev libcdio-paranoia-dev libpulse-dev \
  libgtest-dev libgmock-dev \
  timgm6mb-soundfont fonts-liberation fonts-dejavu-core \
  xvfb xauth x11-utils imagemagick xdotool icewm
# ...and what the tests, the screen-reader walk and the package checks need on top.
PACKAGES := $(RUN_PACKAGES) git dbus-daemon \
  pulseaudio pulseaudio-utils sox libsox-fmt-base libfaketime tzdata \
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0 \
  dpkg-dev file lintian appstream desktop-file-utils \
  libxcb-damage0-dev dclock

# The Windows cross build: the compilers, GoogleTest's sources, Wine to run the tests
# and the program, and NSIS for the installer. `make test` installs them too and runs the
# Windows tests, unless WINDOWS=no is given.
WIN_PACKAGES := build-essential cmake ninja-build python3 \
  g++-mingw-w64-x86-64-posix googletest wine64 nsis
WINDOWS ?= yes
# What the fresh-root check needs on this machine (it runs as root: mounts, namespaces).
FRESH_PACKAGES := debootstrap git python3
# True when the cross build can be made and its tests run here.
HAVE_WIN_TOOLS = command -v x86_64-w64-mingw32-g++-posix >/dev/null && \
  { command -v wine64 >/dev/null || [ -x /usr/lib/wine/wine64 ]; } && [ -d /usr/src/googletest ]

CONFIGURE = cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_WERROR=ON

.PHONY: deps deps-run deps-windows build program run test test-asan test-windows test-fresh windows \
  package screenshots bench clean

deps:
	@tools/ci/install_packages.sh $(PACKAGES) $(if $(filter yes,$(WINDOWS)),$(WIN_PACKAGES))

deps-run:
	@tools/ci/install_packages.sh $(RUN_PACKAGES)

deps-windows:
	@tools/ci/install_packages.sh $(WIN_PACKAGES)

build: deps
	$(CONFIGURE)
	cmake --build $(BUILD) -j$(JOBS)

# The program and the libraries it links, none of the tests or benchmarks.
program: deps-run
	$(CONFIGURE)
	cmake --build $(BUILD) -j$(JOBS) --target tolvane

# On a terminal the program runs as a job of its own that holds the terminal, so Ctrl+C
# reaches only it (it closes as its close box would) and not make.
run: program
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	  set -- ./$(BUILD)/app/tolvane; \
	else \
	  echo "No display found: starting Tolvane under Xvfb instead."; \
	  set -- tools/ci/run_headless.sh ./$(BUILD)/app/tolvane; \
	fi; \
	if [ -t 0 ]; then set -m; "$$@" & fg %% >/dev/null; else exec "$$@"; fi

# Then the Windows tests, when the cross tools are there and WINDOWS=no was not given.
test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	@if [ "$(WINDOWS)" != yes ]; then \
	  echo "SKIPPED: the Windows tests (WINDOWS=$(WINDOWS))."; \
	elif $(HAVE_WIN_TOOLS); then \
	  $(MAKE) --no-print-directory test-windows; \
	else \
	  echo "SKIPPED: the Windows tests (mingw-w64, wine64 or GoogleTest's sources are not installed; 'make deps-windows' installs them)."; \
	fi

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVANE_WERROR=ON -DTOLVANE_SANITIZE=ON -DTOLVANE_GUI=OFF -DTOLVANE_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS) -LE integration

# The README's two commands on a machine with nothing but what this Makefile installs:
# `make run` (until the window is up, then Ctrl+C) and `make test`, in a fresh clone of
# the checked-out commit inside a bare Debian 12 root (tools/ci/fresh_check.sh).
test-fresh:
	@tools/ci/install_packages.sh $(FRESH_PACKAGES)
	tools/ci/fresh_check.sh

# A stripped, hardened Release build of its own, packaged by CPack (ccache is used when
# present).
package: deps
	cmake -S . -B $(RELEASE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_WERROR=ON \
	  -DTOLVANE_TESTS=OFF -DTOLVANE_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2" -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" \
	  $$(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
	cmake --build $(RELEASE_BUILD) -j$(JOBS)
	cd $(RELEASE_BUILD) && cpack -G DEB

screenshots: build
	tools/dev/screenshots.sh ./$(BUILD)/app/tolvane docs

# Every benchmark, then the goals with their figures; BENCH_ARGS=--long measures the
# idle window for the full 5 minutes the tick's CPU goal is set on.
bench: build
	bench/run.sh $(BUILD) $(BENCH_ARGS)

# tolvane.exe (static: no DLL beside it) in $(WIN_BUILD)/app/, and beside it in
# $(WIN_BUILD)/ the zip and, when NSIS is installed, the installer.
windows: deps-windows
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DTOLVANE_WERROR=ON \
	  -DTOLVANE_LINUX_BUILD=$(abspath $(BUILD)) \
	  $$(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
	cmake --build $(WIN_BUILD) -j$(JOBS)
	cd $(WIN_BUILD) && cpack

# The cross-built unit tests, the Windows view and media checks, the alarm end to end,
# all under wine64; then the installer installs and uninstalls.
test-windows: windows
	cd $(WIN_BUILD) && ctest --output-on-failure -j$(JOBS)
	@installer=$$(ls $(WIN_BUILD)/tolvane-*-win64.exe 2>/dev/null | head -1 || true); \
	  [ -n "$$installer" ] || { echo "FAILED: no Windows installer was built (is NSIS installed?)"; exit 1; }; \
	  tools/ci/windows_installer_check.sh "$$installer"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(RELEASE_BUILD) $(WIN_BUILD)
