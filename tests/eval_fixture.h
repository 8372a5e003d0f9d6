// Shared set-up for the evaluation tests: the evaluation tables on top of the board
// tables, small hash tables, the FEN of a position or of its colour mirror, and the
// positions of short walks.
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

// The FEN of a position, or of its colour mirror: board turned top to bottom, colours of
// the men, side to move, castling rights and en-passant square exchanged.
inline std::string fenOf(const Position& pos, bool mirror = false) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const uint8_t code = pos.board[makeSquare(file, rank) ^ (mirror ? 56 : 0)];
            if (code && empty) fen += char('0' + empty);
            empty = code ? 0 : empty + 1;
            if (code) fen += ".PNKBBRQ.pnkbbrq"[mirror ? code ^ 8 : code];
        }
        if (empty) fen += char('0' + empty);
        if (rank) fen += '/';
    }
    fen += (pos.sideToMove == White) != mirror ? " w " : " b ";
    const uint8_t rights =
        mirror ? ((pos.state->castling & 3) << 2) | (pos.state->castling >> 2) : pos.state->castling;
    for (int i = 0; i < 4; ++i)
        if (rights & (1 << i)) fen += "KQkq"[i];
    fen += rights ? " " : "- ";
    const Square ep = pos.state->epSquare ^ (mirror ? 56 : 0);
    fen += pos.state->epSquare ? std::string{char('a' + fileOf(ep)), char('1' + rankOf(ep))} : "-";
    return fen + " 0 1";
}

// The legal moves of the side to move (needs the attack map of the current record).
inline std::vector<Move> legalMoves(Position& pos) {
    MoveEntry list[MaxMoves];
    MoveEntry* end = inCheck(pos) ? generateEvasionsAny(pos, list, ~Bitboard(0))
                                  : generateQuietsAny(pos, generateCapturesAny(pos, list, ~Bitboard(0)));
    std::vector<Move> moves;
    const Side mover = pos.sideToMove;
    for (MoveEntry* e = list; e < end; ++e) {
        makeMoveAny(pos, entryMove(*e));
        computeAttacks(pos);
        const Bitboard theirAttacks = mover == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
        if (!(theirAttacks & SquareBB[kingSquare(pos, mover)])) moves.push_back(entryMove(*e));
        unmakeMoveAny(pos, entryMove(*e));
    }
    return moves;
}

// Appends the FENs of every position within `depth` legal moves of the current one.
inline void walkPositions(Position& pos, int depth, std::vector<std::string>& out) {
    out.push_back(fenOf(pos));
    if (depth == 0) return;
    computeAttacks(pos);
    for (const Move move : legalMoves(pos)) {
        makeMoveAny(pos, move);
        walkPositions(pos, depth - 1, out);
        unmakeMoveAny(pos, move);
    }
}

inline int whiteValue(const Position& pos) {
    return pos.sideToMove == White ? pos.state->evalScore : -pos.state->evalScore;
}

// Evaluates after emptying the position's evaluation-hash slot.
inline void evaluateFresh(Position& pos, Move move = NoMove, int low = EvalFullLow, int high = EvalFullHigh) {
    evalSlot(pos.state->key) = 0;
    evaluate(pos, low, high, move);
}
