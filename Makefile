# The two commands of a new machine: `make run` and `make test`.
# Release build in build/, sanitizer build for the tests in build/test/.

JOBS ?= $(shell nproc)
CMAKE_FLAGS = -G Ninja -DCMAKE_CXX_COMPILER=clang++

.PHONY: run test deps build build-test install uninstall clean

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
