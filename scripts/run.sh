#!/usr/bin/env bash
# Installs what is missing, builds the monitor and starts it: build/quillmere.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh scripts/packages.txt
cmake -S . -B build -G Ninja -DQM_BUILD_TESTS=OFF >/dev/null
cmake --build build --target quillmere quillmere-check
exec build/quillmere "$@"
