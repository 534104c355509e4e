#!/bin/sh
# Installs sorvane under a prefix, or removes what an installation wrote.
#   packaging/install.sh install BUILD PREFIX [DESTDIR]   (BUILD: a build folder of the
#                                                         source tree this script is in)
#   packaging/install.sh uninstall PREFIX [DESTDIR]
# Layout under PREFIX, after the usual Linux desktop conventions:
#   bin/sorvane                     the launcher (packaging/sorvane-launcher.sh)
#   bin/sorvane-render              the command-line renderer
#   libexec/sorvane/sorvane         the editor itself, started by the launcher
#   share/sorvane/                  the data folder: shaders, textures, sounds, theme.txt,
#                                   keys.txt, resources.txt, examples
#   share/applications/sorvane.desktop
#   share/mime/packages/sorvane.xml the scene file's type (glob and magic number)
#   share/icons/hicolor/scalable/apps/sorvane.svg, .../64x64/apps/sorvane.png
# Every file written, and every folder that did not exist before, is listed in
# share/sorvane/installed-files (paths below PREFIX); uninstall removes exactly those,
# folders only when they are empty, and nothing else. Installed without DESTDIR, the prefix's
# shared MIME database and desktop MIME cache are remade so that a file manager knows scene
# files and opens them with sorvane; uninstall remakes them without sorvane, or removes
# them when the installation created their folder (a DESTDIR install leaves that to the
# package's own scripts).
set -eu

source_dir=$(cd "$(dirname "$0")/.." && pwd)
manifest_name=share/sorvane/installed-files

fail() { echo "install.sh: $*" >&2; exit 1; }

# Remake the MIME database and the desktop entries' MIME cache of the root, when the tools
# are there and no DESTDIR is in play.
mime_update() {
    [ -z "$destdir" ] && [ -d "$root/share/mime/packages" ] && command -v update-mime-database >/dev/null ||
        return 0
    update-mime-database "$root/share/mime" >/dev/null 2>&1 || echo "install.sh: update-mime-database failed" >&2
}
desktop_update() {
    [ -z "$destdir" ] && [ -d "$root/share/applications" ] && command -v update-desktop-database >/dev/null ||
        return 0
    update-desktop-database "$root/share/applications" >/dev/null 2>&1 ||
        echo "install.sh: update-desktop-database failed" >&2
}

# Before uninstalling: what the databases generated from our files goes, in folders the
# installation made; in folders that were there before, the databases are remade without us.
databases_forget() {
    rm -f "$root/share/mime/packages/sorvane.xml" "$root/share/applications/sorvane.desktop"
    if grep -qx "share/mime/" "$1"; then
        [ ! -d "$root/share/mime" ] ||
            find "$root/share/mime" -mindepth 1 -maxdepth 1 ! -name packages -exec rm -rf {} +
    else
        mime_update
    fi
    if grep -qx "share/applications/" "$1"; then
        rm -f "$root/share/applications/mimeinfo.cache"
    else
        desktop_update
    fi
}

