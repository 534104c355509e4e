# The two commands of a new machine: `make run` and `make test`.
# Release build in build/, sanitizer build for the tests in build/test/ (clang; the test
# script.gcc_build also builds the program with GCC in build/gcc, warnings as errors).

JOBS ?= $(shell nproc)
CMAKE_FLAGS = -G Ninja -DCMAKE_CXX_COMPILER=clang++

.PHONY: run test deps build build-test install uninstall clean bench fuzz tsan docs

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B build $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DSORVANE_TESTS=OFF >/dev/null
	@cmake --build build -j $(JOBS)

run: build
	cd data && ../build/sorvane

build-test: deps
	@cmake -S . -B build/test $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DSORVANE_SANITIZE=ON -DSORVANE_TESTS=ON -DSORVANE_WERROR=ON >/dev/null
	@cmake --build build/test -j $(JOBS)

test: build-test
	cd build/test && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build

# The picture of the program's layers in docs/architecture.md, drawn from the layering
# check's own data (the test script.layering fails when docs/layers.dot is stale).
docs: deps
	@scripts/check-layers --dot > docs/layers.dot
	@dot -Tsvg docs/layers.dot > docs/layers.svg

# The program, its data folder, a launcher, a desktop entry and icons under PREFIX (DESTDIR
# honoured), from the release build; uninstall removes exactly what install wrote. The
# layout and the user's working folder are described in packaging/install.sh and README.md.
PREFIX ?= /usr/local
install: build
	@packaging/install.sh install build "$(PREFIX)" "$(DESTDIR)"

uninstall:
	@packaging/install.sh uninstall "$(PREFIX)" "$(DESTDIR)"

# The libFuzzer targets under AddressSanitizer and UBSan (clang), one per reader of outside
# data (fuzz/README.md), each run for FUZZ_SECONDS in turn; FUZZ_TARGETS picks some, as in
# `make fuzz FUZZ_TARGETS="keys wave" FUZZ_SECONDS=60`. Each is seeded with its committed
# corpus (fuzz/corpus/<target>/; the scene target's is fuzz/corpus/ itself, with its seed
# pieces) and its dictionary; new inputs collect in build/fuzz/corpus-<target>, failing
# ones in fuzz/artifacts/. Not part of `make test`, which replays the committed corpora.
# FUZZ_RUNS stops each target after that many executions instead (or first). FUZZ_CMP=off
# builds in build/fuzz-fast without comparison tracing: about ten times the executions a
# second on our text readers, whose words the dictionaries supply instead.
FUZZ_SECONDS ?= 600
FUZZ_RUNS ?= -1
FUZZ_CMP ?= on
FUZZ_TARGETS ?= scene keys theme sounds resources font wave text_field scala midi
FUZZ_OPTIONS = -max_total_time=$(FUZZ_SECONDS) -runs=$(FUZZ_RUNS) -print_final_stats=1 \
	-close_fd_mask=1 -timeout=10
FUZZ_BUILD = build/fuzz$(if $(filter off,$(FUZZ_CMP)),-fast)
FUZZ_FLAGS = $(if $(filter off,$(FUZZ_CMP)),-DCMAKE_CXX_FLAGS=-fno-sanitize-coverage=trace-cmp)
fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DSORVANE_SANITIZE=ON -DSORVANE_FUZZ=ON -DSORVANE_TESTS=OFF -DSORVANE_WERROR=ON \
		$(FUZZ_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target scene_seeds $(FUZZ_TARGETS:%=%_fuzz)
	@mkdir -p fuzz/artifacts
	@status=0; for target in $(FUZZ_TARGETS); do \
		corpus=$(CURDIR)/build/fuzz/corpus-$$target; mkdir -p $$corpus; \
		if [ $$target = scene ]; then \
			$(FUZZ_BUILD)/scene_seeds $$corpus || status=1; seeds=$(CURDIR)/fuzz/corpus; extra=; \
		else \
			seeds=$(CURDIR)/fuzz/corpus/$$target; \
			extra="-max_len=4096 -dict=$(CURDIR)/fuzz/dict/$$target.dict"; \
		fi; \
		echo "fuzz: $$target for $(FUZZ_SECONDS) s"; \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 $(FUZZ_BUILD)/$${target}_fuzz \
			$$corpus $$seeds $(FUZZ_OPTIONS) $$extra \
			-artifact_prefix=$(CURDIR)/fuzz/artifacts/$$target- || status=1; \
	done; exit $$status

# ThreadSanitizer (without ASan) over the threaded tests: the render worker, playback, the
# headless audio device and threads, the audio callback's contract, the stress test and
# the multi-threaded synthesis.
TSAN_TESTS = ^(Worker|Playback|HeadlessAudio|HeadlessThreads|AudioContract|Stress|RenderThreads|SynthFast)[A-Za-z]*\.
tsan: deps
	@cmake -S . -B build/tsan $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DSORVANE_TSAN=ON -DSORVANE_TESTS=ON -DSORVANE_WERROR=ON >/dev/null
	@cmake --build build/tsan -j $(JOBS)
	cd build/tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
		ctest --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

# Benchmarks of the performance targets (bench/README.md), in a Release build in
# build/bench: Csound (installed here when missing, for the comparison only) against
# sorvane-render, then every other target; one table of target, measured, pass or fail.
bench: deps
	@bench/install-csound
	@cmake -S . -B build/bench $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DSORVANE_TESTS=OFF \
		-DSORVANE_BENCH=ON >/dev/null
	@cmake --build build/bench -j $(JOBS) --target sorvane_bench sorvane-render \
		sorvane-piecegen sorvane-csound-score
	bench/run.sh build/bench
