// How a PV node searches one of its moves: the extension and the late-move reduction.
// The node's own loop and the threads that share its moves at a split point use the same
// rules, so a move is searched the same way whichever thread takes it.
#pragma once

#include "board/bitboard.h"
#include "board/position.h"
#include "movegen/picker.h"
#include "movegen/see.h"
#include "search/node.h"
#include "core/params.h"

// What a PV node knows of a move before making it.
struct PVMoveFacts {
    bool safe;        // loses nothing by exchange
    bool passedPush;  // a pawn arriving on our fourth rank or beyond with no enemy pawn ahead
};

template <Side Us>
inline PVMoveFacts pvMoveFacts(const Position& pos, MoveEntry entry, Move move, bool capture) {
    constexpr Side Them = opposite(Us);
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), OurKing = pieceFor(Us, King);
    constexpr uint8_t TheirPawn = pieceFor(Them, Pawn);
    constexpr Bitboard FourthRankOn = Us == White ? 0xFFFFFFFFFF000000ull : 0x000000FFFFFFFFFFull;
    const Square to = moveTo(move);
    const uint8_t mover = pos.board[moveFrom(move)];
    const bool safe = moveType(move) == MoveEnPassant || mover == OurKing ||
                      (capture && captureClass(entry)) || seeOk<Us>(pos, move);
    const bool passedPush = mover == OurPawn && (FourthRankOn & SquareBB[to]) &&
                            !(PassedPawnSpan[Us][to] & pos.pieces[TheirPawn]);
    return {safe, passedPush};
}

// The extension of a move just made (the child's record is current), before the hash
// move's own extension is considered.
inline int pvExtension(const StateRecord& child, PVMoveFacts facts, bool check, bool inCheck) {
    const uint8_t captured = child.capturedPiece;
    const bool bigCapture = captured && kindOf(captured) != Pawn;
    int extension = inCheck ? 1 : 0;
    if (facts.safe) {
        if (check || captured || facts.passedPush) extension = 1;
        if (bigCapture) extension = 2;
    }
    if (bigCapture && phaseOf(child) == 0) extension = 6;  // into a pawn ending
    return extension;
}

// The late-move reduction of an unextended quiet move, counted i-th, in a narrow window;
// one less when the move improved the static evaluation.
inline int pvReduction(int extension, int i, int stage, int window, int depth, int childEval, int eval) {
    if (extension == 0 && i >= tuning.PVReductionMoveCount && stage == StageQuiets &&
        window < tuning.PVReductionMaxWindow && depth >= tuning.PVReductionMinDepth)
        return floorLog2(unsigned(i + 1)) - (childEval > eval ? 1 : 0);
    return 0;
}
