# Sourced first by every script test, which CMake runs as SCRIPT BUILD SOURCE: sets build,
# source, work (a temporary folder), fail (says why, runs $on_fail, shows the programs'
# output, exits 1), and a clean-up on exit that ends the program ($pid), any helpers
# ($burners) and Xvfb ($xvfb_pid) and removes $work.
set -u
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d)
pid=
xvfb_pid=
burners=
trap 'kill $burners 2>/dev/null; kill -9 $pid 2>/dev/null; kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
on_fail=:
fail() {
    echo "FAIL: $*"; $on_fail
    echo "--- program output"; cat "$work/out" "$work/err" 2>/dev/null; exit 1
}
need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing (scripts/install-deps installs it)"
    done
}
no_sanitizer_report() {
    ! grep -qE "AddressSanitizer|LeakSanitizer|runtime error|UndefinedBehaviorSanitizer" "$@" ||
        fail "sanitizer report"
}

# For the scripts that drive a program's real window: Xvfb on a display of its own, no
# sound device, and the helpers of lib/window.sh (screenshots into $current). The leak
# check stays off there: the graphics driver keeps allocations it made at start-up and is
# unloaded before the check runs, so its frames cannot be told apart from ours (and the
# full stack walks that could tell them apart hang inside the software rasteriser). The
# headless end-to-end tests run the same program code with the leak check on.
use_window() {
    need Xvfb xdotool import convert "$@"
    . "$source/tests/scripts/lib/xvfb.sh"
    . "$source/tests/scripts/lib/window.sh"
    start_xvfb || fail "Xvfb did not start"
    current=$work/current.png
    export SDL_AUDIODRIVER=dummy ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
    # A recovery file the user's own runs left must not put its question in front.
    export XDG_STATE_HOME="$work/state"
}

# A working folder of the user's own beside links to the data, and a home of its own.
use_working_folder() {
    pieces=$work/pieces
    mkdir -p "$pieces" "$work/home"
    for entry in "$source"/data/*; do ln -s "$entry" "$pieces/"; done
    export HOME="$work/home"
    cd "$pieces" || fail "no working folder"
}
