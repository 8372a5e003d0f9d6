#!/bin/bash
# Plays many fast games between Orvo and another engine and counts what must never happen
# to Orvo: illegal moves, time forfeits, crashes and disconnections. Orvo plays with one
# search thread and with two by turns, in blocks of games; each block starts further down
# the openings file. Exits with 1 if Orvo had any of the four, 2 for bad arguments.
#
#   tools/soak.sh [games [time control [opponent]]]     (defaults: 200, 2+0.05, glaurung)
#
# Environment: ORVO (the engine binary, default build/orvo), OPENINGS (an EPD or FEN file,
# default ../shared/openings.epd), MATCH_DIR (the match runner's folder, default
# ../shared/tools/match), SOAK_LOG (where the runner's output goes, default a temporary
# file whose name is printed).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

games=${1:-200}
tc=${2:-2+0.05}
opponent=${3:-glaurung}
orvo=${ORVO:-$root/build/orvo}
openings=${OPENINGS:-$root/../shared/openings.epd}
match_dir=${MATCH_DIR:-$root/../shared/tools/match}
block=20  # games per block: ten openings, each with both colours

case "$games" in '' | *[!0-9]*) echo "games must be a number" >&2; exit 2 ;; esac
[ -x "$orvo" ] || { echo "no engine at $orvo: build it first" >&2; exit 2; }
[ -r "$openings" ] || { echo "no openings file at $openings" >&2; exit 2; }
if ! command -v "$opponent" >/dev/null && [ ! -x "/usr/games/$opponent" ]; then
    if [ "$(id -u)" = 0 ]; then
        apt-get install -y "$opponent" >/dev/null
    else
        echo "$opponent is not installed: apt-get install $opponent" >&2
        exit 2
    fi
fi
opponent_path=$(command -v "$opponent" || echo "/usr/games/$opponent")
opponent_name=$(basename "$opponent")

# The runner needs its packages; the shared folder is read-only, so install into a copy.
if [ ! -d "$match_dir/node_modules" ]; then
    copy=$(mktemp -d)
    cp -r "$match_dir"/. "$copy"
    (cd "$copy" && npm ci --silent >/dev/null)
    match_dir=$copy
fi

log=${SOAK_LOG:-$(mktemp /tmp/orvo-soak.XXXXXX)}
: >"$log"
echo "Soak: $games games at $tc, Orvo ($orvo) against $opponent_name; runner output in $log"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
grep -v '^[[:space:]]*\(#\|$\)' "$openings" >"$scratch/all"
count=$(wc -l <"$scratch/all")
[ "$count" -gt 0 ] || { echo "no openings in $openings" >&2; exit 2; }

played=0
index=0
while [ "$played" -lt "$games" ]; do
    n=$((games - played < block ? games - played : block))
    threads=$((index % 2 + 1))
    # This block's openings: the file rotated by ten lines per block.
    shift_by=$(((index * block / 2) % count))
    { tail -n +"$((shift_by + 1))" "$scratch/all"; head -n "$shift_by" "$scratch/all"; } >"$scratch/block"
    echo "== block $((index + 1)): games $((played + 1))-$((played + n)), Orvo Threads $threads" >>"$log"
    node "$match_dir/match.mjs" --engine1 "$orvo" --name1 Orvo --option1 "Threads=$threads" \
        --option1 "Hash=64" --engine2 "$opponent_path" --name2 "$opponent_name" \
        --openings "$scratch/block" --games "$n" --tc "$tc" --concurrency 2 >>"$log" 2>&1 || {
        echo "the match runner failed; see $log" >&2
        exit 2
    }
    played=$((played + n))
    index=$((index + 1))
    printf '\r%d/%d games' "$played" "$games"
done
echo

# Each finished game's reason names the engine that forfeited it.
awk -v opp="$opponent_name" '
    function count(name, kind) { n[name, kind]++ }
    /^Finished game/ {
        if (match($0, /\{[^}]*\}/) == 0) next
        reason = substr($0, RSTART + 1, RLENGTH - 2)
        for (i = 0; i < 2; i++) {
            name = i == 0 ? "Orvo" : opp
            if (index(reason, "makes an illegal move") && index(reason, "(" name ")")) count(name, "illegal")
            else if (index(reason, "loses on time (" name " ")) count(name, "time")
            else if (index(reason, "loses: " name " crashed")) count(name, "crash")
            else if (index(reason, "forfeits: " name " ")) {
                if (index(reason, "sent no ")) count(name, "disconnect"); else count(name, "crash")
            } else if (index(reason, "Both engines failed")) count(name, "crash")
        }
    }
    /^Orvo: [0-9]+ wins/ { w += $2; l += $4; d += $6 }
    END {
        printf "%-12s %8s %13s %8s %15s\n", "", "illegal", "time forfeit", "crash", "disconnection"
        for (i = 0; i < 2; i++) {
            name = i == 0 ? "Orvo" : opp
            printf "%-12s %8d %13d %8d %15d\n", name, n[name, "illegal"], n[name, "time"], \
                n[name, "crash"], n[name, "disconnect"]
            if (i == 0) bad = n[name, "illegal"] + n[name, "time"] + n[name, "crash"] + n[name, "disconnect"]
        }
        total = w + l + d
        if (total > 0)
            printf "Orvo: %d wins, %d losses, %d draws, score %.1f/%d = %.1f%%\n", w, l, d, \
                w + d / 2, total, 100 * (w + d / 2) / total
        exit bad > 0 ? 1 : 0
    }' "$log"
