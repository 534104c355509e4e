#!/bin/sh
# sorvane, as installed: starts the editor in the user's own working folder,
# ${XDG_DATA_HOME:-~/.local/share}/sorvane. The editor reads its configuration from the folder
# it starts in, and its file browser starts there too, so that folder holds a symbolic link
# to each part of the installed data folder (shaders, textures, sounds, theme.txt, keys.txt,
# resources.txt, examples) and the user's own pieces and exports, which never need write
# access to the installed folder. A link the user has replaced by a file or folder of their
# own (their own theme.txt, say) is kept; links are pointed at this installation each start.
# A piece named by a relative path is made absolute first, so that it is still found from
# the working folder. `make install` writes the two paths below.
data='@DATA@'
program='@PROGRAM@'

for arg; do
    shift
    case $arg in
        -* | /*) ;;
        *) [ -f "$arg" ] && arg=$(pwd)/$arg ;;
    esac
    set -- "$@" "$arg"
done

base=${XDG_DATA_HOME:-}
[ -n "$base" ] || { [ -n "${HOME:-}" ] && base=$HOME/.local/share; }
work=$base/sorvane
if [ -n "$base" ] && mkdir -p "$work" 2>/dev/null && [ -w "$work" ]; then
    for name in shaders textures sounds theme.txt keys.txt resources.txt examples; do
        if [ -L "$work/$name" ] || [ ! -e "$work/$name" ]; then
            rm -f "$work/$name" && ln -s "$data/$name" "$work/$name"
        fi
    done
    cd "$work" || exit 1
else
    echo "sorvane: no working folder of your own (set HOME); pieces cannot be saved in $data" >&2
    cd "$data" || exit 1
fi
exec "$program" "$@"
