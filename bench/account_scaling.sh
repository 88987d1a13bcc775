#!/usr/bin/env bash
# Time per account of one whole check as the account list grows: SMALL and LARGE accounts
# (default 20 and 1000), each with a mailbox of MESSAGES generated messages (default 10), all on
# one private loopback Dovecot (bench_mailbox_server). Each list is checked once to make sure
# every account got its result, then timed RUNS times (default 5) with GNU time; prints the
# median wall time of each list and its time per account.
# Usage: bench/account_scaling.sh [BUILD] [SMALL] [LARGE] [MESSAGES] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
small=${2:-20}
large=${3:-1000}
messages=${4:-10}
runs=${5:-5}
work=$(mktemp -d)
coproc server { exec "$build/bench_mailbox_server" "${messages}x${large}"; }
trap 'kill "$server_PID" 2>/dev/null; wait; rm -rf "$work"' EXIT

port=
users=()
while read -r word a b _ <&"${server[0]}"; do
    case $word in
    port) port=$a ;;
    mailbox) users+=("$a:$b") ;;
    ready) break ;;
    esac
done
[[ -n $port && ${#users[@]} -ge $large ]] || { echo "the mailbox server did not start" >&2; exit 1; }

for count in "$small" "$large"; do
    dir=$work/accounts$count
    "$build/bench_check_settings" "$dir" "$port" "${users[@]:0:count}"
    # Every account's mailbox counted, or the timing means nothing.
    "$build/quillmere-check" --dir "$dir" >"$work/out" 2>"$work/err" || true
    grep -qx "in total $((count * messages)) messages:" "$work/out" && [[ ! -s $work/err ]] ||
        { echo "the check of $count accounts did not see every message:" >&2; head -5 "$work/err" >&2; exit 1; }
    times=()
    for _ in $(seq "$runs"); do
        times+=("$(/usr/bin/time -f %e "$build/quillmere-check" --dir "$dir" 2>&1 >/dev/null | tail -1)")
    done
    median=$(printf '%s\n' "${times[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")
    awk -v n="$count" -v t="$median" 'BEGIN { printf "%d accounts: median %.2f s, %.2f ms an account\n", n, t, 1000 * t / n }'
done
