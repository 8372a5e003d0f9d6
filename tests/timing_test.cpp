// When the engine binary answers: the clock limits of "go", pondering, and the driver that
// waits for "stop" or "ponderhit" after a search that ended by itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "engine_process.h"
#include "search_harness.h"
#include "test_positions.h"

namespace {

using Clock = std::chrono::steady_clock;

// The elapsed time of the last principal-variation report, as the engine measured it.
long long reportedMs(const std::vector<std::string>& lines) {
    const auto pvs = pvLines(lines);
    return pvs.empty() ? -1 : numberAfter(pvs.back(), "time");
}

struct Engine : StartedEngine {
    using StartedEngine::StartedEngine;
    // Searches as search() does, keeping the lines; returns the "bestmove" line ("" when
    // none came) and, if asked, the time it took.
    std::string timedSearch(const std::string& position, const std::string& go, int timeoutMs,
                            std::vector<std::string>& lines, long long* wallMs = nullptr) {
        const auto start = Clock::now();
        lines = search(position, go, timeoutMs);
        if (wallMs) *wallMs = msSince(start);
        return countBestmoves(lines) ? lines.back() : "";
    }
    // Reads until the info line of depth 128, the last iteration a timed search runs.
    bool waitForLastIteration() {
        for (;;) {
            const auto line = readLine(5000 * SlowBuildFactor);
            if (!line) return false;
            if (wordAfter(*line, "depth") == "128") return true;
        }
    }
};

// The "position" arguments of the queen that hangs, of the middlegame, and of the mate in
// one, whose timed iterative deepening runs through its last depth at once.
const std::string QueenHangsPosition = std::string("fen ") + QueenHangs;
const std::string MiddlegamePosition = std::string("fen ") + Middlegame;
const std::string MateInOnePosition = std::string("fen ") + MateInOne;

}  // namespace

// Only the clock, increment and moves-to-go of the side to move count; the other side's
// values are large enough to stand out if they were used. The Ponder option is on, so the
// easy-move limit is 33 per cent of the allocation.
TEST(TimingProcess, ClockLimitsOfTheSideToMove) {
    Engine engine(true);
    std::vector<std::string> lines;
    // 60 s: hard limit 14990 ms, allocation 2400 ms, easy limit 792 ms. The queen capture is
    // found at once and stays best, so a completed iteration past the easy limit ends the
    // search, long before the hard limit: the bound on the answer grows on a slow build, but
    // stays below the hard limit.
    long long wall = 0;
    std::string best =
        engine.timedSearch(QueenHangsPosition, "go wtime 60000 btime 60000", 20000, lines, &wall);
    ASSERT_FALSE(best.empty());
    EXPECT_EQ(moveOf(best), "d2d5");
    EXPECT_GE(reportedMs(lines), 792);
    EXPECT_LT(wall, std::min(7000 * SlowBuildFactor, 14000));

    // Black: hard limit 990 ms; the increment lifts the allocation from 160 ms to 990 ms,
    // and the easy limit to 326 ms.
    const std::string black = "startpos moves e2e4";
    best = engine.timedSearch(black, "go wtime 600000 winc 600000 btime 4000 binc 830", 4000, lines);
    ASSERT_FALSE(best.empty());
    EXPECT_GE(reportedMs(lines), 326);
    EXPECT_TRUE(isLegalAfter(black, moveOf(best))) << best;

    // White, one move to go: hard limit and allocation 405 ms, easy limit 133 ms.
    best = engine.timedSearch("startpos", "go wtime 500 movestogo 1 btime 600000 binc 600000", 4000, lines);
    ASSERT_FALSE(best.empty());
    EXPECT_GE(reportedMs(lines), 133);

    // A move time is a hard limit of its own.
    best = engine.timedSearch("startpos", "go movetime 300", 4000, lines, &wall);
    ASSERT_FALSE(best.empty());
    EXPECT_GE(wall, 250);
    EXPECT_LT(wall, 300 + 300 * SlowBuildFactor);

    // An empty clock still gets a legal move, at once.
    for (const auto& [position, go] : {std::pair{"startpos", "go wtime 0 btime 600000"},
                                       std::pair{"startpos moves e2e4", "go wtime 600000 btime 0"}}) {
        best = engine.timedSearch(position, go, 3000, lines, &wall);
        ASSERT_FALSE(best.empty()) << go;
        EXPECT_TRUE(isLegalAfter(position, moveOf(best))) << best;
        EXPECT_LT(wall, 300 * SlowBuildFactor) << go;
    }
}

// A ponder search answers only after "stop" (a ponder miss) or "ponderhit"; after
// "ponderhit" the hard limit counts from the ponderhit, the other limits from the start.
TEST(TimingProcess, PonderSearchAnswersAfterStopOrPonderhit) {
    Engine engine(true);
    const std::string position = "startpos moves e2e4 e7e5";
    engine.send("position " + position);
    engine.send("go ponder wtime 2000 btime 2000");
    EXPECT_EQ(countBestmoves(engine.drain(300 * SlowBuildFactor)), 0);
    auto start = Clock::now();
    engine.send("stop");
    auto best = engine.waitFor("bestmove", 3000 * SlowBuildFactor);
    ASSERT_TRUE(best);
    EXPECT_LT(msSince(start), 300 * SlowBuildFactor);
    EXPECT_TRUE(isLegalAfter(position, moveOf(*best))) << *best;

    // With 2 s on the clock the hard limit is 490 ms, now counted from the ponderhit.
    engine.send("go ponder wtime 2000 btime 2000");
    EXPECT_EQ(countBestmoves(engine.drain(300 * SlowBuildFactor)), 0);
    start = Clock::now();
    engine.send("ponderhit");
    best = engine.waitFor("bestmove", 3000 * SlowBuildFactor);
    ASSERT_TRUE(best);
    EXPECT_LT(msSince(start), 490 + 300 * SlowBuildFactor);
    EXPECT_EQ(best->find("NULL"), std::string::npos);  // with Ponder on a ponder move is found

    // A 300 ms move time pondered on for longer, 500 ms or more: it runs out 300 ms after the
    // ponderhit.
    engine.send("go ponder movetime 300");
    EXPECT_EQ(countBestmoves(engine.drain(500 * SlowBuildFactor)), 0);
    start = Clock::now();
    engine.send("ponderhit");
    best = engine.waitFor("bestmove", 3000 * SlowBuildFactor);
    ASSERT_TRUE(best);
    EXPECT_GE(msSince(start), 250);
    EXPECT_LT(msSince(start), 300 + 300 * SlowBuildFactor);
}

