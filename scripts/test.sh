#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
# A file that .clang-format would change fails the run before anything builds.
./scripts/check-format.sh
./scripts/build.sh build
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 600)
# The readers of untrusted bytes once more under AddressSanitizer and
# UndefinedBehaviorSanitizer: the mutation loops and the fuzz corpora.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOBU_SANITIZE=ON -DVOBU_BENCH=OFF
cmake --build build-asan -j "$(nproc)" --target vobu_sanitize_tests
(cd build-asan && ctest --output-on-failure -j "$(nproc)" --timeout 900 -L sanitize)
