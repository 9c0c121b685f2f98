#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs
# each for SECONDS (default 20), starting from its seed corpus: the committed
# seeds in fuzz/corpus/<target>/ and fresh ones made by the seed generators
# from the program's own requests and the stand-in site's answers.
# Fails on the first target that crashes or breaks an invariant, naming it and
# the input that did it (kept in build-fuzz/crashes/<target>/).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="${UPLARK_FUZZ_CXX:-clang++}" -DUPLARK_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_all

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/fuzz/fuzz_seeds_requests" "$work/seeds"
"$build/fuzz/fuzz_seeds_answers" "$work/seeds"

# Longest input per target: room for a whole request head or upload form,
# a multipart body with several parts and some file bytes.
max_len_of() {
    case "$1" in
    fuzz_multipart) echo 16384 ;;
    fuzz_request_head | fuzz_upload_page | fuzz_upload_form | fuzz_login_answer) echo 8192 ;;
    *) echo 4096 ;;
    esac
}

export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$build/fuzz-logs"
status=0
passed=0
failed=0
for source in fuzz/fuzz_*.cpp; do
    target=$(basename "$source" .cpp)
    corpus="$work/corpus/$target"
    crashes="$build/crashes/$target"
    log="$build/fuzz-logs/$target.log"
    rm -rf "$crashes"
    mkdir -p "$corpus" "$crashes"
    for seeds in "fuzz/corpus/$target" "$work/seeds/$target"; do
        if [[ -d "$seeds" ]]; then
            cp "$seeds"/* "$corpus"/
        fi
    done
    options=(-max_total_time="$seconds" -max_len="$(max_len_of "$target")" -timeout=10 -rss_limit_mb=2048
        -print_final_stats=1 -artifact_prefix="$crashes/")
    if [[ -f "fuzz/$target.dict" ]]; then
        options+=(-dict="fuzz/$target.dict")
    fi
    echo "fuzz: $target for ${seconds}s ($(ls "$corpus" | wc -l) seeds)"
    if ! "$build/fuzz/$target" "$corpus" "${options[@]}" >"$log" 2>&1; then
        echo "fuzz: $target FAILED; its log: $log" >&2
        grep -E "ERROR: |invariant broken|runtime error|SUMMARY" "$log" | head -n 5 >&2 || true
        grep -o "Test unit written to .*" "$log" | sed 's/^Test unit written to /fuzz: crashing input: /' >&2 || true
        status=1
        failed=$((failed + 1))
        continue
    fi
    passed=$((passed + 1))
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$log" | tr '\n' ' ' | sed 's/^/fuzz:   /;s/$/\n/'
done
echo "fuzz: $passed passed, $failed failed"
exit "$status"
