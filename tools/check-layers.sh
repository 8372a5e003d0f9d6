#!/bin/sh
# Checks that the engine's folders depend only downwards, in the layer order below (the
# README's layout section describes each layer):
#
#   platform core hash board movegen eval smp search shell
#
# A file of src/<folder>/ may include headers of its own folder and of the layers below
# it; src/main.cpp stands on top of them all. Every folder of src/ must have its place in
# the order.
#
#   tools/check-layers.sh [build folder]
#
# Given a build folder, it also reads the symbols of the engine library's object files:
# a routine or variable that a file uses and that only a higher layer defines is a call
# up the layers that no include shows (a declaration whose definition lives above it).
# Such a call must go through a function pointer that the lower layer declares and a
# higher one sets at start-up.
set -eu
cd "$(dirname "$0")/.."
layers="platform core hash board movegen eval smp search shell"

rank() {
    r=0
    for layer in $layers; do
        r=$((r + 1))
        if [ "$layer" = "$1" ]; then
            echo "$r"
            return
        fi
    done
    echo 0
}

failed=0
for dir in src/*/; do
    folder=$(basename "$dir")
    if [ "$(rank "$folder")" = 0 ]; then
        echo "src/$folder/ has no place in the layer order of tools/check-layers.sh" >&2
        failed=1
    fi
done

# Every include of a project header, as "file line folder".
includes=$(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' src/*/*.h src/*/*.cpp |
    sed 's|^\([^:]*\):\([0-9]*\):[^"]*"\([^"/]*\)/.*|\1 \2 \3|; s|^\([^:]*\):\([0-9]*\):[^"]*"\([^"/]*\)".*|\1 \2 -|')
echo "$includes" | {
    bad=0
    while read -r file line target; do
        [ -n "$file" ] || continue
        folder=$(echo "$file" | cut -d/ -f2)
        own=$(rank "$folder")
        if [ "$target" = "-" ]; then
            echo "$file:$line: includes a header without its folder" >&2
            bad=1
            continue
        fi
        theirs=$(rank "$target")
        if [ "$theirs" = 0 ]; then
            echo "$file:$line: includes from $target/, which is no layer" >&2
            bad=1
        elif [ "$theirs" -gt "$own" ]; then
            echo "$file:$line: $folder/ includes $(sed -n "${line}p" "$file" | sed 's/.*"\(.*\)".*/\1/'), a higher layer" >&2
            bad=1
        fi
    done
    exit $bad
} || failed=1

if [ $# -ge 1 ]; then
    objects="$1/CMakeFiles/orvo_core.dir/src"
    if [ ! -d "$objects" ]; then
        echo "no object files of the engine library in $objects" >&2
        exit 2
    fi
    # "layer symbol" for every symbol an object file defines, and for every one it uses.
    defined=$(mktemp)
    used=$(mktemp)
    upward=$(mktemp)
    trap 'rm -f "$defined" "$used" "$upward"' EXIT
    command -v nm >/dev/null || { echo "the call check needs nm (Debian package binutils)" >&2; exit 2; }
    for source in src/*/*.cpp; do
        object="$objects/${source#src/}.o"
        [ -f "$object" ] || continue  # the other system's platform file
        folder=$(basename "$(dirname "$source")")
        own=$(rank "$folder")
        nm --defined-only "$object" | awk -v r="$own" 'NF == 3 && $2 ~ /[TtWwVvDdBbRrGgSsu]/ { print r, $3 }' >>"$defined"
        nm --undefined-only "$object" | awk -v r="$own" -v f="$object" 'NF == 2 { print r, $2, f }' >>"$used"
    done
    # A symbol a file uses is fine when a file of its own layer or a lower one defines it;
    # symbols the library does not define at all (the C and C++ run time) are not ours.
    awk -v prefix="$objects/" '
        NR == FNR { if (!($2 in lowest) || $1 < lowest[$2]) lowest[$2] = $1; next }
        ($2 in lowest) && lowest[$2] > $1 {
            sub(prefix, "src/", $3); sub(/\.o$/, "", $3)
            print $3 ": uses " $2 ", which only a higher layer defines"
        }' "$defined" "$used" >"$upward"
    if [ -s "$upward" ]; then
        # The names as the code writes them, where c++filt is at hand.
        if command -v c++filt >/dev/null; then c++filt <"$upward" >&2; else cat "$upward" >&2; fi
        failed=1
    fi
fi

if [ "$failed" != 0 ]; then
    echo "The layer order is broken: a layer includes or calls only its own folder and the layers below." >&2
    exit 1
fi
echo "layers: every include and call goes downwards ($layers)"