# The data files that ship, relative to data/: what the editor reads and the examples.
data_files() {
    cd "$source_dir/data"
    for file in shaders/*.glsl textures/*.png textures/font_info.txt sounds/sounds.txt \
        sounds/*.wav theme.txt keys.txt resources.txt examples/*.scene; do
        [ -f "$file" ] || fail "data/$file is missing: build first"
        echo "$file"
    done
}

# Creates the folders of a path below the root one by one, listing those it made.
folder_make() {
    relative=$1
    path=$root
    old_ifs=$IFS
    IFS=/
    for part in $relative; do
        IFS=$old_ifs
        path=$path/$part
        listed=${listed:+$listed/}$part
        if [ ! -d "$path" ]; then
            mkdir "$path" || fail "cannot create $path"
            echo "$listed/" >>"$created"
        fi
    done
    IFS=$old_ifs
    listed=
}

# Copies one file to a path below the root with the given mode and lists it.
file_put() {
    from=$1 to=$2 mode=$3
    folder_make "$(dirname "$to")"
    install -m "$mode" "$from" "$root/$to" || fail "cannot write $root/$to"
    echo "$to" >>"$written"
}

do_install() {
    build=$(cd "$1" && pwd) || fail "no build folder $1"
    prefix=$2
    destdir=${3:-}
    case $prefix in /*) ;; *) fail "PREFIX must be an absolute path, not '$prefix'" ;; esac
    [ -x "$build/sorvane" ] && [ -x "$build/sorvane-render" ] || fail "$build holds no built program"
    root=$destdir$prefix
    mkdir -p "$root" || fail "cannot create $root"
    if [ -f "$root/$manifest_name" ]; then
        echo "install.sh: replacing the installation in $root"
        do_uninstall "$prefix" "$destdir"
        mkdir -p "$root"
    fi
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    created=$work/created
    written=$work/written
    : >"$created"
    : >"$written"
    listed=

    file_put "$build/sorvane" libexec/sorvane/sorvane 755
    file_put "$build/sorvane-render" bin/sorvane-render 755
    # The launcher knows the installed paths (as they are after DESTDIR is taken away).
    sed -e "s|@DATA@|$prefix/share/sorvane|" -e "s|@PROGRAM@|$prefix/libexec/sorvane/sorvane|" \
        "$source_dir/packaging/sorvane-launcher.sh" >"$work/sorvane"
    file_put "$work/sorvane" bin/sorvane 755
    data_files >"$work/data" || exit 1
    while IFS= read -r file; do
        file_put "$source_dir/data/$file" "share/sorvane/$file" 644
    done <"$work/data"
    file_put "$source_dir/packaging/sorvane.desktop" share/applications/sorvane.desktop 644
    file_put "$source_dir/packaging/sorvane-mime.xml" share/mime/packages/sorvane.xml 644
    file_put "$source_dir/assets/textures/blue_octahedron.svg" \
        share/icons/hicolor/scalable/apps/sorvane.svg 644
    file_put "$source_dir/data/textures/blue_octahedron.png" share/icons/hicolor/64x64/apps/sorvane.png 644

    # The folders in the order they were made (each after its parent), then the files: read
    # backwards, every file goes before its folder and every folder before its parent.
    cat "$created" "$written" >"$root/$manifest_name"
    echo "$manifest_name" >>"$root/$manifest_name"
    mime_update
    desktop_update
    echo "installed sorvane in $root (start it with $prefix/bin/sorvane)"
}

do_uninstall() {
    prefix=$1
    destdir=${2:-}
    root=$destdir$prefix
    manifest=$root/$manifest_name
    if [ ! -f "$manifest" ]; then
        echo "install.sh: no installation of sorvane in $root"
        return 0
    fi
    databases_forget "$manifest"
    list=$(mktemp)
    # Backwards: the manifest itself, the files, then the folders from the deepest up.
    tac "$manifest" >"$list"
    while IFS= read -r entry; do
        case $entry in
            "" | /* | *..*) continue ;;  # never anything outside the prefix
            */) rmdir "$root/$entry" 2>/dev/null || true ;;
            *) rm -f "$root/$entry" ;;
        esac
    done <"$list"
    rm -f "$list"
    echo "removed sorvane from $root"
}

case ${1:-} in
    install) [ $# -ge 3 ] || fail "usage: install.sh install BUILD PREFIX [DESTDIR]"; do_install "$2" "$3" "${4:-}" ;;
    uninstall) [ $# -ge 2 ] || fail "usage: install.sh uninstall PREFIX [DESTDIR]"; do_uninstall "$2" "${3:-}" ;;
    *) fail "usage: install.sh install BUILD PREFIX [DESTDIR] | uninstall PREFIX [DESTDIR]" ;;
esac
