#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/makemove.h"
#include "search/heuristics.h"
#include "search/limits.h"
#include "search_harness.h"
#include "test_positions.h"

namespace {

// Plays a move inside the search stack the way a node search does: make, then evaluate.
void play(Position& pos, const char* text) {
    const Move m = textMove(pos, text);
    if (pos.sideToMove == White)
        makeMove<White>(pos, m);
    else
        makeMove<Black>(pos, m);
    evaluate(pos, EvalFullLow, EvalFullHigh, m);
}

bool historyUntouched() {
    for (auto& row : HistoryTable)
        for (uint16_t h : row)
            if (h != HistoryStartValue) return false;
    return true;
}

int mateIn(int plies) { return MateValue - MatePlyStep * plies; }

}  // namespace

TEST(History, BonusPenaltyAndKillers) {
    buildSearchTables();
    resetHistory();
    Position& pos = setUpFen("4k3/8/8/8/8/8/8/4K1N1 w - - 0 1");
    const Move m = textMove(pos, "g1f3");
    EXPECT_EQ(historyOf(pos, m), 2048);
    historyBonus(pos, m, 2);
    EXPECT_EQ(historyOf(pos, m), 2542);
    resetHistory();
    historyPenalty(pos, m, 2);
    EXPECT_EQ(historyOf(pos, m), 2032);
    // At the deepest depths the counter stays below its limit and above zero.
    for (int k = 0; k < 50; ++k) historyBonus(pos, m, 300);
    EXPECT_LE(historyOf(pos, m), HistoryMax);
    EXPECT_GT(historyOf(pos, m), 60000);
    for (int k = 0; k < 50; ++k) historyPenalty(pos, m, 300);
    EXPECT_EQ(historyOf(pos, m), 0);
    resetHistory();

    const Move other = textMove(pos, "e1d2");
    updateKillers(pos, other);
    updateKillers(pos, m);
    EXPECT_EQ(pos.state->killer1, m);
    EXPECT_EQ(pos.state->killer2, other);
    updateKillers(pos, m);  // the same killer failing high again
    EXPECT_EQ(pos.state->killer1, m);
    EXPECT_EQ(pos.state->killer2, other);
}

// A fail high by a capture leaves history and killers alone; one by a quiet move raises
// its counter and makes it the first killer.
TEST(History, OnlyQuietFailHighsUpdate) {
    clearSearchTables();
    Position& pos = setUpFen("4k3/8/8/3q4/8/8/8/3RK3 w - - 0 1");  // the rook takes a loose queen
    EXPECT_GE(shallowSearch<White>(pos, 300, 2), 300);
    EXPECT_TRUE(historyUntouched());
    EXPECT_EQ(pos.state->killer1, NoMove);
    EXPECT_EQ(pos.state->killer2, NoMove);

    clearSearchTables();
    Position& mate = setUpFen("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1");  // Ra8 mates
    const Move ra8 = textMove(mate, "a1a8");
    EXPECT_GE(shallowSearch<White>(mate, 1000, 2), 1000);
    EXPECT_EQ(historyOf(mate, ra8), 2542);
    EXPECT_EQ(mate.state->killer1, ra8);
}

TEST(DrawRules, RepetitionCountsAtDistanceFourNotTwo) {
    clearSearchTables();
    // White is a queen up; the halfmove clock lets the knight dance count.
    Position& pos = setUpFen("4k1n1/8/8/8/8/8/3Q4/4K1N1 w - - 6 40");
    play(pos, "g1f3");
    play(pos, "g8f6");
    play(pos, "f3g1");
    play(pos, "f6g8");  // the root position again, four plies later
    EXPECT_EQ(PVsearch<White>(pos, -MateValue, MateValue, 4, false), 0);
    EXPECT_EQ(cutNodeSearch<White>(pos, 50, 12), 0);
    EXPECT_EQ(quiesce<White>(pos, 50, 0), 0);
    EXPECT_EQ(quiescePV<White>(pos, -50, 50, 1), 0);

    // A key equal to the current one only two plies back does not count.
    Position& root = setUpFen("4k1n1/8/8/8/8/8/3Q4/4K1N1 w - - 6 40");
    play(root, "g1f3");
    play(root, "g8f6");
    root.keyHistory[root.historyLength - 2] = root.state->key;
    EXPECT_GT(PVsearch<White>(root, -MateValue, MateValue, 4, false), 500);
}

