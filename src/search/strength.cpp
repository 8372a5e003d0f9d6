#include "search/strength.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/params.h"
#include "search/root.h"

bool limitedSearch = false;

namespace {

// The scale: node budget and margin at points of the UCI_Elo range, in between
// interpolated (the budget geometrically, the margin linearly).
// PRELIMINARY: these points are estimates, not yet calibrated. The first games (9 December
// 2026, 20 a level at 10+0.1 against Stockfish 15.1 limited to the same UCI_Elo) scored 10%
// at 1500 with {1500, 400, 160}, 0% at 2000 with {2000, 4000, 80} and 0% at 2500 with
// {2500, 40000, 30}; the points below move each of those one level down. Orvo at full
// strength scored 30% in 20 games against Stockfish at 2500.
struct StrengthPoint {
    int elo;
    double nodes;
    int margin;
};
constexpr StrengthPoint Scale[] = {
    {1350, 2000, 100}, {1500, 4000, 80}, {2000, 40000, 30}, {2500, 1000000, 5}, {2850, 4000000, 0},
};
constexpr int ScalePoints = sizeof Scale / sizeof Scale[0];

// The lines of the last complete iteration of the running limited search.
MultiPvLine recordedLines[MaxPVLines + 1];
int recordedCount = 0;
StrengthLevel level;

// xorshift64*: small, fast and good enough to pick among a few moves.
uint64_t randomState = 0x9E3779B97F4A7C15ull;

uint64_t nextRandom() {
    randomState ^= randomState >> 12;
    randomState ^= randomState << 25;
    randomState ^= randomState >> 27;
    return randomState * 0x2545F4914F6CDD1Dull;
}

}  // namespace

StrengthLevel strengthLevel(int elo) {
    if (elo <= Scale[0].elo) return {uint64_t(Scale[0].nodes), Scale[0].margin};
    for (int i = 1; i < ScalePoints; ++i) {
        if (elo > Scale[i].elo) continue;
        const StrengthPoint& a = Scale[i - 1];
        const StrengthPoint& b = Scale[i];
        const double f = double(elo - a.elo) / (b.elo - a.elo);
        const double nodes = a.nodes * std::pow(b.nodes / a.nodes, f);
        return {uint64_t(std::lround(nodes)), int(std::lround(a.margin + f * (b.margin - a.margin)))};
    }
    const StrengthPoint& top = Scale[ScalePoints - 1];
    return {uint64_t(top.nodes), top.margin};
}

int searchLineCount() {
    return limitedSearch && optionMultiPV < StrengthLines ? StrengthLines : optionMultiPV;
}

void seedStrength(uint64_t seed) {
    // Mixed (splitmix64) so that nearby seeds start far apart; never 0.
    uint64_t z = seed + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    randomState = z ? z : 1;
}

void beginLimitedSearch() {
    level = strengthLevel(optionElo);
    recordedCount = 0;
    recordedLines[0].move = 0;
    PVLines[0].move = 0;
}

bool limitedIterationDone(uint64_t nodes) {
    const int n = lineCount();
    if (n > 0) {
        std::memcpy(recordedLines, PVLines, (n + 1) * sizeof(MultiPvLine));
        recordedLines[n].move = 0;
        recordedCount = n;
    }
    return nodes >= level.nodes;
}

Move chooseLimitedMove() {
    if (recordedCount == 0) return NoMove;
    std::memcpy(PVLines, recordedLines, (recordedCount + 1) * sizeof(MultiPvLine));
    const int best = recordedLines[0].score;
    // A mate found is played; so is a move that leaves every other beyond the margin.
    if (best > tuning.MateRangeThreshold) return Move(recordedLines[0].move);
    int chosen = 0;
    int64_t chosenValue = INT64_MIN;
    for (int i = 0; i < recordedCount; ++i) {
        const int score = recordedLines[i].score;
        if (best - score > level.margin) break;  // the lines are sorted, best first
        const int64_t value = score + int64_t(nextRandom() % uint64_t(level.margin + 1));
        if (value > chosenValue) {
            chosenValue = value;
            chosen = i;
        }
    }
    return Move(recordedLines[chosen].move);
}
