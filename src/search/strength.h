// Limited strength: a weaker Orvo for people to play against, at a level named on the Elo
// scale of the UCI_Elo option.
//
// A limited search is an ordinary search with three limits. It runs on one thread and
// starts no iteration once it has spent a node budget that grows with the level, so that it
// sees fewer tactics the weaker it is. At the lowest levels it searches StrengthLines root
// moves as separate lines and, from the lines of its last complete iteration, plays one
// chosen at random among those whose score is within a margin of the best; higher up the
// margin is 0, it searches one line and plays its best move. So it plays reasonable moves,
// now and then not the best, and it loses by missing what lies deeper, not by random
// blunders: a move more than the margin better than every other (a recapture of a queen) is
// always played, a mate it has found is always played, and a single legal move is played at
// once.
#pragma once

#include <cstdint>

#include "core/types.h"

// The running search is limited: UCI_LimitStrength was on when it started.
extern bool limitedSearch;

// What a level means to the search.
struct StrengthLevel {
    uint64_t nodes;  // node budget of a move: no iteration starts once it is spent
    int margin;      // centipawns: the lines within it of the best may be played
    int lines;       // root moves searched as lines: StrengthLines, or 1 once the margin is 0
};

// Root moves searched as lines in a limited search with a margin (more when MultiPV asks for
// more). Lines cost depth: the root search reduces none of them and gives each an open
// window, so at the same nodes four lines see several plies less than one. The upper
// levels, whose margin is 0, therefore search one line and are the budget alone.
constexpr int StrengthLines = 4;

// The level of an Elo of the UCI_Elo range (clamped to it).
StrengthLevel strengthLevel(int elo);

// The lines a search fills and reports: MultiPV, and at least the level's lines when limited.
int searchLineCount();

// Seeds the generator of the random choice; "ucinewgame" seeds it from the clock, so that
// games differ.
void seedStrength(uint64_t seed);

// The limited search's steps. At its start: the level of UCI_Elo and an empty record of
// lines. After each complete iteration: its lines are recorded, and the search ends once it
// has spent the node budget (true), as a search ends at its last depth: a ponder or an
// infinite search then waits for "ponderhit" or "stop". When the search is over: the move
// to play, one of the recorded lines (their table is restored for the final report);
// NoMove when none was recorded.
void beginLimitedSearch();
bool limitedIterationDone(uint64_t nodes);
Move chooseLimitedMove();
