# The two commands of the README. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test build deps

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/write-first-settings $(BUILD)/bin
	$(BUILD)/bin/ZarvoVideoConverter

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
