# Tolvane: install what the build needs, build, run, test.
#   make run    install dependencies, build, start the alarm clock
#   make test   install dependencies, build, run every test
# Everything is built out of tree under build/ (build-asan/ for the sanitizer run).

SHELL := /bin/bash
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

PACKAGES := build-essential cmake ninja-build pkg-config git python3 \
  qt6-base-dev libgl-dev libxcb1-dev \
  libsdl2-dev libsndfile1-dev libfluidsynth-dev libcdio-dev libcdio-paranoia-dev \
  libgtest-dev libgmock-dev \
  timgm6mb-soundfont fonts-liberation fonts-dejavu-core \
  xvfb xauth x11-utils imagemagick xdotool icewm dbus-daemon \
  pulseaudio pulseaudio-utils sox libsox-fmt-base

.PHONY: deps build run test test-asan screenshots bench clean

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_WERROR=ON
	cmake --build $(BUILD) -j$(JOBS)

run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	  exec ./$(BUILD)/app/tolvane; \
	else \
	  echo "No display found: starting Tolvane under Xvfb instead."; \
	  exec tools/run_headless.sh ./$(BUILD)/app/tolvane; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVANE_WERROR=ON -DTOLVANE_SANITIZE=ON -DTOLVANE_GUI=OFF -DTOLVANE_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS) -LE integration

screenshots: build
	tools/screenshots.sh ./$(BUILD)/app/tolvane docs

bench: build
	bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
