#!/bin/sh
# Cross-builds orvo.exe and its tests with MinGW-w64 and runs the tests under Wine: the
# unit tests, and the process tests that drive orvo.exe through pipes.
# Installs the Debian packages it needs when run as root; otherwise names them.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

find_wine() {
    for w in "$(command -v wine64 || true)" /usr/lib/wine/wine64 "$(command -v wine || true)"; do
        if [ -n "$w" ] && [ -x "$w" ]; then
            echo "$w"
            return
        fi
    done
}

missing=""
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || missing="$missing g++-mingw-w64-x86-64-posix"
[ -n "$(find_wine)" ] || missing="$missing wine64"
# Wine's loader is linked at 0x7d000000, and Linux places its program break at random
# within the gigabyte above that. Without the preloader, which reserves Wine's fixed
# ranges before anything else is mapped, the break covers the shared user data page at
# 0x7ffe0000 in about one start out of a few thousand: that process ends at once with
# code 1, without a word under WINEDEBUG=-all, and a test fails with an empty log.
[ -x /usr/lib/wine/wine64-preloader ] || missing="$missing wine64-preloader"
[ -f /usr/src/googletest/googletest/CMakeLists.txt ] || missing="$missing googletest"
if [ -n "$missing" ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "The Windows build and its tests need these Debian packages:$missing" >&2
        echo "Install them with: sudo apt-get install -y --no-install-recommends$missing" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    # shellcheck disable=SC2086
    apt-get install -y --no-install-recommends $missing ||
        { apt-get update && apt-get install -y --no-install-recommends $missing; }
fi

cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
cmake --build build-windows -j "$jobs"

# A Wine of its own, headless and quiet, with a server that stays up for the whole run,
# and booted before any test: the server, and the services that wineboot starts, would
# otherwise be started by the first test and keep its output open for as long as they run,
# so that ctest waits for that test until its time limit. (Tests run again by hand need
# the same: wineserver -p, then wineboot --init.)
wine=$(find_wine)
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1
trap '"$wineserver" -k </dev/null >/dev/null 2>&1 || true' EXIT
"$wine" wineboot --init </dev/null >/dev/null 2>&1

# The process tests of the Linux test program (when it has been built) once more, with
# orvo.exe under Wine on a Unix pipe, as when a Linux tool drives it. Wine cannot peek
# such a pipe: this is the engine's reader-thread input.
if [ -x build/orvo_tests ]; then
    ORVO_ENGINE="$wine $PWD/build-windows/orvo.exe" ./build/orvo_tests --gtest_filter='*Process*'
fi

ctest --test-dir build-windows --output-on-failure -j "$jobs"
