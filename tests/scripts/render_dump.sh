#!/bin/sh
# sorvane-render --dump: the text of a known piece (compared with a reviewed copy), the
# messages and exit statuses for files that are not scenes, and the command line's usage.
. "$(dirname "$0")/lib/script.sh"
tool=$build/sorvane-render
corpus=$source/fuzz/corpus
run() { "$tool" "$@" >"$work/out" 2>"$work/err"; status=$?; }
# refused FILE MESSAGE: --dump FILE fails with status 1 and the open command's message.
refused() {
    run --dump "$1"
    [ $status -eq 1 ] || fail "$1: status $status"
    [ "$(cat "$work/err")" = "$1 $2" ] || fail "$1: message"
    [ ! -s "$work/out" ] || fail "$1: something on standard output"
}

[ -x "$tool" ] || fail "no $tool"

# The empty piece: every section with a zero count, then the start-up settings.
run --dump "$corpus/seed_0.scene"
[ $status -eq 0 ] || fail "empty piece: status $status"
cat >"$work/expected" <<'TEXT'
scene version=0
groups count=0
tree count=0
notes count=0
keys count=0
measures count=0
tempos count=0
sounds count=0
shapes count=0
volumes count=0
pitches count=0
repeats count=0
texts count=0
settings start_time=0/1 end_time=120/1 sample_rate=44100 stereo=1 sample_type=0 background=0,0,0.5,1
TEXT
cmp -s "$work/out" "$work/expected" || fail "empty piece: unexpected text"
[ ! -s "$work/err" ] || fail "empty piece: something on standard error"

# A piece with every kind, curves and folders, against the reviewed listing.
run --dump "$corpus/seed_1.scene"
[ $status -eq 0 ] || fail "full piece: status $status"
diff "$source/tests/data/scene_dump_full.txt" "$work/out" >"$work/diff" || { cat "$work/diff"; fail "full piece: listing differs"; }
grep -qx 'note id=5 group=2 scope=local time=1/4 duration=1/8 pitch=3/2' "$work/out" || fail "note line"
no_sanitizer_report "$work/err"

# Files that are not scenes: the open command's message on standard error, status 1.
printf 'hello\n' >"$work/text.scene"
refused "$work/text.scene" "is not a valid scene file!"
refused "$work/missing.scene" "is not a valid scene file!"
head -c 3000 "$corpus/seed_1.scene" >"$work/cut.scene"
refused "$work/cut.scene" "is not a valid scene file!"
printf '\270\116\100\002\001\000' >"$work/newer.scene"
refused "$work/newer.scene" "is not compatible!"

# The command line: status 2 for what it cannot use, the usage when asked.
for arguments in "" "--dump" "--bogus $corpus/seed_0.scene" "--dump $corpus/seed_0.scene extra"; do
    # shellcheck disable=SC2086
    run $arguments
    [ $status -eq 2 ] || fail "'$arguments': status $status"
done
run --bogus "$corpus/seed_0.scene"
grep -q "unknown option: --bogus" "$work/err" || fail "unknown option: message"
run
grep -q "usage: sorvane-render --dump PIECE" "$work/err" || fail "no arguments: usage"
run --help
[ $status -eq 0 ] || fail "--help: status $status"
grep -q "usage: sorvane-render --dump PIECE" "$work/out" || fail "--help: usage"

echo "ok: --dump listings, refusals and usage"
