#include "movegen/perft.h"

#include "board/attackmap.h"
#include "board/bitboard.h"
#include "board/makemove.h"
#include "movegen/generate.h"

namespace {

// The pseudo-legal moves of side Us the way the search sees them: the evasions when in
// check, otherwise the captures of all enemy men followed by the quiet moves. Needs the
// attack map of the current record.
template <Side Us>
MoveEntry* generateAll(const Position& pos, MoveEntry* list) {
    constexpr Side Them = opposite(Us);
    const Bitboard checkers = Us == White ? pos.state->blackCheckers : pos.state->whiteCheckers;
    if (checkers) return generateEvasions<Us>(pos, list, ~Bitboard(0));
    MoveEntry* end = generateCaptures<Us>(pos, list, pos.pieces[menOf(Them)]);
    return generateQuiets<Us>(pos, end);
}

// Makes the move and refreshes the attack map; true when the mover's king is not attacked.
// The move stays made either way.
template <Side Us>
inline bool makeLegal(Position& pos, Move move) {
    makeMove<Us>(pos, move);
    computeAttacks(pos);
    const Bitboard theirAttacks = Us == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
    return !(theirAttacks & SquareBB[kingSquare(pos, Us)]);
}

// A stop request is read once per node with two or more plies below it: at most some
// tens of thousands of moves (a millisecond or so) pass between two reads, and the nodes
// next to the leaves, where nearly all the work is, read nothing.
inline bool stopRaised(const std::atomic<uint8_t>* stop) {
    return stop && stop->load(std::memory_order_relaxed) != 0;
}

// The leaf count below the position; once a stop is raised the count is incomplete and
// only good for being thrown away.
template <Side Us>
uint64_t walk(Position& pos, int depth, const std::atomic<uint8_t>* stop) {
    constexpr Side Them = opposite(Us);
    if (depth > 1 && stopRaised(stop)) return 0;
    MoveEntry list[MaxMoves];
    MoveEntry* const end = generateAll<Us>(pos, list);
    uint64_t count = 0;
    for (MoveEntry* e = list; e < end; ++e) {
        const Move move = entryMove(*e);
        if (makeLegal<Us>(pos, move)) count += depth > 1 ? walk<Them>(pos, depth - 1, stop) : 1;
        unmakeMove<Us>(pos, move);
    }
    return count;
}

int clampDepth(int depth, int low) {
    return depth < low ? low : depth > PerftMaxDepth ? PerftMaxDepth : depth;
}

}  // namespace

uint64_t perft(Position& pos, int depth) {
    depth = clampDepth(depth, 0);
    if (depth == 0) return 1;
    // Work on a copy of the record (sharing the state stack above the current record) so
    // that the caller's key history is untouched and cannot overflow.
    Position work = pos;
    work.historyLength = 0;
    computeAttacks(work);
    return work.sideToMove == White ? walk<White>(work, depth, nullptr) : walk<Black>(work, depth, nullptr);
}

PerftTotals perftDivide(Position& pos, int depth, const std::atomic<uint8_t>* stop, PerftMoveCount report) {
    depth = clampDepth(depth, 1);
    PerftTotals totals{};
    if (!positionIsValid(pos)) return totals;
    Position work = pos;
    work.historyLength = 0;
    computeAttacks(work);
    MoveEntry list[MaxMoves];
    const Side us = work.sideToMove;
    MoveEntry* const end = us == White ? generateAll<White>(work, list) : generateAll<Black>(work, list);
    for (MoveEntry* e = list; e < end; ++e) {
        const Move move = entryMove(*e);
        const bool legal = us == White ? makeLegal<White>(work, move) : makeLegal<Black>(work, move);
        uint64_t count = 0;
        // After a stop the remaining moves are only told apart as legal or not.
        if (legal && depth > 1 && !totals.stopped)
            count = us == White ? walk<Black>(work, depth - 1, stop) : walk<White>(work, depth - 1, stop);
        if (legal && depth == 1) count = 1;
        if (us == White)
            unmakeMove<White>(work, move);
        else
            unmakeMove<Black>(work, move);
        if (!legal) continue;
        ++totals.legalMoves;
        // A count that a stop may have cut short is dropped with the moves after it.
        totals.stopped = totals.stopped || stopRaised(stop);
        if (totals.stopped) continue;
        report(move, count);
        totals.nodes += count;
        ++totals.counted;
    }
    return totals;
}
