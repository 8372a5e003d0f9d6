#!/bin/sh
# Builds the engine and runs every test twice: in the optimised build, and in a build
# with AddressSanitizer and UndefinedBehaviorSanitizer (the slow suites are left out there).
# Then the Windows build, cross-built with MinGW-w64, is tested under Wine.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -G Ninja -DORVO_SANITIZE=ON
cmake --build build-sanitize -j "$jobs"
ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -E 'Slow'

./tools/test-windows.sh
