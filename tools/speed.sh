#!/bin/bash
# Compares the speed of the working tree with an earlier commit: builds both as the README
# builds the engine, runs the search benchmark (fixed-depth searches, one thread), the
# perft benchmark and the engine's own "orvo bench" of each several times, the two builds
# taking turns, and prints the median nodes per second of each with their ratio. Run it on
# an otherwise idle machine.
#
#   tools/speed.sh <commit> [runs]        (default 5 runs)
#
# The builds go under build-speed/ (SPEED_DIR to change it).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: tools/speed.sh <commit> [runs]" >&2
    exit 2
fi
base=$(git rev-parse --verify --quiet "$1^{commit}") || { echo "no such commit: $1" >&2; exit 2; }
runs=${2:-5}
case "$runs" in '' | *[!0-9]* | 0) echo "runs must be a positive number" >&2; exit 2 ;; esac
dir=${SPEED_DIR:-$root/build-speed}
mkdir -p "$dir"

# The earlier commit in a worktree of its own, built once per commit.
tree="$dir/tree-${base:0:12}"
if [ ! -d "$tree" ]; then
    git worktree add --detach "$tree" "$base" >/dev/null
fi
echo "building the working tree and ${base:0:12}..."
cmake -S "$root" -B "$dir/current" -G Ninja >/dev/null
cmake --build "$dir/current" --target orvo orvo_bench >/dev/null
# Each earlier commit has a build folder of its own: CMake ties a folder to one source tree.
base_build="base-${base:0:12}"
cmake -S "$tree" -B "$dir/$base_build" -G Ninja >/dev/null
cmake --build "$dir/$base_build" --target orvo orvo_bench >/dev/null

results="$dir/results.csv"
: >"$results"
# One run of a build (its name, its folder): "<build>,<benchmark>,<nodes>,<nodes per second>"
# per benchmark. Each benchmark runs in a process of its own: a perft run first would set up
# the tables again and draw new hash keys, and the search would not count its usual nodes.
# The search benchmark prints its exact node count (the file rounds it).
run() {
    for benchmark in SearchFixedDepth PerftStartDepth6; do
        "$dir/$2/orvo_bench" --benchmark_filter="^$benchmark/" --benchmark_out="$dir/run.csv" \
            --benchmark_out_format=csv >"$dir/run.out" 2>&1
        signature=$(grep -a -o 'search signature: [0-9]*' "$dir/run.out" | awk '{ print $3 }' || true)
        awk -F, -v build="$1" -v signature="$signature" '/^"/ {
            split($1, name, "/"); gsub(/"/, "", name[1]);
            nodes = name[1] == "SearchFixedDepth" && signature != "" ? signature : sprintf("%.0f", $(NF - 1))
            printf "%s,%s,%s,%.0f\n", build, name[1], nodes, $NF }' "$dir/run.csv" >>"$results"
    done
    # The command-line benchmark ends with "<nodes> nodes <nps> nps".
    "$dir/$2/orvo" bench >"$dir/run.out" 2>&1
    awk -v build="$1" '$2 == "nodes" && $4 == "nps" { nodes = $1; nps = $3 }
        END { printf "%s,OrvoBench,%s,%s\n", build, nodes, nps }' "$dir/run.out" >>"$results"
}
for ((i = 1; i <= runs; i++)); do
    # The two builds take turns, and each goes first in every other round.
    if ((i % 2)); then
        run base "$base_build"
        run current current
    else
        run current current
        run base "$base_build"
    fi
    printf '\rrun %d/%d' "$i" "$runs"
done
echo

# Medians per build and benchmark, the ratio current/base, and the node counts (a search
# benchmark whose node count changed searches a different tree).
sort -t, -k1,2 -k4,4n "$results" | awk -F, -v base="${base:0:12}" '
    { key = $2 SUBSEP $1; v[key, ++n[key]] = $4; nodes[key] = $3; names[$2] = 1 }
    function median(key,   c) { c = n[key]; return c % 2 ? v[key, (c + 1) / 2] : (v[key, c / 2] + v[key, c / 2 + 1]) / 2 }
    END {
        printf "%-18s %14s %14s %8s   %s\n", "benchmark", "base nps", "current nps", "ratio", "nodes (base / current)"
        for (name in names) {
            b = median(name SUBSEP "base"); c = median(name SUBSEP "current")
            printf "%-18s %14.0f %14.0f %8.3f   %.0f / %.0f\n", name, b, c, c / b,
                nodes[name, "base"], nodes[name, "current"]
        }
        printf "medians of %d runs each, base %s\n", n[name SUBSEP "base"], base
    }'
