#!/usr/bin/env bash
# Installs what is missing, builds Uplark and the stand-in video site, starts
# the site on this machine for the current user over HTTPS and opens Uplark
# against it (with FILE chosen: bash scripts/run.sh FILE). The site stops
# when Uplark exits. Only installing packages needs root.
set -euo pipefail
# A file given (bash scripts/run.sh FILE) opens with the window; its path is
# taken before the folder changes.
args=()
for arg in "$@"; do
    if [[ -e $arg ]]; then args+=("$(realpath -- "$arg")"); else args+=("$arg"); fi
done
cd "$(dirname "$0")/.."

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "uplark: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "Run this from a desktop session, or under a virtual display: xvfb-run -a $0" >&2
    exit 1
fi

scripts/deps.sh

echo "uplark: building uplark and videosite in build/ (a few minutes the first time)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target uplark videosite

data="${XDG_DATA_HOME:-$HOME/.local/share}/uplark-site"
mkdir -p "$data"
if [[ ! -w "$data" ]]; then
    echo "uplark: the site's data folder $data is not writable by $(id -un)" >&2
    exit 1
fi
site=(build/videosite/videosite --data "$data")
printf '%s\n' demo1234 | "${site[@]}" add-account demo >/dev/null

# A certificate authority of this machine's own and a certificate for
# localhost that it signs, made on the first run (and again once they
# expire); Uplark is told to trust that authority with --cacert.
tls="$data/tls"
if ! openssl x509 -checkend 86400 -noout -in "$tls/localhost.pem" >/dev/null 2>&1 ||
    ! openssl x509 -checkend 86400 -noout -in "$tls/ca.pem" >/dev/null 2>&1; then
    echo "uplark: making a local certificate authority and a certificate for localhost in $tls"
    mkdir -p "$tls"
    chmod 700 "$tls"
    (
        cd "$tls"
        umask 077
        openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 3650 \
            -keyout ca.key -out ca.pem -subj "/CN=Uplark local CA on $(hostname)" \
            -addext "basicConstraints=critical,CA:TRUE" \
            -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
        openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes \
            -keyout localhost.key -out localhost.csr -subj "/CN=localhost" 2>/dev/null
        printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >localhost.ext
        openssl x509 -req -in localhost.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
            -days 825 -extfile localhost.ext -out localhost.pem 2>/dev/null
        rm -f localhost.csr localhost.ext ca.srl
    )
fi

log=$(mktemp)
server=
stop_site() {
    if [[ -n "$server" ]]; then
        kill -TERM "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -f "$log"
}
trap stop_site EXIT

# Starts the site on the given loopback ports; true once it has printed its
# two addresses (site, then upload server).
start_site() {
    : >"$log"
    "${site[@]}" --listen "127.0.0.1:$1" --upload-listen "127.0.0.1:$2" \
        --public-host localhost --tls-cert "$tls/localhost.pem" --tls-key "$tls/localhost.key" \
        >"$log" 2>&1 &
    server=$!
    for _ in $(seq 100); do
        [[ $(grep -c ':' "$log" || true) -ge 2 ]] && return 0
        if ! kill -0 "$server" 2>/dev/null; then
            wait "$server" 2>/dev/null || true
            server=
            return 1
        fi
        sleep 0.1
    done
    kill -TERM "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    server=
    return 1
}

# Ports 8000 and 8001 when they are free, otherwise any free ones.
if ! start_site 8000 8001; then
    echo "uplark: port 8000 or 8001 is taken; the site takes free ports"
    if ! start_site 0 0; then
        echo "uplark: the stand-in site did not start:" >&2
        cat "$log" >&2
        exit 1
    fi
fi
site_port=$(sed -n '1s/.*://p' "$log")
upload_port=$(sed -n '2s/.*://p' "$log")
address="https://localhost:$site_port"
echo "uplark: stand-in site at $address/ (upload server on port $upload_port;" \
    "account demo, password demo1234; certificate authority $tls/ca.pem)"

build/app/uplark --site "$address" --conversion-host "$address" --cacert "$tls/ca.pem" \
    ${args[@]+"${args[@]}"}
