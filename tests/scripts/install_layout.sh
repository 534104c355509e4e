#!/bin/sh
# `make install` and `make uninstall` (packaging/install.sh) from this build: the layout
# under DESTDIR + PREFIX, the launcher and the user's working folder, an uninstall that
# removes exactly what was written; then, into a prefix of its own, the MIME database and
# desktop entry that name and open scene files.
. "$(dirname "$0")/lib/script.sh"
script=$source/packaging/install.sh

stage=$work/stage
prefix=/opt/sorvane-check
root=$stage$prefix
# Something of someone else's that must survive the uninstall.
mkdir -p "$root/share/applications"
echo "[Desktop Entry]" >"$root/share/applications/other.desktop"

"$script" install "$build" "$prefix" "$stage" >"$work/out" 2>&1 || fail "install failed"

# Programs, launcher and data.
for file in bin/sorvane bin/sorvane-render libexec/sorvane/sorvane; do
    [ -f "$root/$file" ] && [ -x "$root/$file" ] || fail "$file is not an installed program"
done
for file in shaders/simple.glsl shaders/gamma.glsl shaders/color.glsl textures/font_info.txt \
    textures/font_page.png textures/sphere.png sounds/sounds.txt sounds/pluck.wav sounds/bowed.wav \
    theme.txt keys.txt resources.txt examples/just_chords.scene examples/curves.scene \
    examples/recorded_waves.scene; do
    cmp -s "$source/data/$file" "$root/share/sorvane/$file" || fail "share/sorvane/$file differs from data/$file"
    [ ! -x "$root/share/sorvane/$file" ] || fail "share/sorvane/$file is executable"
done
count=$(find "$root/share/sorvane/textures" -name '*.png' | wc -l)
[ "$count" -eq "$(find "$source/data/textures" -name '*.png' | wc -l)" ] || fail "not every texture is installed"
grep -qx "data='$prefix/share/sorvane'" "$root/bin/sorvane" || fail "the launcher does not name the data folder"
grep -qx "program='$prefix/libexec/sorvane/sorvane'" "$root/bin/sorvane" || fail "the launcher does not name the program"
! grep -q "$stage" "$root/bin/sorvane" || fail "the launcher names the staging folder"

# Desktop entry and icons.
desktop=$root/share/applications/sorvane.desktop
for line in Type=Application Name=sorvane "Exec=sorvane %f" Icon=sorvane Terminal=false \
    "MimeType=application/x-sorvane-scene;audio/midi;"; do
    grep -qx "$line" "$desktop" || fail "the desktop entry lacks $line"
done
grep -q "^Categories=.*Audio;" "$desktop" || fail "the desktop entry has no audio category"
desktop-file-validate "$desktop" >"$work/out" 2>&1 || fail "the desktop entry does not validate"
cmp -s "$source/packaging/sorvane-mime.xml" "$root/share/mime/packages/sorvane.xml" || fail "no scene file type"
[ ! -e "$root/share/mime/mime.cache" ] || fail "a MIME database was made inside DESTDIR"
cmp -s "$source/assets/textures/blue_octahedron.svg" "$root/share/icons/hicolor/scalable/apps/sorvane.svg" ||
    fail "no scalable icon"
size=$(identify -format '%wx%h' "$root/share/icons/hicolor/64x64/apps/sorvane.png" 2>/dev/null)
[ "$size" = "64x64" ] || fail "the 64x64 icon is $size"

# The installed renderer works on the installed data folder.
"$root/bin/sorvane-render" --dump "$root/share/sorvane/examples/just_chords.scene" >"$work/dump" 2>&1 ||
    fail "sorvane-render --dump on an installed example"

# The launcher, with a stand-in for the program that reports where it was started.
cat >"$work/program" <<'EOF'
#!/bin/sh
pwd -P
printf '%s\n' "$@"
EOF
chmod +x "$work/program"
sed "s|^program=.*|program='$work/program'|; s|^data=.*|data='$root/share/sorvane'|" \
    "$root/bin/sorvane" >"$work/launcher"
