#!/bin/sh
# Self-play games for the win/draw/loss model: Orvo against itself, 1 thread, 40000 nodes a
# move, Hash 16 against Hash 32 (so that the two games of a start are not the same game with
# the colours swapped), each start played with both colours. Every move's comment carries
# the score the mover reported, which tools/wdl/fit.py reads.
#
#   tools/wdl/selfplay.sh ENGINE STARTS GAMES PGN
#
# STARTS is a file of FEN lines (tools/match/random-openings.mjs makes them); game 2k-1 and
# game 2k use its k-th line. Needs "npm ci" in tools/ once.
set -eu
if [ $# -ne 4 ]; then
    echo "usage: tools/wdl/selfplay.sh ENGINE STARTS GAMES PGN" >&2
    exit 2
fi
exec node "$(dirname "$0")/../match/match.mjs" --engine1 "$1" --engine2 "$1" \
    --name1 orvo-h16 --name2 orvo-h32 --option1 Threads=1 --option2 Threads=1 \
    --option1 Hash=16 --option2 Hash=32 --openings "$2" --games "$3" --nodes 40000 --pgn "$4"
