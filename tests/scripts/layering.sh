#!/bin/sh
# The sources keep their layers: scripts/check-layers passes on them, and fails on a copy
# into which an upward include was put, naming that file and line. A copy whose file lies
# outside every layer folder is refused too.
. "$(dirname "$0")/lib/script.sh"
check=$source/scripts/check-layers

"$check" "$source" || fail "the sources include upward"

cp -r "$source/src" "$work/src"
line=$(($(wc -l < "$work/src/model/piece.cpp") + 1))
echo '#include "editor/editor.h"' >> "$work/src/model/piece.cpp"
out=$("$check" "$work") && fail "an upward include passed"
expected="src/model/piece.cpp:$line: model includes the higher layer editor"
[ "$out" = "$expected" ] || fail "expected '$expected', got '$out'"

# The same include one layer up is allowed.
sed -i '$d' "$work/src/model/piece.cpp"
echo '#include "model/piece.h"' >> "$work/src/sound/render.cpp"
"$check" "$work" >/dev/null || fail "a downward include was refused"

mkdir "$work/src/extra" && echo '#include "base/types.h"' > "$work/src/extra/loose.cpp"
out=$("$check" "$work") && fail "a file outside the layers passed"
case "$out" in *"src/extra/loose.cpp: not in a layer folder"*) ;;
*) fail "the loose file was not named: $out" ;; esac

"$check" --dot "$source" | cmp -s - "$source/docs/layers.dot" ||
    fail "docs/layers.dot differs from the layers: run make docs"
echo "ok: the layering check passes the sources and names upward includes"
