#!/usr/bin/env bash
# Crash-safe saves: starts the monitor on a folder with many accounts and long lists and kills it
# with SIGKILL at a random moment: during its start-up, while it saves on its way out (SIGTERM), or
# while its first check appends large records to the message log (one account on a small loopback
# POP3 server, the notice conditions and the log on). After each kill every file must hold either
# its complete old content or its complete new content, the message log its old content followed
# by whole records only, and the next start must take over from the killed monitor (its window
# comes up).
#   tests/durability/run.sh [TRIALS] [MONITOR]     defaults: 50, build/quillmere
set -euo pipefail
cd "$(dirname "$0")/../.."
trials=${1:-50}
monitor=$(realpath "${2:-build/quillmere}")
work=$(mktemp -d "${TMPDIR:-/tmp}/qm-durability.XXXXXX")
xvfb_pid=
app_pid=
pop3_pid=
cleanup() {
    [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null || true
    [ -n "$pop3_pid" ] && kill "$pop3_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# An X server of our own on a free display.
. scripts/private-x.sh
start_private_x "$work"

app="$work/app"
old="$work/old"
new="$work/new"
mkdir -p "$app" "$old" "$new"
cp "$monitor" "$app/quillmere"
files=(quillmere.ini antiSpamList.txt antiSpamSbjList.txt)
log=messages.txt

# The mailbox the first check reads: every other message has a body of 4 MB, so that its record
# takes many pages of the log.
messages=10
exec 4< <(exec python3 tests/durability/pop3_server.py "$messages" 4000000)
pop3_pid=$!
read -r pop3_port <&4

# The old content: what a user may have written by hand (LF line ends, keys in their own order),
# so that a save rewrites every file.
{
    printf '[Main]\nMinimized=0\nLanguage=EN\nInterval=30\nExecuting=1\nCheckNewVersion=0\n'
    printf 'Inform=1\nWriteToFile=1\nOverwrite=0\nFileName=%s\n' "$app/$log"
    for i in $(seq 1 60); do
        printf '[Settings%d]\nPort=110\nPOP3=pop%d.example.org\nAccountName=user%d\nTimeOut=20\nDisabled=1\n' \
            "$i" "$i" "$i"
    done
    printf '[Settings61]\nPort=%d\nPOP3=127.0.0.1\nAccountName=user\nTimeOut=20\nDisabled=0\n' "$pop3_port"
} >"$old/quillmere.ini"
printf 'File created 01.12.2026 09:00:00\r\n-------------- old@example.org received 01.12.2026 09:00:00 ---------------\r\nan old record\r\n\r\n' \
    >"$old/$log"
for i in $(seq 1 4000); do printf '*@spam%d.example\n' "$i"; done >"$old/antiSpamList.txt"
for i in $(seq 1 4000); do printf '*offer number %d*\n' "$i"; done >"$old/antiSpamSbjList.txt"

# Puts back the old content. A log with a record cut short is left as it is, with its note: the
# next start must cut it before it appends.
keep_log=0
restore() {
    for f in "${files[@]}"; do cp "$old/$f" "$app/$f"; done
    if [ "$keep_log" -eq 0 ]; then
        cp "$old/$log" "$app/$log"
        rm -f "$app/$log.pending"
    fi
    rm -f "$app"/*.tmp
}

# The number of records in the message log.
records() {
    grep -a -c '^-------------- .* ---------------'$'\r''$' "$1" || true
}

# Starts the monitor and waits for its window; fails when it does not come up.
start() {
    "$app/quillmere" >/dev/null 2>&1 &
    app_pid=$!
    timeout 30 xdotool search --sync --onlyvisible --pid "$app_pid" --name Quillmere32 >/dev/null
}

# One complete save gives the new content, and one complete check the whole log.
restore
launch_ms=$(date +%s%3N)
start
start_ms=$(date +%s%3N)
startup_ms=$((start_ms - launch_ms + 20))
old_records=$(records "$old/$log")
for _ in $(seq 1 600); do
    [ "$(records "$app/$log")" -ge $((old_records + messages)) ] && break
    sleep 0.05
done
check_ms=$(($(date +%s%3N) - start_ms + 20))
cp "$app/$log" "$new/$log"
if [ "$(records "$new/$log")" -ne $((old_records + messages)) ]; then
    echo "durability: the check wrote $(($(records "$new/$log") - old_records)) of $messages records; nothing would be proven" >&2
    exit 1
fi
start_ms=$(date +%s%3N)
kill -TERM "$app_pid"
wait "$app_pid" || true
save_ms=$(($(date +%s%3N) - start_ms + 20))
for f in "${files[@]}"; do cp "$app/$f" "$new/$f"; done
for f in "${files[@]}"; do
    if cmp -s "$old/$f" "$new/$f"; then
        echo "durability: the save did not rewrite $f; nothing would be proven" >&2
        exit 1
    fi
done

failures=0
torn=0
found_old=0
found_new=0
log_records=0
bad_trials=0
pending_tails=0
tails_cut=0
last_pending=
# Every file must be whole: its old content or its new one.
check_files() {
    local before=$torn
    for f in "${files[@]}"; do
        if [ ! -f "$app/$f" ]; then
            echo "trial $1: $f missing after a kill $2" >&2
            torn=$((torn + 1))
        elif cmp -s "$app/$f" "$old/$f"; then
            found_old=$((found_old + 1))
        elif cmp -s "$app/$f" "$new/$f"; then
            found_new=$((found_new + 1))
        else
            echo "trial $1: $f torn after a kill $2" >&2
            torn=$((torn + 1))
        fi
    done
    # The log: its old content and then whole records, each exactly as a complete check writes it.
    local verdict status=0 tail
    verdict=$(python3 tests/durability/check_log.py "$old/$log" "$new/$log" "$app/$log" 2>&1) || status=$?
    case $status in
    0)
        [ "$keep_log" -eq 1 ] && tails_cut=$((tails_cut + 1))
        keep_log=0
        ;;
    3)
        # A record cut short, which the next append must cut: the next trial keeps this log.
        tail="$verdict $(stat -c %s "$app/$log")"
        if [ "$keep_log" -eq 0 ]; then
            pending_tails=$((pending_tails + 1))
        elif [ "$tail" != "$last_tail" ]; then
            tails_cut=$((tails_cut + 1))
            pending_tails=$((pending_tails + 1))
        fi
        keep_log=1
        last_tail=$tail
        ;;
    *)
        echo "trial $1: $log damaged after a kill $2: $verdict" >&2
        torn=$((torn + 1))
        keep_log=0
        verdict=0
        ;;
    esac
    log_records=$((log_records + ${verdict##* }))
    [ "$torn" -eq "$before" ] || bad_trials=$((bad_trials + 1))
}
for trial in $(seq 1 "$trials"); do
    restore
    if [ $((trial % 3)) -eq 1 ]; then
        # Killed at a random moment of the start-up, which may save as well.
        "$app/quillmere" >/dev/null 2>&1 &
        app_pid=$!
        delay=$((RANDOM % startup_ms))
        sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
        kill -9 "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
        check_files "$trial" "$delay ms into the start-up"
        continue
    fi
    if ! start; then
        echo "trial $trial: the monitor did not come up after the previous kill" >&2
        failures=$((failures + 1))
        kill -9 "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
        continue
    fi
    if [ $((trial % 3)) -eq 2 ]; then
        # Killed while the first check appends to the message log.
        delay=$((RANDOM * 32768 + RANDOM))
        delay=$((delay % check_ms))
        what="ms into the check"
    else
        # Killed while it saves on its way out. Most saves end within a few milliseconds of the
        # signal: the early part is hit most often.
        delay=$((RANDOM % save_ms * (RANDOM % 2) / 8 + RANDOM % 8))
        kill -TERM "$app_pid"
        what="ms into the save"
    fi
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    kill -9 "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    check_files "$trial" "$delay $what"
done
# The last kill must not block the next start either.
keep_log=0
restore
start || { echo "the monitor did not come up after the last kill" >&2; failures=$((failures + 1)); }
kill -9 "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=

echo "durability: $trials trials, start-up about ${startup_ms} ms, check about ${check_ms} ms, save about ${save_ms} ms;" \
    "files found old $found_old times, new $found_new times; $log_records whole log records found after the kills;" \
    "$pending_tails records cut short by a kill, $tails_cut of them cut by the next start before it appended"
echo "$((trials - bad_trials - failures)) passed, $((bad_trials + failures)) failed"
[ "$torn" -eq 0 ] && [ "$failures" -eq 0 ]
