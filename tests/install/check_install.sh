#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what a desktop and a
# package need of it: the two programs, the desktop entry, the icons, the
# AppStream metainfo and the man pages, each where the desktop looks for it,
# naming one another consistently, and accepted by the validators.
#
# usage: install_tree.sh CMAKE BUILD_DIR
set -uo pipefail

cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! "$cmake" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log"
    rm -f "$prefix.log"
    echo "FAIL: cmake --install"
    exit 1
fi
rm -f "$prefix.log"

share=$prefix/share
desktop=$share/applications/uplark.desktop
metainfo=$share/metainfo/io.github.uplark.Uplark.metainfo.xml

# Every file in its place.
for program in uplark videosite; do
    [[ -f $prefix/bin/$program && -x $prefix/bin/$program ]] || fail "bin/$program is not an installed program"
done
for file in "$desktop" "$metainfo" \
    "$share/icons/hicolor/scalable/apps/uplark.svg" \
    "$share/man/man1/uplark.1" "$share/man/man1/videosite.1"; do
    [[ -s $file ]] || fail "${file#"$prefix"/} is missing or empty"
done

# Each hicolor size holds a PNG of that size: the width and height are the
# big-endian words at bytes 16 and 20 of the file.
for size in 16 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x${size}/apps/uplark.png
    if [[ ! -s $png ]]; then
        fail "${png#"$prefix"/} is missing"
        continue
    fi
    signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
    width=$(od -An -tu1 -j16 -N4 "$png" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
    height=$(od -An -tu1 -j20 -N4 "$png" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
    [[ $signature == 89504e470d0a1a0a ]] || fail "${png#"$prefix"/} is not a PNG"
    [[ $width == "$size" && $height == "$size" ]] || fail "${png#"$prefix"/} is ${width}x${height}"
done
grep -q '<svg' "$share/icons/hicolor/scalable/apps/uplark.svg" || fail "uplark.svg is not an SVG"

# The names that tie the files together.
if [[ -s $desktop ]]; then
    key() { sed -n "s/^$1=//p" "$desktop"; }
    exec_program=$(key Exec | awk '{print $1}')
    [[ -x $prefix/bin/$exec_program ]] || fail "Exec=$exec_program is not an installed program"
    [[ -s $share/icons/hicolor/scalable/apps/$(key Icon).svg ]] || fail "Icon=$(key Icon) has no installed icon"
    for category in AudioVideo Network; do
        [[ ";$(key Categories)" == *";$category;"* ]] || fail "Categories lacks $category"
    done
fi
if [[ -s $metainfo ]]; then
    grep -q '<launchable type="desktop-id">uplark.desktop</launchable>' "$metainfo" ||
        fail "the metainfo does not launch uplark.desktop"
    grep -q '@[A-Z_]*@' "$metainfo" && fail "the metainfo has unreplaced @VARIABLES@"
    for shot in main-window.png upload-result.png; do
        grep -q "<image>https://[^<]*/$shot</image>" "$metainfo" || fail "the metainfo lacks the screenshot $shot"
    done
fi

# The validators, where they are installed.
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
    echo "SKIP: desktop-file-validate is not installed (Debian package desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
    # The whole tree: the metainfo's desktop entry is there, as installed.
    appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"
else
    echo "SKIP: appstreamcli is not installed (Debian package appstream)"
fi
# man reports every roff problem (unknown macro, bad escape, overfull line)
# as a warning on standard error.
if command -v man >/dev/null; then
    for page in uplark videosite; do
        warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
            man --warnings -E UTF-8 -l -Tutf8 -Z "$share/man/man1/$page.1" 2>&1 >/dev/null)
        [[ -z $warnings ]] || fail "man page $page.1: $warnings"
    done
else
    echo "SKIP: man is not installed (Debian package man-db)"
fi

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "installed tree in order"
