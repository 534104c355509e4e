#!/bin/sh
# The program built with GCC, warnings as errors: the tests are built with clang, so this is
# what stops a warning or error that only GCC reports. Release build in build/gcc beside
# the test build, through ccache when the machine has it.
. "$(dirname "$0")/lib/script.sh"
gcc_build=$(dirname "$build")/gcc
need g++
launcher=
if command -v ccache >/dev/null; then launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache; fi
generator=
if command -v ninja >/dev/null; then generator="-G Ninja"; fi
# shellcheck disable=SC2086
cmake -S "$source" -B "$gcc_build" $generator -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Release \
    -DSORVANE_TESTS=OFF -DSORVANE_WERROR=ON $launcher >"$gcc_build.log" 2>&1 ||
    { cat "$gcc_build.log"; echo "FAIL: cmake could not configure the GCC build"; exit 1; }
cmake --build "$gcc_build" --target sorvane sorvane-render -j 2 >>"$gcc_build.log" 2>&1 ||
    { grep -E "error|warning" "$gcc_build.log" | head -40; echo "FAIL: the GCC build failed ($gcc_build.log)"; exit 1; }
echo "ok: sorvane and sorvane-render build with $(g++ -dumpversion | head -1), warnings as errors"