chmod +x "$work/launcher"
home=$work/home
mkdir -p "$home/.local/share/sorvane"
echo "scale 30" >"$home/.local/share/sorvane/theme.txt"             # the user's own theme
ln -s /nowhere/keys.txt "$home/.local/share/sorvane/keys.txt"        # a link of an old install
env -u XDG_DATA_HOME HOME="$home" "$work/launcher" -f "two words" >"$work/out" 2>&1 ||
    fail "the launcher failed"
folder=$(cd "$home/.local/share/sorvane" && pwd -P)
[ "$(sed -n 1p "$work/out")" = "$folder" ] || fail "the program did not start in the user's folder"
[ "$(sed -n 2p "$work/out")" = "-f" ] && [ "$(sed -n 3p "$work/out")" = "two words" ] ||
    fail "the arguments did not reach the program"
for name in shaders textures sounds keys.txt resources.txt examples; do
    [ "$(readlink "$folder/$name")" = "$root/share/sorvane/$name" ] || fail "$name is not linked"
done
[ -f "$folder/theme.txt" ] && [ ! -L "$folder/theme.txt" ] && grep -qx "scale 30" "$folder/theme.txt" ||
    fail "the user's own theme.txt was replaced"
# A piece named relative to where the launcher starts is still found from the working folder.
echo piece >"$work/piece.scene"
(cd "$work" && env -u XDG_DATA_HOME HOME="$home" ./launcher piece.scene) >"$work/out" 2>&1 ||
    fail "the launcher failed with a piece"
[ "$(sed -n 2p "$work/out")" = "$work/piece.scene" ] || fail "a relative piece path was not made absolute"
xdg=$work/xdg
env XDG_DATA_HOME="$xdg" HOME="$home" "$work/launcher" >"$work/out" 2>&1 || fail "launcher with XDG_DATA_HOME"
[ "$(sed -n 1p "$work/out")" = "$(cd "$xdg/sorvane" && pwd -P)" ] || fail "XDG_DATA_HOME is not followed"
# No home at all: the program still starts, in the data folder, and the user is told.
env -u HOME -u XDG_DATA_HOME "$work/launcher" >"$work/out" 2>"$work/err" || fail "launcher without a home"
[ "$(sed -n 1p "$work/out")" = "$(cd "$root/share/sorvane" && pwd -P)" ] || fail "no home: not in the data folder"
grep -q "cannot be saved" "$work/err" || fail "no home: the user is not told"

# Uninstall: exactly what was written goes, the other program's entry stays.
"$script" uninstall "$prefix" "$stage" >"$work/out" 2>&1 || fail "uninstall failed"
left=$(cd "$root" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./share ./share/applications ./share/applications/other.desktop " ] ||
    fail "after uninstall: $left"
"$script" uninstall "$prefix" "$stage" >"$work/out" 2>&1 || fail "a second uninstall failed"
grep -q "no installation" "$work/out" || fail "a second uninstall does not say there is nothing"

# Into a prefix of its own, without DESTDIR: the databases are made there.
plain=$work/prefix
"$script" install "$build" "$plain" >"$work/out" 2>&1 || fail "install into $plain failed"
for file in x.scene piece-without-suffix; do
    cp "$source/data/examples/just_chords.scene" "$work/$file"
    type=$(env XDG_CURRENT_DESKTOP=GNOME XDG_DATA_DIRS="$plain/share" XDG_DATA_HOME="$work/none" \
        xdg-mime query filetype "$work/$file" 2>&1)
    [ "$type" = application/x-sorvane-scene ] || fail "xdg-mime query filetype $file says '$type'"
done
grep -q "^application/x-sorvane-scene=sorvane.desktop" "$plain/share/applications/mimeinfo.cache" ||
    fail "the desktop MIME cache does not offer sorvane for scene files"
"$script" uninstall "$plain" >"$work/out" 2>&1 || fail "uninstall from $plain failed"
left=$(cd "$plain" && find . -mindepth 1 | tr '\n' ' ')
[ -z "$left" ] || fail "after uninstall from $plain: $left"
echo "ok: installed layout, launcher and working folder, desktop entry, icons, scene file type, uninstall"
