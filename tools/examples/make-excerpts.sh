#!/bin/sh
# tools/examples/make-excerpts.sh BUILD: remakes docs/audio/*.ogg, the excerpts of the demo
# pieces that README.md links. Each piece of data/examples is rendered by BUILD/sorvane-render
# exactly as the editor exports it, then sox keeps its first SECONDS, fades out the last one
# and a half and encodes Ogg Vorbis at quality 4 (a few seconds come to 100 to 200 KB).
set -eu
build=${1:?usage: make-excerpts.sh BUILD}
source=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${SECONDS_KEPT:-12}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$source/docs/audio"
for piece in "$source"/data/examples/*.scene; do
    name=$(basename "$piece" .scene)
    "$build/sorvane-render" "$piece" "$work/$name.wav" --data "$source/data"
    sox "$work/$name.wav" -C 4 "$source/docs/audio/$name.ogg" trim 0 "$seconds" fade t 0 "$seconds" 1.5
    echo "docs/audio/$name.ogg: $(soxi -d "$source/docs/audio/$name.ogg"), $(($(wc -c <"$source/docs/audio/$name.ogg") / 1024)) KB"
done
