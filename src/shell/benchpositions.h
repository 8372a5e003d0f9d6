// The fixed positions of the speed and signature measurements: opening, middlegame and
// endgame positions searched to a fixed depth.
#pragma once

#include <cstdint>

constexpr int SearchBenchPositionCount = 30;
// The search benchmark's positions; its node total over them is the search's signature.
extern const char* const SearchBenchPositions[SearchBenchPositionCount];
// The depth (in plies) of the search benchmark.
constexpr int SearchBenchDepth = 14;

// One search of the benchmark: a new game (every table cleared), the position set up from
// `fen`, a search to `depth` plies with the output suppressed. Returns the nodes searched
// and the time taken.
struct BenchSearch {
    uint64_t nodes;
    double seconds;
};
BenchSearch benchSearch(const char* fen, int depth);
// A search of the root position as it stands, on the tables as they are, to `depth` plies
// with the output suppressed.
BenchSearch benchSearchRoot(int depth);
