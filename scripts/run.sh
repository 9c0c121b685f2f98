#!/usr/bin/env bash
# Installs what is missing, builds, starts the stand-in video site on this
# machine and opens Uplark. The site stops when Uplark exits.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "uplark: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "Run this from a desktop session, or under a virtual display: xvfb-run -a $0" >&2
    exit 1
fi

scripts/deps.sh
scripts/build.sh

data="${XDG_DATA_HOME:-$HOME/.local/share}/uplark-site"
mkdir -p "$data"
site=(build/server/videosite --data "$data")

# The site answers on port 80, which only root may open.
as_root=()
if [[ $(id -u) -ne 0 ]]; then
    echo "uplark: the stand-in site listens on port 80; starting it with sudo"
    as_root=(sudo)
fi

"${as_root[@]}" "${site[@]}" add-account demo demo1234 >/dev/null

log=$(mktemp)
"${as_root[@]}" "${site[@]}" --listen 127.0.0.1:80 --upload-listen 127.0.0.1:8080 \
    --public-host localhost >"$log" 2>&1 &
server=$!
stop_site() {
    "${as_root[@]}" kill -TERM "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    rm -f "$log"
}
trap stop_site EXIT

for _ in $(seq 100); do
    [[ $(grep -c ':' "$log" || true) -ge 2 ]] && break
    if ! kill -0 "$server" 2>/dev/null; then
        echo "uplark: the stand-in site did not start:" >&2
        cat "$log" >&2
        exit 1
    fi
    sleep 0.1
done
echo "uplark: stand-in site at http://localhost/ (account demo, password demo1234)"

build/app/uplark
