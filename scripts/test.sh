#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#  1. the whole tree (core, GUI, black-box tests) in build/
#  2. the core tests again under AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh scripts/packages.txt scripts/test-packages.txt
jobs=$(nproc)

# Installed to /usr, as the Debian package is: the install test builds that package from build/.
cmake -S . -B build -G Ninja -DQM_BUILD_TESTS=ON -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-asan -G Ninja -DQM_BUILD_TESTS=ON -DQM_BUILD_GUI=OFF -DQM_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")
