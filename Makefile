# Top-level driver: set-up, the two build trees, the tests and the main job.
ARCHES := i686 x86_64
JOBS   ?= $(shell nproc)
DEPS_CACHE ?= /var/cache/ferrolink-deps

.PHONY: all setup build test bench run clean $(addprefix build-,$(ARCHES))

all: build

setup:
	@FERRO_DEPS_CACHE=$(DEPS_CACHE) bash tools/setup.sh

build: setup $(addprefix build-,$(ARCHES))

$(addprefix build-,$(ARCHES)): build-%: setup
	@mkdir -p build && cmake -S . -B build/$* -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$*.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DFERRO_DEPS_CACHE=$(DEPS_CACHE) >build/$*.configure.log 2>&1 \
	  || { mkdir -p build; cat build/$*.configure.log; exit 1; }
	@cmake --build build/$* -j $(JOBS)

test: build
	@bash tools/run-tests.sh $(ARCHES)

bench: build
	@bash tools/run-tests.sh --bench $(ARCHES)

run: build
	@bash tools/run-main.sh

clean:
	rm -rf build
