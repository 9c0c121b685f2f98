#!/usr/bin/env bash
# The benchmark (not a test). In ROUNDS rounds it
#  - uploads a 100 MB file from disk to a local discarding sink
#    (build/bench/bench_sink) three ways: Uplark's engine (the streamed file
#    post through its connection component, build/bench/uplark_bench),
#    `curl -T file` and `curl --data-binary @file`; each timed as a whole
#    process, with its peak memory; Uplark also reports its peak memory above
#    its idle value and the longest its event loop was blocked (a 5 ms timer's
#    worst lateness);
#  - uploads the same file over TLS to the same sink behind a TLS front
#    (socat, with a certificate for localhost from a CA made for the run), two
#    ways: Uplark's engine and `curl -T`, both trusting that CA;
#  - starts Uplark and a plain Qt Widgets window (build/bench/bench_plain_window)
#    under Xvfb (xcb platform), measuring the time to the first window mapped
#    on the screen and the resident memory after a second of idling
#    (build/bench/bench_launch); and the same plain window linked with
#    Uplark's libraries, which shows what loading them costs.
# Prints every round, then a table of medians with min and max.
#
#   nice -n 10 bash bench/run.sh [BUILD_DIR] [ROUNDS]   (default build, 7)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-7}

# Inside Xvfb: the start-up rounds only, one line per run.
if [[ ${BENCH_STARTUP:-} == 1 ]]; then
    home=$(mktemp -d)
    trap 'rm -rf "$home"' EXIT
    # Uplark with no settings yet: its first start, the intro shown; its
    # one-window socket in a folder of its own, so that no window of the
    # user's takes the start over.
    export XDG_CONFIG_HOME=$home XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=xcb
    for ((i = 1; i <= rounds; i++)); do
        echo "uplark $("$build/bench/bench_launch" "$build/app/uplark" 2>/dev/null)"
        echo "plain $("$build/bench/bench_launch" "$build/bench/bench_plain_window" 2>/dev/null)"
        echo "linked $("$build/bench/bench_launch" "$build/bench/bench_plain_window_linked" 2>/dev/null)"
    done
    exit 0
fi

size=$((100 * 1024 * 1024))
for exe in bench/bench_sink bench/uplark_bench bench/bench_plain_window \
    bench/bench_plain_window_linked bench/bench_launch app/uplark; do
    if [[ ! -x $build/$exe ]]; then
        echo "missing $build/$exe: build first (cmake --build $build; bench_launch needs libxcb1-dev)" >&2
        exit 1
    fi
done
for tool in curl xvfb-run /usr/bin/time socat openssl; do # Debian: curl, xvfb, time, socat, openssl
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done