// A ponder search that has run out of depths still holds its "bestmove" back until
// "ponderhit" or "stop".
TEST(TimingProcess, FinishedPonderSearchWaitsForPonderhitOrStop) {
    Engine engine(true);
    for (const char* end : {"ponderhit", "stop"}) {
        engine.send("position " + MateInOnePosition);
        engine.send("go ponder wtime 10000 btime 10000");
        ASSERT_TRUE(engine.waitForLastIteration());
        EXPECT_EQ(countBestmoves(engine.drain(300 * SlowBuildFactor)), 0) << end;
        const auto start = Clock::now();
        engine.send(end);
        const auto best = engine.waitFor("bestmove", 3000 * SlowBuildFactor);
        ASSERT_TRUE(best) << end;
        EXPECT_EQ(moveOf(*best), "f7f8q");
        EXPECT_LT(msSince(start), 300 * SlowBuildFactor) << end;
    }
}

// After an infinite search has ended by itself the driver reads the commands and carries
// them out at once: "isready", "position" and a "go" of its own, and "quit".
TEST(TimingProcess, FinishedInfiniteSearchCarriesOutCommandsWhileItWaits) {
    Engine engine;
    // Checkmated: nothing to search, yet "bestmove" waits for "stop".
    engine.send(std::string("position fen ") + FoolsMate);
    engine.send("go infinite");
    EXPECT_EQ(countBestmoves(engine.drain(400 * SlowBuildFactor)), 0);
    engine.send("stop");
    auto best = engine.waitFor("bestmove", 3000 * SlowBuildFactor);
    ASSERT_TRUE(best);
    EXPECT_EQ(*best, "bestmove 0000");

    // With a clock the iterative deepening of a mate in one ends by itself.
    engine.send("position " + MateInOnePosition);
    engine.send("go infinite wtime 10000 btime 10000");
    ASSERT_TRUE(engine.waitForLastIteration());
    std::vector<std::string> lines;
    auto start = Clock::now();
    engine.send("isready");
    ASSERT_TRUE(engine.waitFor("readyok", 3000 * SlowBuildFactor, &lines));
    EXPECT_LT(msSince(start), 300 * SlowBuildFactor);
    EXPECT_EQ(countBestmoves(lines), 0);

    // A new position ends the wait as "stop" does: the waiting search answers first, for
    // the position it searched, then the new position is set up and searched at once.
    engine.send("position " + MiddlegamePosition);
    engine.send("go depth 3");
    best = engine.waitFor("bestmove", 3000 * SlowBuildFactor);
    ASSERT_TRUE(best);
    EXPECT_EQ(moveOf(*best), "f7f8q");
    lines.clear();
    best = engine.waitFor("bestmove", 5000 * SlowBuildFactor, &lines);
    ASSERT_TRUE(best);
    EXPECT_TRUE(isLegalAfter(MiddlegamePosition, moveOf(*best))) << *best;
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::string& l) { return wordAfter(l, "depth") == "3"; }));
    engine.send("stop");
    engine.send("isready");
    lines.clear();
    ASSERT_TRUE(engine.waitFor("readyok", 3000 * SlowBuildFactor, &lines));
    EXPECT_EQ(countBestmoves(lines), 0);

    engine.send("position " + MateInOnePosition);
    engine.send("go infinite wtime 10000 btime 10000");
    ASSERT_TRUE(engine.waitForLastIteration());
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(1000 * SlowBuildFactor), 0);
}

// "bestmove" plays the finished search's move on the root position to find the ponder move:
// a "position" that replaced the root while the driver waited would have the old move
// played on the new position, and taking it back would leave a broken board.
TEST(TimingProcess, PositionSetUpWhileTheDriverWaitsSurvivesTheBestmove) {
    Engine engine;
    engine.send("position " + MateInOnePosition);
    engine.send("go infinite wtime 10000 btime 10000");
    ASSERT_TRUE(engine.waitForLastIteration());
    // The last iteration's line comes while the search still runs, when a "position" is
    // ignored: the driver is given the time to finish and wait.
    engine.drain(300 * SlowBuildFactor);
    engine.send("position " + MiddlegamePosition);
    engine.send("stop");
    const auto best = engine.waitFor("bestmove", 3000 * SlowBuildFactor);
    ASSERT_TRUE(best);
    EXPECT_EQ(moveOf(*best), "f7f8q");

    const size_t legal = legalMoves(positionFrom(MiddlegamePosition)).size();
    engine.send("perft 1");
    EXPECT_EQ(engine.waitFor("Nodes searched", 3000 * SlowBuildFactor),
              "Nodes searched: " + std::to_string(legal));
}
