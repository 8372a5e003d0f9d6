// Small helpers shared by the node searches (PV, zero-window and quiescence): draw rules,
// the ply limit, and questions about the side to move or the move just made.
#pragma once

#include <algorithm>
#include <cstdint>

#include "board/bitboard.h"
#include "board/makemove.h"
#include "board/position.h"
#include "board/zobrist.h"
#include "core/types.h"
#include "eval/evaluate.h"
#include "hash/tt.h"
#include "movegen/gaintable.h"
#include "movegen/legality.h"
#include "search/search.h"

// Zero-window children deeper than this go to the cut-node or all-node family, children
// of 2 up to this depth to the shallow family, shallower ones to the quiescence search.
constexpr int ShallowMaxDepth = 9;

// Repetition: the current key against the keys 4, 6, 8, ... plies back, as far as the
// fifty-move counter and the key list reach. One earlier occurrence is enough.
inline bool isRepetition(const Position& pos) {
    const StateRecord& st = *pos.state;
    if (st.rule50 < 4) return false;
    const uint64_t reach = std::min<uint64_t>(st.rule50, pos.historyLength);
    for (uint64_t distance = 4; distance <= reach; distance += 2)
        if (pos.keyHistory[pos.historyLength - distance] == st.key) return true;
    return false;
}

// The score of a position drawn by rule, or NoScore when play goes on. With the counter at
// exactly 100 a side in check may be checkmated instead, which the mate test tells.
inline int ruleDrawScore(Position& pos, bool inCheck) {
    const int rule50 = pos.state->rule50;
    if (inCheck && rule50 == 100) return mateTest(pos);
    if (rule50 >= 100) return DrawValue;
    if (isRepetition(pos)) return DrawValue;
    return NoScore;
}

// No line runs deeper than MaxPly plies: such a node stands on its static evaluation, so
// the ply byte, the state stack and the key history cannot overrun.
inline bool atPlyLimit(const Position& pos) { return pos.ply >= MaxPly; }

// The static evaluation of a node at the ply limit, held inside the node's window.
inline int plyLimitScore(const Position& pos, int low, int high) {
    return std::clamp(int(pos.state->evalScore), low, high);
}

// The evaluation plus a tempo term of 4 to 12 points that grows with the material.
inline int standPat(const Position& pos) {
    return pos.state->evalScore + int(pos.state->materialInfo & 0xFF) / 4 + 4;
}

// The game phase of the current record (0: only kings and pawns).
inline int phaseOf(const StateRecord& st) { return int(st.materialInfo & 0xFF); }

// The null move is permitted for Us by the material table and was not just played.
template <Side Us>
inline bool nullMoveAllowed(const Position& pos) {
    return (pos.state->materialFlags >> Us) & 1;
}

// Us has a man other than pawns and the king.
template <Side Us>
inline bool hasPieces(const Position& pos) {
    return (pos.pieces[menOf(Us)] & ~pos.pieces[pieceFor(Us, Pawn)] & ~pos.pieces[pieceFor(Us, King)]) != 0;
}

template <Side Us>
inline Bitboard attacksOf(const StateRecord& st) {
    return Us == White ? st.whiteAttacks : st.blackAttacks;
}

// Men standing alone between a slider of Us and the enemy king: moving one of ours may
// uncover a check.
template <Side Us>
inline Bitboard xrayBlockersOf(const StateRecord& st) {
    return Us == White ? st.whiteXrayBlockers : st.blackXrayBlockers;
}

// Some enemy pawn is attacked by Us.
template <Side Us>
inline bool attacksEnemyPawn(const Position& pos) {
    return (attacksOf<Us>(*pos.state) & pos.pieces[pieceFor(opposite(Us), Pawn)]) != 0;
}

// After a move of Us has been made and evaluated (the child's record is current): the
// move left the mover's own king attacked, so it was illegal.
template <Side Us>
inline bool leftKingAttacked(const Position& pos) {
    return (attacksOf<opposite(Us)>(*pos.state) & SquareBB[kingSquare(pos, Us)]) != 0;
}

// Makes a move of Us and evaluates the child within (low, high). Returns false, with the
// move taken back, when it left the mover's king attacked.
template <Side Us>
inline bool makeLegalMove(Position& pos, Move move, int low, int high) {
    makeMove<Us>(pos, move);
    evaluate(pos, low, high, move);
    if (!leftKingAttacked<Us>(pos)) return true;
    unmakeMove<Us>(pos, move);
    return false;
}

// After a move of Us: the enemy king is in check.
template <Side Us>
inline bool givesCheck(const Position& pos) {
    const StateRecord& st = *pos.state;
    return (Us == White ? st.whiteCheckers : st.blackCheckers) != 0;
}

// A move that captures a man on its to-square or en passant (tested before it is made).
template <Side Us>
inline bool isCapture(const Position& pos, Move move) {
    return (pos.pieces[menOf(opposite(Us))] & SquareBB[moveTo(move)]) || moveType(move) == MoveEnPassant;
}

// Whether the move takes the man back from where our previous move (two plies up) ended
// to where it started.
inline bool undoesPreviousMove(const Position& pos, Move move) {
    const Move previous = (pos.state - 1)->lastMove;
    return moveFrom(move) == moveTo(previous) && moveTo(move) == moveFrom(previous);
}

// The learned positional gain of a quiet move.
inline int gainOf(const Position& pos, Move move) {
    return PositionalGainTable[pos.board[moveFrom(move)]][move & 0xFFF];
}

// The exclusion search keeps its results under the position's key mixed with a key of the
// left-out move's squares, so they never meet those of the normal searches.
inline uint64_t exclusionKey(uint64_t key, Move excluded) {
    return key ^ psqKey[NoPiece][moveFrom(excluded)] ^ psqKey[NoPiece][moveTo(excluded)];
}

// floor(log2(n)) for n >= 1.
inline int floorLog2(unsigned n) { return 31 - __builtin_clz(n); }
