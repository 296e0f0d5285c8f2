# Two entry points for a fresh Debian 12 machine:
#   make test   install what is missing, configure, build, run every test
#   make run    the same set-up, then start the instrument simulator and the program
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all deps configure build test run clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
