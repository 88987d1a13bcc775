#!/usr/bin/env bash
# Crash-safe saves: starts the monitor on a folder with many accounts and long lists, asks it to
# save and end (SIGTERM), and kills it with SIGKILL at a random moment of that save. After each
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
start
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
for trial in $(seq 1 "$trials"); do
    restore
    if ! start; then
        echo "trial $trial: the monitor did not come up after the previous kill" >&2
        failures=$((failures + 1))
        kill -9 "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
        continue
    fi
    delay=$((RANDOM % save_ms))
    kill -TERM "$app_pid"
    sleep "$(printf '0.%03d' "$delay")"
    kill -9 "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    for f in "${files[@]}"; do
        if [ ! -f "$app/$f" ]; then
            echo "trial $trial: $f missing after a kill ${delay} ms into the save" >&2
            torn=$((torn + 1))
        elif cmp -s "$app/$f" "$old/$f"; then
            found_old=$((found_old + 1))
        elif cmp -s "$app/$f" "$new/$f"; then
            found_new=$((found_new + 1))
        else
            echo "trial $trial: $f torn after a kill ${delay} ms into the save" >&2
            torn=$((torn + 1))
        fi
    done
done
# The last kill must not block the next start either.
restore
start || { echo "the monitor did not come up after the last kill" >&2; failures=$((failures + 1)); }
kill -9 "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=

echo "durability: $trials trials, save about ${save_ms} ms; files found old $found_old times, new $found_new times"
echo "$((trials - torn - failures)) passed, $((torn + failures)) failed"
[ "$torn" -eq 0 ] && [ "$failures" -eq 0 ]
