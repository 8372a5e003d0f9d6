// Shared set-up for the evaluation tests: the evaluation tables on top of the board
// tables, small hash tables, the positions of short walks, and the material flags seen
// from the other colour.
#pragma once

#include <string>
#include <vector>

#include "board/attackmap.h"
#include "board/makemove.h"
#include "board_fixture.h"
#include "eval/evalterms.h"
#include "eval/evaluate.h"
#include "eval/kpk.h"
#include "eval/material.h"
#include "hash/evalhash.h"
#include "hash/pawnhash.h"
#include "hash/sizing.h"

inline void buildEvalTables() {
    static const bool built = [] {
        buildTables();
        initMaterialTable();
        initKpk();
        initKingShelter();
        initEvalMasks();
        return true;
    }();
    (void)built;
    if (!PawnHashTable || !EvalHash) {  // other tests may have freed them
        optionHash = 1;
        resizeHashTables();
    }
}

// Appends the FENs of every position within `depth` legal moves of the current one.
inline void walkPositions(Position& pos, int depth, std::vector<std::string>& out) {
    out.push_back(fenOf(pos));
    if (depth == 0) return;
    for (const Move move : legalMoves(pos)) {
        makeMoveAny(pos, move);
        walkPositions(pos, depth - 1, out);
        unmakeMoveAny(pos, move);
    }
}

// Material flags with the colours exchanged: bit 0 and bit 1, bit 5 and bit 6 change places.
constexpr uint8_t swapFlagColours(uint8_t f) {
    return uint8_t((f & 0x9C) | ((f & 0x01) << 1) | ((f & 0x02) >> 1) | ((f & 0x20) << 1) |
                   ((f & 0x40) >> 1));
}

inline int whiteValue(const Position& pos) {
    return pos.sideToMove == White ? pos.state->evalScore : -pos.state->evalScore;
}

// Evaluates after emptying the position's evaluation-hash slot.
inline void evaluateFresh(Position& pos, Move move = NoMove, int low = EvalFullLow, int high = EvalFullHigh) {
    evalSlot(pos.state->key) = 0;
    evaluate(pos, low, high, move);
}
