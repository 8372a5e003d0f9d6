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

namespace {

using Clock = std::chrono::steady_clock;
using Engine = StartedEngine;

const char* const Middlegame = "r1bq1rk1/pp2ppbp/2np1np1/8/3NP3/2N1BP2/PPPQ2PP/R3KB1R w KQ - 0 1";

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
    engine.send(std::string("position fen ") + Middlegame);
    engine.send("go depth 5");
    std::vector<std::string> lines;
    auto best = engine.waitFor("bestmove", 60000, &lines);
    ASSERT_TRUE(best);
    int deepest = 0;
    for (const auto& l : lines) {
        auto at = l.find(" depth ");
        if (startsWith(l, "info multipv") && at != std::string::npos)
            deepest = std::max(deepest, std::stoi(l.substr(at + 7)));
    }
    EXPECT_EQ(deepest, 5);
    // The move and the ponder move are legal one after the other.
    const std::string move = best->substr(9, 4), reply = best->substr(best->find(" ponder ") + 8);
    EXPECT_TRUE(isLegalAfter(std::string("fen ") + Middlegame, move)) << *best;
    EXPECT_TRUE(isLegalAfter(std::string("fen ") + Middlegame + " moves " + move, reply)) << *best;
}

TEST(PlayProcess, DepthWithInfiniteStopsAfterThatIteration) {
    Engine engine;
    engine.send("position startpos");
    const auto start = Clock::now();
    engine.send("go depth 3 infinite");
    ASSERT_TRUE(engine.waitFor("bestmove", 20000));
    EXPECT_LT(msSince(start), 10000);
}

TEST(PlayProcess, StopAndIsreadyDuringASearch) {
    Engine engine;
    engine.send(std::string("position fen ") + Middlegame);
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    engine.send("position startpos moves e2e4");  // dropped while searching
    engine.send("isready");
    std::vector<std::string> lines;
    ASSERT_TRUE(engine.waitFor("readyok", 1000, &lines));
    EXPECT_EQ(countBestmoves(lines), 0);
    const auto start = Clock::now();
    engine.send("stop");
    auto best = engine.waitFor("bestmove", 2000);
    ASSERT_TRUE(best);
    EXPECT_LT(msSince(start), 300 * SlowBuildFactor);
    // The old position is still set up: White is to move, so the move starts on White's half.
    engine.send("go depth 1");
    auto again = engine.waitFor("bestmove", 10000);
    ASSERT_TRUE(again);
    ASSERT_GE(again->size(), 13u);
    EXPECT_LE((*again)[10], '4');
}

TEST(PlayProcess, EveryGoOnAPositionWithoutMovesGetsOneBestmove) {
    Engine engine;
    engine.send("position fen rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
    engine.send("go depth 4");
    std::vector<std::string> lines;
    ASSERT_TRUE(engine.waitFor("bestmove", 5000, &lines));
    EXPECT_EQ(lines.back(), "bestmove 0000");
    EXPECT_EQ(lines.size() >= 2 ? lines[lines.size() - 2] : "", "info depth 0 score mate 0");

    lines.clear();
    engine.send("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");  // stalemate
    engine.send("go wtime 1000 btime 1000");
    ASSERT_TRUE(engine.waitFor("bestmove", 5000, &lines));
    EXPECT_EQ(lines.back(), "bestmove 0000");
    EXPECT_EQ(lines.size() >= 2 ? lines[lines.size() - 2] : "", "info depth 0 score cp 0");

    lines.clear();
    engine.send("position fen 8/8/8/8/8/8/8/K7 w - - 0 1");  // no Black king
    engine.send("go depth 3");
    ASSERT_TRUE(engine.waitFor("bestmove", 5000, &lines));
    EXPECT_EQ(lines.back(), "bestmove 0000");
    EXPECT_EQ(lines.size() >= 2 ? lines[lines.size() - 2] : "", "info string invalid position");
    auto rest = engine.drain(300);
    EXPECT_EQ(countBestmoves(rest), 0);
}

TEST(PlayProcess, SingleLegalMoveStillSearches) {
    Engine engine;
    engine.send("position fen 7k/8/8/8/8/8/6r1/7K w - - 0 1");  // only Kxg2
    engine.send("go depth 4");
    std::vector<std::string> lines;
    auto best = engine.waitFor("bestmove", 10000, &lines);
    ASSERT_TRUE(best);
    EXPECT_TRUE(startsWith(*best, "bestmove h1g2"));
    int infos = 0;
    for (const auto& l : lines) infos += startsWith(l, "info multipv");
    EXPECT_GE(infos, 2);
}

TEST(PlayProcess, NewGameDuringASearchStopsItFirst) {
    Engine engine;
    engine.send(std::string("position fen ") + Middlegame);
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    engine.send("ucinewgame");
    ASSERT_TRUE(engine.waitFor("bestmove", 2000));
    engine.send("isready");
    EXPECT_TRUE(engine.waitFor("readyok", 2000));
}

TEST(PlayProcess, MultiPVUnderAClockReportsTheOneLineItSearches) {
    Engine engine;
    engine.send("setoption name MultiPV value 3");
    engine.send("position startpos");
    engine.send("go depth 3");  // fills three lines
    ASSERT_TRUE(engine.waitFor("bestmove", 20000));
    engine.send("position startpos moves e2e4");
    engine.send("go wtime 1000 btime 1000");
    std::vector<std::string> lines;
    ASSERT_TRUE(engine.waitFor("bestmove", 5000, &lines));
    int reported = 0;
    for (const auto& l : lines) {
        if (!startsWith(l, "info multipv")) continue;
        ++reported;
        EXPECT_TRUE(startsWith(l, "info multipv 1 ")) << l;
        const auto pv = l.find(" pv ");
        ASSERT_NE(pv, std::string::npos);
        EXPECT_GT(l.size(), pv + 4) << l;  // a move of this position, not of the earlier search
        EXPECT_EQ(l.find(" pv e2e4"), std::string::npos) << l;
    }
    EXPECT_GT(reported, 0);
}

TEST(PlayProcess, EndOfInputFinishesAFiniteSearchThenExits) {
    Engine engine;
    engine.send("position startpos");
    engine.send("go movetime 300");
    engine.closeInput();
    EXPECT_TRUE(engine.waitFor("bestmove", 3000));
    EXPECT_EQ(engine.waitExit(2000 * SlowBuildFactor), 0);
}

TEST(PlayProcess, EndOfInputStopsAnInfiniteSearchThenExits) {
    Engine engine;
    engine.send("position startpos");
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    engine.closeInput();
    EXPECT_TRUE(engine.waitFor("bestmove", 2000));
    EXPECT_EQ(engine.waitExit(2000 * SlowBuildFactor), 0);
}

TEST(PlayProcess, QuitDuringASearchExits) {
    Engine engine;
    engine.send("position startpos");
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(2000 * SlowBuildFactor), 0);
}
