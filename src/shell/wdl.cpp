#include "shell/wdl.h"

#include <cmath>

namespace {

// The model: wins = 1 / (1 + exp(-(s - a) / b)) and losses the same for -s, per game, with
// a and b cubic polynomials in x = clamp(move number, 8, 120) / 64 (highest power first);
// draws are the rest. a is the score that wins half the games at that move, b how fast the
// chance grows with the score.
//
// Fitted by tools/wdl/fit.py (maximum likelihood) to self-play games of Orvo against itself
// at 40000 nodes a move, 1 thread, from openings.epd with four random plies (tools/match,
// random-openings.mjs): PRELIMINARY, 80 games of 9 December 2026. The fit on the full set
// of 2,000 games, and its calibration table on 600 others, is still to come; until then
// these constants are a first estimate.
constexpr double WinScore[4] = {-26.0237, 105.705, 19.0366, 35.3143};
constexpr double WinSpread[4] = {-61.1545, 155.71, -138.287, 91.1801};
constexpr int FirstMove = 8, LastMove = 120;
// Beyond this the reports print a mate score ("mate N").
constexpr int MateScores = 25904;
constexpr double MoveScale = 64.0;

double polynomial(const double (&c)[4], double x) { return ((c[0] * x + c[1]) * x + c[2]) * x + c[3]; }

}  // namespace

Wdl wdlOf(int score, int moveNumber) {
    if (score > MateScores) return {1000, 0, 0};
    if (score < -MateScores) return {0, 0, 1000};
    const int move = moveNumber < FirstMove ? FirstMove : moveNumber > LastMove ? LastMove : moveNumber;
    const double x = move / MoveScale;
    const double a = polynomial(WinScore, x), spread = polynomial(WinSpread, x);
    const double b = spread > 1 ? spread : 1;
    const int win = int(std::lround(1000 / (1 + std::exp(-(score - a) / b))));
    const int loss = int(std::lround(1000 / (1 + std::exp(-(-score - a) / b))));
    const int lossCapped = win + loss > 1000 ? 1000 - win : loss;
    return {win, 1000 - win - lossCapped, lossCapped};
}
