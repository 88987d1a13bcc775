#!/usr/bin/env bash
# Installs what is missing, builds the monitor and starts it: build/quillmere.
#   scripts/run.sh          the monitor on the settings beside build/quillmere
#   scripts/run.sh --demo   the monitor on a demo: a private Dovecot on loopback with a generated
#                           mailbox and a demo settings folder, both removed when the monitor ends
# Further arguments go to the monitor.
set -euo pipefail
cd "$(dirname "$0")/.."
demo=0
if [[ ${1:-} == --demo ]]; then
    demo=1
    shift
fi
lists=(scripts/packages.txt)
[[ $demo -eq 1 ]] && lists+=(scripts/demo-packages.txt)
scripts/install-deps.sh "${lists[@]}"
# A first configure leaves the tests out (their packages may be missing); a build folder the test
# command configured keeps its tests.
if [[ -f build/CMakeCache.txt ]]; then
    cmake -S . -B build >/dev/null
else
    cmake -S . -B build -G Ninja -DQM_BUILD_TESTS=OFF >/dev/null
fi
targets=(quillmere quillmere-check)
[[ $demo -eq 1 ]] && targets+=(quillmere-demo)
cmake --build build --target "${targets[@]}"
if [[ $demo -eq 1 ]]; then
    exec build/tools/quillmere-demo "$PWD/build/quillmere" "$@"
fi
exec build/quillmere "$@"
