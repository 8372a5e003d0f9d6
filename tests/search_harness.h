// Searches below the driver: the root set up by the driver's own routine, and the PV search
// run at fixed depths.
#pragma once

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
#include "search/driver.h"
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

// Arguments of a "position" command ("startpos ...", "fen ... moves ..."), then the root
// set up as a search starts it (the driver's own set-up: key history, cleared stack, new
// generation), its node count and abort flag reset and the root evaluated with the full
// window.
inline Position& setUpSearch(const std::string& command) {
    buildSearchTables();
    Position& pos = positionFrom(command);
    setUpSearchRoot(pos);
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
