#!/usr/bin/env bash
# Crash-safe saves: starts the monitor on a folder with many accounts and long lists and kills it
# with SIGKILL at a random moment, during its start-up in odd trials, and in even trials while it
# saves on its way out (SIGTERM). After each
# kill every file must hold either its complete old content or its complete new content, and the
# next start must take over from the killed monitor (its window comes up).
#   tests/durability/run.sh [TRIALS] [MONITOR]     defaults: 50, build/quillmere
set -euo pipefail
cd "$(dirname "$0")/../.."
trials=${1:-50}
monitor=$(realpath "${2:-build/quillmere}")
work=$(mktemp -d "${TMPDIR:-/tmp}/qm-durability.XXXXXX")
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# An X server of our own on a free display.
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null & echo "pid $!"; wait)
read -r _ xvfb_pid <&3
read -r display <&3
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled:
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"

app="$work/app"
old="$work/old"
new="$work/new"
mkdir -p "$app" "$old" "$new"
cp "$monitor" "$app/quillmere"
files=(quillmere.ini antiSpamList.txt antiSpamSbjList.txt)

# The old content: what a user may have written by hand (LF line ends, keys in their own order),
# so that a save rewrites every file.
{
    printf '[Main]\nMinimized=0\nLanguage=EN\nInterval=30\nExecuting=0\n'
    for i in $(seq 1 60); do
        printf '[Settings%d]\nPort=110\nPOP3=pop%d.example.org\nAccountName=user%d\nTimeOut=20\nDisabled=1\n' \
            "$i" "$i" "$i"
    done
} >"$old/quillmere.ini"
for i in $(seq 1 4000); do printf '*@spam%d.example\n' "$i"; done >"$old/antiSpamList.txt"
for i in $(seq 1 4000); do printf '*offer number %d*\n' "$i"; done >"$old/antiSpamSbjList.txt"

restore() {
    for f in "${files[@]}"; do cp "$old/$f" "$app/$f"; done
    rm -f "$app"/*.tmp
}

# Starts the monitor and waits for its window; fails when it does not come up.
start() {
    "$app/quillmere" >/dev/null 2>&1 &
    app_pid=$!
    timeout 30 xdotool search --sync --onlyvisible --pid "$app_pid" --name Quillmere32 >/dev/null
}

# One complete save gives the new content.
restore
launch_ms=$(date +%s%3N)
start
start_ms=$(date +%s%3N)
startup_ms=$((start_ms - launch_ms + 20))
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
# Every file must be whole: its old content or its new one.
check_files() {
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
}
for trial in $(seq 1 "$trials"); do
    restore
    if [ $((trial % 2)) -eq 1 ]; then
        # Odd trials: killed at a random moment of the start-up, which may save as well.
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
    # Most saves end within a few milliseconds of the signal: the early part is hit most often.
    delay=$((RANDOM % save_ms * (RANDOM % 2) / 8 + RANDOM % 8))
    kill -TERM "$app_pid"
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    kill -9 "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    check_files "$trial" "$delay ms into the save"
done
# The last kill must not block the next start either.
restore
start || { echo "the monitor did not come up after the last kill" >&2; failures=$((failures + 1)); }
kill -9 "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=

echo "durability: $trials trials, start-up about ${startup_ms} ms, save about ${save_ms} ms; files found old $found_old times, new $found_new times"
echo "$((trials - torn - failures)) passed, $((torn + failures)) failed"
[ "$torn" -eq 0 ] && [ "$failures" -eq 0 ]