// The game before the root counts from the set-up position on; without a clock only the
// game positions that occurred twice already do.
TEST(DrawRules, GamePositionsCountFromTheSetUpPositionOn) {
    clearSearchTables();
    for (const bool untimed : {false, true}) {
        untimedSearch = untimed;
        Position& pos = setUpSearch("fen 4k1n1/8/8/8/8/8/3Q4/4K1N1 w - - 6 40 moves g1f3 g8f6");
        play(pos, "f3g1");
        play(pos, "f6g8");  // the set-up position again
        const int score = PVsearch<White>(pos, -MateValue, MateValue, 4, false);
        if (untimed)
            EXPECT_GT(score, 500);
        else
            EXPECT_EQ(score, 0);
    }
    untimedSearch = 0;
}

TEST(DrawRules, FiftyMoveCounterAtHundredStillSeesMate) {
    clearSearchTables();
    Position& mated = setUpFen("R5k1/5ppp/8/8/8/8/5PPP/6K1 b - - 100 80");
    EXPECT_EQ(PVsearch<Black>(mated, -MateValue, MateValue, 6, true), matedScore(0));
    EXPECT_EQ(allNodeSearchInCheck<Black>(mated, 0, 12), matedScore(0));
    EXPECT_EQ(quiesceInCheck<Black>(mated, 0, 0), matedScore(0));

    // In check with a way out, or not in check: the counter draws.
    Position& escape = setUpFen("R5k1/5pp1/8/8/8/8/5PPP/6K1 b - - 100 80");
    EXPECT_EQ(PVsearch<Black>(escape, -MateValue, MateValue, 6, true), 0);
    Position& quiet = setUpFen("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 100 80");
    EXPECT_EQ(PVsearch<White>(quiet, -MateValue, MateValue, 6, false), 0);
}

TEST(Quiescence, CheckmatedSideScoresByPly) {
    clearSearchTables();
    Position& pos = setUpFen("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1");
    play(pos, "a1a8");
    ASSERT_EQ(pos.ply, 1);
    EXPECT_EQ(quiesceInCheck<Black>(pos, 0, 0), matedScore(1));
    clearSearchTables();
    EXPECT_EQ(quiescePVInCheck<Black>(pos, -100, 100, 1), matedScore(1));
    EXPECT_EQ(matedScore(1), -30000 + 16);

    // The node searches in check agree; after the PV search has stored the position as one
    // without legal moves, the zero-window searches take the verdict from the table.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0) clearSearchTables();
        EXPECT_EQ(cutNodeSearchInCheck<Black>(pos, -1000, 12), matedScore(1));
        EXPECT_EQ(allNodeSearchInCheck<Black>(pos, -1000, 12), matedScore(1));
        EXPECT_EQ(exclusionSearchInCheck<Black>(pos, -1000, 12, NoMove), matedScore(1));
        EXPECT_EQ(shallowSearchInCheck<Black>(pos, -1000, 4), matedScore(1));
        if (pass == 0) {
            clearSearchTables();
            EXPECT_EQ(PVsearch<Black>(pos, -MateValue, MateValue, 8, true), matedScore(1));
        }
    }
}

