#include "search/strength.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/params.h"
#include "search/root.h"

bool limitedSearch = false;

namespace {

// The scale: node budget and margin at points of the UCI_Elo range, in between
// interpolated (the budget geometrically, the margin linearly). Below 1500 Orvo searches
// four lines and plays one within the margin; from 1500 up the margin is 0, it searches one
// line and the level is the budget alone.
//
// Calibrated on 9 December 2026 against Stockfish 15.1 (Debian) limited to the same
// UCI_Elo, 10+0.1, one thread and 16 MB of hash each, 100 games a level from the openings of
// tools/match/openings.epd with both colours (tools/strength/calibrate.sh):
//   1500 (250 nodes):     Orvo 56.0%, +42 +/- 69 Elo
//   2000 (10,000 nodes):  Orvo 43.5%, -45 +/- 67 Elo
// The two sides meet at 1500: in self-play one line of 250 nodes scored 62% against four
// lines of 2,500 nodes with a margin of 80, and one line of 300 nodes 40% against four of
// 4,000, so four lines of 3,000 just below 1500 are a little weaker, not stronger. Points
// below 1500 and above 2000 are extrapolated. Orvo at full strength (Threads 1) scored
// 29.4% in 180 games against Stockfish's 2500 (UCI_Elo 2500 among them: 27.5% in 100),
// near 2350 on this scale: from about 2400 up the budget outlasts a 10+0.1 clock, so those
// levels play at full strength there and differ only at slower clocks.
struct StrengthPoint {
    int elo;
    double nodes;
    int margin;
};
constexpr StrengthPoint Scale[] = {
    {1350, 1500, 100}, {1499, 3000, 80}, {1500, 250, 0}, {2000, 10000, 0}, {2400, 1e6, 0}, {2850, 1e15, 0},
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

StrengthLevel makeLevel(double nodes, int margin) {
    return {uint64_t(std::llround(nodes)), margin, margin > 0 ? StrengthLines : 1};
}

}  // namespace

StrengthLevel strengthLevel(int elo) {
    if (elo <= Scale[0].elo) return makeLevel(Scale[0].nodes, Scale[0].margin);
    for (int i = 1; i < ScalePoints; ++i) {
        if (elo > Scale[i].elo) continue;
        const StrengthPoint& a = Scale[i - 1];
        const StrengthPoint& b = Scale[i];
        const double f = double(elo - a.elo) / (b.elo - a.elo);
        const double nodes = a.nodes * std::pow(b.nodes / a.nodes, f);
        return makeLevel(nodes, int(std::lround(a.margin + f * (b.margin - a.margin))));
    }
    return makeLevel(Scale[ScalePoints - 1].nodes, Scale[ScalePoints - 1].margin);
}

int searchLineCount() { return limitedSearch && optionMultiPV < level.lines ? level.lines : optionMultiPV; }

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
