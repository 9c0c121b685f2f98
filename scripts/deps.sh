#!/usr/bin/env bash
# Installs the Debian packages that Uplark needs to build, run and test,
# skipping those already installed.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-multimedia-dev libqt6multimediawidgets6
    libqt6sql6-sqlite
    libcurl4-openssl-dev libgl-dev qtkeychain-qt6-dev libqt6keychain1 libsecret-1-0
    fonts-dejavu-core fonts-liberation2 curl openssl
    xvfb xauth dbus dbus-daemon gnome-keyring
    ffmpeg at-spi2-core python3-pyatspi
    desktop-file-utils appstream lintian man-db python3-debian
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "uplark: installing missing Debian packages: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    echo "uplark: not running as root, using sudo for apt-get"
    as_root=(sudo)
else
    # Only the installation needs root; nothing is built until it is done.
    echo "uplark: installing packages needs root, and sudo is not available. Run this as root," >&2
    echo "then run this script again:" >&2
    echo "apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
