#!/bin/sh
# Builds the engine the way distributed testing (OpenBench) does: "make -j EXE=<name>" in a
# copy of the source tree, then "./<name> bench", whose last line must carry the node
# signature below and a speed. The copy leaves out build folders and installed packages.
#
# The signature is the search benchmark's node total with one thread. It changes only with
# a change that means to change the search; such a change updates it here, and names the
# new one as "Bench: N" in its commit message, where OpenBench reads it.
set -eu
signature=35340582
cd "$(dirname "$0")/.."
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
tar -cf - --exclude='./build*' --exclude='./.git' --exclude='node_modules' . | tar -xf - -C "$copy"
make -C "$copy" -j EXE=orvo-ob >"$copy/make.log" 2>&1 || { tail -40 "$copy/make.log"; exit 1; }
last=$("$copy/orvo-ob" bench 2>&1 | grep -E '[0-9]+ nodes [0-9]+ nps' | tail -1)
echo "make EXE=orvo-ob, then ./orvo-ob bench: $last"
case "$last" in
"$signature nodes "*) ;;
*)
    echo "the bench signature should be $signature" >&2
    exit 1
    ;;
esac
