# SPDX-License-Identifier: GPL-3.0-or-later
# Velmora: build, run and test from a fresh Debian 12 machine.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo

# Everything the build, the tests and the program need, from Debian.
PACKAGES := \
	cmake ninja-build g++ pkg-config \
	qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins libqt6svg6 \
	libsdl2-image-dev libjpeg62-turbo-dev libgif-dev libpng-dev libtiff-dev libexif-dev liblcms2-dev zlib1g-dev libcups2-dev \
	libsane-dev libsane1 sane-utils \
	libgtest-dev libgmock-dev googletest libbenchmark-dev \
	netpbm imagemagick libjpeg-turbo-progs img2pdf poppler-utils libpoppler-cpp-dev \
	cups cups-client cups-bsd printer-driver-cups-pdf \
	xvfb xauth x11-utils openbox fonts-dejavu-core clang libclang-rt-14-dev \
	help2man dpkg-dev desktop-file-utils libgs-common lintian appstream \
	libqpdf-dev qpdf libpoppler-qt6-dev librsvg2-dev pdfposter libvips-dev \
	qt6-l10n-tools qt6-tools-dev qt6-tools-dev-tools qt6-translations-l10n

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build run test test-whole package bench clean

deps:
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
		$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	else echo "All packages present."; fi

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR)

run: build
	./$(BUILD_DIR)/app/velmora

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600

# Every test program as one process, in order and shuffled: no test may lean on running alone.
test-whole: build
	tests/run-whole.sh $(BUILD_DIR)

# A .deb of both programs, checked by unpacking it into a scratch root.
package: build
	cd $(BUILD_DIR) && cpack -G DEB
	packaging/check-package.sh $$(ls -t $(BUILD_DIR)/velmora_*.deb | head -n 1)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_BENCHMARKS=ON
	cmake --build build-bench --target velmora-bench
	./build-bench/bench/velmora-bench

clean:
	rm -rf $(BUILD_DIR)
