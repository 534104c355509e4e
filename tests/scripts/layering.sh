#!/bin/sh
# The sources keep their layers: scripts/check-layers passes on them, and fails on a copy
# into which an upward include was put, naming that file and line. A copy whose file lies
# outside every layer folder is refused too.
set -u
source=$2
check=$source/scripts/check-layers
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

"$check" "$source" || { echo "FAIL: the sources include upward"; fail=1; }

cp -r "$source/src" "$work/src"
line=$(($(wc -l < "$work/src/model/piece.cpp") + 1))
echo '#include "editor/editor.h"' >> "$work/src/model/piece.cpp"
out=$("$check" "$work") && { echo "FAIL: an upward include passed"; fail=1; }
expected="src/model/piece.cpp:$line: model includes the higher layer editor"
[ "$out" = "$expected" ] || { echo "FAIL: expected '$expected', got '$out'"; fail=1; }

# The same include one layer up is allowed.
sed -i '$d' "$work/src/model/piece.cpp"
echo '#include "model/piece.h"' >> "$work/src/sound/render.cpp"
"$check" "$work" >/dev/null || { echo "FAIL: a downward include was refused"; fail=1; }

mkdir "$work/src/extra" && echo '#include "base/types.h"' > "$work/src/extra/loose.cpp"
out=$("$check" "$work") && { echo "FAIL: a file outside the layers passed"; fail=1; }
case "$out" in *"src/extra/loose.cpp: not in a layer folder"*) ;;
*) echo "FAIL: the loose file was not named: $out"; fail=1 ;; esac

"$check" --dot "$source" | cmp -s - "$source/docs/layers.dot" ||
    { echo "FAIL: docs/layers.dot differs from the layers: run make docs"; fail=1; }
[ $fail -eq 0 ] && echo "ok: the layering check passes the sources and names upward includes"
exit $fail
