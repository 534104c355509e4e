# The two commands of a new machine: `make run` and `make test`.
# Release build in build/, sanitizer build for the tests in build/test/.

JOBS ?= $(shell nproc)
CMAKE_FLAGS = -G Ninja -DCMAKE_CXX_COMPILER=clang++

.PHONY: run test deps build build-test install uninstall clean bench fuzz

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B build $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DSORVANE_TESTS=OFF >/dev/null
	@cmake --build build -j $(JOBS)

run: build
	cd data && ../build/sorvane

build-test: deps
	@cmake -S . -B build/test $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DSORVANE_SANITIZE=ON -DSORVANE_TESTS=ON >/dev/null
	@cmake --build build/test -j $(JOBS)

test: build-test
	cd build/test && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build

# The scene decoder's libFuzzer target under AddressSanitizer and UBSan (clang), seeded
# with the seed pieces and the committed corpus; new inputs collect in build/fuzz/corpus,
# crashes in fuzz/artifacts/. Not part of `make test`, which replays fuzz/corpus instead.
FUZZ_SECONDS ?= 600
fuzz: deps
	@cmake -S . -B build/fuzz $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DSORVANE_SANITIZE=ON -DSORVANE_FUZZ=ON -DSORVANE_TESTS=OFF >/dev/null
	@cmake --build build/fuzz -j $(JOBS) --target scene_fuzz scene_seeds
	@mkdir -p build/fuzz/corpus fuzz/corpus fuzz/artifacts
	build/fuzz/scene_seeds build/fuzz/corpus
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 build/fuzz/scene_fuzz \
		build/fuzz/corpus fuzz/corpus -max_total_time=$(FUZZ_SECONDS) \
		-artifact_prefix=fuzz/artifacts/ -print_final_stats=1

# Benchmarks of the render path (bench/README.md): a Release build in build/bench.
bench: deps
	@cmake -S . -B build/bench $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DSORVANE_TESTS=OFF \
		-DSORVANE_BENCH=ON >/dev/null
	@cmake --build build/bench -j $(JOBS) --target sorvane_bench
	build/bench/sorvane_bench
