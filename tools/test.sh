#!/bin/sh
# Builds the engine and runs the tests: the layer order of the source folders, every test
# in the optimised build (each in a process of its own, then all in one process in a
# shuffled order, so that what one test leaves behind cannot hide), the build of the root
# Makefile with its bench signature, every test in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (the slow suites are left out there), and the tests that start
# threads in a build with ThreadSanitizer. Then the libFuzzer targets
# run for a fixed time each, and the Windows build, cross-built with MinGW-w64, is tested
# under Wine.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

./tools/check-layers.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
./tools/check-layers.sh build
ctest --test-dir build --output-on-failure -j "$jobs"
# The whole test program once more in one process, in an order of its own each time; the
# seed is printed for a rerun in the same order.
seed=$(($(date +%s) % 99999 + 1))
echo "all tests in one process, shuffled: ./build/orvo_tests --gtest_shuffle --gtest_random_seed=$seed"
./build/orvo_tests --gtest_shuffle --gtest_random_seed="$seed" --gtest_brief=1
# The build that distributed testing makes, "make EXE=<name>" in a copy of the tree, and its
# bench signature.
./tools/test-makefile.sh

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
    -R '^(SharedTables|SplitPoints|ParallelSearch|ParallelSearchProcess|NewGame|NewGameProcess|ShellProcess|PlayProcess|FuzzProcess|Benchmark|Options|HangProcess|HangInProcess|TimingProcess|CommandPath|Chess960Process|AnalysisProcess|StrengthProcess)\.' \
    -E 'ClosedInputExitsWithinOneSecond' || status=$?
if [ -n "$(ls -A "$reports")" ]; then
    cat "$reports"/*
    echo "ThreadSanitizer reported the problems above" >&2
    exit 1
fi
[ "$status" -eq 0 ] || exit "$status"

# Coverage-guided fuzzing with libFuzzer, which comes with clang: each target of fuzz/ runs
# for ORVO_FUZZ_SECONDS seconds (60 by default) on a scratch copy of its seed corpus, so that
# the repository is not written. A crash, a failed check, a sanitizer report, a leak or a
# timeout ends the target with a non-zero status and fails the run; libFuzzer keeps the
# input in build-fuzz/findings.
missing=""
if ! command -v clang++ >/dev/null 2>&1; then
    missing=" clang libclang-rt-dev"
elif [ ! -f "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-$(uname -m).a" ]; then
    missing=" libclang-rt-dev"
fi
if [ -n "$missing" ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "The fuzzing stage needs these Debian packages:$missing" >&2
        echo "Install them with: sudo apt-get install -y --no-install-recommends$missing" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    # shellcheck disable=SC2086
    apt-get install -y --no-install-recommends $missing ||
        { apt-get update && apt-get install -y --no-install-recommends $missing; }
fi
cmake -S . -B build-fuzz -G Ninja -DORVO_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j "$jobs"
fuzz_seconds=${ORVO_FUZZ_SECONDS:-60}
findings="$(pwd)/build-fuzz/findings"
rm -rf build-fuzz/corpus "$findings"
mkdir -p build-fuzz/corpus "$findings"
targets="position moves commands"
# libFuzzer takes a time of 0 as no limit at all: 0 builds the targets without running them.
[ "$fuzz_seconds" -gt 0 ] || targets=""
# The targets run side by side, each for the whole time.
for target in $targets; do
    cp -R "fuzz/corpus/$target" "build-fuzz/corpus/$target"
    UBSAN_OPTIONS=print_stacktrace=1 "./build-fuzz/fuzz/fuzz_$target" -max_total_time="$fuzz_seconds" \
        -timeout=30 -artifact_prefix="$findings/$target-" "build-fuzz/corpus/$target" \
        >"build-fuzz/fuzz_$target.log" 2>&1 &
    eval "fuzz_pid_$target=$!"
done
failed=""
for target in $targets; do
    eval "pid=\$fuzz_pid_$target"
    if wait "$pid"; then
        echo "fuzz_$target: $(grep -E '^#[0-9]+' "build-fuzz/fuzz_$target.log" | tail -n 1)"
    else
        failed="$failed $target"
    fi
done
for target in $failed; do
    tail -n 80 "build-fuzz/fuzz_$target.log" >&2
    echo "fuzz_$target found the fault above; the input is in $findings" >&2
    echo "(replay it with: ./build-fuzz/fuzz/fuzz_$target <file>)" >&2
done
[ -z "$failed" ] || exit 1

./tools/test-windows.sh
