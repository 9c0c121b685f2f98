#!/usr/bin/env bash
# Uploads a 100 MB file to a local sink through Uplark's own file post code
# and, in the same run, posts the same file with curl to the same sink; prints
# both times, their ratio and Uplark's peak memory above the idle program.
#
#   bash bench/run.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
size=$((100 * 1024 * 1024))

for exe in "$build/bench/bench_sink" "$build/bench/uplark_bench"; do
    if [[ ! -x $exe ]]; then
        echo "missing $exe: run scripts/build.sh first" >&2
        exit 1
    fi
done
command -v curl >/dev/null || { echo "curl is needed" >&2; exit 1; }

work=$(mktemp -d)
sink_pid=
cleanup() {
    if [[ -n $sink_pid ]]; then kill "$sink_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

file="$work/video.wmv"
head -c "$size" /dev/urandom >"$file"
cat "$file" >/dev/null # in the page cache for both clients

coproc SINK { exec "$build/bench/bench_sink"; }
sink_pid=$SINK_PID
read -r port <&"${SINK[0]}"
url="http://127.0.0.1:$port/my_videos_post"

now() { date +%s.%N; }
uplark_send=() uplark_total=() curl_send=() curl_total=() above=()
for ((i = 1; i <= runs; i++)); do
    line=$("$build/bench/uplark_bench" "$file" "$port")
    eval "$(tr ' ' '\n' <<<"$line" | sed -n 's/^\(send_s\|total_s\|above_idle_kb\)=/u_\1=/p')"
    uplark_send+=("$u_send_s")
    uplark_total+=("$u_total_s")
    above+=("$u_above_idle_kb")

    start=$(now)
    c_send=$(curl -sS -o /dev/null -H 'Expect:' \
        -H 'Content-Type: multipart/form-data; boundary=Xu02=$' \
        --data-binary "@$file" -w '%{time_total}' "$url")
    end=$(now)
    curl_send+=("$c_send")
    curl_total+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')")
    printf 'run %d: uplark send %ss (with the file read %ss), curl send %ss (whole process %ss), uplark peak +%d kB\n' \
        "$i" "$u_send_s" "$u_total_s" "$c_send" "${curl_total[-1]}" "$u_above_idle_kb"
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
us=$(median "${uplark_send[@]}")
ut=$(median "${uplark_total[@]}")
cs=$(median "${curl_send[@]}")
ct=$(median "${curl_total[@]}")
peak=$(printf '%s\n' "${above[@]}" | sort -g | tail -1)
echo
echo "file: $size bytes, $runs runs each, medians:"
awk -v us="$us" -v cs="$cs" -v ut="$ut" -v ct="$ct" 'BEGIN {
    printf "send (connect to answer): uplark %.3f s, curl %.3f s, ratio %.2f\n", us, cs, us / cs
    printf "whole (file read + send): uplark %.3f s, curl process %.3f s, ratio %.2f\n", ut, ct, ut / ct
}'
awk -v p="$peak" -v s="$size" 'BEGIN {
    printf "uplark peak memory above idle: %.1f MB (file %.1f MB; limit file + 64 MB = %.1f MB)\n",
        p / 1024, s / 1048576, s / 1048576 + 64
}'
