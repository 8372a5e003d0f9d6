#!/bin/bash
# Calibrates Orvo's limited strength against Stockfish's: at each level, Orvo with
# UCI_LimitStrength and that UCI_Elo plays Stockfish with the same settings, 10+0.1, one
# thread and 16 MB of hash each, from the 49 openings of tools/match/openings.epd with both
# colours. Then, with --monotonic, Orvo plays itself one level against the next. Prints the
# table of each part; the match logs and PGN go to the output folder.
#
#   tools/strength/calibrate.sh [--engine ORVO] [--stockfish SF] [--games N] [--out DIR]
#                               [--levels "1500 2000 2500"] [--monotonic] [--no-stockfish]
#
# Defaults: build/orvo, /usr/games/stockfish (Debian's stockfish package), 100 games,
# strength-calibration/. Needs "npm ci" in tools/ once. CONCURRENCY (default 1) games are
# played at once; on a machine with C cores keep it at C/2 at most, so that no engine waits
# for a processor while its clock runs.
set -euo pipefail
cd "$(dirname "$0")/../.."

engine=build/orvo stockfish=/usr/games/stockfish games=100 out=strength-calibration
levels="1500 2000 2500" monotonic=0 against=1
while [ $# -gt 0 ]; do
    case "$1" in
    --engine) engine=$2; shift 2 ;;
    --stockfish) stockfish=$2; shift 2 ;;
    --games) games=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --levels) levels=$2; shift 2 ;;
    --monotonic) monotonic=1; shift ;;
    --no-stockfish) against=0; shift ;;
    *) sed -n '2,15p' "$0" >&2; exit 2 ;;
    esac
done
[ -x "$engine" ] || { echo "no engine at $engine (build it first)" >&2; exit 2; }
[ -d tools/node_modules/chessops ] || { echo "run npm ci in tools/ first" >&2; exit 2; }
mkdir -p "$out"

# One match; its summary lines are kept in $out/NAME.log.
match() {
    local name=$1
    shift
    node tools/match/match.mjs --openings tools/match/openings.epd --games "$games" --tc 10+0.1 \
        --concurrency "${CONCURRENCY:-1}" --pgn "$out/$name.pgn" "$@" >"$out/$name.log"
}

# "games score elo err illegal/time/crash/disconnect losses of engine 1" from a log.
figures() {
    awk '/^Score of / { split($4, a, "/"); games = a[2]; score = $6 }
         /^Elo difference/ { elo = $(NF - 3); err = $(NF - 1) }
         /^  / && !seen++ { sub(/^[^:]*: /, ""); gsub(/ /, ""); losses = $0 }
         END { printf "%s %s %s %s %s\n", games, score, elo, err, losses }' "$1"
}

limited() { echo "--option$1 Threads=1 --option$1 Hash=16 --option$1 UCI_LimitStrength=true --option$1 UCI_Elo=$2"; }

if [ "$against" = 1 ]; then
    [ -x "$stockfish" ] || { echo "no Stockfish at $stockfish (apt-get install stockfish)" >&2; exit 2; }
    echo "Orvo against Stockfish, both limited to the level, 10+0.1, 1 thread each:"
    printf '%-6s %6s %8s %18s   %s\n' level games score "Elo (Orvo - SF)" "Orvo's losses by illegal move/time/crash/disconnection"
    for level in $levels; do
        # shellcheck disable=SC2046
        match "sf-$level" --engine1 "$engine" --engine2 "$stockfish" --name1 "orvo-$level" --name2 "sf-$level" \
            $(limited 1 "$level") $(limited 2 "$level")
        read -r n score elo err losses <<<"$(figures "$out/sf-$level.log")"
        printf '%-6s %6s %8s %18s   %s\n' "$level" "$n" "$score" "$elo +/- $err" "$losses"
    done
fi

if [ "$monotonic" = 1 ]; then
    echo "Orvo against itself one level up, 10+0.1, 1 thread each:"
    printf '%-12s %6s %8s %18s\n' levels games score "Elo (upper - lower)"
    previous=
    for level in $levels; do
        if [ -n "$previous" ]; then
            # shellcheck disable=SC2046
            match "orvo-$level-$previous" --engine1 "$engine" --engine2 "$engine" \
                --name1 "orvo-$level" --name2 "orvo-$previous" $(limited 1 "$level") $(limited 2 "$previous")
            read -r n score elo err losses <<<"$(figures "$out/orvo-$level-$previous.log")"
            printf '%-12s %6s %8s %18s\n' "$level-$previous" "$n" "$score" "$elo +/- $err"
        fi
        previous=$level
    done
fi
