// Test-only stand-in for the search driver: sets up the root the way a search starts
// (state records, generation, key history, root evaluation) and runs the PV search at
// fixed depths.
#pragma once

#include <cstring>
#include <string>

#include "board/attackmap.h"
#include "board/makemove.h"
#include "board_fixture.h"
#include "core/flags.h"
#include "core/params.h"
#include "eval/evalterms.h"
#include "eval/evaluate.h"
#include "eval/kpk.h"
#include "eval/material.h"
#include "hash/evalhash.h"
#include "hash/pawnhash.h"
#include "hash/pvhash.h"
#include "hash/sizing.h"
#include "hash/tt.h"
#include "movegen/gaintable.h"
#include "movegen/history.h"
#include "search/search.h"

inline void buildSearchTables() {
    static const bool built = [] {
        buildTables();
        initMaterialTable();
        initKpk();
        initKingShelter();
        initEvalMasks();
        optionHash = 1;
        resizeHashTables();
        return true;
    }();
    (void)built;
}

// Small tables, all empty: transposition, PV, evaluation and pawn hashes, history, gains.
inline void clearSearchTables() {
    buildSearchTables();
    if (optionHash != 1 || !HashTable || !PawnHashTable || !EvalHash || !PVHash) {
        optionHash = 1;
        resizeHashTables();
    }
    clearHash();
    clearPVHash();
    clearEvalHash();
    clearPawnHash();
    resetHistory();
    clearPositionalGains();
}

// The keys of the game positions within the fifty-move window, oldest first, ending with
// the current one (the driver's repetition list).
inline void rebuildKeyHistory(Position& pos) {
    const StateRecord* cur = pos.state;
    pos.historyLength = 0;
    if (cur->rule50 > 110) return;
    const StateRecord* first = cur - cur->rule50;
    if (first < pos.stateBase + 1) first = pos.stateBase + 1;
    if (first > cur) first = cur;
    int n = 0;
    for (const StateRecord* r = first; r <= cur; ++r) pos.keyHistory[n++] = r->key;
    pos.historyLength = uint64_t(n > 0 ? n - 1 : 0);
}

// Arguments of a "position" command ("startpos ...", "fen ... moves ..."), then the root
// set up as a search starts it: the current record becomes the second one of a cleared
// stack, ply 0, a new generation in every record, the root evaluated with the full window.
inline Position& setUpSearch(const std::string& command) {
    buildSearchTables();
    Position& pos = testPosition();
    positionCommand(pos, command.c_str());
    rebuildKeyHistory(pos);
    StateRecord* const base = pos.stateBase;
    if (pos.state != base + 1) std::memcpy(static_cast<void*>(base + 1), pos.state, sizeof(StateRecord));
    std::memset(static_cast<void*>(base + 2), 0, 254 * sizeof(StateRecord));
    std::memset(static_cast<void*>(base), 0, sizeof(StateRecord));
    pos.state = base + 1;
    pos.ply = 0;
    const uint8_t generation = nextGeneration();
    for (int k = 0; k < 256; ++k) base[k].ttGeneration = generation;
    pos.nodes = 0;
    setAbort(pos, false);
    evaluate(pos, EvalFullLow, EvalFullHigh, 0);
    return pos;
}

inline Position& setUpFen(const std::string& fen) { return setUpSearch("fen " + fen); }

struct SearchResult {
    int score;
    Move move;
    uint64_t nodes;
};

// Iterative fixed depths 2, 4, ..., depth (half plies) of the PV search with the full window.
template <Side Us>
SearchResult searchToDepth(Position& pos, int depth) {
    const bool checked = inCheck(pos);
    int score = 0;
    for (int d = 2; d <= depth; d += 2) score = PVsearch<Us>(pos, -MateValue, MateValue, d, checked);
    Move move = bestMoveSlot(pos);
    if (!move) move = probePV(pos.state->key);
    return {score, move, pos.nodes};
}

inline SearchResult searchToDepth(Position& pos, int depth) {
    return pos.sideToMove == White ? searchToDepth<White>(pos, depth) : searchToDepth<Black>(pos, depth);
}

// The legal moves of the position (side-generic), for checking what a search returns.
inline int legalMoves(Position& pos, Move* out) {
    MoveEntry list[MaxMoves];
    computeAttacks(pos);
    MoveEntry* end;
    if (inCheck(pos)) {
        end = generateEvasionsAny(pos, list, ~Bitboard(0));
    } else {
        end = generateCapturesAny(pos, list, ~Bitboard(0));
        end = generateQuietsAny(pos, end);
    }
    const Side mover = pos.sideToMove;
    int n = 0;
    for (MoveEntry* e = list; e < end; ++e) {
        const Move m = entryMove(*e);
        makeMoveAny(pos, m);
        computeAttacks(pos);
        const Bitboard theirs = mover == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
        const bool legal = !(theirs & SquareBB[kingSquare(pos, mover)]);
        unmakeMoveAny(pos, m);
        if (legal) out[n++] = m;
    }
    computeAttacks(pos);
    return n;
}

// Is the move text legal after the arguments of a "position" command?
inline bool isLegalAfter(const std::string& position, const std::string& move) {
    Position& pos = testPosition();
    positionCommand(pos, position.c_str());
    Move moves[MaxMoves];
    const int n = legalMoves(pos, moves);
    for (int i = 0; i < n; ++i) {
        char text[8];
        if (move == moveToText(moves[i], text)) return true;
    }
    return false;
}
