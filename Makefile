# Top-level driver: set-up, the two build trees, the tests and the main job.
ARCHES := i686 x86_64
JOBS   ?= $(shell nproc)
DEPS_CACHE ?= /var/cache/ferrolink-deps

.PHONY: all setup build test bench run clean $(addprefix build-,$(ARCHES))

all: build

setup:
	@FERRO_DEPS_CACHE=$(DEPS_CACHE) bash tools/setup.sh

# The two trees build side by side; each tree's output is shown whole when it is done.
build: setup
	@$(MAKE) --no-print-directory -j2 -Otarget $(addprefix build-,$(ARCHES))

$(addprefix build-,$(ARCHES)): build-%:
	@mkdir -p build && cmake -S . -B build/$* -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$*.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DFERRO_DEPS_CACHE=$(DEPS_CACHE) >build/$*.configure.log 2>&1 \
	  || { mkdir -p build; cat build/$*.configure.log; exit 1; }
	@cmake --build build/$* -j $(JOBS)

test: build
	@bash tools/run-tests.sh

bench: build
	@bash tools/run-tests.sh --bench

run: build
	@bash tools/run-main.sh

clean:
	rm -rf build
