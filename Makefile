# Set-up, build, showcase and tests. `make run` and `make test` work on a fresh Debian 12
# machine as root: they install whatever Debian packages are missing first.

DEPS := build-essential cmake ninja-build ccache pkg-config binutils \
        qtbase5-dev libglm-dev nlohmann-json3-dev libsimdjson-dev \
        libgtest-dev libgmock-dev libbenchmark-dev \
        libegl-dev libgl-dev libopengl-dev libglu1-mesa-dev libegl-mesa0 libgl1-mesa-dri \
        libpng-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core \
        xvfb xdotool python3-jsonschema dpkg-dev file mmdebstrap

JOBS ?= $(shell nproc)
# ccache then keys compilations by paths relative to the checkout, so a second clone (a CI
# run, a worktree) reuses what the first one compiled.
export CCACHE_BASEDIR ?= $(CURDIR)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
OUT ?= out/showcase

.PHONY: deps build run test clean format bench bench-deps fuzz fuzz-deps install package gallery-image mutate
# Nothing here is an intermediate file to delete behind our back (the configured trees).
.SECONDARY:

# Installs whichever of the Debian packages named in $(1) are missing.
define install_missing
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	else \
	  echo "all dependencies are installed"; \
	fi
endef

deps:
	$(call install_missing,$(DEPS))

build/%/build.ninja:
	cmake --preset $*

build-%: deps build/%/build.ninja
	cmake --build --preset $* -j $(JOBS)

build: build-default

run: build-default
	@mkdir -p $(OUT)
	build/default/bin/rigkit-run --summary --out $(OUT) examples/showcase.json

test-%: build-%
	ctest --preset $* -j $(JOBS)

test: test-default test-asan

# The release build installed below PREFIX (bin/, lib/<multiarch>/, include/rigkit/,
# share/rigkit/).
PREFIX ?= /usr/local
install: build-default
	cmake --install build/default --prefix $(PREFIX)

# The Debian packages of the release build, written to build/default/: rigkit (programs,
# libraries, examples) and librigkit-dev (headers, CMake and pkg-config files).
package: build-default
	cd build/default && cpack -G DEB
	@ls -l build/default/rigkit_*.deb build/default/librigkit-dev_*.deb

# The README's picture: the gallery as `make run` draws it, at half size.
gallery-image: run
	$(call install_missing,python3)
	python3 docs/img/shrink_png.py $(OUT)/gallery.png docs/img/gallery.png

# Benchmarks in a release tree of their own, and one table of every budget.
BENCH_DEPS := valgrind python3

bench-deps: deps
	$(call install_missing,$(BENCH_DEPS))

bench: bench-deps
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DRIGKIT_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build build/bench -j $(JOBS)
	python3 bench/run_bench.py build/bench

# Fuzzing with libFuzzer in a clang tree of its own: each target runs FUZZ_TIME seconds on
# build/fuzz/corpus/<target>, the committed corpus copied over what earlier runs grew
# there, then prints its final stats.
FUZZ_DEPS := clang libclang-rt-14-dev
FUZZ_TIME ?= 60
FUZZ_TARGETS := components drag scene

fuzz-deps: deps
	$(call install_missing,$(FUZZ_DEPS))

fuzz: fuzz-deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t build/fuzz/artifacts && \
	  cp fuzz/corpus/$$t/* build/fuzz/corpus/$$t/ && \
	  echo "fuzz_$$t: $(FUZZ_TIME) s, log in build/fuzz/fuzz_$$t.log" && \
	  build/fuzz/bin/fuzz_$$t -max_total_time=$(FUZZ_TIME) -print_final_stats=1 \
	    -artifact_prefix=build/fuzz/artifacts/$$t- build/fuzz/corpus/$$t > build/fuzz/fuzz_$$t.log 2>&1; \
	  rc=$$?; \
	  grep -E '^(stat::|Done )' build/fuzz/fuzz_$$t.log; \
	  if [ $$rc -ne 0 ]; then tail -n 60 build/fuzz/fuzz_$$t.log; echo "fuzz_$$t failed (exit $$rc)"; exit $$rc; fi; \
	done

# Mutation testing, not part of `make test`: MUTANTS faults drawn with SEED from the plug-in
# and the host's edit and curve code, each built and judged by the tests that reach it.
# TIMEOUT caps the seconds of tests per mutant (0: three times their own time, plus 30).
MUTANTS ?= 300
SEED ?= 1
TIMEOUT ?= 0
# MUTATE_PRESET=asan judges the mutants in the sanitizer build.
MUTATE_PRESET ?= default

mutate: build-$(MUTATE_PRESET)
	$(call install_missing,python3 git)
	python3 tools/mutate/mutate.py --mutants $(MUTANTS) --seed $(SEED) --timeout $(TIMEOUT) --jobs $(JOBS) \
	  --build build/$(MUTATE_PRESET) --json build/mutate/seed-$(SEED)$(if $(filter-out default,$(MUTATE_PRESET)),-$(MUTATE_PRESET)).json

format:
	find host registry transformations manipulators painters pickers apps tests bench fuzz \
	  -name '*.h' -o -name '*.cpp' | xargs clang-format -i

clean:
	rm -rf build out
