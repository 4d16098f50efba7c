# The README's two commands. Both install what is missing, configure and build first. `make deb` makes the
# Debian packages from the same build; `make test-windows` builds the core, the command line and their tests
# for Windows and runs the tests under Wine.
BUILD ?= build
WINDOWS_BUILD ?= build-windows
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: run test test-windows deb deps configure build clean

run: build
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY$$QT_QPA_PLATFORM" ]; then \
	  echo "Built. No display is set (DISPLAY or WAYLAND_DISPLAY), so the window cannot open here;"; \
	  echo "the command line works without one: $(BUILD)/bin/quillmark-cli --help"; \
	  exit 1; \
	fi
	exec $(BUILD)/bin/quillmark

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Cross-built with MinGW-w64, statically linked, the tests run by Wine; pugixml's sources are unpacked into the
# build folder. The tests of a Linux mechanism that the Windows run leaves out are named, with the reason, when
# it is configured.
test-windows:
	@scripts/install-deps --windows $(abspath $(WINDOWS_BUILD))/sources
	@cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-w64.cmake) \
	  -DQUILLMARK_GUI=OFF -DQUILLMARK_BENCH=OFF -DQUILLMARK_PUGIXML_SOURCE=$(abspath $(WINDOWS_BUILD))/sources/pugixml \
	  $(CMAKE_FLAGS) > $(WINDOWS_BUILD)/sources/configure.log || { cat $(WINDOWS_BUILD)/sources/configure.log; exit 1; }
	@grep 'Left out of the Windows run' $(WINDOWS_BUILD)/sources/configure.log || true
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	cd $(WINDOWS_BUILD) && ctest --output-on-failure -j $(JOBS)

# lintian, where it is installed, checks the package (apt-get install lintian); it fails on an error.
deb: build
	cd $(BUILD) && rm -f quillmark_*.deb quillmark-cli_*.deb && cpack -G DEB >/dev/null && ls quillmark*.deb
	@if command -v lintian >/dev/null; then lintian --info $(BUILD)/quillmark*.deb; \
	else echo "lintian is not installed: the packages are not checked (apt-get install lintian)"; fi

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

clean:
	rm -rf $(BUILD)
