# The README's two commands. Both install what is missing, configure and build first.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: run test deps configure build clean

run: build
	@if [ -x $(BUILD)/src/ui/quillmark ]; then \
	  exec $(BUILD)/src/ui/quillmark; \
	else \
	  echo "Built; the window is not part of this build yet. The command line is $(BUILD)/cli/quillmark-cli."; \
	fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

clean:
	rm -rf $(BUILD)
