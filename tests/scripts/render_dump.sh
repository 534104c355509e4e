#!/bin/sh
# sorvane-render --dump: the text of a known piece (compared with a reviewed copy), the
# messages and exit statuses for files that are not scenes, and the command line's usage.
set -u
build=$1
source=$2
tool=$build/sorvane-render
corpus=$source/fuzz/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; echo "--- stdout"; cat "$work/out" 2>/dev/null; echo "--- stderr"; cat "$work/err" 2>/dev/null; exit 1; }
run() { "$tool" "$@" >"$work/out" 2>"$work/err"; status=$?; }
clean_stderr() {
    if grep -qE "AddressSanitizer|LeakSanitizer|runtime error" "$work/err"; then fail "sanitizer report: $*"; fi
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
clean_stderr "full piece"

# Files that are not scenes: the open command's message on standard error, status 1.
printf 'hello\n' >"$work/text.scene"
run --dump "$work/text.scene"
[ $status -eq 1 ] || fail "text file: status $status"
[ "$(cat "$work/err")" = "$work/text.scene is not a valid scene file!" ] || fail "text file: message"
[ ! -s "$work/out" ] || fail "text file: something on standard output"

run --dump "$work/missing.scene"
[ $status -eq 1 ] || fail "missing file: status $status"
[ "$(cat "$work/err")" = "$work/missing.scene is not a valid scene file!" ] || fail "missing file: message"

head -c 3000 "$corpus/seed_1.scene" >"$work/cut.scene"
run --dump "$work/cut.scene"
[ $status -eq 1 ] || fail "cut file: status $status"
[ "$(cat "$work/err")" = "$work/cut.scene is not a valid scene file!" ] || fail "cut file: message"

printf '\270\116\100\002\001\000' >"$work/newer.scene"
run --dump "$work/newer.scene"
[ $status -eq 1 ] || fail "newer file: status $status"
[ "$(cat "$work/err")" = "$work/newer.scene is not compatible!" ] || fail "newer file: message"

# The command line.
run
[ $status -eq 2 ] || fail "no arguments: status $status"
grep -q "usage: sorvane-render --dump PIECE" "$work/err" || fail "no arguments: usage"
run --help
[ $status -eq 0 ] || fail "--help: status $status"
grep -q "usage: sorvane-render --dump PIECE" "$work/out" || fail "--help: usage"
run --dump
[ $status -eq 2 ] || fail "--dump alone: status $status"
run --bogus "$corpus/seed_0.scene"
[ $status -eq 2 ] || fail "unknown option: status $status"
grep -q "unknown option: --bogus" "$work/err" || fail "unknown option: message"
run --dump "$corpus/seed_0.scene" extra
[ $status -eq 2 ] || fail "--dump with more: status $status"

echo "ok: --dump listings, refusals and usage"
