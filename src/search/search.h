// Score and depth conventions of the search, and the node searches below the root.
//
// Depth is counted in half plies (2 per ply); a node whose remaining depth is 1 or less
// enters the quiescence search. Scores are from the side to move's point of view.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "core/types.h"

constexpr int MateValue = 30000;  // mate score, and the infinite bound of the root window
constexpr int MatePlyStep = 16;   // score step per ply of mate distance
constexpr int DrawValue = 0;
constexpr int NoScore = -32750;  // best score before any move was searched
// Zero-window and quiescence nodes clamp their bound to +-29984 (mate in one ply).
constexpr int ZeroWindowBound = MateValue - MatePlyStep;

// The score of a side that is checkmated at the given distance from the root.
inline int matedScore(int ply) { return -MateValue + MatePlyStep * ply; }

// The slot where a node leaves its hash move and, when it returns, its best move: the
// lastMove field of the record one ply above the node's own (the next make overwrites it).
inline Move& bestMoveSlot(Position& pos) { return (pos.state + 1)->lastMove; }

// The evaluation-hash shortcut, tested right after a move was made and evaluated (the
// child's record is current) at a node of the given depth: when it holds, the child's
// value is -(its evalScore) without a search.
inline bool evalHashShortcut(const Position& pos, int depth) {
    const StateRecord* child = pos.state;
    if (child->evalHashClass == 0) return false;
    if (child->evalHashClass == 3 || depth < 4) return true;
    const long index = long(child - pos.stateBase);
    return index >= depth / 4 + 2 && (child - depth / 4)->evalHashClass != 0;
}

// PV nodes: open window (alpha, beta).
template <Side Us>
int PVsearch(Position& pos, int alpha, int beta, int depth, bool inCheck);

// Zero-window nodes: window (beta - 1, beta). Expected cut-nodes and all-nodes alternate
// down the tree; the exclusion search is the cut-node search with one move left out; the
// shallow family serves depths 2 to 9. Each has a variant for a side in check.
template <Side Us>
int cutNodeSearch(Position& pos, int beta, int depth);
template <Side Us>
int cutNodeSearchInCheck(Position& pos, int beta, int depth);
template <Side Us>
int allNodeSearch(Position& pos, int beta, int depth);
template <Side Us>
int allNodeSearchInCheck(Position& pos, int beta, int depth);
template <Side Us>
int exclusionSearch(Position& pos, int beta, int depth, Move excluded);
template <Side Us>
int exclusionSearchInCheck(Position& pos, int beta, int depth, Move excluded);
template <Side Us>
int shallowSearch(Position& pos, int beta, int depth);
template <Side Us>
int shallowSearchInCheck(Position& pos, int beta, int depth);

// Quiescence: q counts capture levels (0 below zero-window nodes, 1 below PV nodes).
template <Side Us>
int quiesce(Position& pos, int beta, int q);
template <Side Us>
int quiesceInCheck(Position& pos, int beta, int q);
template <Side Us>
int quiescePV(Position& pos, int alpha, int beta, int q);
template <Side Us>
int quiescePVInCheck(Position& pos, int alpha, int beta, int q);

// Parallel search: a node deep enough offers idle threads to share its remaining moves.
struct MovePicker;
struct Slot;
struct SplitPoint;

// What a zero-window node not in check has decided before its move loop, and what every
// move of the loop reads: the window, depth and static evaluation, the hash move and its
// singular extension, and facts of the node's position.
struct ZeroWindowFrame {
    int beta;
    int depth;
    int eval;
    Move hashMove;
    Move excluded;  // the exclusion family's left-out move, else none
    int singular;   // extension of the hash move
    Bitboard ourBlockers;
    Square lastArrival;  // to-square of the move that led to the node
    bool lastCaptured;   // that move captured
    bool piecesLeft;     // the side to move has pieces besides king and pawns
};

// What became of one move of a zero-window node's loop.
enum class MoveStep {
    NotCounted,     // illegal, or left out: the node's move count stays
    Skipped,        // pruned before or after it was made
    SkippedAsDraw,  // takes back our previous move: worth a draw at most
    Searched,       // searched and taken back; its value is known
};

// Node kinds of a split point.
enum SplitKind : int { SplitPV = 1, SplitCut = 2, SplitAll = 3, SplitShallow = 4 };

// Splits that took place since the process started.
extern std::atomic<uint64_t> splitsDone;

// Offers the node's remaining moves (taken from its picker) to idle threads. Returns true
// when the split took place; the node's result is then in result. Only a slot's position
// can split.
// The participants search each remaining move as the node itself would: moveCount is the
// number of moves the node has counted; a zero-window node gives its frame, a PV node its
// hash move's extension. alpha is the PV node's alpha, the cut-node's and all-node's beta,
// and the shallow node's fail-soft best score so far.
bool split(Position& pos, MovePicker& picker, int depth, int alpha, int beta, SplitKind kind, int& result,
           const ZeroWindowFrame* frame, int moveCount, int hashExtension = 0);

// One move of a cut-node, all-node or shallow node not in check, searched by a participant
// of the node's split point exactly as the node's own loop searches it.
template <Side Us, SplitKind Kind>
MoveStep splitZeroWindowMove(Position& pos, const ZeroWindowFrame& frame, MoveEntry entry, int stage, int i,
                             int& v, bool& quiet);

// The loop of an idle thread: waits for a slot to search and searches it. A worker thread
// (no owner) stays in it until it is told to end; the owner of a split point stays until
// every participant of its split point has left, helping at other split points meanwhile.
void idleLoop(int thread, Slot* owner);

// The participant searches: take moves from the split point's picker until none is left or
// a participant failed high.
template <Side Us>
void searchSplitPV(Slot& slot);
template <Side Us>
void searchSplitCut(Slot& slot);
template <Side Us>
void searchSplitAll(Slot& slot);
template <Side Us>
void searchSplitShallow(Slot& slot);

// A participant failed high with the move: records the cutoff, stores it and stops every
// other participant of the split point with everything they searched below it.
void splitCutoff(SplitPoint& sp, Slot& slot, Move move);

// The first split point not in use, or nullptr. The caller holds workerLock.
SplitPoint* allocateSplitPoint();

// A participant leaves the moves of its split point: it stores the node's result when it
// is the last one and neither a cutoff nor an abort happened. The caller holds splitLock.
void leaveSplitMoves(SplitPoint& sp, Slot& slot);
