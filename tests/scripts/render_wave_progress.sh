#!/bin/sh
# sorvane-render on a terminal (script(1)): a piece of half a minute or more draws a
# progress bar on standard error; a shorter piece, or a render whose standard error is not
# a terminal, prints nothing, however fast or slow the machine.
. "$(dirname "$0")/lib/script.sh"
tool=$build/sorvane-render
"$build/sorvane-piecegen" w1 "$work/long.scene" || fail "no long piece"
"$build/sorvane-piecegen" w1 "$work/short.scene" --end 1 || fail "no short piece"
data=$source/data

# A minute of 1 000 notes: long enough for the bar.
script -qec "'$tool' '$work/long.scene' '$work/long.wav' --data '$data'" "$work/typescript" >/dev/null \
    || fail "long render failed: $(cat "$work/typescript")"
grep -q "rendering \[#" "$work/typescript" || fail "no progress bar on the terminal"
grep -q "100%" "$work/typescript" || fail "the bar never reached 100%"
[ -s "$work/long.wav" ] || fail "no wave file"

script -qec "'$tool' '$work/short.scene' '$work/short.wav' --data '$data'" "$work/typescript" >/dev/null \
    || fail "short render failed"
# script(1) frames the session with lines of its own; nothing else may be there.
if grep -v "^Script \(started\|done\)" "$work/typescript" | grep -q .; then
    fail "a quick render printed something: $(cat "$work/typescript")"
fi

"$tool" "$work/long.scene" "$work/again.wav" --data "$data" 2>"$work/err" || fail "render off a terminal failed"
[ ! -s "$work/err" ] || fail "off a terminal the render printed something"
cmp -s "$work/long.wav" "$work/again.wav" || fail "the same piece rendered twice differs"
echo "ok: progress bar on a terminal for a long piece, silence otherwise, renders repeat exactly"
