#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then the whole suite
# once more under AddressSanitizer and UBSan, and each fuzz target for 20 s.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j 2 "$@"
scripts/sanitize.sh
scripts/fuzz.sh 20
