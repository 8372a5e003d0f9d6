#include "shell/report.h"

#include <cinttypes>
#include <cstdio>

#include "board/position.h"
#include "core/params.h"
#include "search/driver.h"
#include "search/search.h"
#include "shell/command.h"
#include "shell/movetext.h"
#include "shell/output.h"
#include "shell/wdl.h"

void scoreText(int score, char* out) {
    if (score > 29984) score = 29984;
    if (score < -29968) score = -29968;
    if (score > 25904)
        snprintf(out, 32, "mate %d", (30016 - score) >> 5);
    else if (score < -25904)
        snprintf(out, 32, "mate %d", (-score - 30000) >> 5);
    else
        snprintf(out, 32, "cp %d", score);
}

const char* boundText(int alpha, int score, int beta) {
    if (score > 29984) score = 29984;
    if (score < -29968) score = -29968;
    const int lo = alpha > -MateValue ? alpha : -MateValue;
    if (score <= lo) return " upperbound";
    if ((beta < MateValue ? beta : MateValue) <= score) return " lowerbound";
    return "";
}

namespace {

int64_t nodesPerSecond(uint64_t nodes, int64_t ms) {
    return ms <= 0 ? 0 : int64_t(nodes / uint64_t(ms) * 1000);
}

void printPVLine(const PVReport& r) {
    static char pv[MaxPVMoves * 6 + 8];
    char* out = pv;
    for (int i = 0; i < r.length; ++i) {
        if (i > 0) *out++ = ' ';
        moveToText(r.moves[i], out, *r.position);
        while (*out) ++out;
    }
    *out = 0;
    char score[32];
    scoreText(r.score, score);
    char wdl[40] = "";
    if (optionShowWDL) {
        const Wdl w = wdlOf(r.score, r.position->moveNumber);
        snprintf(wdl, sizeof wdl, " wdl %d %d %d", w.win, w.draw, w.loss);
    }
    // The tokens of old keep their places; each new one follows the token it follows in the
    // lines of the well-known engines (hashfull after nps, wdl after the score and its
    // bound, seldepth after depth).
    printLine("info multipv %d time %" PRId64 " nodes %" PRId64 " nps %" PRId64
              " hashfull %d score %s%s%s depth %d seldepth %d pv %s\n",
              r.line, r.ms, int64_t(r.nodes), nodesPerSecond(r.nodes, r.ms), r.hashfull, score,
              boundText(r.alpha, r.score, r.beta), wdl, r.depth, r.selDepth, pv);
}

void printNoMove(bool mated) {
    printLine(mated ? "info depth 0 score mate 0\n" : "info depth 0 score cp 0\n");
}

void printBestMove(const Position& root, Move best, Move ponder) {
    char bestText[8], ponderText[8];
    if (!best)
        printLine("bestmove 0000\n");
    else if (!ponder)
        printLine("bestmove %s\n", moveToText(best, bestText, root));
    else
        printLine("bestmove %s ponder %s\n", moveToText(best, bestText, root),
                  moveToText(ponder, ponderText, root));
}

void printProgress(int64_t ms, uint64_t nodes) {
    printLine("info time %" PRId64 " nodes %" PRId64 " nps %" PRId64 "\n", ms, int64_t(nodes),
              nodesPerSecond(nodes, ms));
}

void printRootMove(const Position& root, int depth, Move move, int number) {
    char text[8];
    printLine("info depth %d currmove %s currmovenumber %d\n", depth, moveToText(move, text, root), number);
}

}  // namespace

void connectShell() {
    searchReports = SearchReports{printPVLine, printNoMove, printBestMove, printProgress, printRootMove};
    readCommandLine = readCommand;
}
