// The fixed positions of the speed and signature measurements: opening, middlegame and
// endgame positions searched to a fixed depth.
#pragma once

constexpr int SearchBenchPositionCount = 30;
// The search benchmark's positions; its node total over them is the search's signature.
extern const char* const SearchBenchPositions[SearchBenchPositionCount];
// The depth (in plies) of the search benchmark.
constexpr int SearchBenchDepth = 14;
