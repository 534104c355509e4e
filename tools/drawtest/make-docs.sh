#!/bin/sh
# Remakes docs/icons.png and docs/text.png: sorvane-drawtest draws the icon set and the
# text sample in a window under Xvfb and Mesa, and each window is captured with import.
# Usage (from the repository): tools/drawtest/make-docs.sh BUILD_FOLDER
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/../.." && pwd)
program=$build/sorvane-drawtest
work=$(mktemp -d)
xvfb_pid=
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT

. "$source/tests/scripts/lib/xvfb.sh"
start_xvfb || { echo "Xvfb did not start"; exit 1; }

capture() {
    mode=$1
    output=$2
    (cd "$source/data" && SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 "$program" "$mode" \
        >"$work/out" 2>&1) &
    pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^sorvane drawtest$' | head -n 1)
    sleep 1
    position=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Position: \([0-9]*,[0-9]*\).*/\1/p')
    geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
    import -window root "$work/root.png"
    convert "$work/root.png" -crop "$geometry+${position%,*}+${position#*,}" +repage \
        -strip "$output"
    xdotool key --window "$window" Escape
    wait $pid
    echo "wrote $output"
}

mkdir -p "$source/docs"
capture -icons "$source/docs/icons.png"
capture -text "$source/docs/text.png"
