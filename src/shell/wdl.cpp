#include "shell/wdl.h"

#include <cmath>
#include <cstdlib>

namespace {

// The model: wins = 1 / (1 + exp(-(t(s) - a) / b)) and losses the same for -s, per game,
// with t(s) = 100 sign(s) (|s| / 100)^ScorePower, and a and b cubic polynomials in
// x = clamp(move number, 8, 120) / 64 (highest power first); draws are the rest. a is the
// score that wins half the games at that move, b how fast the chance grows with the score;
// a power below 1 gives large scores the heavier tails that the games show.
//
// Fitted by tools/wdl/fit.py (maximum likelihood) on 9 December 2026 to 2,000 games of Orvo
// against itself (225,907 scored moves): 40000 nodes a move, 1 thread, Hash 16 against 32,
// each of 1,000 starts (tools/match/openings.epd with four random plies, random-openings.mjs,
// seed 2026) played with both colours by tools/match/match.mjs. Checked on 600 other games
// (300 starts, seed 4052) and 600 more (seed 6078), each set and both together: every bin
// of predicted win and loss chance within 5 percentage points of the observed rate.
constexpr double WinScore[4] = {-14.7088, 115.266, -26.7582, 54.0792};
constexpr double WinSpread[4] = {-15.4979, 83.3993, -114.654, 90.3465};
constexpr double ScorePower = 0.86186;
constexpr int FirstMove = 8, LastMove = 120;
// Beyond this the reports print a mate score ("mate N").
constexpr int MateScores = 25904;
constexpr double MoveScale = 64.0;

double polynomial(const double (&c)[4], double x) { return ((c[0] * x + c[1]) * x + c[2]) * x + c[3]; }

double transformed(int score) {
    const double magnitude = 100 * std::pow(std::abs(score) / 100.0, ScorePower);
    return score < 0 ? -magnitude : magnitude;
}

}  // namespace

Wdl wdlOf(int score, int moveNumber) {
    if (score > MateScores) return {1000, 0, 0};
    if (score < -MateScores) return {0, 0, 1000};
    const int move = moveNumber < FirstMove ? FirstMove : moveNumber > LastMove ? LastMove : moveNumber;
    const double x = move / MoveScale;
    const double a = polynomial(WinScore, x), spread = polynomial(WinSpread, x);
    const double b = spread > 1 ? spread : 1;
    const int win = int(std::lround(1000 / (1 + std::exp(-(transformed(score) - a) / b))));
    const int loss = int(std::lround(1000 / (1 + std::exp(-(transformed(-score) - a) / b))));
    const int lossCapped = win + loss > 1000 ? 1000 - win : loss;
    return {win, 1000 - win - lossCapped, lossCapped};
}
