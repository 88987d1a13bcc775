#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) in build-fuzz/ and runs one or all of
# them, each for SECONDS (default 20) on one core, starting from its seed corpus in
# fuzz/corpus/<name>. New inputs go to build-fuzz/corpus/<name>, findings to build-fuzz/findings/.
#   fuzz/run.sh [TARGET] [SECONDS]      TARGET: ini, list, header, address_date, pop3, message,
#                                       mask, imap_reply, mail_state (with or without _fuzzer),
#                                       or "all"
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-all}
seconds=${2:-20}
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DQM_FUZZ=ON -DQM_BUILD_GUI=OFF -DQM_BUILD_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ "$target" = all ]; then
    names=$(cd fuzz && ls ./*_fuzzer.cpp | sed 's|^\./||; s|\.cpp$||')
else
    names=${target%_fuzzer}_fuzzer
fi
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" --target $names

status=0
for name in $names; do
    short=${name%_fuzzer}
    work="$build/corpus/$short"
    findings="$build/findings/$short"
    mkdir -p "$work" "$findings"
    seeds=()
    [ -d "fuzz/corpus/$short" ] && seeds+=("fuzz/corpus/$short")
    echo "== $name for ${seconds}s"
    if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$build/$name" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" "${seeds[@]}" 2>"$build/$short.log"; then
        echo "$name FAILED (see $build/$short.log and $findings/)"
        tail -n 40 "$build/$short.log"
        status=1
    fi
    grep -E '^stat::number_of_executed_units' "$build/$short.log" | sed "s/^/$name /" || true
done
exit $status
