// The limits of the running search: what "go" asked for, the time allocation that turns a
// clock into limits, and the engine clock they are measured on.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/flags.h"
#include "core/types.h"

// A limit that is never reached.
constexpr int64_t Never = 0x07FFFFFFFFFFFFFF;

// Elapsed-time limits of the running search, in microseconds from searchStartTime.
extern std::atomic<int64_t> hardTimeLimit;  // stops the search at once (moved by "ponderhit")
extern int64_t fullTimeLimit;               // soft limits, tested after completed iterations
extern int64_t mainTimeLimit;
extern int64_t easyTimeLimit;
extern int depthLimit;  // last iteration depth in plies
extern int mateLimit;   // "go mate N": stop once a mate in N moves or fewer is proven; 0 for none
// "go searchmoves": the root moves the search is limited to; none means every move.
extern Move searchMoves[MaxMoves];
extern int searchMoveCount;
// Elapsed time of the last periodic info line; written by the main and the poll thread.
extern std::atomic<int64_t> lastInfoTime;
extern int64_t searchStartTime;

// How the running search is limited.
extern Flag pondering;      // "go ponder" before "ponderhit"
extern Flag infinite;       // "go infinite"
extern Flag ponderhitSeen;  // "ponderhit" arrived during this search
extern Flag checkTimeNow;   // test the soft limits at the next poll
extern Flag untimedSearch;  // the side to move has no clock

// The engine clock: a monotonic millisecond tick times 1000.
uint64_t clockMicros();
// Tests only: milliseconds added to the tick, 0 in normal running.
extern uint64_t clockOffsetMillis;

// No limits: what a "go" starts from before its words are read.
void clearLimits();

// Turns the clock of the side to move into time limits: its time left, its increment and
// the moves to go until the next time control (0 when none), all in microseconds but the
// last; a time of Never means no clock, and the search is untimed. The Move Overhead option's
// milliseconds are taken off the time left first.
void allocateTime(int64_t time, int64_t increment, int64_t movesToGo);

// The running search has no limit of its own: a plain "go", or one whose limits were all
// ignored. Like "go infinite" it can only end on "stop".
bool searchUnlimited();

// "ponderhit": the ponder search becomes a timed search; its hard limit counts from now.
void ponderhit();