TEST(Quiescence, StandPatAndDeltaCut) {
    clearSearchTables();
    // Balanced material, nothing hanging: stand pat above beta ends the node at once.
    Position& pos = setUpFen("4k3/pp6/8/8/8/8/PP1N4/4K3 w - - 0 1");
    const int standPat = pos.state->evalScore + int(pos.state->materialInfo & 0xFF) / 4 + 4;
    EXPECT_EQ(quiesce<White>(pos, standPat, 0), standPat);
    EXPECT_EQ(pos.nodes, 0u);

    // 200 below beta with an enemy pawn attacked: the pawn is counted, not captured.
    Position& pawn = setUpFen("4k3/8/8/8/8/1p6/3N4/4K3 w - - 0 1");
    const int sp = pawn.state->evalScore + int(pawn.state->materialInfo & 0xFF) / 4 + 4;
    const int v = quiesce<White>(pawn, sp + 200, 0);
    EXPECT_GE(v, sp + 160);
    EXPECT_LT(v, sp + 200);
}

TEST(Quiescence, QuietChecksOnlyNearTheHorizon) {
    clearSearchTables();
    // No captures; the rook has quiet checks.
    Position& pos = setUpFen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    const int sp = pos.state->evalScore + int(pos.state->materialInfo & 0xFF) / 4 + 4;
    quiesce<White>(pos, sp + 50, -2);
    EXPECT_EQ(pos.nodes, 0u);
    clearSearchTables();
    quiesce<White>(pos, sp + 50, 0);
    EXPECT_GT(pos.nodes, 0u);
}

TEST(ZeroWindow, BoundsBeyondMateInOneReturnAtOnce) {
    clearSearchTables();
    Position& pos = setUpSearch("startpos");
    EXPECT_EQ(cutNodeSearch<White>(pos, 29990, 12), ZeroWindowBound);
    EXPECT_EQ(allNodeSearch<White>(pos, -29990, 12), -ZeroWindowBound);
    EXPECT_EQ(shallowSearch<White>(pos, 30000, 4), ZeroWindowBound);
    EXPECT_EQ(quiesce<White>(pos, -31000, 0), -ZeroWindowBound);
    EXPECT_EQ(pos.nodes, 0u);
}

TEST(PVSearch, ExactEntryEndsTimedNodesOnly) {
    clearSearchTables();
    Position& pos = setUpSearch("startpos");
    storeExact(pos.state->key, textMove(pos, "e2e4"), 20, 123, TTExact, pos.state->ttGeneration);
    untimedSearch = 0;
    EXPECT_EQ(PVsearch<White>(pos, -MateValue, MateValue, 6, false), 123);
    untimedSearch = 1;
    EXPECT_NE(PVsearch<White>(pos, -MateValue, MateValue, 6, false), 123);
    untimedSearch = 0;
}

struct MateCase {
    const char* fen;
    int plies;
    int depth;
};

