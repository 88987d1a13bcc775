#!/usr/bin/env bash
# Idle cost of the monitor: starts it under a private Xvfb on an empty data folder (no accounts),
# waits for its window, and prints the share of one core it used over the next SECONDS seconds,
# from the user and system times in /proc/PID/stat (all threads, in clock ticks), and, finer, from
# the run times in nanoseconds that /proc/PID/task/*/schedstat keeps per thread. With ACCOUNTS
# above 0, the data folder holds that many IMAP accounts with empty mailboxes (no news, so the
# tray's envelope does not animate) on a private loopback Dovecot (bench_mailbox_server beside the
# monitor), push on, checking switched on and the interval at its longest, so the monitor spends
# the time waiting in IDLE on each of them.
#   bench/idle_cpu.sh [MONITOR] [SECONDS] [RUNS] [ACCOUNTS]     defaults: build/quillmere, 30, 1, 0
set -euo pipefail
cd "$(dirname "$0")/.."
monitor=$(realpath "${1:-build/quillmere}")
seconds=${2:-30}
runs=${3:-1}
accounts=${4:-0}
build=$(dirname "$monitor")
work=$(mktemp -d "${TMPDIR:-/tmp}/qm-idle.XXXXXX")
xvfb_pid=
app_pid=
server_PID=
cleanup() {
    [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -n "$server_PID" ] && kill "$server_PID" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

imap_port=
users=()
if [ "$accounts" -gt 0 ]; then
    coproc server { exec "$build/bench_mailbox_server" "0x$accounts"; }
    while read -r word a b _ <&"${server[0]}"; do
        case $word in
        imap) imap_port=$a ;;
        mailbox) users+=("$a:$b") ;;
        ready) break ;;
        esac
    done
    [[ -n $imap_port && ${#users[@]} -ge $accounts ]] || { echo "the mailbox server did not start" >&2; exit 1; }
fi

# The accounts of one run, in DIR: IMAP with push (Idle left at its default), checking on.
imap_settings() {
    "$build/bench_check_settings" "$1" "$imap_port" --imap "${users[@]:0:accounts}"
    sed -i -e 's/^Executing=.*/Executing=1\r/' -e 's/^Interval=.*/Interval=35791\r/' "$1/quillmere.ini"
    grep -q '^Executing=1' "$1/quillmere.ini" || { echo "no Executing key to switch on" >&2; exit 1; }
}

. scripts/private-x.sh
start_private_x "$work"
unset QUILLMERE_UPDATE_SERVER

ticks_per_second=$(getconf CLK_TCK)
# utime + stime of the whole process, in clock ticks (fields 14 and 15; the name in field 2 is
# cut off first, since it may hold spaces).
cpu_ticks() {
    local stat
    stat=$(<"/proc/$1/stat")
    stat=${stat##*) }
    read -r -a fields <<<"$stat"
    echo $((fields[11] + fields[12]))
}

# Nanoseconds on a core of all threads of the process.
cpu_ns() {
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%d", sum }'
}

results=()
fine=()
for run in $(seq 1 "$runs"); do
    data="$work/data$run"
    mkdir -p "$data"
    [ "$accounts" -gt 0 ] && imap_settings "$data"
    "$monitor" --dir "$data" >/dev/null 2>&1 &
    app_pid=$!
    timeout 30 xdotool search --sync --onlyvisible --pid "$app_pid" --name Quillmere32 >/dev/null
    if [ "$accounts" -gt 0 ]; then
        # Measured once every account sits in IDLE: the first check and the sign-ins are over.
        for _ in $(seq 100); do
            established=$(ss -tnp 2>/dev/null | grep -c "pid=$app_pid," || true)
            [ "$established" -ge "$accounts" ] && break
            sleep 0.2
        done
        sleep 5
    fi
    before=$(cpu_ticks "$app_pid")
    before_ns=$(cpu_ns "$app_pid")
    sleep "$seconds"
    after=$(cpu_ticks "$app_pid")
    after_ns=$(cpu_ns "$app_pid")
    kill -9 "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=
    percent=$(awk -v t=$((after - before)) -v hz="$ticks_per_second" -v s="$seconds" \
        'BEGIN { printf "%.3f", 100 * t / hz / s }')
    precise=$(awk -v n=$((after_ns - before_ns)) -v s="$seconds" 'BEGIN { printf "%.3f", 100 * n / 1e9 / s }')
    echo "run $run: $((after - before)) ticks in ${seconds} s: ${percent} % of a core (${precise} % from schedstat)"
    results+=("$percent")
    fine+=("$precise")
done
median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
echo "idle cpu ($accounts IMAP accounts in IDLE): median $(median "${results[@]}") % of a core over ${seconds} s (${runs} runs);" \
    "$(median "${fine[@]}") % from schedstat"
