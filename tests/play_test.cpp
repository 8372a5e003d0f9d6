// The playing engine through the real binary: searches, limits, stops and the reports.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine_process.h"
#include "search/driver.h"
#include "search_harness.h"
#include "shell/report.h"
#include "test_positions.h"

namespace {

using Clock = std::chrono::steady_clock;
using Engine = StartedEngine;

}  // namespace

TEST(ScoreText, MateScoresAndBounds) {
    char text[32];
    scoreText(29984, text);
    EXPECT_STREQ(text, "mate 1");
    scoreText(30000, text);
    EXPECT_STREQ(text, "mate 1");
    scoreText(29952, text);
    EXPECT_STREQ(text, "mate 2");
    scoreText(-29968, text);
    EXPECT_STREQ(text, "mate -1");
    scoreText(-30000, text);
    EXPECT_STREQ(text, "mate -1");
    scoreText(-29936, text);
    EXPECT_STREQ(text, "mate -2");
    scoreText(-37, text);
    EXPECT_STREQ(text, "cp -37");
    scoreText(25904, text);
    EXPECT_STREQ(text, "cp 25904");
    EXPECT_STREQ(boundText(-20, -20, 40), " upperbound");
    EXPECT_STREQ(boundText(-20, 40, 40), " lowerbound");
    EXPECT_STREQ(boundText(-20, 5, 40), "");
    EXPECT_STREQ(boundText(-32767, 5, 32767), "");
}

TEST(PlayProcess, FixedDepthSearchReportsAndStopsAtItsDepth) {
    Engine engine;
    const std::string position = std::string("fen ") + Middlegame;
    const auto lines = engine.search(position, "go depth 5");
    ASSERT_FALSE(lines.empty());
    long long deepest = 0;
    for (const auto& l : pvLines(lines)) deepest = std::max(deepest, numberAfter(l, "depth"));
    EXPECT_EQ(deepest, 5);
    // The move and the ponder move are legal one after the other.
    const std::string& best = lines.back();
    const std::string move = moveOf(best), reply = wordAfter(best, "ponder");
    EXPECT_TRUE(isLegalAfter(position, move)) << best;
    EXPECT_TRUE(isLegalAfter(position + " moves " + move, reply)) << best;
}

TEST(PlayProcess, DepthWithInfiniteStopsAfterThatIteration) {
    Engine engine;
    engine.send("position startpos");
    const auto start = Clock::now();
    engine.send("go depth 3 infinite");
    ASSERT_TRUE(engine.waitFor("bestmove", 20000 * SlowBuildFactor));
    EXPECT_LT(msSince(start), 10000 * SlowBuildFactor);
}

TEST(PlayProcess, StopAndIsreadyDuringASearch) {
    Engine engine;
    engine.send(std::string("position fen ") + Middlegame);
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(300 * SlowBuildFactor));
    engine.send("position startpos moves e2e4");  // dropped while searching
    engine.send("isready");
    std::vector<std::string> lines;
    ASSERT_TRUE(engine.waitFor("readyok", 1000 * SlowBuildFactor, &lines));
    EXPECT_EQ(countBestmoves(lines), 0);
    const auto start = Clock::now();
    engine.send("stop");
    ASSERT_TRUE(engine.waitFor("bestmove", 2000 * SlowBuildFactor));
    EXPECT_LT(msSince(start), 300 * SlowBuildFactor);
    // The old position is still set up: White is to move, so the move starts on White's half.
    engine.send("go depth 1");
    auto again = engine.waitFor("bestmove", 10000 * SlowBuildFactor);
    ASSERT_TRUE(again);
    ASSERT_GE(again->size(), 13u);
    EXPECT_LE((*again)[10], '4');
}

TEST(PlayProcess, EveryGoOnAPositionWithoutMovesGetsOneBestmove) {
    Engine engine;
    auto lines = engine.search(std::string("fen ") + FoolsMate, "go depth 4", 5000);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "bestmove 0000");
    EXPECT_EQ(lines.size() >= 2 ? lines[lines.size() - 2] : "", "info depth 0 score mate 0");

    lines = engine.search(std::string("fen ") + Stalemate, "go wtime 1000 btime 1000", 5000);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "bestmove 0000");
    EXPECT_EQ(lines.size() >= 2 ? lines[lines.size() - 2] : "", "info depth 0 score cp 0");

    lines = engine.search(std::string("fen ") + NoBlackKing, "go depth 3", 5000);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "bestmove 0000");
    EXPECT_EQ(lines.size() >= 2 ? lines[lines.size() - 2] : "", "info string invalid position");
    EXPECT_EQ(countBestmoves(engine.drain(300 * SlowBuildFactor)), 0);
}

TEST(PlayProcess, SingleLegalMoveStillSearches) {
    Engine engine;
    const auto lines = engine.search("fen 7k/8/8/8/8/8/6r1/7K w - - 0 1", "go depth 4", 10000);  // only Kxg2
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(moveOf(lines.back()), "h1g2");
    EXPECT_GE(pvLines(lines).size(), 2u);
}

TEST(PlayProcess, NewGameDuringASearchStopsItFirst) {
    Engine engine;
    engine.send(std::string("position fen ") + Middlegame);
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(200 * SlowBuildFactor));
    engine.send("ucinewgame");
    ASSERT_TRUE(engine.waitFor("bestmove", 2000 * SlowBuildFactor));
    engine.send("isready");
    EXPECT_TRUE(engine.waitFor("readyok", 2000 * SlowBuildFactor));
}

TEST(PlayProcess, MultiPVUnderAClockReportsTheOneLineItSearches) {
    Engine engine;
    engine.send("setoption name MultiPV value 3");
    engine.search("startpos", "go depth 3", 20000);  // fills three lines
    const auto pvs = pvLines(engine.search("startpos moves e2e4", "go wtime 1000 btime 1000", 5000));
    EXPECT_FALSE(pvs.empty());
    for (const auto& l : pvs) {
        EXPECT_TRUE(startsWith(l, "info multipv 1 ")) << l;
        const std::string move = wordAfter(l, "pv");
        EXPECT_NE(move, "") << l;  // a move of this position, not of the earlier search
        EXPECT_NE(move, "e2e4") << l;
    }
}

TEST(PlayProcess, EndOfInputFinishesAFiniteSearchThenExits) {
    Engine engine;
    engine.send("position startpos");
    engine.send("go movetime 300");
    engine.closeInput();
    EXPECT_TRUE(engine.waitFor("bestmove", 3000 * SlowBuildFactor));
    EXPECT_EQ(engine.waitExit(2000 * SlowBuildFactor), 0);
}

TEST(PlayProcess, EndOfInputStopsAnInfiniteSearchThenExits) {
    Engine engine;
    engine.send("position startpos");
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(200 * SlowBuildFactor));
    engine.closeInput();
    EXPECT_TRUE(engine.waitFor("bestmove", 2000 * SlowBuildFactor));
    EXPECT_EQ(engine.waitExit(2000 * SlowBuildFactor), 0);
}

TEST(PlayProcess, QuitDuringASearchExits) {
    Engine engine;
    engine.send("position startpos");
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(200 * SlowBuildFactor));
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(2000 * SlowBuildFactor), 0);
}