// Verified by exhaustive search: no shorter mate exists.
TEST(Mates, FixedDepthSearchFindsExactMateScore) {
    const MateCase cases[] = {
        {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", 1, 4},
        {"r5k1/5ppp/8/8/8/8/5PPP/6K1 b - - 0 1", 1, 4},
        {"k7/8/2K5/8/8/8/8/7R w - - 0 1", 3, 8},
        {"7r/8/8/8/8/2k5/8/K7 b - - 0 1", 3, 8},
        {"2k5/8/3K4/8/8/8/8/7R w - - 0 1", 3, 8},
        {"7r/8/8/8/8/3k4/8/2K5 b - - 0 1", 3, 8},
        {"rr4k1/5ppp/8/8/8/3Q4/3R1PPP/3R2K1 w - - 0 1", 5, 12},
        {"3r2k1/3r1ppp/3q4/8/8/8/5PPP/RR4K1 b - - 0 1", 5, 12},
        {"r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1BR1 b kq - 0 1", 5, 12},
        {"r1bq1br1/ppp4p/2n3pn/3kp3/4N3/5Q2/PPPP1PPP/R1B1KB1R w KQ - 0 1", 5, 12},
    };
    for (const MateCase& c : cases) {
        clearSearchTables();
        Position& pos = setUpFen(c.fen);
        const SearchResult r = searchToDepth(pos, c.depth);
        EXPECT_EQ(r.score, mateIn(c.plies)) << c.fen;
        const std::vector<Move> legal = legalMoves(pos);
        EXPECT_NE(std::find(legal.begin(), legal.end(), r.move), legal.end()) << c.fen;
    }
}

TEST(Search, SameSearchTwiceGivesSameNodesAndScore) {
    clearSearchTables();
    const SearchResult first = searchToDepth(setUpFen(TwoKnights), 10);
    clearSearchTables();
    const SearchResult second = searchToDepth(setUpFen(TwoKnights), 10);
    EXPECT_EQ(first.nodes, second.nodes);
    EXPECT_EQ(first.score, second.score);
    EXPECT_EQ(first.move, second.move);
}

// However deep a line would go, no node runs past the ply limit.
TEST(Search, PlyLimitStopsEveryNodeKind) {
    clearSearchTables();
    Position& pos = setUpFen(TwoKnights);
    const int eval = pos.state->evalScore;
    pos.ply = MaxPly;
    EXPECT_EQ(PVsearch<White>(pos, -MateValue, MateValue, 20, false), eval);
    EXPECT_EQ(cutNodeSearch<White>(pos, eval + 100, 20), eval + 99);
    EXPECT_EQ(allNodeSearch<White>(pos, eval - 100, 20), eval - 100);
    EXPECT_EQ(shallowSearch<White>(pos, eval, 6), eval);
    EXPECT_EQ(quiescePV<White>(pos, eval - 10, eval + 10, 1), eval);
    EXPECT_EQ(pos.nodes, 0u);

    // Close to the limit the search completes with a sensible score and a legal move.
    for (int start : {MaxPly - 9, MaxPly - 4, MaxPly - 1}) {
        clearSearchTables();
        Position& p = setUpFen(TwoKnights);
        p.ply = uint8_t(start);
        const SearchResult r = searchToDepth<White>(p, 10);
        EXPECT_GT(r.score, -1000);
        EXPECT_LT(r.score, 1000);
        EXPECT_EQ(p.ply, start);
        EXPECT_EQ(p.state, p.stateBase + 1);
    }
}

// A long forced line of checks: the queen can check for ever; extensions push the line
// deep, repetition and the ply limit end it.
TEST(Search, LongCheckingLinesEnd) {
    clearSearchTables();
    Position& pos = setUpFen("6k1/6p1/7p/8/8/8/q4PPP/1Q4K1 w - - 0 1");
    const SearchResult r = searchToDepth(pos, 12);
    EXPECT_NE(r.move, NoMove);
    EXPECT_EQ(pos.ply, 0);
    EXPECT_EQ(pos.state, pos.stateBase + 1);
}

TEST(Search, MiddlegameSmoke) {
    const char* fens[] = {
        TwoKnights,
        Kiwipete,
        "r2q1rk1/pp2ppbp/2np1np1/8/3NP3/2N1BP2/PPPQ2PP/R3KB1R b KQ - 3 9",
        "2rq1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2BPPP/2RQ1RK1 w - - 2 11",
        Symmetric,
    };
    for (const char* fen : fens) {
        clearSearchTables();
        Position& pos = setUpFen(fen);
        const SearchResult r = searchToDepth(pos, 8);
        const std::vector<Move> legal = legalMoves(pos);
        EXPECT_NE(r.move, NoMove) << fen;
        EXPECT_NE(std::find(legal.begin(), legal.end(), r.move), legal.end()) << fen;
        EXPECT_GT(r.score, -2000) << fen;
        EXPECT_LT(r.score, 2000) << fen;
        EXPECT_EQ(pos.ply, 0);
        EXPECT_EQ(pos.state, pos.stateBase + 1);
    }
}
