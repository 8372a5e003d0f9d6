// Iterative deepening and the root search.
#pragma once

#include <cstdint>

#include "core/types.h"
#include "core/flags.h"

struct Position;

// One entry of the root move list.
struct RootMove {
    uint32_t move;   // while the list is ordered, the upper bits carry the ordering key
    int32_t score;   // the score the move got in the last iteration that searched it
    uint64_t nodes;  // nodes searched below the move in that iteration
};
static_assert(sizeof(RootMove) == 16, "a root move is 16 bytes");

// The legal root moves, ended by an entry whose move is 0.
extern RootMove RootMoves[MaxMoves];

// One line of the multiple-lines mode.
struct MultiPvLine {
    int32_t move;  // 0 ends the table
    int32_t score;
    int32_t alpha;
    int32_t beta;
    int32_t depth;  // half plies
};
constexpr int MaxPVLines = 250;
extern MultiPvLine PVLines[MaxPVLines + 1];
// The lines in the table.
int lineCount();

// Carried from one search to the next.
extern int previousIterationScore;  // best score of the last completed iteration
extern int previousSearchDepth;     // bestDepth of the previous search (1000 after a new game)
extern uint8_t instantMoveArmed;    // 0 right after an instant move

// Time-control hints of the root search.
extern Flag bestMoveChanged;  // a move other than the first raised alpha in this iteration
extern Flag scoreDropped;     // the newest best score dropped clearly below the last iteration's
extern Flag firstMoveStable;  // the first move has stayed best since the first iteration
// The root move list of the running search is built: a search stopped before its first
// move was searched plays the first move of the list.
extern Flag rootMovesReady;

// Runs the iterative deepening for the side to move (the timed loop when the side to
// move has a clock, the untimed loop otherwise). The result is in bestMove, bestScore
// and bestDepth.
void iterateAny(Position& pos);

template <Side Us>
void iterate(Position& pos);
template <Side Us>
void iterateUntimed(Position& pos);
template <Side Us>
int rootSearch(Position& pos, int alpha, int beta, int depth);
template <Side Us>
int rootSearchUntimed(Position& pos, int alpha, int beta, int depth);
