// Shared set-up for the evaluation tests: the evaluation tables on top of the board
// tables, small hash tables, FEN text of a position, its colour mirror, and the positions
// of short walks from a FEN.
#pragma once

#include <string>
#include <vector>

#include "board/makemove.h"
#include "board_fixture.h"
#include "eval/evalterms.h"
#include "eval/evaluate.h"
#include "eval/kpk.h"
#include "eval/material.h"
#include "hash/evalhash.h"
#include "hash/pawnhash.h"
#include "hash/sizing.h"
#include "movegen/attacks.h"

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
    // Other tests may have freed or resized the tables.
    if (!PawnHashTable || !EvalHash) {
        optionHash = 1;
        resizeHashTables();
    }
}

inline char pieceLetter(uint8_t code) {
    static const char letters[] = ".PNKBBRQ.pnkbbrq";
    return letters[code & 15];
}

inline std::string squareName(Square s) { return {char('a' + fileOf(s)), char('1' + rankOf(s))}; }

// The FEN of a position; with mirror set, of its colour mirror: the board turned top to
// bottom, the colours of all men, the side to move, the castling rights and the
// en-passant square exchanged.
inline std::string fenOf(const Position& pos, bool mirror = false) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const Square s = mirror ? makeSquare(file, rank) ^ 56 : makeSquare(file, rank);
            const uint8_t code = pos.board[s];
            if (!code) {
                ++empty;
                continue;
            }
            if (empty) fen += char('0' + empty);
            empty = 0;
            fen += pieceLetter(mirror ? code ^ 8 : code);
        }
        if (empty) fen += char('0' + empty);
        if (rank) fen += '/';
    }
    const bool whiteToMove = (pos.sideToMove == White) != mirror;
    fen += whiteToMove ? " w " : " b ";
    uint8_t rights = pos.state->castling;
    if (mirror) rights = uint8_t(((rights & 3) << 2) | ((rights >> 2) & 3));
    std::string castling;
    if (rights & 1) castling += 'K';
    if (rights & 2) castling += 'Q';
    if (rights & 4) castling += 'k';
    if (rights & 8) castling += 'q';
    fen += castling.empty() ? "-" : castling;
    const uint8_t ep = pos.state->epSquare;
    fen += ' ';
    fen += ep ? squareName(mirror ? ep ^ 56 : ep) : "-";
    fen += ' ' + std::to_string(pos.state->rule50) + " 1";
    return fen;
}

// The legal moves of the side to move (the attack map of the current record must be filled).
inline std::vector<Move> legalMoves(Position& pos) {
    MoveEntry list[MaxMoves];
    MoveEntry* end = inCheck(pos) ? generateEvasionsAny(pos, list, ~Bitboard(0))
                                  : generateQuietsAny(pos, generateCapturesAny(pos, list, ~Bitboard(0)));
    std::vector<Move> moves;
    const Side mover = pos.sideToMove;
    for (MoveEntry* e = list; e < end; ++e) {
        const Move move = entryMove(*e);
        makeMoveAny(pos, move);
        computeAttacks(pos);
        const Bitboard theirAttacks = mover == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
        if (!(theirAttacks & SquareBB[kingSquare(pos, mover)])) moves.push_back(move);
        unmakeMoveAny(pos, move);
    }
    return moves;
}

namespace walkdetail {
inline void walk(Position& pos, int depth, std::vector<std::string>& out) {
    out.push_back(fenOf(pos));
    if (depth == 0) return;
    computeAttacks(pos);
    for (const Move move : legalMoves(pos)) {
        makeMoveAny(pos, move);
        walk(pos, depth - 1, out);
        unmakeMoveAny(pos, move);
    }
}
}  // namespace walkdetail

// The FENs of every position within `depth` legal moves of `fen`, the start included.
inline std::vector<std::string> walkPositions(const std::string& fen, int depth) {
    buildEvalTables();
    Position& pos = setUp(fen);
    std::vector<std::string> out;
    walkdetail::walk(pos, depth, out);
    return out;
}

// The value of the current record from White's point of view.
inline int whiteValue(const Position& pos) {
    return pos.sideToMove == White ? pos.state->evalScore : -pos.state->evalScore;
}

// Evaluates with the full window after emptying the position's evaluation-hash slot.
inline void evaluateFresh(Position& pos, Move move = NoMove) {
    evalSlot(pos.state->key) = 0;
    evaluate(pos, EvalFullLow, EvalFullHigh, move);
}
