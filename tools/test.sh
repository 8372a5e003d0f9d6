#!/bin/sh
# Builds the engine and runs the tests: every test in the optimised build, in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer (the slow suites are left out there), and
# the tests that start threads in a build with ThreadSanitizer. Then the Windows build,
# cross-built with MinGW-w64, is tested under Wine.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -G Ninja -DORVO_SANITIZE=ON
cmake --build build-sanitize -j "$jobs"
ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -E 'Slow'

# ThreadSanitizer: the suites that start threads in the test process (search threads, or
# threads sharing the hash tables) or drive the engine binary (itself built with
# ThreadSanitizer). The engine leaves through _exit, so its exit code does not tell of a
# report: every report is written to a file, and any file fails the run. The sanitizer's
# one-second pause at every exit is switched off, as the tests bound how soon the engine
# exits. A test that times the engine's start-up against a wall-clock limit is left out;
# the sanitizer makes every start several times slower.
cmake -S . -B build-tsan -G Ninja -DORVO_TSAN=ON
cmake --build build-tsan -j "$jobs" --target orvo_tests
reports="$(pwd)/build-tsan/tsan-reports"
rm -rf "$reports"
mkdir -p "$reports"
# On some kernels ThreadSanitizer fails with "unexpected memory mapping" when the address
# space is randomised; run without randomisation where the system allows it.
norandom=""
if setarch "$(uname -m)" -R true 2>/dev/null; then norandom="setarch $(uname -m) -R"; fi
status=0
TSAN_OPTIONS="atexit_sleep_ms=0 halt_on_error=1 exitcode=66 second_deadlock_stack=1 log_path=$reports/report" \
    $norandom ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
    -R '^(SharedTables|SplitPoints|ParallelSearch|ParallelSearchProcess|NewGame|NewGameProcess|ShellProcess|PlayProcess|FuzzProcess|Benchmark|Options|HangProcess|HangInProcess|TimingProcess|CommandPath)\.' \
    -E 'ClosedInputExitsWithinOneSecond' || status=$?
if [ -n "$(ls -A "$reports")" ]; then
    cat "$reports"/*
    echo "ThreadSanitizer reported the problems above" >&2
    exit 1
fi
[ "$status" -eq 0 ] || exit "$status"

./tools/test-windows.sh