work=$(mktemp -d)
sink_pid=
front_pid=
cleanup() {
    if [[ -n $sink_pid ]]; then kill "$sink_pid" 2>/dev/null || true; fi
    if [[ -n $front_pid ]]; then kill "$front_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

file="$work/video.wmv"
head -c "$size" /dev/urandom >"$file"
cat "$file" >/dev/null # in the page cache for every client

coproc SINK { exec "$build/bench/bench_sink"; }
sink_pid=$SINK_PID
read -r port <&"${SINK[0]}"
url="http://127.0.0.1:$port/my_videos_post"

# The TLS front of the sink: a CA and a localhost certificate made for the
# run, socat decrypting each connection and passing it on to the sink.
bash tests/support/make-test-certs.sh "$work/certs" >/dev/null
socat -d -d -b 262144 "OPENSSL-LISTEN:0,bind=127.0.0.1,reuseaddr,fork,cert=$work/certs/localhost.pem,key=$work/certs/localhost.key,verify=0" \
    "TCP:127.0.0.1:$port" 2>"$work/front.log" &
front_pid=$!
for _ in $(seq 50); do
    tls_port=$(sed -n 's/.*listening on AF=2 127.0.0.1:\([0-9]*\).*/\1/p' "$work/front.log")
    [[ -n $tls_port ]] && break
    sleep 0.1
done
if [[ -z $tls_port ]]; then
    echo "the TLS front (socat) did not start" >&2
    exit 1
fi
tls_url="https://localhost:$tls_port/my_videos_post"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

now() { date +%s.%N; }
# Runs a command; sets `wall` (seconds) and `rss` (peak kB) and `out`.
measure() {
    local start end
    start=$(now)
    out=$(/usr/bin/time -f 'maxrss_kb=%M' -o "$work/time" "$@")
    end=$(now)
    wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
    rss=$(sed -n 's/^maxrss_kb=//p' "$work/time")
}
field() { tr ' ' '\n' <<<"$1" | sed -n "s/^$2=//p"; }

declare -a u_wall u_total u_above u_stall u_rss t_wall t_rss d_wall d_rss ratio_t ratio_d
declare -a ut_wall ut_total ut_above ut_stall ut_rss tt_wall tt_rss ratio_tls
run_uplark() {
    measure "$build/bench/uplark_bench" "$file" "$port"
    u_wall+=("$wall") u_rss+=("$rss")
    u_total+=("$(field "$out" total_s)") u_above+=("$(field "$out" above_idle_kb)")
    u_stall+=("$(field "$out" stall_ms)")
}
run_curl_t() {
    measure curl -sS -o /dev/null -H 'Expect:' -T "$file" "$url"
    t_wall+=("$wall") t_rss+=("$rss")
}
run_curl_d() {
    measure curl -sS -o /dev/null -H 'Expect:' \
        -H 'Content-Type: multipart/form-data; boundary=Xu02=$' --data-binary "@$file" "$url"
    d_wall+=("$wall") d_rss+=("$rss")
}
run_uplark_tls() {
    measure "$build/bench/uplark_bench" "$file" "$tls_port" "$work/certs/ca.pem"
    ut_wall+=("$wall") ut_rss+=("$rss") ut_total+=("$(field "$out" total_s)")
    ut_above+=("$(field "$out" above_idle_kb)") ut_stall+=("$(field "$out" stall_ms)")
}
run_curl_tls() {
    measure curl -sS -o /dev/null -H 'Expect:' --cacert "$work/certs/ca.pem" \
        --resolve "localhost:$tls_port:127.0.0.1" -T "$file" "$tls_url"
    tt_wall+=("$wall") tt_rss+=("$rss")
}
for ((i = 1; i <= rounds; i++)); do
    if ((i % 2)); then run_uplark_tls; run_curl_tls; else run_curl_tls; run_uplark_tls; fi
    ratio_tls+=("$(awk -v a="${ut_wall[-1]}" -v b="${tt_wall[-1]}" 'BEGIN { printf "%.3f", a / b }')")
    printf 'TLS round %d: uplark %ss (stall %s ms, +%s kB, max RSS %s kB), curl -T %ss (%s kB)\n' \
        "$i" "${ut_wall[-1]}" "${ut_stall[-1]}" "${ut_above[-1]}" "${ut_rss[-1]}" \
        "${tt_wall[-1]}" "${tt_rss[-1]}"
done

for ((i = 1; i <= rounds; i++)); do
    # The order turns from round to round.
    case $((i % 3)) in
    0) run_uplark; run_curl_t; run_curl_d ;;
    1) run_curl_t; run_curl_d; run_uplark ;;
    2) run_curl_d; run_uplark; run_curl_t ;;
    esac
    ratio_t+=("$(awk -v a="${u_wall[-1]}" -v b="${t_wall[-1]}" 'BEGIN { printf "%.3f", a / b }')")
    ratio_d+=("$(awk -v a="${u_wall[-1]}" -v b="${d_wall[-1]}" 'BEGIN { printf "%.3f", a / b }')")
    printf 'upload round %d: uplark %ss (open to answer %ss, stall %s ms, +%s kB, max RSS %s kB), curl -T %ss (%s kB), curl --data-binary %ss (%s kB)\n' \
        "$i" "${u_wall[-1]}" "${u_total[-1]}" "${u_stall[-1]}" "${u_above[-1]}" "${u_rss[-1]}" \
        "${t_wall[-1]}" "${t_rss[-1]}" "${d_wall[-1]}" "${d_rss[-1]}"
done

