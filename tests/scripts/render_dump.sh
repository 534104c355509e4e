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

# The empty piece, and one with every kind, curves and folders, against reviewed listings.
for piece in empty:seed_0 full:seed_1; do
    run --dump "$corpus/${piece#*:}.scene"
    [ $status -eq 0 ] || fail "${piece%:*} piece: status $status"
    diff "$source/tests/data/render_dump_${piece%:*}.txt" "$work/out" >"$work/diff" ||
        { cat "$work/diff"; fail "${piece%:*} piece: listing differs"; }
    [ ! -s "$work/err" ] || fail "${piece%:*} piece: something on standard error"
done

# Files that are not scenes: the open command's message on standard error, status 1.
printf 'hello\n' >"$work/text.scene"
head -c 3000 "$corpus/seed_1.scene" >"$work/cut.scene"
for name in text missing cut; do refused "$work/$name.scene" "is not a valid scene file!"; done
printf '\270\116\100\002\001\000' >"$work/newer.scene"
refused "$work/newer.scene" "is not compatible!"

# The command line: status 2 and the usage for what it cannot use, the usage when asked.
usage="usage: sorvane-render --dump PIECE"
for arguments in "" "--dump" "--dump $corpus/seed_0.scene extra" "--bogus $corpus/seed_0.scene"; do
    # shellcheck disable=SC2086
    run $arguments
    [ $status -eq 2 ] && grep -q "$usage" "$work/err" || fail "'$arguments': status $status, no usage"
done
grep -q "unknown option: --bogus" "$work/err" || fail "unknown option: message"
run --help
[ $status -eq 0 ] || fail "--help: status $status"
grep -q "$usage" "$work/out" || fail "--help: usage"

echo "ok: --dump listings, refusals and usage"
