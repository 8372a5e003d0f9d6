// Move-ordering heuristics: the history counters (per piece code and to-square, shared by
// all threads without locks) and the two killer moves of each ply (in the ply's record).
#pragma once

#include <cstdint>

#include "board/position.h"
#include "core/types.h"
#include "movegen/history.h"

// Counters approach this value from below.
constexpr unsigned HistoryMax = 65280;
// The update formulas keep a counter within 0..HistoryMax for depths up to this.
constexpr int HistoryMaxDepth = 256;

inline unsigned historyDepth(int depth) {
    return unsigned(depth < 0 ? 0 : depth > HistoryMaxDepth ? HistoryMaxDepth : depth);
}

// The counter of a move of the position (read before the move is made or after it is
// taken back: the mover stands on the from-square).
inline Relaxed<uint16_t>& historyOf(const Position& pos, Move move) {
    return HistoryTable[pos.board[moveFrom(move)]][moveTo(move)];
}

// A move that failed high: the counter moves toward HistoryMax by depth / 256 of the gap.
inline void historyBonus(const Position& pos, Move move, int depth) {
    Relaxed<uint16_t>& counter = historyOf(pos, move);
    const unsigned h = counter;
    counter = uint16_t(h + (((HistoryMax - h) * historyDepth(depth)) >> 8));
}

// A move that did not: the counter loses depth / 256 of itself.
inline void historyPenalty(const Position& pos, Move move, int depth) {
    Relaxed<uint16_t>& counter = historyOf(pos, move);
    const unsigned h = counter;
    counter = uint16_t(h - ((h * historyDepth(depth)) >> 8));
}

// The killers of the current ply: a new move pushes the first one down.
inline void updateKillers(Position& pos, Move move) {
    StateRecord& st = *pos.state;
    if (move != st.killer1) {
        st.killer2 = st.killer1;
        st.killer1 = move;
    }
}

// A quiet move that failed high: history bonus and killer update.
inline void rewardQuiet(Position& pos, Move move, int depth) {
    historyBonus(pos, move, depth);
    updateKillers(pos, move);
}

// Keys a list of evasions for the node searches in check and sorts it, highest first:
// the hash move on top, then captures by their generated key, killer1, killer2 and the
// other moves by their history counter.
template <Side Us>
void orderEvasions(const Position& pos, MoveEntry* begin, MoveEntry* end, Move hashMove);