declare -a s_uplark s_plain s_linked m_uplark m_plain m_linked ratio_s ratio_m
while read -r who line; do
    shown=$(field "$line" shown_s) kb=$(field "$line" rss_kb)
    if [[ -z $shown || -z $kb ]]; then
        echo "start-up run of $who failed" >&2
        exit 1
    fi
    if [[ $who == uplark ]]; then
        s_uplark+=("$shown") m_uplark+=("$kb")
    elif [[ $who == linked ]]; then
        s_linked+=("$shown") m_linked+=("$kb")
    else
        s_plain+=("$shown") m_plain+=("$kb")
        ratio_s+=("$(awk -v a="${s_uplark[-1]}" -v b="$shown" 'BEGIN { printf "%.3f", a / b }')")
        ratio_m+=("$(awk -v a="${m_uplark[-1]}" -v b="$kb" 'BEGIN { printf "%.3f", a / b }')")
    fi
    echo "start-up: $who $line"
done < <(BENCH_STARTUP=1 xvfb-run -a -s "-screen 0 800x600x24" bash "$0" "$build" "$rounds")
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# "median (min–max)" of the values, each scaled by $1 and printed with format $2.
stats() {
    local scale=$1 format=$2
    shift 2
    printf '%s\n' "$@" | sort -g | awk -v s="$scale" -v f="$format" '
        { v[NR] = $1 * s }
        END {
            m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf f " (" f "–" f ")", m, v[1], v[NR]
        }'
}

echo
echo "file $size bytes, $rounds rounds, load average $load_before before and $load_after after"
echo
echo "| | median (min–max) |"
echo "|---|---|"
echo "| whole upload, Uplark engine (process) | $(stats 1 %.3f "${u_wall[@]}") s |"
echo "| whole upload, curl -T | $(stats 1 %.3f "${t_wall[@]}") s |"
echo "| whole upload, curl --data-binary @file | $(stats 1 %.3f "${d_wall[@]}") s |"
echo "| Uplark ÷ curl -T, per round | $(stats 1 %.2f "${ratio_t[@]}") |"
echo "| Uplark ÷ curl --data-binary, per round | $(stats 1 %.2f "${ratio_d[@]}") |"
echo "| Uplark, file opened to answer | $(stats 1 %.3f "${u_total[@]}") s |"
echo "| Uplark peak memory above idle | $(stats 0.0009765625 %.1f "${u_above[@]}") MB |"
echo "| peak RSS: Uplark engine / curl -T / curl --data-binary | $(stats 0.0009765625 %.1f "${u_rss[@]}") / $(stats 0.0009765625 %.1f "${t_rss[@]}") / $(stats 0.0009765625 %.1f "${d_rss[@]}") MB |"
echo "| longest event-loop stall during the upload | $(stats 1 %.1f "${u_stall[@]}") ms |"
echo "| whole upload over TLS, Uplark engine / curl -T | $(stats 1 %.3f "${ut_wall[@]}") / $(stats 1 %.3f "${tt_wall[@]}") s |"
echo "| over TLS, Uplark ÷ curl -T, per round | $(stats 1 %.2f "${ratio_tls[@]}") |"
echo "| over TLS, Uplark, file opened to answer (handshake included) | $(stats 1 %.3f "${ut_total[@]}") s |"
echo "| over TLS, Uplark peak memory above idle | $(stats 0.0009765625 %.1f "${ut_above[@]}") MB |"
echo "| over TLS, peak RSS: Uplark engine / curl -T | $(stats 0.0009765625 %.1f "${ut_rss[@]}") / $(stats 0.0009765625 %.1f "${tt_rss[@]}") MB |"
echo "| over TLS, longest event-loop stall | $(stats 1 %.1f "${ut_stall[@]}") ms |"
echo "| start-up to first window: Uplark / plain window | $(stats 1 %.3f "${s_uplark[@]}") / $(stats 1 %.3f "${s_plain[@]}") s |"
echo "| start-up, Uplark ÷ plain window, per round | $(stats 1 %.2f "${ratio_s[@]}") |"
echo "| start-up, plain window with Uplark's libraries | $(stats 1 %.3f "${s_linked[@]}") s |"
echo "| idle memory (RSS): Uplark / plain window | $(stats 0.0009765625 %.1f "${m_uplark[@]}") / $(stats 0.0009765625 %.1f "${m_plain[@]}") MB |"
echo "| idle memory, Uplark ÷ plain window, per round | $(stats 1 %.2f "${ratio_m[@]}") |"
echo "| idle memory, plain window with Uplark's libraries | $(stats 0.0009765625 %.1f "${m_linked[@]}") MB |"
