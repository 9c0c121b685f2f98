#!/usr/bin/env bash
# Checks what a desktop and a Debian package need of an installed Uplark: the
# two programs, the desktop entry, the icons, the AppStream metainfo, the
# compressed man pages, the copyright and the changelog, each where it is
# looked for, naming one another consistently, and accepted by the
# validators.
#
# usage: check_install.sh tree CMAKE BUILD_DIR SOURCE_DIR
#            a `cmake --install` of the build into a scratch prefix
#        check_install.sh package CPACK BUILD_DIR SOURCE_DIR
#            the build's Debian package made with cpack in a scratch folder,
#            checked by lintian and unpacked
set -uo pipefail

mode=$1
tool=$2
build=$3
source=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
# Runs a command with its output kept apart, shown only when it fails.
quietly() {
    if ! "$@" >"$work/log" 2>&1; then
        cat "$work/log"
        echo "FAIL: $*"
        exit 1
    fi
}

case $mode in
tree)
    prefix=$work/prefix
    quietly "$tool" --install "$build" --prefix "$prefix"
    ;;
package)
    quietly "$tool" -G DEB -B "$work/out" --config "$build/CPackConfig.cmake"
    debs=("$work"/out/*.deb)
    if [[ ${#debs[@]} -ne 1 || ! -s ${debs[0]} ]]; then
        echo "FAIL: cpack made no single package: ${debs[*]}"
        exit 1
    fi
    deb=${debs[0]}
    if ! command -v lintian >/dev/null; then
        echo "FAIL: lintian is not installed (Debian package lintian; scripts/deps.sh installs it)"
        exit 1
    fi
    # No error or warning; and, as info, none of the hardening tags, nor an
    # override that no longer silences anything. videosite has no override,
    # so a build that lost its hardening flags shows there.
    lintian --info --pedantic --fail-on error,warning "$deb" >"$work/lintian" 2>&1 ||
        fail "lintian: errors or warnings"
    grep -v '^running with root privileges' "$work/lintian"
    grep -qE '^[EWIP]: .* (hardening-[a-z-]+|unused-override)' "$work/lintian" &&
        fail "lintian: hardening or unused override"
    dpkg-deb -x "$deb" "$work/root"
    prefix=$work/root/usr

    version=$(dpkg-deb -f "$deb" Version)
    changelog=$prefix/share/doc/uplark/changelog.gz
    if [[ -s $changelog ]]; then
        top=$(zcat "$changelog" | sed -n '1s/^uplark (\([^)]*\)).*/\1/p')
        [[ $top == "$version" ]] || fail "the changelog's latest entry is '$top', the package is $version"
    fi
    ;;
*)
    echo "usage: check_install.sh tree|package CMAKE|CPACK BUILD_DIR SOURCE_DIR" >&2
    exit 2
    ;;
esac

share=$prefix/share
desktop=$share/applications/uplark.desktop
metainfo=$share/metainfo/io.github.uplark.Uplark.metainfo.xml
doc=$share/doc/uplark

# Every file in its place.
for program in uplark videosite; do
    [[ -f $prefix/bin/$program && -x $prefix/bin/$program ]] || fail "bin/$program is not an installed program"
done
# The preview player's library, in the program's private library folder.
preview=$(find "$prefix/lib" -path '*/uplark/uplark-preview.so' 2>/dev/null)
[[ -n $preview ]] || fail "lib/.../uplark/uplark-preview.so is missing"
for file in "$desktop" "$metainfo" "$share/icons/hicolor/scalable/apps/uplark.svg" "$doc/copyright"; do
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

# The man pages and the changelog as gzip -9n makes them, the same bytes at
# every build: the header (bytes 0 to 9) holds no file name (flags 00) and
# no time (0), and says best compression (02).
for gz in "$share/man/man1/uplark.1.gz" "$share/man/man1/videosite.1.gz" "$doc/changelog.gz"; do
    if [[ ! -s $gz ]]; then
        fail "${gz#"$prefix"/} is missing"
        continue
    fi
    header=$(od -An -tx1 -N10 "$gz" | tr -d ' \n')
    [[ $header == 1f8b0800000000000203 ]] || fail "${gz#"$prefix"/} is not made by gzip -9n (header $header)"
    zcat "$gz" >/dev/null || fail "${gz#"$prefix"/} does not unpack"
done

# The copyright file is in Debian's machine-readable format, and its licence
# is the MIT licence of LICENSE, word for word.
if [[ -s $doc/copyright ]]; then
    if /usr/bin/python3 -c 'import debian.copyright' 2>/dev/null; then
        /usr/bin/python3 - "$doc/copyright" "$source/LICENSE" <<'PYTHON' || fail "the copyright file"
import sys
from debian.copyright import Copyright

with open(sys.argv[1], encoding="utf-8") as f:
    copyright = Copyright(f, strict=True)
with open(sys.argv[2], encoding="utf-8") as f:
    license = f.read()
files = copyright.find_files_paragraph("usr/bin/uplark")
assert files is not None and files.files == ("*",), "no Files: * paragraph"
assert files.license.synopsis == "MIT", files.license.synopsis
assert files.copyright in license, files.copyright
texts = [p.license.text for p in copyright.all_license_paragraphs() if p.license.synopsis == "MIT"]
assert len(texts) == 1, "not one MIT licence paragraph"
words = texts[0].split()
assert words and " ".join(words) in " ".join(license.split()), "the licence text differs from LICENSE"
PYTHON
    else
        fail "the copyright file cannot be checked: /usr/bin/python3 with python3-debian is missing"
    fi
fi

# The names that tie the files together.
if [[ -s $desktop ]]; then
    key() { sed -n "s/^$1=//p" "$desktop"; }
    exec_program=$(key Exec | awk '{print $1}')
    [[ -x $prefix/bin/$exec_program ]] || fail "Exec=$exec_program is not an installed program"
    # "Open with Uplark": the entry takes one file and names video types.
    [[ $(key Exec) == "$exec_program %f" ]] || fail "Exec does not take a file (%f)"
    [[ ";$(key MimeType)" == *";video/mp4;"* ]] || fail "MimeType lacks video/mp4"
    [[ -s $share/icons/hicolor/scalable/apps/$(key Icon).svg ]] || fail "Icon=$(key Icon) has no installed icon"
    for category in AudioVideo Network; do
        [[ ";$(key Categories)" == *";$category;"* ]] || fail "Categories lacks $category"
    done
fi
if [[ -s $metainfo ]]; then
    grep -q '<launchable type="desktop-id">uplark.desktop</launchable>' "$metainfo" ||
        fail "the metainfo does not launch uplark.desktop"
    grep -q '@[A-Z_]*@' "$metainfo" && fail "the metainfo has unreplaced @VARIABLES@"
fi

# The validators.
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
# The whole tree: the metainfo's desktop entry is there, as installed.
appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"
# man reports every roff problem (unknown macro, bad escape, overfull line)
# as a warning on standard error.
for page in uplark videosite; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "man page $page.1.gz: $warnings"
done

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "$mode in order"
