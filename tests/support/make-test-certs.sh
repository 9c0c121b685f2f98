#!/usr/bin/env bash
# Makes a test certificate authority and the server certificates that TLS
# tests need, in DIR (created if missing), with the openssl command:
#
#   ca.pem, ca.key                 the test CA, which tests trust
#   localhost.pem, localhost.key   for localhost and 127.0.0.1, signed by the CA
#   expired.pem, expired.key       the same names, signed by the CA, expired in 2001
#   wronghost.pem, wronghost.key   for wrong.example only, signed by the CA
#   unknown-ca.pem                 another CA, which tests do not trust
#   untrusted.pem, untrusted.key   for localhost, signed by that other CA
#
# Every key is EC P-256, unencrypted. Usage: make-test-certs.sh DIR
set -euo pipefail
dir=${1:?usage: make-test-certs.sh DIR}
mkdir -p "$dir"
cd "$dir"

new_key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null; }

# A CA: name, key file, certificate file.
new_ca() {
    new_key "$2"
    openssl req -x509 -new -key "$2" -out "$3" -days 36500 -subj "/CN=$1" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
}

# A server certificate: name, subjectAltName, CA certificate, CA key, and
# extra arguments for "openssl ca" (its dates).
new_server() {
    local name=$1 names=$2 ca=$3 ca_key=$4
    shift 4
    new_key "$name.key"
    local first=${names%%,*}
    openssl req -new -key "$name.key" -out "$name.csr" -subj "/CN=${first#*:}" 2>/dev/null
    printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' \
        "$names" >"$name.ext"
    # "openssl ca" is the one that takes any start and end date.
    rm -rf ca-db && mkdir ca-db && : >ca-db/index && echo 01 >ca-db/serial
    cat >ca-db/config <<EOF
[ca]
default_ca = test
[test]
database = ca-db/index
serial = ca-db/serial
new_certs_dir = ca-db
default_md = sha256
policy = any
copy_extensions = none
unique_subject = no
[any]
commonName = supplied
EOF
    openssl ca -batch -notext -config ca-db/config -cert "$ca" -keyfile "$ca_key" \
        -in "$name.csr" -out "$name.pem" -extfile "$name.ext" "$@" 2>/dev/null
    rm -rf ca-db "$name.csr" "$name.ext"
}

new_ca "Uplark Test CA" ca.key ca.pem
new_server localhost "DNS:localhost,IP:127.0.0.1" ca.pem ca.key -days 36500
new_server expired "DNS:localhost,IP:127.0.0.1" ca.pem ca.key \
    -startdate 20000101000000Z -enddate 20010101000000Z
new_server wronghost "DNS:wrong.example" ca.pem ca.key -days 36500
new_ca "Unknown Test CA" unknown-ca.key unknown-ca.pem
new_server untrusted "DNS:localhost,IP:127.0.0.1" unknown-ca.pem unknown-ca.key -days 36500
rm -f unknown-ca.key
